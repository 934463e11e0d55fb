#include "rules/mod_names.h"

namespace {
constexpr const char kPrefix[] = "FileNo";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
constexpr std::size_t kMaxDigits = 5;
}  // namespace

std::string ModName(int n) { return kPrefix + std::to_string(n); }

bool ParseModName(const std::string& name, int& n) {
  const std::size_t digits = name.size() - kPrefixLength;
  if (name.size() <= kPrefixLength || name.compare(0, kPrefixLength, kPrefix) != 0 ||
      digits > kMaxDigits || (name[kPrefixLength] == '0' && digits > 1)) {
    return false;
  }
  int value = 0;
  for (std::size_t i = kPrefixLength; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    value = value * 10 + (name[i] - '0');
  }
  n = value;
  return true;
}
