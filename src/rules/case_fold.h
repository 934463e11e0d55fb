#pragma once
// One way to compare names without regard to case: ASCII letters only, the
// same on every machine whatever its locale (a byte of a multi-byte
// character is never one of them, and a trail byte is skipped).
#include <string>

std::string FoldCase(const std::string& name);

// Two spellings name the same file where the file system ignores case
// (Windows): the key under which a path is compared. The path itself
// elsewhere.
std::string FileKey(const std::string& path);
