#include "zip/end_record.h"

#include <algorithm>
#include <vector>

#include "zip/bytes.h"
#include "zip/format.h"

namespace zip {

namespace {

// The fields of one end-record candidate.
struct EndFields {
  std::uint16_t disk = 0;
  std::uint16_t cd_disk = 0;
  std::uint16_t on_disk = 0;
  std::uint16_t total = 0;
  std::uint32_t size32 = 0;
  std::uint32_t offset32 = 0;
};

EndFields ReadEndFields(const unsigned char* rec) {
  EndFields f;
  f.disk = Get16(rec + end_record::kDisk);
  f.cd_disk = Get16(rec + end_record::kDirectoryDisk);
  f.on_disk = Get16(rec + end_record::kEntriesOnDisk);
  f.total = Get16(rec + end_record::kEntries);
  f.size32 = Get32(rec + end_record::kDirectorySize);
  f.offset32 = Get32(rec + end_record::kDirectoryOffset);
  return f;
}

// A 16- or 32-bit field of the end record either holds the value or says
// "see the ZIP64 record"; anything else contradicts the ZIP64 record.
bool Agrees(std::uint64_t field, std::uint64_t escape, std::uint64_t value) {
  return field == escape || field == value;
}

// Reads the ZIP64 record the locator at `loc_pos` points to into `z`, and
// answers where it is. It sits right before the locator; its stated offset
// is relative to the archive, so with a stub in front it is found there.
bool FindZip64Record(File& file, std::uint64_t loc_pos, const unsigned char* loc,
                     unsigned char* z, std::uint64_t& z_pos) {
  constexpr std::uint64_t kCounted = zip64_end::kSize - zip64_end::kSizeCountsFrom;
  const std::uint64_t stated = Get64(loc + zip64_locator::kRecordOffset);
  if (stated <= loc_pos - zip64_end::kSize && file.ReadAt(stated, z, zip64_end::kSize) &&
      Get32(z) == zip64_end::kSignature && Get64(z + zip64_end::kRecordSize) >= kCounted &&
      Get64(z + zip64_end::kRecordSize) == loc_pos - stated - zip64_end::kSizeCountsFrom) {
    z_pos = stated;
    return true;
  }
  if (file.ReadAt(loc_pos - zip64_end::kSize, z, zip64_end::kSize) &&
      Get32(z) == zip64_end::kSignature && Get64(z + zip64_end::kRecordSize) == kCounted) {
    z_pos = loc_pos - zip64_end::kSize;
    return true;
  }
  return false;
}

// Takes the directory's place from the ZIP64 record the locator at `loc_pos`
// leads to; the end record's fields must defer to it or agree with it.
// `cd_end` becomes where the ZIP64 record begins.
bool ResolveZip64(File& file, std::uint64_t loc_pos, const unsigned char* loc,
                  const EndFields& f, Layout& layout, std::uint64_t& cd_end,
                  std::uint64_t& cd_offset) {
  if (Get32(loc + zip64_locator::kRecordDisk) != 0 || Get32(loc + zip64_locator::kDiskCount) > 1) {
    return false;  // spanned archive
  }
  unsigned char z[zip64_end::kSize];
  std::uint64_t z_pos = 0;
  if (!FindZip64Record(file, loc_pos, loc, z, z_pos)) return false;
  if (Get32(z + zip64_end::kDisk) != 0 || Get32(z + zip64_end::kDirectoryDisk) != 0 ||
      Get64(z + zip64_end::kEntriesOnDisk) != Get64(z + zip64_end::kEntries)) {
    return false;
  }
  if (!Agrees(f.disk, kEscape16, 0) || !Agrees(f.cd_disk, kEscape16, 0)) return false;
  layout.count = Get64(z + zip64_end::kEntries);
  layout.cd_size = Get64(z + zip64_end::kDirectorySize);
  cd_offset = Get64(z + zip64_end::kDirectoryOffset);
  if (!Agrees(f.total, kEscape16, layout.count) || !Agrees(f.on_disk, kEscape16, layout.count) ||
      !Agrees(f.size32, kEscape32, layout.cd_size) || !Agrees(f.offset32, kEscape32, cd_offset)) {
    return false;
  }
  layout.zip64 = true;
  cd_end = z_pos;
  return true;
}

// Resolves one end-record candidate at `pos` into a layout; false when it
// does not describe a central directory in this file.
bool ResolveEnd(File& file, std::uint64_t pos, const unsigned char* rec, Layout& out) {
  const EndFields f = ReadEndFields(rec);
  Layout layout;
  std::uint64_t cd_end = pos;  // the directory ends where the end records begin
  std::uint64_t cd_offset = f.offset32;
  unsigned char loc[zip64_locator::kSize];
  if (pos >= zip64_locator::kSize + zip64_end::kSize &&
      file.ReadAt(pos - zip64_locator::kSize, loc, zip64_locator::kSize) &&
      Get32(loc) == zip64_locator::kSignature) {
    if (!ResolveZip64(file, pos - zip64_locator::kSize, loc, f, layout, cd_end, cd_offset)) {
      return false;
    }
  } else {
    if (f.disk != 0 || f.cd_disk != 0 || f.on_disk != f.total) return false;
    layout.count = f.total;
    layout.cd_size = f.size32;
  }
  if (layout.cd_size > cd_end || cd_offset > cd_end - layout.cd_size) return false;
  layout.cd_start = cd_end - layout.cd_size;
  layout.base = layout.cd_start - cd_offset;
  if (layout.cd_size > 0) {
    unsigned char sig[4];
    if (!file.ReadAt(layout.cd_start, sig, 4) || Get32(sig) != central::kSignature) return false;
  }
  out = layout;
  return true;
}

}  // namespace

bool FindLayout(File& file, Layout& out) {
  const std::uint64_t size = file.size();
  if (size < end_record::kSize) return false;
  const std::size_t tail_size = static_cast<std::size_t>(
      std::min<std::uint64_t>(size, end_record::kSize + end_record::kMaxComment));
  const std::uint64_t tail_start = size - tail_size;
  std::vector<unsigned char> tail(tail_size);
  if (!file.ReadAt(tail_start, tail.data(), tail_size)) return false;

  int exact = 0;
  bool have_loose = false;
  Layout exact_layout, loose_layout;
  for (std::size_t i = tail_size - end_record::kSize + 1; i-- > 0;) {
    if (Get32(&tail[i]) != end_record::kSignature) continue;
    const std::uint64_t pos = tail_start + i;
    const std::uint64_t end = pos + end_record::kSize + Get16(&tail[i + end_record::kCommentLength]);
    if (end > size) continue;
    Layout layout;
    if (!ResolveEnd(file, pos, &tail[i], layout)) continue;
    if (end == size) {
      if (++exact > 1) return false;
      exact_layout = layout;
    } else if (!have_loose) {
      have_loose = true;
      loose_layout = layout;
    }
  }
  if (exact == 1) {
    out = exact_layout;
    return true;
  }
  if (have_loose) {
    out = loose_layout;
    return true;
  }
  return false;
}

}  // namespace zip
