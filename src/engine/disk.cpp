#include "engine/disk.h"

#include <vector>

#include "platform/files.h"

bool PathExists(const std::string& path) { return FileExists(path); }

bool PathIsFolder(const std::string& path) { return IsFolder(path); }

// Windows will not delete or replace a read-only file: its attributes are
// cleared for that step alone, and put back should the step fail. A file
// that only moves keeps them, and its time: a rename changes neither.
bool DeletePath(const std::string& path) {
  FileAttributes before;
  if (ResetAttributes(path, before) != FileResult::Done) return false;
  if (DeleteRegularFile(path) == FileResult::Done) return true;
  RestoreAttributes(path, before);
  return false;
}

bool MovePath(const std::string& from, const std::string& to) {
  return MoveEntry(from, to) == FileResult::Done;
}

bool ReplacePath(const std::string& from, const std::string& to) {
  FileAttributes before;
  if (ResetAttributes(to, before) != FileResult::Done) return false;
  if (ReplaceWithEntry(from, to) == FileResult::Done) return true;
  RestoreAttributes(to, before);
  return false;
}

bool RemoveFolderIfEmpty(const std::string& path) {
  if (!IsFolder(path)) return true;
  std::vector<FolderEntry> names;
  if (!ListFolder(path, names)) return false;
  return !names.empty() || RemoveEmptyFolder(path) == FileResult::Done;
}
