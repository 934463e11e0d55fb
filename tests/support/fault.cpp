#include "support/fault.h"

#include <atomic>
#include <mutex>
#include <string>

#include "platform/disk_calls.h"
#include "platform/profile.h"

namespace {

// Commands spread their file calls over threads: every thread counts here.
std::atomic<int> g_fail_at{0};          // which changing call fails; 0 = none
std::atomic<bool> g_fail_later{false};  // and every one after it
std::atomic<int> g_held_times{0};       // a hold: how many calls from g_fail_at on fail with it
std::atomic<bool> g_held_forever{false};
std::atomic<int> g_operations{0};       // changing calls since the last arming
std::atomic<unsigned> g_paused{0};      // milliseconds the retries waited, in no real time

std::mutex g_guard;
std::string g_held_path;  // held for good: every call on it fails
std::string g_failed_path;  // what the k-th call named

// Counts one changing call on `path`; true when it is to fail, with its
// cause set. A hold only meets calls that name a file another program could
// hold (empty `path`: a write or a close on a handle the call already has,
// or a write of the settings file, which the program alone uses).
bool Fails(const std::string& path) {
  const int operation = ++g_operations;
  const int fail_at = g_fail_at;
  if (fail_at <= 0 || operation < fail_at) return false;
  if (operation == fail_at) {
    const std::lock_guard<std::mutex> lock(g_guard);
    g_failed_path = path;
  }
  if ((g_held_forever || g_held_times > 0) && path.empty()) return false;
  if (g_held_forever) {
    const std::lock_guard<std::mutex> lock(g_guard);
    if (operation == fail_at) g_held_path = path;
    if (path.empty() || path != g_held_path) return false;
    SetLastFileCause(FileCause::InUse);
    return true;
  }
  if (g_held_times > 0) {
    if (operation >= fail_at + g_held_times) return false;
    SetLastFileCause(FileCause::InUse);
    return true;
  }
  if (operation != fail_at && !g_fail_later) return false;
  SetLastFileCause(FileCause::Other);
  return true;
}

const DiskCalls& Real() { return PlatformDiskCalls(); }

FileResult MoveEntry(const std::string& from, const std::string& to) {
  return Fails(from) ? FileResult::Refused : Real().move_entry(from, to);
}
FileResult ReplaceWithEntry(const std::string& from, const std::string& to) {
  return Fails(from) ? FileResult::Refused : Real().replace_with_entry(from, to);
}
FileResult DeleteRegularFile(const std::string& path) {
  return Fails(path) ? FileResult::Refused : Real().delete_regular_file(path);
}
FileResult ResetAttributes(const std::string& path, FileAttributes& before) {
  return Fails(path) ? FileResult::Refused : Real().reset_attributes(path, before);
}
FileResult RestoreAttributes(const std::string& path, const FileAttributes& before) {
  return Fails(path) ? FileResult::Refused : Real().restore_attributes(path, before);
}
FileResult MakeFolder(const std::string& path) {
  return Fails(path) ? FileResult::Refused : Real().make_folder(path);
}
FileResult RemoveEmptyFolder(const std::string& path) {
  return Fails(path) ? FileResult::Refused : Real().remove_empty_folder(path);
}
FileResult CreateNewFile(const std::string& path, OutputFile** out) {
  *out = nullptr;
  return Fails(path) ? FileResult::Refused : Real().create_new_file(path, out);
}
FileResult WriteToFile(OutputFile* file, const void* data, std::size_t size) {
  return Fails("") ? FileResult::Refused : Real().write_to_file(file, data, size);
}
// A failed close still closes: the handle must not outlive the test.
FileResult CloseFile(OutputFile* file, std::int64_t modified_unix_time) {
  const bool fail = Fails("");
  const FileResult result = Real().close_file(file, modified_unix_time);
  return fail ? FileResult::Refused : result;
}
FileResult FlushAndCloseFile(OutputFile* file) {
  const bool fail = Fails("");
  const FileResult result = Real().flush_and_close_file(file);
  return fail ? FileResult::Refused : result;
}
bool WriteProfileString(const std::string& section, const std::string& key, const char* value,
                        const std::string& file) {
  return !Fails("") && Real().write_profile_string(section, key, value, file);
}
bool CommitProfileBatch() {
  if (!Fails("")) return Real().commit_profile_batch();
  ProfileAbandonBatch();
  return false;
}
void Pause(unsigned milliseconds) { g_paused += milliseconds; }

const DiskCalls kCounting = {MoveEntry,          ReplaceWithEntry,  DeleteRegularFile,
                             ResetAttributes,    RestoreAttributes, MakeFolder,
                             RemoveEmptyFolder,  CreateNewFile,     WriteToFile,
                             CloseFile,          FlushAndCloseFile, WriteProfileString,
                             CommitProfileBatch, Pause};

// In front of the platform's calls from the start, so that every call is
// counted whatever the test arms first.
const bool g_installed = [] {
  UseDiskCalls(&kCounting);
  return true;
}();

void Arm(int k, bool later, int held_times, bool held_forever) {
  (void)g_installed;
  UseDiskCalls(&kCounting);  // again, should a test have taken it away
  const std::lock_guard<std::mutex> lock(g_guard);
  g_held_path.clear();
  g_failed_path.clear();
  g_fail_at = k;
  g_fail_later = later;
  g_held_times = held_times;
  g_held_forever = held_forever;
  g_operations = 0;
  g_paused = 0;
}

}  // namespace

void FailFileOperation(int k, bool and_every_later) { Arm(k, and_every_later, 0, false); }

void HoldFileOperation(int k, int times) { Arm(k, false, times, times < 0); }

int FileOperationCount() { return g_operations; }

std::string FailedFilePath() {
  const std::lock_guard<std::mutex> lock(g_guard);
  return g_failed_path;
}

unsigned PausedMilliseconds() { return g_paused; }
