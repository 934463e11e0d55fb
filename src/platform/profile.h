#pragma once
// The private-profile (INI) seam: the Windows profile functions, or an INI
// layer with the same observable behaviour on other platforms:
// - a missing file, section or key reads as the default;
// - a value longer than `size - 1` bytes is cut to `size - 1`;
// - writing creates the file, the section and the key as needed;
// - a null value deletes the key and keeps the section;
// - section and key names compare case-insensitively;
// - of two keys of the same name in a section the first is read.
#include <cstddef>
#include <string>

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& file);
// GetPrivateProfileInt semantics: a missing key or empty value gives the
// default; otherwise an optional sign, then the leading digits (decimal, or
// after a lower-case "0x" hexadecimal, "0o" octal, "0b" binary) of the
// value's first 29 characters, none giving 0. Out of range, the number is
// taken modulo 2^32 as a two's complement int, as the Windows function does:
// "4294967295" gives -1, "2147483648" and "-2147483648" give INT_MIN. Defined
// for every input.
int ProfileReadInt(const std::string& section, const std::string& key, int default_value,
                   const std::string& file);
// Outside a batch the file is replaced in one rename (a copy written beside
// it and flushed first). False when the file could not be written, is
// read-only, or holds bytes that the rewrite would lose (a NUL byte, or what
// the INI layer cannot parse back); the file is then unchanged. The INI
// layer also refuses a section, key or value holding a line break (CR or
// LF), which would start a line of its own making (the Windows functions
// write it as it is; no Windows path holds one).
bool ProfileWriteString(const std::string& section, const std::string& key, const char* value,
                        const std::string& file);

// A batch of writes to `file`: until the commit or abandon, writes to it go
// to a copy and reads of it read the copy. One batch at a time; beginning
// one abandons any other.
void ProfileBeginBatch(const std::string& file);
// Puts the copy in place of the file in one rename. False when it could not
// or when a write of the batch failed; the file is then unchanged.
bool ProfileCommitBatch();
void ProfileAbandonBatch();

