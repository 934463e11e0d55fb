#pragma once
#include <string>
// Fault injection for tests: a layer in front of the platform's disk calls
// (platform/disk_calls.h) that counts every call changing something on disk
// (a file operation of the engine, a write of the settings file) and fails
// it, changing nothing, when the test says so.

// Arms the counter: the k-th changing call from now on fails. With
// `and_every_later` every call after it fails too, which is what a crash
// looks like from the disk: nothing more happens, not even an undo. 0 disarms.
void FailFileOperation(int k, bool and_every_later = false);
// As another program holding a file would: the k-th changing call from now
// on, and the `times - 1` after it, fail with FileCause::InUse, then calls
// pass again (only calls that name a file count for a hold: a write or a
// close on an open handle is never held). With `times` below 0 the file the
// k-th call names stays held for good: every later call on it fails so.
void HoldFileOperation(int k, int times);
constexpr int kHeldForGood = -1;
// Changing calls counted since the last arming.
int FileOperationCount();
// The file the first failed or held call named; empty when it named none (a
// write or a close on an open handle, a write of the settings file).
std::string FailedFilePath();
// What the retries would have waited since the last arming, in
// milliseconds; no real time passes.
unsigned PausedMilliseconds();
