#pragma once
// Extra fields: walking a block of them, and what a central record's block
// says about its entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zip/bytes.h"
#include "zip/format.h"

namespace zip {

// Calls `visit(id, data, size)` for every extra field; false when the block
// is malformed (a length running past the end, or bytes left over).
template <typename Visit>
bool WalkExtra(const unsigned char* p, std::size_t size, Visit visit) {
  std::size_t i = 0;
  while (i < size) {
    if (size - i < extra::kHeaderSize) return false;
    const std::uint16_t id = Get16(p + i + extra::kId);
    const std::uint16_t len = Get16(p + i + extra::kLength);
    i += extra::kHeaderSize;
    if (len > size - i) return false;
    visit(id, p + i, len);
    i += len;
  }
  return true;
}

// Fields of one central record that the extra block can override; the first
// field of each kind counts.
struct ExtraInfo {
  bool has_zip64 = false;
  std::vector<unsigned char> zip64;
  bool has_unicode_path = false;
  std::string unicode_path;
  bool has_unix_time = false;
  std::int64_t unix_time = 0;
  bool has_ntfs_time = false;
  std::int64_t ntfs_time = 0;
};

// False when the block is malformed. `raw_name` is the record's name, which
// a Unicode path field must still describe to count.
bool ParseCentralExtra(const std::vector<unsigned char>& extra, const std::string& raw_name,
                       ExtraInfo& info);

}  // namespace zip
