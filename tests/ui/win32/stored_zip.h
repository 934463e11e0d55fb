#pragma once
// A minimal zip writer for the end-to-end tests: every entry stored
// uncompressed. Written here so that the driver needs no fixture files and
// shares no code with the program's own zip reader.
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;  // '/'-separated; a trailing '/' makes a folder entry
  std::string data;
};

// The bytes of a complete archive holding `entries` in order.
std::string StoredZip(const std::vector<ZipEntry>& entries);
