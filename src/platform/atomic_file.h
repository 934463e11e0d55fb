#pragma once
// The one way the program writes a file of its own (an install record, a
// plan, the settings file) so that a crash or a power cut leaves the old
// file or the new one, never a mix: the new contents are written whole and
// flushed under a temporary name beside the file, then renamed into place.
// Every change goes through `calls` (disk_calls.h), tried again while
// another program holds the file.
#include <string>

#include "platform/disk_calls.h"

// The temporary name of `path`: `path` + ".tmp".
std::string TemporaryName(const std::string& path);
// Writes `data` to TemporaryName(path), replacing a leftover of an earlier
// crash, and flushes it to the disk. Its name; empty, with nothing left
// behind where it could be removed, when a step failed.
std::string WriteTemporaryFile(const std::string& path, const std::string& data,
                               const DiskCalls& calls);
// Renames `temporary` to `path`, over an existing file when `replace`. False,
// with `path` as it was and the temporary removed where it can be, when it
// could not.
bool PutTemporaryInPlace(const std::string& temporary, const std::string& path, bool replace,
                         const DiskCalls& calls);
// Both in one.
bool WriteFileAtomically(const std::string& path, const std::string& data, bool replace,
                         const DiskCalls& calls);
