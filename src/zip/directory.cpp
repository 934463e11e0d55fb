#include "zip/directory.h"

#include <algorithm>
#include <utility>

#include "zip/bytes.h"
#include "zip/entry_names.h"
#include "zip/extra_fields.h"
#include "zip/format.h"
#include "platform/text.h"

namespace zip {

namespace {

// Deflate cannot expand a byte into more than 1032 (one 258-byte match per
// two bits); a directory claiming more is lying about its sizes.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
// Far beyond any mod, far below what overflows anything.
constexpr std::uint64_t kMaxTotalSize = std::uint64_t{4} << 40;

// The fields of one central record that are not the entry's own.
struct Record {
  unsigned host = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dos_time = 0;
  std::uint16_t dos_date = 0;
  std::uint64_t disk = 0;
  std::uint32_t external = 0;
  std::vector<unsigned char> extra;
};

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// DOS date and time carry no zone; they are taken as they read, as if UTC,
// so the result does not depend on the machine's zone. Out-of-range fields
// (some writers leave a zero date) are clamped rather than refused.
std::int64_t DosTimeToUnix(std::uint16_t date, std::uint16_t time) {
  const std::int64_t year = 1980 + ((date >> 9) & 0x7f);
  const unsigned month = std::min(12u, std::max(1u, static_cast<unsigned>((date >> 5) & 0x0f)));
  const unsigned day = std::max(1u, static_cast<unsigned>(date & 0x1f));
  const unsigned hour = std::min(23u, static_cast<unsigned>(time >> 11));
  const unsigned minute = std::min(59u, static_cast<unsigned>((time >> 5) & 0x3f));
  const unsigned second = std::min(59u, static_cast<unsigned>((time & 0x1f) * 2));
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

// Reads the next record with its name and extra block, skipping its comment.
bool ReadRecord(SequentialReader& reader, Record& r, Entry& e) {
  unsigned char h[central::kSize];
  if (reader.remaining() < central::kSize || !reader.Read(h, central::kSize)) return false;
  if (Get32(h) != central::kSignature) return false;
  r.host = Get16(h + central::kMadeBy) >> 8;
  r.flags = Get16(h + central::kFlags);
  r.method = Get16(h + central::kMethod);
  r.dos_time = Get16(h + central::kTime);
  r.dos_date = Get16(h + central::kDate);
  r.disk = Get16(h + central::kDiskStart);
  r.external = Get32(h + central::kExternalAttributes);
  e.crc = Get32(h + central::kCrc);
  e.compressed_size = Get32(h + central::kCompressedSize);
  e.size = Get32(h + central::kUncompressedSize);
  e.offset = Get32(h + central::kLocalHeaderOffset);
  e.raw_name.resize(Get16(h + central::kNameLength));
  r.extra.resize(Get16(h + central::kExtraLength));
  return reader.Read(&e.raw_name[0], e.raw_name.size()) &&
         reader.Read(r.extra.data(), r.extra.size()) &&
         reader.Skip(Get16(h + central::kCommentLength));
}

// Refuses what cannot be extracted as a plain file or folder: None when it can.
ArchiveRefusal Unsupported(const Record& r) {
  if ((r.flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedDirectory)) != 0) {
    return ArchiveRefusal::Encrypted;
  }
  // Method 99 (AES) included.
  if (r.method != kStored && r.method != kDeflated) return ArchiveRefusal::UnknownMethod;
  // A link would be created as a file holding its target, or written through.
  const bool mode_in_attributes = r.host == kHostUnix || r.host == kHostMacOs;
  if (mode_in_attributes && ((r.external >> 16) & kModeTypeMask) == kModeSymbolicLink) {
    return ArchiveRefusal::Link;
  }
  return ArchiveRefusal::None;
}

// The record's name as the user would read it, for a refusal found before
// the names are decoded: the stored bytes where they do not decode.
std::string ShownName(const Record& r, const Entry& e) {
  std::string name;
  const bool utf8 = (r.flags & kFlagUtf8) != 0;
  if (utf8 ? Utf8ToNarrow(e.raw_name, name) : LegacyToNarrow(e.raw_name, name)) return name;
  return e.raw_name;
}

// Only the fields whose short value is saturated are in the ZIP64 field,
// in this order; the disk must then be the only one.
bool TakeZip64Fields(const ExtraInfo& info, Record& r, Entry& e) {
  const bool need[4] = {e.size == kEscape32, e.compressed_size == kEscape32,
                        e.offset == kEscape32, r.disk == kEscape16};
  std::uint64_t* const targets[4] = {&e.size, &e.compressed_size, &e.offset, &r.disk};
  std::size_t at = 0;
  for (int k = 0; k < 4; ++k) {
    if (!need[k]) continue;
    const std::size_t width = k == 3 ? zip64_field::kDiskSize : zip64_field::kValueSize;
    if (!info.has_zip64 || at + width > info.zip64.size()) return false;
    *targets[k] = k == 3 ? Get32(&info.zip64[at]) : Get64(&info.zip64[at]);
    at += width;
  }
  return r.disk == 0;
}

// Turns a record into its entry: sizes, name and time from the record and
// its extra block, sizes believable, offset inside the archive.
bool MakeEntry(const Layout& layout, Record& r, Entry& e, std::uint64_t& total_size,
               ArchiveProblem& why) {
  ExtraInfo info;
  const ArchiveRefusal unsupported = Unsupported(r);
  if (unsupported != ArchiveRefusal::None) return Refuse(why, unsupported, ShownName(r, e));
  if (!ParseCentralExtra(r.extra, e.raw_name, info)) {
    return Refuse(why, ArchiveRefusal::DamagedData, ShownName(r, e));
  }
  if (!TakeZip64Fields(info, r, e)) {
    return Refuse(why, ArchiveRefusal::SizesDisagree, ShownName(r, e));
  }
  if (!DecodeName((r.flags & kFlagUtf8) != 0, info.has_unicode_path ? &info.unicode_path : nullptr,
                  e)) {
    return Refuse(why, UndecodableName(e.raw_name), ShownName(r, e));
  }
  const bool sizes_agree = !(r.method == kStored && e.compressed_size != e.size) &&
                           !(r.method == kDeflated &&
                             e.size / kMaxDeflateRatio > e.compressed_size) &&
                           e.size <= kMaxTotalSize - total_size &&
                           e.offset <= layout.cd_start - layout.base;
  if (!sizes_agree) return Refuse(why, ArchiveRefusal::SizesDisagree, ShownName(r, e));
  total_size += e.size;

  e.offset += layout.base;
  e.method = r.method;
  e.modified = info.has_unix_time   ? info.unix_time
               : info.has_ntfs_time ? info.ntfs_time
                                    : DosTimeToUnix(r.dos_date, r.dos_time);
  return true;
}

// The end record's count must match what the directory holds. Without
// ZIP64 some writers let the 16-bit count wrap past 65,535 entries; the
// directory's own size is then what delimits it.
bool CountAgrees(std::uint64_t records, const Layout& layout) {
  return records == layout.count ||
         (!layout.zip64 && records > 0xffff && (records & 0xffff) == layout.count);
}

// Checked once every name is decoded, before "./" itself (the destination
// folder, which is there already) is left out.
bool CheckDecodedEntries(std::vector<Entry>& entries, ArchiveProblem& why) {
  if (!DecodeNames(entries, why)) return false;
  for (const Entry& e : entries) {
    if (e.is_directory && e.size != 0) return Refuse(why, ArchiveRefusal::SizesDisagree, e.name);
  }
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const Entry& e) { return e.is_directory && e.name.empty(); }),
                entries.end());
  return CheckEntryNames(entries, why);
}

// No two entries may share bytes, nor reach into the directory: that is
// how small archives pretend to hold huge amounts of data. The local
// header is at least its fixed part plus the name the directory gives it.
// Sets each entry's limit.
bool CheckPlacement(const Layout& layout, std::vector<Entry>& entries, ArchiveProblem& why) {
  std::vector<std::pair<std::uint64_t, std::size_t>> order;
  order.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) order.emplace_back(entries[i].offset, i);
  std::sort(order.begin(), order.end());
  for (std::size_t k = 0; k < order.size(); ++k) {
    Entry& e = entries[order[k].second];
    e.limit = k + 1 < order.size() ? order[k + 1].first : layout.cd_start;
    const std::uint64_t room = e.limit - e.offset;
    const std::uint64_t header = local::kSize + e.raw_name.size();
    if (room < header || room - header < e.compressed_size) {
      return Refuse(why, ArchiveRefusal::Overlapping, e.name);
    }
  }
  return true;
}

}  // namespace

bool ReadDirectory(File& file, const Layout& layout, std::vector<Entry>& entries,
                   ArchiveProblem& why) {
  SequentialReader reader(file, layout.cd_start, layout.cd_start + layout.cd_size);
  std::uint64_t total_size = 0;
  std::uint64_t records = 0;
  Record r;
  // Growing with what is actually there: the count in the end record is not
  // trusted for an allocation.
  while (reader.remaining() > 0) {
    Entry e;
    if (!ReadRecord(reader, r, e)) return Refuse(why, ArchiveRefusal::DamagedData, std::string());
    ++records;
    if (!MakeEntry(layout, r, e, total_size, why)) return false;
    entries.push_back(std::move(e));
  }
  if (!CheckDecodedEntries(entries, why)) return false;
  if (!CountAgrees(records, layout)) {
    return Refuse(why, ArchiveRefusal::SizesDisagree, std::string());
  }
  return CheckPlacement(layout, entries, why);
}

}  // namespace zip
