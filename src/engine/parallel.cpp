#include "engine/parallel.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

std::size_t WorkerCount() {
  const std::size_t cores = std::thread::hardware_concurrency();
  return std::min<std::size_t>(std::max<std::size_t>(cores, 2), 4);
}

bool RunInParallel(std::size_t count, const std::function<bool(std::size_t, std::size_t)>& task) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  const auto work = [&](std::size_t worker) {
    for (;;) {
      if (failed.load()) return;
      const std::size_t item = next++;
      if (item >= count) return;
      if (!task(item, worker)) failed = true;
    }
  };
  // A handful of files is not worth a thread.
  const std::size_t workers = count < 4 ? 1 : WorkerCount();
  std::vector<std::thread> threads;
  for (std::size_t worker = 1; worker < workers; ++worker) {
    try {
      threads.emplace_back(work, worker);
    } catch (const std::system_error&) {
      break;  // no thread to be had: the ones there are do it all
    }
  }
  work(0);
  for (std::thread& thread : threads) thread.join();
  return !failed;
}
