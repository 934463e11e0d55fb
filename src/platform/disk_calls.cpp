#include "platform/disk_calls.h"

#include "platform/files_platform.h"
#include "platform/profile.h"

namespace {
const DiskCalls* g_calls = nullptr;  // in front of the platform's; null: none
}  // namespace

const DiskCalls& PlatformDiskCalls() {
  static const DiskCalls calls = {
      platform::MoveEntry,   platform::ReplaceWithEntry, platform::DeleteRegularFile,
      platform::ResetAttributes, platform::MakeFolder,   platform::RemoveEmptyFolder,
      platform::CreateNewFile, platform::WriteToFile,    platform::CloseFile,
      platform::FlushAndCloseFile, ProfileWriteString,   ProfileCommitBatch};
  return calls;
}

void UseDiskCalls(const DiskCalls* calls) { g_calls = calls; }

const DiskCalls& Disk() { return g_calls != nullptr ? *g_calls : PlatformDiskCalls(); }

FileResult MoveEntry(const std::string& from, const std::string& to) {
  return Disk().move_entry(from, to);
}
FileResult ReplaceWithEntry(const std::string& from, const std::string& to) {
  return Disk().replace_with_entry(from, to);
}
FileResult DeleteRegularFile(const std::string& path) { return Disk().delete_regular_file(path); }
FileResult ResetAttributes(const std::string& path) { return Disk().reset_attributes(path); }
FileResult MakeFolder(const std::string& path) { return Disk().make_folder(path); }
FileResult RemoveEmptyFolder(const std::string& path) { return Disk().remove_empty_folder(path); }
FileResult CreateNewFile(const std::string& path, OutputFile** out) {
  return Disk().create_new_file(path, out);
}
FileResult WriteToFile(OutputFile* file, const void* data, std::size_t size) {
  return Disk().write_to_file(file, data, size);
}
FileResult CloseFile(OutputFile* file, std::int64_t modified_unix_time) {
  return Disk().close_file(file, modified_unix_time);
}
FileResult FlushAndCloseFile(OutputFile* file) { return Disk().flush_and_close_file(file); }
