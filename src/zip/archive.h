#pragma once
// Our zip reader over zlib: the archive interface the engine relies on.
//
// An archive is read from its central directory and enumerated in its order,
// the same every time. An archive counts as unreadable (ArchiveCountEntries
// answers -1, ArchiveOpen answers null) when its directory is corrupt, any
// entry is encrypted, a symbolic link, or uses a method other than stored and
// deflate, or any entry name is unsafe for extraction into a folder: see
// CheckEntryNames in entry_names.h. Nothing is ever written by this layer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct ArchiveEntryInfo {
  // Stored path in the platform's narrow encoding, relative, separators as
  // stored (`/` or `\`); ends in a separator for a directory entry.
  std::string name;
  bool is_directory = false;
  std::uint64_t size = 0;             // uncompressed
  std::uint64_t compressed_size = 0;
  std::uint32_t crc32 = 0;
  std::int64_t modified = 0;          // seconds since 1970, UTC
  std::size_t position = 0;           // index in enumeration order
};

struct Archive;
using ArchiveHandle = Archive*;

// Number of entries an enumeration visits; -1 when the archive cannot be read
// or is refused.
long long ArchiveCountEntries(const std::string& archive_path);
// Null when the archive cannot be read or is refused (same rules as above).
ArchiveHandle ArchiveOpen(const std::string& archive_path);
// Another handle on the archive `archive` was opened from, for another
// thread: its directory is not read and checked again. Null when the file
// cannot be opened.
ArchiveHandle ArchiveOpenAgain(ArchiveHandle archive);
// The number of entries an enumeration of this handle visits.
long long ArchiveEntryCount(ArchiveHandle archive);
// The first entry, in enumeration order: every entry is enumerated, names
// without a dot and folders too. False when there is none.
bool ArchiveFindFirst(ArchiveHandle archive, ArchiveEntryInfo& info);
// False after the last entry.
bool ArchiveFindNext(ArchiveHandle archive, ArchiveEntryInfo& info);
void ArchiveClose(ArchiveHandle archive);

// Streams one file entry's data to `sink` in chunks of bounded size, and
// checks its size and CRC-32 against the directory. False when the data is
// corrupt, truncated, or the sink returned false; the sink may then have
// received part of the data.
bool ArchiveReadEntry(ArchiveHandle archive, const ArchiveEntryInfo& entry,
                      const std::function<bool(const void* data, std::size_t size)>& sink);
