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

// Why the reader refused an archive or an entry's data: one value per rule.
enum class ArchiveRefusal {
  None,
  CannotRead,         // the file cannot be opened or read
  NotZip,             // no end record that describes a directory in this file
  DamagedData,        // a directory record, an extra field or an entry's data is corrupt
  SizesDisagree,      // sizes, counts or offsets that do not add up
  Overlapping,        // an entry's data overlaps another's or the directory
  Encrypted,
  UnknownMethod,      // neither stored nor deflated
  Link,               // a symbolic link
  LeavesFolder,       // a ".." component
  AbsoluteName,       // a leading separator or a drive
  NameNotInCodePage,  // a name this system's encoding cannot hold
  NameNotCreatable,   // a name Windows cannot create under exactly that name
  SameTarget,         // two entries on one file, or a file where a folder must go
};
// A refusal and the entry it is about, its name as stored (decoded where it
// could be); empty when it is about the archive as a whole.
struct ArchiveProblem {
  ArchiveRefusal reason = ArchiveRefusal::None;
  std::string entry;
};

struct Archive;
using ArchiveHandle = Archive*;

// Number of entries an enumeration visits; -1 when the archive cannot be read
// or is refused.
// With `why`, the reason of a refusal is put there.
long long ArchiveCountEntries(const std::string& archive_path, ArchiveProblem* why = nullptr);
// Null when the archive cannot be read or is refused (same rules as above).
ArchiveHandle ArchiveOpen(const std::string& archive_path, ArchiveProblem* why = nullptr);
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
// received part of the data. With `why`, a failure the sink did not cause
// is put there as DamagedData.
bool ArchiveReadEntry(ArchiveHandle archive, const ArchiveEntryInfo& entry,
                      const std::function<bool(const void* data, std::size_t size)>& sink,
                      ArchiveProblem* why = nullptr);
