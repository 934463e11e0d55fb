#include "rules/names.h"

#include <cstring>

#include "platform/text.h"
#include "rules/case_fold.h"

namespace {

bool EqualsAsciiNoCase(const std::string& a, const char* b) { return FoldCase(a) == FoldCase(b); }

// Windows opens the device instead of a file for these, whatever follows the
// first dot.
bool IsReservedDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* name : kNames) {
    if (EqualsAsciiNoCase(base, name)) return true;
  }
  if (base.size() == 4 && base[3] >= '1' && base[3] <= '9') {
    const std::string stem = base.substr(0, 3);
    if (EqualsAsciiNoCase(stem, "COM") || EqualsAsciiNoCase(stem, "LPT")) return true;
  }
  return false;
}

}  // namespace

// Windows would silently drop a trailing dot or space, so an uninstall would
// look for a file that is not there.
bool IsSafeComponent(const std::string& component) {
  if (component.empty() || component == "." || component == "..") return false;
  for (std::size_t i = 0; i < component.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(component[i]);
    if (IsLeadByte(c) && i + 1 < component.size()) {
      ++i;  // a trail byte may look like '|' or '\' but is part of a character
      continue;
    }
    if (c < 0x20 || std::strchr("<>:\"|?*", c) != nullptr) return false;
  }
  const char last = component.back();
  if (last == '.' || last == ' ') return false;
  return !IsReservedDeviceName(component);
}

bool IsSafeRelativePath(const std::string& path) {
  std::string component;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      component += path[i];
      component += path[++i];
    } else if (c == static_cast<unsigned char>(kPathSeparator)) {
      if (!IsSafeComponent(component)) return false;
      component.clear();
    } else if (c == '/' || c == '\\') {
      return false;  // the other platform's separator: never written by us
    } else {
      component += path[i];
    }
  }
  return IsSafeComponent(component);
}
