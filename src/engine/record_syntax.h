#pragma once
// How single values are spelt in install records and plans, and their strict
// reading: only what the writer writes is read back.
#include <cstddef>
#include <cstdint>
#include <string>

// Paths are bytes; a line break or a tab inside one must not end its field:
// control bytes and '%' are written as %XX.
std::string Escape(const std::string& text);
// Only what Escape writes: each escape exactly two capital hex digits, of a
// byte that needs one, and no byte raw that would have needed one.
bool Unescape(const std::string& text, std::string& out);
// No byte a file call would stop at or a name could not hold: a NUL would
// cut the path short. A tab stays: the settings file can hold one.
bool HoldsOnlyPathBytes(const std::string& path);
// A full path of this system (a drive or a server share on Windows).
bool IsAbsolute(const std::string& path);
// A decimal number as std::to_string writes it: digits only, no sign, no
// leading zero, at most `max`.
bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t& out);
// A CRC-32 as eight small hex digits.
bool ParseCrc(const std::string& text, std::uint32_t& out);
// The CRC-32 of the first `length` bytes of `text`.
std::uint32_t Checksum(const std::string& text, std::size_t length);
