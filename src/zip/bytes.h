#pragma once
// Reading the archive's bytes: little-endian fields, and the CRC-32 that
// guards entry data and the Unicode path field.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace zip {

inline std::uint16_t Get16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const unsigned char* p) {
  return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

inline std::uint32_t Crc(std::uint32_t crc, const void* data, std::size_t size) {
  const Bytef* p = static_cast<const Bytef*>(data);
  // zlib's length is 32-bit; chunks here never come near that, but a name or
  // a buffer is passed whole, so split rather than assume.
  while (size > 0) {
    const uInt n = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    crc = static_cast<std::uint32_t>(crc32(crc, p, n));
    p += n;
    size -= n;
  }
  return crc;
}

}  // namespace zip
