#pragma once
// The form in which the Windows file seam hands every path to the wide file
// functions: converted exactly from the ANSI code page, made whole, and
// prefixed with \\?\ (\\?\UNC\ for a share), so that it reaches 32,767
// characters without the process's current folder. Such a path skips
// Windows' own normalisation, which is therefore done here first.
#include <string>

// Longest path the wide functions take, in UTF-16 units with the prefix.
constexpr std::size_t kMaxWidePath = 32767;

// False when `path` is not a full path (a drive or a share), holds a byte
// sequence the ANSI code page does not define (it is refused, never
// guessed), names a device, or is too long. `wide` is then unspecified.
bool ToWidePath(const std::string& path, std::wstring& wide);

// A name as the file system gave it, in the ANSI code page; false when some
// character has no exact equivalent there (a best fit would name another
// file).
bool FromWideName(const std::wstring& name, std::string& narrow);
