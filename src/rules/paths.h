#pragma once
// Path rules: where an archive entry lands, the name under which the file it
// replaces is saved, and the preparation every path gets before a file call.
#include <cstddef>
#include <string>

// Limits of the paths the program handles, in bytes (without the NUL).
constexpr std::size_t kMaxTargetPath = 519;   // archive and target paths
constexpr std::size_t kMaxFolderPath = 259;   // a folder or a file name
constexpr std::size_t kLongPath = 260;        // from here the current-directory step applies (Windows)
constexpr const char* kBackupExtension = "qvs";

// The mod's folder, one separator, then the stored name with its separators
// made the platform's. False when there is no folder or the result exceeds
// kMaxTargetPath.
bool TargetPath(const std::string& folder, const std::string& stored_name, std::string& out);

// The backup name of a file name (no folder part): cut after its last dot and
// add "qvs"; a name without a dot gets "qvs" appended.
std::string BackupFileName(const std::string& file_name);
// The backup name of a path: the folder part is kept, the rule above applies
// to the file name. False when the result exceeds `max_length`.
bool BackupName(const std::string& path, std::string& out, std::size_t max_length);

// Normalises separators and, on Windows, performs the current-directory step
// for a path of kLongPath characters or more: the deepest folder on the way
// that can be made current is, and the buffer then holds the rest of the
// path (the bare name when the file's own folder could be). Changes nothing
// on disk. False when the path cannot be reached: the rest would still be
// too long, or the change of directory failed.
bool ReachPath(std::string& path);
// The folder ReachPath makes current for `path`; empty when it makes none
// (a short path, or any path where there is no such limit). Pure.
std::string ReachFolder(const std::string& path);
// Whether ReachPath changes the current folder for `path`: steps on such
// paths must not run beside each other.
inline bool IsLongPath(const std::string& path) {
#ifdef _WIN32
  return path.size() >= kLongPath;
#else
  (void)path;
  return false;
#endif
}

// ReachPath, then clears the attributes that would block a change of an
// existing file or folder. False when the path cannot be reached or an
// existing entry's attributes could not be cleared.
bool PreparePath(std::string& path);

// Splits at the last separator. False (and both outputs untouched) when there
// is none. Pure: touches nothing on disk.
bool SplitPath(const std::string& source, std::string& directory, std::string& name);

// Row text of an archive path: the part after the last separator, or the
// whole text when there is none. Touches nothing on disk.
std::string DisplayName(const std::string& archive_path);

// An entry name ending in a separator names a folder.
bool IsDirectoryEntry(const std::string& name);

bool FileExists(const std::string& path);

