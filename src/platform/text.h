#pragma once
// Narrow-text facts of the platform. On Windows paths are bytes of the ANSI
// code page, where 0x5C can be the trail byte of a double-byte character; on
// Linux they are UTF-8, where it never can.
#include <cstdint>
#include <string>

constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// True when `c` starts a double-byte character of the narrow encoding.
bool IsLeadByte(unsigned char c);

// Position of the last path separator (`\` or `/`) that is a character of its
// own, not the trail byte of a double-byte character; npos when none.
std::size_t FindLastSeparator(const std::string& path);

// Converts UTF-8 to the narrow encoding. False when some character cannot be
// represented exactly (or `utf8` is not valid UTF-8).
bool Utf8ToNarrow(const std::string& utf8, std::string& narrow);
// Converts legacy zip-name bytes (no UTF-8 flag) to the narrow encoding:
// unchanged on Windows, where they must be text of the ANSI code page (no
// invalid sequence, no control character, the same bytes back); on Linux
// kept when valid UTF-8, otherwise decoded from code page 932. False when
// that fails.
bool LegacyToNarrow(const std::string& legacy, std::string& narrow);
bool IsValidUtf8(const std::string& text);
// Converts narrow text to UTF-8 for display in messages; bytes that do not
// convert are replaced, never dropped silently.
std::string NarrowToUtf8(const std::string& narrow);
