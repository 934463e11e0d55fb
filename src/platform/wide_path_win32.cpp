#include "platform/wide_path_win32.h"

#include <windows.h>

#include <vector>

namespace {

bool ToWide(const std::string& narrow, std::wstring& wide) {
  wide.clear();
  if (narrow.empty()) return false;
  const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(),
                                         static_cast<int>(narrow.size()), nullptr, 0);
  if (length <= 0) return false;
  wide.resize(static_cast<std::size_t>(length));
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(),
                             static_cast<int>(narrow.size()), &wide[0], length) == length;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A drive's full path (C:\...) or a share's (\\server\share\...), with
// either separator; a path already in the \\?\ form is taken as it is.
enum class Kind { Drive, Share, Prefixed, Other };

Kind KindOf(const std::wstring& path) {
  const auto letter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
  if (path.size() >= 3 && letter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
    return Kind::Drive;
  }
  if (path.compare(0, 4, L"\\\\?\\") == 0) return Kind::Prefixed;
  // \\.\ names a device, never a file.
  if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != L'.' &&
      path[2] != L'?' && !IsSeparator(path[2])) {
    return Kind::Share;
  }
  return Kind::Other;
}

// Windows' own normalisation of a full path, which the \\?\ form would skip:
// separators made backslashes, empty and "." components dropped, ".."
// taking the one before it away, trailing dots and blanks of a component
// dropped. Pure: the current folder plays no part, as the path is full.
bool Normalise(const std::wstring& path, std::size_t root, std::wstring& out) {
  out.assign(path, 0, root);
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  std::vector<std::wstring> parts;
  std::size_t start = root;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::wstring part = path.substr(start, end - start);
    while (!part.empty() && (part.back() == L'.' || part.back() == L' ') && part != L"." &&
           part != L"..") {
      part.pop_back();
    }
    if (part == L"..") {
      if (parts.empty()) return false;  // above the root
      parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 || (!out.empty() && out.back() != L'\\')) out += L'\\';
    out += parts[i];
  }
  return true;
}

}  // namespace

bool ToWidePath(const std::string& path, std::wstring& wide) {
  std::wstring full;
  if (!ToWide(path, full)) return false;
  std::wstring whole;
  switch (KindOf(full)) {
    case Kind::Drive:  // C:\ stays the root
      if (!Normalise(full, 3, whole)) return false;
      wide = L"\\\\?\\" + whole;
      break;
    case Kind::Share: {  // \\server\share stays the root
      std::size_t root = 2;
      for (int separators = 0; root < full.size(); ++root) {
        if (IsSeparator(full[root]) && ++separators == 2) break;
      }
      if (!Normalise(full, root, whole)) return false;
      wide = L"\\\\?\\UNC\\" + whole.substr(2);
      break;
    }
    case Kind::Prefixed:
      wide = full;
      break;
    case Kind::Other:
      return false;
  }
  return wide.size() < kMaxWidePath;
}

bool FromWideName(const std::wstring& name, std::string& narrow) {
  narrow.clear();
  if (name.empty()) return true;
  BOOL used_default = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(),
                                         static_cast<int>(name.size()), nullptr, 0, nullptr,
                                         &used_default);
  if (length <= 0 || used_default) return false;
  narrow.resize(static_cast<std::size_t>(length));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), static_cast<int>(name.size()),
                      &narrow[0], length, nullptr, &used_default);
  return !used_default;
}
