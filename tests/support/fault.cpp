#include "support/fault.h"

#include <atomic>

#include "platform/disk_calls.h"
#include "platform/profile.h"

namespace {

// Commands spread their file calls over threads: every thread counts here.
std::atomic<int> g_fail_at{0};          // which changing call fails; 0 = none
std::atomic<bool> g_fail_later{false};  // and every one after it
std::atomic<int> g_operations{0};       // changing calls since the last arming

// Counts one changing call; true when it is to fail.
bool Fails() {
  const int operation = ++g_operations;
  const int fail_at = g_fail_at;
  if (fail_at <= 0) return false;
  return operation == fail_at || (g_fail_later && operation > fail_at);
}

const DiskCalls& Real() { return PlatformDiskCalls(); }

FileResult MoveEntry(const std::string& from, const std::string& to) {
  return Fails() ? FileResult::Refused : Real().move_entry(from, to);
}
FileResult ReplaceWithEntry(const std::string& from, const std::string& to) {
  return Fails() ? FileResult::Refused : Real().replace_with_entry(from, to);
}
FileResult DeleteRegularFile(const std::string& path) {
  return Fails() ? FileResult::Refused : Real().delete_regular_file(path);
}
FileResult ResetAttributes(const std::string& path) {
  return Fails() ? FileResult::Refused : Real().reset_attributes(path);
}
FileResult MakeFolder(const std::string& path) {
  return Fails() ? FileResult::Refused : Real().make_folder(path);
}
FileResult RemoveEmptyFolder(const std::string& path) {
  return Fails() ? FileResult::Refused : Real().remove_empty_folder(path);
}
FileResult CreateNewFile(const std::string& path, OutputFile** out) {
  *out = nullptr;
  return Fails() ? FileResult::Refused : Real().create_new_file(path, out);
}
FileResult WriteToFile(OutputFile* file, const void* data, std::size_t size) {
  return Fails() ? FileResult::Refused : Real().write_to_file(file, data, size);
}
// A failed close still closes: the handle must not outlive the test.
FileResult CloseFile(OutputFile* file, std::int64_t modified_unix_time) {
  const bool fail = Fails();
  const FileResult result = Real().close_file(file, modified_unix_time);
  return fail ? FileResult::Refused : result;
}
FileResult FlushAndCloseFile(OutputFile* file) {
  const bool fail = Fails();
  const FileResult result = Real().flush_and_close_file(file);
  return fail ? FileResult::Refused : result;
}
bool WriteProfileString(const std::string& section, const std::string& key, const char* value,
                        const std::string& file) {
  return !Fails() && Real().write_profile_string(section, key, value, file);
}
bool CommitProfileBatch() {
  if (!Fails()) return Real().commit_profile_batch();
  ProfileAbandonBatch();
  return false;
}

const DiskCalls kCounting = {MoveEntry,       ReplaceWithEntry,  DeleteRegularFile,
                             ResetAttributes, MakeFolder,        RemoveEmptyFolder,
                             CreateNewFile,   WriteToFile,       CloseFile,
                             FlushAndCloseFile, WriteProfileString, CommitProfileBatch};

// In front of the platform's calls from the start, so that every call is
// counted whatever the test arms first.
const bool g_installed = [] {
  UseDiskCalls(&kCounting);
  return true;
}();

}  // namespace

void FailFileOperation(int k, bool and_every_later) {
  (void)g_installed;
  g_fail_at = k;
  g_fail_later = and_every_later;
  g_operations = 0;
}

int FileOperationCount() { return g_operations; }
