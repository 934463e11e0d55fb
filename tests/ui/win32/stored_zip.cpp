#include "stored_zip.h"

#include <cstdint>

namespace {

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

}  // namespace

std::string StoredZip(const std::vector<ZipEntry>& entries) {
  constexpr std::uint32_t kDosDate = (1 << 5) | 1;  // 1980-01-01
  std::string archive, directory;
  for (const ZipEntry& entry : entries) {
    const std::uint32_t crc = Crc32(entry.data);
    const auto size = static_cast<std::uint32_t>(entry.data.size());
    const auto name_size = static_cast<std::uint32_t>(entry.name.size());
    const auto offset = static_cast<std::uint32_t>(archive.size());
    const bool folder = !entry.name.empty() && entry.name.back() == '/';

    Put32(archive, 0x04034B50);
    Put16(archive, 20);  // version needed
    Put16(archive, 0);   // flags
    Put16(archive, 0);   // method: stored
    Put16(archive, 0);   // time
    Put16(archive, kDosDate);
    Put32(archive, crc);
    Put32(archive, size);
    Put32(archive, size);
    Put16(archive, name_size);
    Put16(archive, 0);  // extra field
    archive += entry.name;
    archive += entry.data;

    Put32(directory, 0x02014B50);
    Put16(directory, 20);  // made by: MS-DOS
    Put16(directory, 20);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, kDosDate);
    Put32(directory, crc);
    Put32(directory, size);
    Put32(directory, size);
    Put16(directory, name_size);
    Put16(directory, 0);  // extra field
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, folder ? 0x10 : 0x20);
    Put32(directory, offset);
    directory += entry.name;
  }
  const auto directory_offset = static_cast<std::uint32_t>(archive.size());
  archive += directory;
  Put32(archive, 0x06054B50);
  Put16(archive, 0);
  Put16(archive, 0);
  Put16(archive, static_cast<std::uint32_t>(entries.size()));
  Put16(archive, static_cast<std::uint32_t>(entries.size()));
  Put32(archive, static_cast<std::uint32_t>(directory.size()));
  Put32(archive, directory_offset);
  Put16(archive, 0);  // comment
  return archive;
}
