#include "engine/long_path.h"

#include "platform/files.h"
#include "platform/text.h"
#include "rules/paths.h"

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
