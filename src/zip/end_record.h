#pragma once
// Where the central directory is: found from the end record, and through the
// ZIP64 locator and record when the archive has them.
#include <cstdint>

#include "zip/file.h"

namespace zip {

struct Layout {
  std::uint64_t cd_start = 0;
  std::uint64_t cd_size = 0;
  std::uint64_t count = 0;
  std::uint64_t base = 0;  // bytes in front of the archive (a stub); added to every offset
  bool zip64 = false;
};

// Finds the end record: scanning back over the longest possible comment, the
// one whose comment reaches the end of the file and whose directory is where
// it says. A comment can contain the signature, so every candidate is
// checked; two that both hold up mean the file reads as two different
// archives, and it is refused rather than guessed. Failing an exact one, a
// record followed by stray bytes is accepted.
bool FindLayout(File& file, Layout& out);

}  // namespace zip
