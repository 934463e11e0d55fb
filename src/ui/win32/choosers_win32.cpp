#include "ui/win32/choosers_win32.h"

#include <cderr.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include "app/texts.h"
#include "settings/settings.h"
#include "ui/win32/window_win32.h"

namespace {

// Sizes of the path buffers, terminating NUL included.
constexpr DWORD kArchiveBuffer = static_cast<DWORD>(kMaxFileName) + 1;

// Pairs of display text and pattern; the first pair is preselected.
constexpr wchar_t kArchiveFilter[] =
    L"圧縮済みModファイル(*.zip)\0*.ZIP\0"
    L"すべてのファイル (*.*)\0*.*\0";

// False when some character has no exact counterpart in the ANSI code page.
// WC_NO_BEST_FIT_CHARS matters: a best fit would quietly turn a name into
// the name of a different file.
bool AnsiFromWide(const std::wstring& wide, std::string& ansi) {
  if (wide.empty()) return false;
  BOOL used_default = FALSE;
  int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                 static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                 &used_default);
  if (size <= 0 || used_default) return false;
  std::string out(static_cast<std::size_t>(size), '\0');
  size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                             static_cast<int>(wide.size()), &out[0], size, nullptr,
                             &used_default);
  if (size <= 0 || used_default) return false;
  ansi.swap(out);
  return true;
}

void RefusePath(HWND owner, const char* reason, const std::wstring& path) {
  ShowErrorBox(owner, WideFromUtf8(reason) + L"\n" + path);
}

// Converts a chosen path and checks it fits its record; refuses otherwise.
bool AcceptPath(HWND owner, const std::wstring& chosen, std::size_t max_bytes,
                std::string& out) {
  std::string ansi;
  if (!AnsiFromWide(chosen, ansi)) {
    RefusePath(owner, kPathNotRepresentable, chosen);
    return false;
  }
  if (ansi.size() > max_bytes) {
    RefusePath(owner, kPathTooLong, chosen);
    return false;
  }
  out.swap(ansi);
  return true;
}

}  // namespace

bool ChooseArchiveFileDialog(HWND owner, const std::string& initial_directory,
                             std::string& path) {
  wchar_t file[kArchiveBuffer] = L"";
  std::wstring directory = Widen(initial_directory, CP_ACP);

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kArchiveFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = kArchiveBuffer;
  dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_LONGNAMES;
  if (!GetOpenFileNameW(&dialog)) {
    // The dialog itself refuses a name longer than the buffer; say why
    // instead of looking like a cancel.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
      RefusePath(owner, kPathTooLong, std::wstring());
    return false;
  }
  return AcceptPath(owner, file, kMaxFileName, path);
}

bool BrowseForFolderDialog(HWND owner, std::string& folder) {
  wchar_t display_name[MAX_PATH] = L"";
  BROWSEINFOW browse = {};
  browse.hwndOwner = owner;
  browse.pszDisplayName = display_name;
  browse.lpszTitle = L"Extract to";

  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&browse);
  if (list == nullptr) return false;
  wchar_t chosen[MAX_PATH] = L"";
  BOOL has_path = SHGetPathFromIDListW(list, chosen);
  CoTaskMemFree(list);
  // Virtual folders (the desktop's "Computer", a printer) have no path.
  if (!has_path || chosen[0] == L'\0') return false;
  return AcceptPath(owner, chosen, kMaxExtractTo, folder);
}

bool AcceptDroppedPath(HWND owner, const std::wstring& dropped, std::string& path) {
  return AcceptPath(owner, dropped, kMaxFileName, path);
}
