#pragma once
// What the fuzz targets share: a private scratch folder per process, file
// helpers that go around the code under test, and a snapshot of a tree to
// tell whether anything in it changed. Linux only, like the fuzz build.
#include <cstddef>
#include <map>
#include <set>
#include <string>

// Named apart from the code under test, which has a MakeFolder of its own.
namespace fuzz {

// Prints the message to stderr and aborts: libFuzzer keeps the input.
[[noreturn]] void FuzzFail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A new folder of this process's own under $TMPDIR (or /tmp), its real path
// without a trailing separator, removed with everything in it when the
// process exits normally (a crash leaves it to look at).
std::string MakeScratchFolder(const char* name);

void RemoveTree(const std::string& path);
void MakeFolder(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// False when the file cannot be read; never opens anything but a regular file.
bool ReadBytes(const std::string& path, std::string& bytes);

// Every entry below `root` (relative path, '/' separated) -> its type,
// permission bits, size and, for a regular file, its contents. Entries at
// the relative paths in `skip` are left out with everything below them.
using Tree = std::map<std::string, std::string>;
Tree SnapshotTree(const std::string& root, const std::set<std::string>& skip = {});
// The first difference between two snapshots, for the report.
std::string DescribeDifference(const Tree& before, const Tree& after);

// Replaces every occurrence of `token` in `text` by `value`.
std::string Expand(std::string text, const std::string& token, const std::string& value);

}  // namespace fuzz
