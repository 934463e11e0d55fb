#include "zip/extra_fields.h"

namespace zip {

namespace {

// Between 1601 and 1970, where FILETIMEs and Unix times start.
constexpr std::int64_t kFileTimeEpochOffset = 11644473600LL;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000;

// Version 1, and only while it still describes the name beside it: a tool
// that renamed the entry without updating this field left a CRC of the old
// name, and the header name is then the true one.
void TakeUnicodePath(const unsigned char* p, std::uint16_t len, const std::string& raw_name,
                     ExtraInfo& info) {
  if (len >= unicode_path::kName && p[unicode_path::kVersion] == 1 &&
      Get32(p + unicode_path::kNameCrc) == Crc(0, raw_name.data(), raw_name.size())) {
    info.has_unicode_path = true;
    info.unicode_path.assign(reinterpret_cast<const char*>(p + unicode_path::kName),
                             len - unicode_path::kName);
  }
}

void TakeTimestamp(const unsigned char* p, std::uint16_t len, ExtraInfo& info) {
  if (len >= timestamp::kMinLength && (p[timestamp::kFlags] & 1) != 0) {
    info.has_unix_time = true;
    info.unix_time = Get32(p + timestamp::kModified);  // unsigned: writers use it past 2038
  }
}

// The modification time of the times attribute; other attributes are
// skipped, and a malformed list ends the search.
void TakeNtfsTime(const unsigned char* p, std::uint16_t len, ExtraInfo& info) {
  std::size_t i = ntfs::kAttributes;
  while (len - i >= ntfs::kAttributeHeaderSize) {
    const std::uint16_t tag = Get16(p + i + ntfs::kTag);
    const std::uint16_t tag_len = Get16(p + i + ntfs::kTagLength);
    i += ntfs::kAttributeHeaderSize;
    if (tag_len > len - i) break;
    if (tag == ntfs::kTagTimes && tag_len >= ntfs::kFileTimeSize) {
      const std::uint64_t filetime = Get64(p + i);
      info.has_ntfs_time = true;
      info.ntfs_time =
          static_cast<std::int64_t>(filetime / kFileTimeTicksPerSecond) - kFileTimeEpochOffset;
      break;
    }
    i += tag_len;
  }
}

}  // namespace

bool ParseCentralExtra(const std::vector<unsigned char>& extra, const std::string& raw_name,
                       ExtraInfo& info) {
  return WalkExtra(extra.data(), extra.size(), [&](std::uint16_t id, const unsigned char* p,
                                                   std::uint16_t len) {
    if (id == kExtraZip64 && !info.has_zip64) {
      info.has_zip64 = true;
      info.zip64.assign(p, p + len);
    } else if (id == kExtraUnicodePath && !info.has_unicode_path) {
      TakeUnicodePath(p, len, raw_name, info);
    } else if (id == kExtraTimestamp && !info.has_unix_time) {
      TakeTimestamp(p, len, info);
    } else if (id == kExtraNtfs && !info.has_ntfs_time && len >= ntfs::kAttributes) {
      TakeNtfsTime(p, len, info);
    }
  });
}

}  // namespace zip
