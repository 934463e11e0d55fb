#include <iconv.h>

#include <cerrno>

#include "platform/text.h"

// UTF-8 has no byte that could be mistaken for a separator inside a character.
bool IsLeadByte(unsigned char) { return false; }

// The narrow encoding here is UTF-8, so a valid name passes through as is.
bool Utf8ToNarrow(const std::string& utf8, std::string& narrow) {
  if (!IsValidUtf8(utf8)) return false;
  narrow = utf8;
  return true;
}

namespace {

// Strict code page 932 to UTF-8: any byte sequence without a mapping fails
// the whole conversion rather than being dropped or replaced.
bool Cp932ToUtf8(const std::string& in, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result;
  // A CP932 character is one or two bytes and becomes at most three bytes of
  // UTF-8, so twice the input plus a little always suffices.
  result.resize(in.size() * 2 + 4);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = &result[0];
  std::size_t dst_left = result.size();
  bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1) &&
            src_left == 0;
  // Flush any shift state (none for CP932, but the call is what ends a run).
  if (ok) ok = iconv(cd, nullptr, nullptr, &dst, &dst_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) return false;
  result.resize(result.size() - dst_left);
  if (!IsValidUtf8(result)) return false;
  out.swap(result);
  return true;
}

}  // namespace

bool LegacyToNarrow(const std::string& legacy, std::string& narrow) {
  if (IsValidUtf8(legacy)) {
    narrow = legacy;
    return true;
  }
  return Cp932ToUtf8(legacy, narrow);
}

std::string NarrowToUtf8(const std::string& narrow) {
  if (IsValidUtf8(narrow)) return narrow;
  // Keep every valid sequence and put U+FFFD in place of each byte that does
  // not start one, so that a broken name still shows where it is broken.
  std::string out;
  out.reserve(narrow.size() + 8);
  std::size_t i = 0;
  while (i < narrow.size()) {
    const unsigned char c = static_cast<unsigned char>(narrow[i]);
    std::size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len != 0 && i + len <= narrow.size() && IsValidUtf8(narrow.substr(i, len))) {
      out.append(narrow, i, len);
      i += len;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}
