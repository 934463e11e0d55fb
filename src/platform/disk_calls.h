#pragma once
// Every call that changes something on disk, the user's files and the
// program's own alike, goes through one table of functions: the platform's,
// unless a caller has put a layer of its own in front of them, the way a zip
// library takes its input and output through callbacks. (The tests do, to
// fail any one call, or every call from one on, as a crash would.)
//
// A changing call that fails because another program holds the file for a
// moment (a virus scanner, the search indexer, a cloud-sync client opening a
// new file) is tried again after a short pause, doubling, for at most about
// two seconds in all, before its failure stands. The first try costs no
// more than the call itself.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/files.h"

struct DiskCalls {
  FileResult (*move_entry)(const std::string& from, const std::string& to);
  FileResult (*replace_with_entry)(const std::string& from, const std::string& to);
  FileResult (*delete_regular_file)(const std::string& path);
  FileResult (*reset_attributes)(const std::string& path, FileAttributes& before);
  FileResult (*restore_attributes)(const std::string& path, const FileAttributes& before);
  FileResult (*make_folder)(const std::string& path);
  FileResult (*remove_empty_folder)(const std::string& path);
  FileResult (*create_new_file)(const std::string& path, OutputFile** out);
  FileResult (*write_to_file)(OutputFile* file, const void* data, std::size_t size);
  // Both close the file, whatever they answer.
  FileResult (*close_file)(OutputFile* file, std::int64_t modified_unix_time);
  FileResult (*flush_and_close_file)(OutputFile* file);
  // The settings file: a write that replaces it (outside a batch), and the
  // commit of a batch (which, when it fails, leaves the batch abandoned).
  bool (*write_profile_string)(const std::string& section, const std::string& key,
                               const char* value, const std::string& file);
  bool (*commit_profile_batch)();
  // Waits before a call is tried again.
  void (*pause)(unsigned milliseconds);
};

// The platform's own calls.
const DiskCalls& PlatformDiskCalls();
// Puts `calls` in front of every later change; null puts the platform's
// back. Only while no command runs: the table is read without a lock.
void UseDiskCalls(const DiskCalls* calls);
const DiskCalls& Disk();

// For a layer in front of the platform's: what its failure is to be taken
// for (LastFileCause).
void SetLastFileCause(FileCause cause);

// Runs `call` and, while it fails because another program holds the file,
// runs it again after a pause (Disk().pause), as every changing call of
// files.h is.
FileResult RetryWhileHeld(const std::function<FileResult()>& call);

// The retry's bounds, in milliseconds: the first pause, and all pauses of
// one call together.
constexpr unsigned kFirstRetryPause = 10;
constexpr unsigned kMaxRetryWait = 2000;
