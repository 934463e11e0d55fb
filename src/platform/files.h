#pragma once
// The file seam: every call the engine makes on a destination folder. Each
// platform translates its own error codes here, once, into a FileResult and
// the cause behind it. The changing calls reach the platform through
// disk_calls.h, which also retries them while another program holds the
// file for a moment.
//
// Paths are full paths in the platform's narrow encoding (ANSI code page on
// Windows, UTF-8 on Linux), of any length the system allows: on Windows the
// seam reaches them through the wide functions (wide_path_win32.h), never
// through the current folder.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class FileResult {
  Done,
  NotFound,  // the path (or a folder on the way) does not exist
  Refused,   // exists, but the system would not do it (locked, denied, taken)
  NotRegular,  // read: a link, a device or a pipe stands there, not a file
};

// Why a call that did not succeed failed, in words the user can be given.
enum class FileCause {
  None,
  NotFound,      // the file, or a folder on the way, is not there
  InUse,         // another program holds it (the running game, a scanner)
  ReadOnly,      // the file is marked read-only
  AccessDenied,  // the system's permissions refuse it
  DiskFull,
  NameTooLong,
  BadName,       // a name the system, or its code page, cannot hold
  Exists,        // something already stands where it would go
  NotRegular,    // a link, a device or a pipe where a file was expected
  Other,
};
// The cause of the last call of this thread that did not succeed.
FileCause LastFileCause();

// Whether anything stands at `path`, as a search for the name would find
// it: files and folders both count.
bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);
// Renames without ever replacing an existing destination.
FileResult MoveEntry(const std::string& from, const std::string& to);
// Renames file `from` to `to`, replacing the file there in the same step
// when there is one (a read-only one refuses).
FileResult ReplaceWithEntry(const std::string& from, const std::string& to);
FileResult DeleteRegularFile(const std::string& path);
// What would keep a file from being deleted or replaced: on Windows its
// read-only, hidden and system attributes, which ResetAttributes clears and
// hands back for RestoreAttributes should the step fail. (Elsewhere a file's
// own mode never blocks either, and nothing changes.)
struct FileAttributes {
  std::uint32_t bits = 0;
  bool cleared = false;  // something was cleared, to be put back on failure
};
FileResult ResetAttributes(const std::string& path, FileAttributes& before);
FileResult RestoreAttributes(const std::string& path, const FileAttributes& before);
FileResult MakeFolder(const std::string& path);
// Removes an empty folder only.
FileResult RemoveEmptyFolder(const std::string& path);

// A file created for extraction. Creation fails when the path already exists,
// so an extraction never writes over a file that was not saved first.
struct OutputFile;
FileResult CreateNewFile(const std::string& path, OutputFile** out);
FileResult WriteToFile(OutputFile* file, const void* data, std::size_t size);
// Sets the modification time (seconds since 1970, UTC) and closes the file.
// The file is closed even when the result is not Done.
FileResult CloseFile(OutputFile* file, std::int64_t modified_unix_time);
// Forces the file's data to the disk, then closes it (closed whatever the
// result): for the program's own records, which must survive a power cut.
FileResult FlushAndCloseFile(OutputFile* file);

// Reads a whole file, in chunks of bounded size, into `sink`. NotFound when
// it does not exist; NotRegular, with nothing read, when what stands there
// is a link (never followed), a device or a pipe, which could be read
// forever; Refused when it cannot be read or the sink returned false. A probe: nothing changes. With `as_removable` the file is opened as
// one about to be deleted (Windows: with delete access, sharing everything),
// so that a file another program holds open without allowing its deletion,
// or that the system would not let go, is Refused here, before a command
// has changed anything.
FileResult ReadWholeFile(const std::string& path,
                         const std::function<bool(const void* data, std::size_t size)>& sink,
                         bool as_removable = false);
// A file read at given positions (an archive): every read is a single call,
// with no seek before it, which counts when most entries are a few
// kilobytes. Reading shares the file with readers and writers, as a plain
// open for reading does. A probe: nothing changes.
struct InputFile;
// Null when the file cannot be opened or its size learnt.
InputFile* OpenInputFile(const std::string& path, std::uint64_t& size);
// Reads exactly `size` bytes at `position`; false when the file ends first.
bool ReadFromFile(InputFile* file, std::uint64_t position, void* data, std::size_t size);
void CloseInputFile(InputFile* file);

// The entries of folder `path` ("." and ".." left out). False when it cannot
// be listed. A probe: nothing changes.
struct FolderEntry {
  std::string name;
  bool is_folder = false;
};
bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries);
