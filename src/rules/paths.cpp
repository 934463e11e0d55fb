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
  if (path.size() > kMaxPath) return false;
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

bool IsDirectoryEntry(const std::string& name) {
  return !name.empty() && FindLastSeparator(name) == name.size() - 1;
}


