#include "engine/disk.h"

#include <vector>

#include "engine/long_path.h"
#include "platform/files.h"

bool PathExists(const std::string& path) {
  std::string reached = path;
  return ReachPath(reached) && FileExists(reached);
}

bool PathIsFolder(const std::string& path) {
  std::string reached = path;
  return ReachPath(reached) && IsFolder(reached);
}

bool DeletePath(const std::string& path) {
  std::string prepared = path;
  return PreparePath(prepared) && DeleteRegularFile(prepared) == FileResult::Done;
}

namespace {

// A rename within one folder; `replace` lets it take the place of a file.
bool Rename(const std::string& from, const std::string& to, bool replace) {
  // Both are reached through the same current folder when they are long.
  const std::string from_folder = ReachFolder(from);
  const std::string to_folder = ReachFolder(to);
  if (!from_folder.empty() && !to_folder.empty() && from_folder != to_folder) return false;
  std::string destination = to;
  std::string source = from;
  if (!(replace ? PreparePath(destination) : ReachPath(destination)) || !PreparePath(source)) {
    return false;
  }
  return (replace ? ReplaceWithEntry(source, destination) : MoveEntry(source, destination)) ==
         FileResult::Done;
}

}  // namespace

bool MovePath(const std::string& from, const std::string& to) { return Rename(from, to, false); }

bool ReplacePath(const std::string& from, const std::string& to) { return Rename(from, to, true); }

bool RemoveFolderIfEmpty(const std::string& path) {
  std::string reached = path;
  if (!ReachPath(reached)) return false;
  if (!IsFolder(reached)) return true;
  std::vector<FolderEntry> names;
  if (!ListFolder(reached, names)) return false;
  return !names.empty() || RemoveEmptyFolder(reached) == FileResult::Done;
}
