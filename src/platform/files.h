#pragma once
// The file seam: every call the engine makes on a destination folder. Each
// platform translates its own error codes into FileResult here, once. The
// changing calls reach the platform through disk_calls.h.
//
// Paths are in the platform's narrow encoding (ANSI code page on Windows,
// UTF-8 on Linux) and have already been through ReachPath (or PreparePath):
// on Windows a path of 260 characters or more arrives as a bare name
// relative to the current directory that step chose.
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
// Clears read-only, hidden and system attributes (Windows); makes the entry
// writable by its owner (POSIX).
FileResult ResetAttributes(const std::string& path);
FileResult MakeFolder(const std::string& path);
// Removes an empty folder only.
FileResult RemoveEmptyFolder(const std::string& path);
bool ChangeCurrentDirectory(const std::string& path);

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
