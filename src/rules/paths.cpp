#include "rules/paths.h"

#include "platform/files.h"
#include "platform/text.h"

bool TargetPath(const std::string& folder, const std::string& stored_name, std::string& out) {
  if (folder.empty()) return false;
  // One spelling for one path: archives may separate with either slash. A
  // trail byte 0x5C is part of its character, not a separator.
  std::string name = stored_name;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(name[i])) && i + 1 < name.size()) {
      ++i;
    } else if (name[i] == '/' || name[i] == '\\') {
      name[i] = kPathSeparator;
    }
  }
  std::string path = folder + kPathSeparator + name;
  if (path.size() > kMaxTargetPath) return false;
  out = path;
  return true;
}

std::string BackupFileName(const std::string& file_name) {
  // '.' is never the trail byte of a double-byte character, so a byte search
  // is safe here.
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string::npos) return file_name + kBackupExtension;
  return file_name.substr(0, dot + 1) + kBackupExtension;
}

bool BackupName(const std::string& path, std::string& out, std::size_t max_length) {
  // Only the file name decides: a dot in a folder name must not move the
  // backup out of the file's folder.
  const std::size_t separator = FindLastSeparator(path);
  const std::size_t name_start = separator == std::string::npos ? 0 : separator + 1;
  std::string backup = path.substr(0, name_start) + BackupFileName(path.substr(name_start));
  if (backup.size() > max_length) return false;
  out = backup;
  return true;
}

bool SplitPath(const std::string& source, std::string& directory, std::string& name) {
  const std::size_t separator = FindLastSeparator(source);
  if (separator == std::string::npos) return false;
  directory = source.substr(0, separator);
  name = source.substr(separator + 1);
  return true;
}

std::string DisplayName(const std::string& archive_path) {
  const std::size_t separator = FindLastSeparator(archive_path);
  return separator == std::string::npos ? archive_path : archive_path.substr(separator + 1);
}

bool ReachPath(std::string& path) {
  if (path.empty() || path.size() > kMaxTargetPath) return false;
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.size() >= kLongPath) {
    // The ANSI file calls refuse paths this long: reach the file by the rest
    // of its path from a folder made current. If the folder cannot be made
    // current, the rest would point into whatever folder is current.
    const std::string directory = ReachFolder(path);
    if (directory.empty() || !ChangeCurrentDirectory(directory)) return false;
    std::size_t cut = directory.size();
    if (cut < path.size() && path[cut] == '\\') ++cut;
    path = path.substr(cut);
  }
#endif
  return true;
}

std::string ReachFolder(const std::string& path) {
#ifdef _WIN32
  if (path.size() < kLongPath) return std::string();
  // SetCurrentDirectoryA takes at most MAX_PATH - 2 characters before the
  // separator it adds: the deepest folder within that whose rest fits.
  constexpr std::size_t kMaxCurrentFolder = kLongPath - 3;
  std::size_t cut = std::string::npos;
  for (std::size_t i = 0; i < path.size() && i <= kMaxCurrentFolder; ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      ++i;
    } else if ((c == '\\' || c == '/') && path.size() - i - 1 < kLongPath && i + 1 < path.size()) {
      cut = i;
    }
  }
  if (cut == std::string::npos || cut == 0) return std::string();
  std::string directory = path.substr(0, cut);
  for (char& c : directory) {
    if (c == '/') c = '\\';
  }
  // "C:" alone is the drive's current folder, not its root.
  if (directory.size() == 2 && directory[1] == ':') directory += '\\';
  return directory;
#else
  (void)path;
  return std::string();
#endif
}

bool PreparePath(std::string& path) {
  // A read-only file could be neither renamed nor deleted later. A path that
  // does not exist yet needs nothing.
  return ReachPath(path) && ResetAttributes(path) != FileResult::Refused;
}

bool IsDirectoryEntry(const std::string& name) {
  return !name.empty() && FindLastSeparator(name) == name.size() - 1;
}

bool FileExists(const std::string& path) { return FileSystemEntryExists(path); }

