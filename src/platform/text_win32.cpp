#include <windows.h>

#include "platform/text.h"

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

namespace {

bool ToWide(UINT code_page, DWORD flags, const std::string& in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  const int n = MultiByteToWideChar(code_page, flags, in.data(), static_cast<int>(in.size()),
                                    nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(code_page, flags, in.data(), static_cast<int>(in.size()), &out[0],
                             n) == n;
}

// Wide to the ANSI code page, failing when any character would be replaced
// or approximated: a name that comes out different would not be the file the
// archive meant, and its backup would not be found again on uninstall.
bool WideToAnsiExact(const std::wstring& wide, std::string& out) {
  out.clear();
  if (wide.empty()) return true;
  const int len = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), len, nullptr, 0,
                                    nullptr, &used_default);
  if (n <= 0 || used_default) return false;
  out.resize(static_cast<std::size_t>(n));
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), len, &out[0], n, nullptr,
                          &used_default) != n ||
      used_default) {
    return false;
  }
  // The way back must give the same characters, or the name is not exact.
  std::wstring back;
  return ToWide(CP_ACP, MB_ERR_INVALID_CHARS, out, back) && back == wide;
}

// Printable ASCII reads the same in every ANSI code page and in UTF-8: most
// names are, and the conversions below cost more than reading the entry.
bool IsPrintableAscii(const std::string& text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return false;  // a char above 0x7F is negative
  }
  return true;
}

}  // namespace

bool Utf8ToNarrow(const std::string& utf8, std::string& narrow) {
  if (IsPrintableAscii(utf8)) {
    narrow = utf8;
    return true;
  }
  if (!IsValidUtf8(utf8)) return false;
  if (GetACP() == CP_UTF8) {  // the system runs with UTF-8 as its ANSI code page
    narrow = utf8;
    return true;
  }
  std::wstring wide;
  std::string result;
  if (!ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, wide) || !WideToAnsiExact(wide, result)) {
    return false;
  }
  narrow.swap(result);
  return true;
}

// Unflagged names are taken as bytes of the ANSI code page, which is what the
// tools that wrote them on this kind of system used; but only when they are
// text of that code page. Bytes that are not (a Western archive's "caf\x82"
// under code page 932, where 0x82 swallows the dot) would be turned into
// other characters by the file system: the file created would not be the one
// the archive meant, and two stored names could become one file.
bool LegacyToNarrow(const std::string& legacy, std::string& narrow) {
  if (IsPrintableAscii(legacy)) {
    narrow = legacy;
    return true;
  }
  std::wstring wide;
  if (!ToWide(CP_ACP, MB_ERR_INVALID_CHARS, legacy, wide)) return false;
  for (const wchar_t c : wide) {
    // Code pages map their unassigned bytes to control characters (0x81
    // becomes U+0081 under 1252): no name holds one.
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  }
  std::string back;
  if (!WideToAnsiExact(wide, back) || back != legacy) return false;
  narrow = legacy;
  return true;
}

std::string NarrowToUtf8(const std::string& narrow) {
  if (narrow.empty()) return narrow;
  // Without MB_ERR_INVALID_CHARS, bytes that do not convert become the code
  // page's replacement character instead of vanishing.
  std::wstring wide;
  if (!ToWide(CP_ACP, 0, narrow, wide)) return std::string(narrow.size(), '?');
  const int len = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string(narrow.size(), '?');
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), len, &out[0], n, nullptr, nullptr);
  return out;
}
