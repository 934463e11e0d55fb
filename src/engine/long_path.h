#pragma once
// Reaching a path past the ANSI file calls' limit on Windows, through the
// process's current folder; on other systems every path is reached as it is.
#include <cstddef>
#include <string>

constexpr std::size_t kLongPath = 260;  // from here the current-folder step applies (Windows)

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
