#pragma once
// Work on many files spread over a few threads. A file call spends much of
// its time waiting (on the disk, or under Wine on its server) while another
// thread's call can go on: on two cores two threads make small files about
// half again as fast, and more than one per core brings nothing.
#include <cstddef>
#include <functional>

// How many threads RunInParallel uses: one per core, at least two, at most four.
std::size_t WorkerCount();

// Runs task(item, worker) for every item below `count`, on up to
// WorkerCount() threads (the calling one among them); `worker` tells the
// threads apart, for state of their own. Once a task has failed no new one
// starts; those already running finish. True when every task ran and
// succeeded.
bool RunInParallel(std::size_t count, const std::function<bool(std::size_t, std::size_t)>& task);
