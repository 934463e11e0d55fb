#include "platform/disk_calls.h"

#include <algorithm>

#include "platform/files_platform.h"
#include "platform/profile.h"

namespace {

const DiskCalls* g_calls = nullptr;  // in front of the platform's; null: none
thread_local FileCause g_cause = FileCause::None;

// Another program's hold on a file passes; on Windows so may "access
// denied", which a file about to be deleted, or one a scanner has open,
// answers for a moment (a read-only file's never passes: it is ReadOnly).
bool MayPass(FileCause cause) {
#ifdef _WIN32
  return cause == FileCause::InUse || cause == FileCause::AccessDenied;
#else
  return cause == FileCause::InUse;
#endif
}

template <typename Call>
FileResult Retrying(const Call& call) {
  FileResult result = call();
  unsigned waited = 0;
  for (unsigned pause = kFirstRetryPause;
       result != FileResult::Done && MayPass(g_cause) && waited < kMaxRetryWait; pause *= 2) {
    const unsigned step = std::min(pause, kMaxRetryWait - waited);
    Disk().pause(step);
    waited += step;
    result = call();
  }
  return result;
}

}  // namespace

const DiskCalls& PlatformDiskCalls() {
  static const DiskCalls calls = {
      platform::MoveEntry,       platform::ReplaceWithEntry, platform::DeleteRegularFile,
      platform::ResetAttributes, platform::RestoreAttributes, platform::MakeFolder,
      platform::RemoveEmptyFolder, platform::CreateNewFile,  platform::WriteToFile,
      platform::CloseFile,       platform::FlushAndCloseFile, ProfileWriteString,
      ProfileCommitBatch,        platform::Pause};
  return calls;
}

void UseDiskCalls(const DiskCalls* calls) { g_calls = calls; }

const DiskCalls& Disk() { return g_calls != nullptr ? *g_calls : PlatformDiskCalls(); }

void SetLastFileCause(FileCause cause) { g_cause = cause; }

FileResult RetryWhileHeld(const std::function<FileResult()>& call) { return Retrying(call); }
FileCause LastFileCause() { return g_cause; }

FileResult MoveEntry(const std::string& from, const std::string& to) {
  return Retrying([&] { return Disk().move_entry(from, to); });
}
FileResult ReplaceWithEntry(const std::string& from, const std::string& to) {
  return Retrying([&] { return Disk().replace_with_entry(from, to); });
}
FileResult DeleteRegularFile(const std::string& path) {
  return Retrying([&] { return Disk().delete_regular_file(path); });
}
FileResult ResetAttributes(const std::string& path, FileAttributes& before) {
  return Retrying([&] { return Disk().reset_attributes(path, before); });
}
FileResult RestoreAttributes(const std::string& path, const FileAttributes& before) {
  return Retrying([&] { return Disk().restore_attributes(path, before); });
}
FileResult MakeFolder(const std::string& path) {
  return Retrying([&] { return Disk().make_folder(path); });
}
FileResult RemoveEmptyFolder(const std::string& path) {
  return Retrying([&] { return Disk().remove_empty_folder(path); });
}
FileResult CreateNewFile(const std::string& path, OutputFile** out) {
  return Retrying([&] { return Disk().create_new_file(path, out); });
}
FileResult WriteToFile(OutputFile* file, const void* data, std::size_t size) {
  return Disk().write_to_file(file, data, size);
}
FileResult CloseFile(OutputFile* file, std::int64_t modified_unix_time) {
  return Disk().close_file(file, modified_unix_time);
}
FileResult FlushAndCloseFile(OutputFile* file) { return Disk().flush_and_close_file(file); }

FileResult ReadWholeFile(const std::string& path,
                         const std::function<bool(const void* data, std::size_t size)>& sink,
                         bool as_removable) {
  // Tried again only while nothing has reached the sink: a hold shows when
  // the file is opened.
  bool reached = false;
  const auto counting = [&](const void* data, std::size_t size) {
    reached = true;
    return sink(data, size);
  };
  return Retrying([&] {
    const FileResult read = platform::ReadWholeFile(path, counting, as_removable);
    if (reached && read != FileResult::Done) SetLastFileCause(FileCause::Other);
    return read;
  });
}
