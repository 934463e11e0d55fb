#pragma once
// One entry as the central directory describes it, once checked.
#include <cstdint>
#include <string>

namespace zip {

struct Entry {
  std::string name;      // narrow encoding, as handed out
  std::string raw_name;  // bytes of the header, compared with the local header
  std::uint64_t size = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t offset = 0;  // of the local header, in the file
  std::uint64_t limit = 0;   // where the next header or the directory begins
  std::uint32_t crc = 0;
  std::uint16_t method = 0;
  std::int64_t modified = 0;
  bool is_directory = false;
  bool legacy_name = false;  // no UTF-8 flag and no usable Unicode path field
};

}  // namespace zip
