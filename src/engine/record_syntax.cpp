#include "engine/record_syntax.h"

#include <zlib.h>

#include <cstdio>

namespace {
bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '%'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // the writer spells escapes in capitals only
}
}  // namespace

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (NeedsEscape(u)) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c != '%') {
      if (NeedsEscape(c)) return false;
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    const unsigned char value = static_cast<unsigned char>(high * 16 + low);
    if (!NeedsEscape(value)) return false;
    out += static_cast<char>(value);
    i += 2;
  }
  return true;
}

bool HoldsOnlyPathBytes(const std::string& path) {
  for (const char c : path) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 && u != '\t') return false;
  }
  return true;
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
  // Either separator: a hand-edited settings file may hold C:/Games.
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && separator(path[2])) return true;
  return path.size() > 2 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
#else
  return !path.empty() && path[0] == '/';
#endif
}

bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t& out) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
  out = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (digit > max || out > (max - digit) / 10) return false;
    out = out * 10 + digit;
  }
  return true;
}

bool ParseCrc(const std::string& text, std::uint32_t& out) {
  if (text.size() != 8) return false;
  out = 0;
  for (const char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return false;
    out = out * 16 + static_cast<std::uint32_t>(digit);
  }
  return true;
}

std::uint32_t Checksum(const std::string& text, std::size_t length) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uInt>(length)));
}
