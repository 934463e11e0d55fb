#pragma once
// Which names the program may create in a destination folder. One rule for
// archive entries and for the paths an install record or a plan holds, so
// that nothing read back from disk can name what no archive could.
#include <string>

// A component Windows could create under exactly this name: no control or
// forbidden characters, no trailing dot or space, no device name, not empty,
// "." or "..". Checked on every system so that a mod behaves the same on all.
bool IsSafeComponent(const std::string& component);

// A path relative to a folder, with the platform's separators only, every
// component safe: it can only name something inside that folder.
bool IsSafeRelativePath(const std::string& path);
