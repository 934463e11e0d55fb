#include "ui/win32/window_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <initializer_list>

#include "settings/settings.h"
#include "ui/win32/choosers_win32.h"
#include "ui/win32/resource.h"

static_assert(IDC_MOD_LIST == ModList && IDC_ADD_MOD == AddModButton &&
                  IDC_INSTALL == InstallButton && IDC_REMOVE_MOD == RemoveModButton &&
                  IDC_EXTRACT_TO == ExtractToBox && IDC_BROWSE == BrowseButton,
              "resource.h and window.h disagree on a control id");

HINSTANCE ProgramInstance = nullptr;
HWND MainDialog = nullptr;

std::wstring Widen(const std::string& text, UINT code_page) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                 nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  return wide;
}

void ShowErrorBox(HWND owner, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), WideFromUtf8(kErrorCaption).c_str(), MB_OK);
}

int Win32Window::SelectedRow() {
  return static_cast<int>(SendDlgItemMessageA(dialog_, ModList, LB_GETCURSEL, 0, 0));
}

void Win32Window::AppendRow(const std::string& text, int data) {
  LRESULT row = SendDlgItemMessageA(dialog_, ModList, LB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(text.c_str()));
  if (row >= 0) SendDlgItemMessageA(dialog_, ModList, LB_SETITEMDATA, row, data);
}

void Win32Window::ClearRows() { SendDlgItemMessageA(dialog_, ModList, LB_RESETCONTENT, 0, 0); }

void Win32Window::AppendFolderItem(const std::string& text, int data) {
  LRESULT item = SendDlgItemMessageA(dialog_, ExtractToBox, CB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(text.c_str()));
  if (item >= 0) SendDlgItemMessageA(dialog_, ExtractToBox, CB_SETITEMDATA, item, data);
}

void Win32Window::SetFolderText(const std::string& text) {
  SetDlgItemTextA(dialog_, ExtractToBox, text.c_str());
}

void Win32Window::SetInstallCaption(const std::string& text) {
  SetDlgItemTextA(dialog_, InstallButton, text.c_str());
}

void Win32Window::RunInBackground(std::function<void()> work, std::function<void()> done) {
  const HWND dialog = dialog_;
  background_.Start(std::move(work), std::move(done),
                    [dialog] { PostMessageA(dialog, kBackgroundDone, 0, 0); });
}

void Win32Window::ReportProgress(int percent) {
  PostMessageA(dialog_, kBackgroundProgress, static_cast<WPARAM>(percent), 0);
}

void Win32Window::EnableControls(bool enabled) {
  for (const int id : std::initializer_list<int>{ModList, AddModButton, InstallButton,
                                                  RemoveModButton, ExtractToBox, BrowseButton}) {
    EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
  }
}

void Win32Window::EndDialog(int status) { ::EndDialog(dialog_, status); }

void Win32Window::EnableInstall(bool enabled) {
  EnableWindow(GetDlgItem(dialog_, InstallButton), enabled ? TRUE : FALSE);
}

void Win32Window::ShowError(const std::string& utf8_text) {
  // Wide, so that the Japanese texts read right whatever the ANSI code page.
  ShowErrorBox(dialog_, WideFromUtf8(utf8_text));
}

void Win32Window::ShowInfo(const std::string& utf8_text) {
  MessageBoxW(dialog_, WideFromUtf8(utf8_text).c_str(), WideFromUtf8(kInfoBoxCaption).c_str(),
              MB_OK);
}

namespace {
// ShellExecute reports success as a value above 32.
bool ShellStarted(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }
}  // namespace

bool Win32Window::OpenInFileManager(const std::string& folder) {
  const std::wstring wide = Widen(folder, CP_ACP);
  return ShellStarted(
      ShellExecuteW(dialog_, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

bool Win32Window::ShowFileInFileManager(const std::string& file) {
  // Explorer opens the file's folder with the file selected; the quotes keep
  // a comma or a space in the name from splitting its arguments.
  const std::wstring arguments = L"/select,\"" + Widen(file, CP_ACP) + L"\"";
  return ShellStarted(
      ShellExecuteW(dialog_, nullptr, L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL));
}

bool Win32Window::ChooseArchiveFile(std::string& path) {
  return ChooseArchiveFileDialog(dialog_, ProgramDirectory, path);
}

bool Win32Window::BrowseForFolder(std::string& folder) {
  return BrowseForFolderDialog(dialog_, folder);
}

bool Win32Window::GetPosition(int& left, int& top) {
  // A minimised window sits far off screen; that spot must not be saved.
  if (IsIconic(dialog_)) return false;
  RECT rect;
  if (!GetWindowRect(dialog_, &rect)) return false;
  left = rect.left;
  top = rect.top;
  return true;
}

void Win32Window::GetBaseUnits(int& horizontal, int& vertical) {
  LONG units = GetDialogBaseUnits();
  horizontal = LOWORD(units);
  vertical = HIWORD(units);
}

bool Win32Window::IsOnScreen(int left, int top, int width, int height) {
  RECT rect = {left, top, left + width, top + height};
  return MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr;
}

void Win32Window::MoveTo(int left, int top, int width, int height) {
  // The dialog manager sized the window from the template in the dialog's
  // own font. A size from the system's base units can be smaller (under
  // Wine it cuts off the bottom row and the buttons' right edge): never
  // shrink below what the template needs.
  RECT current;
  if (GetWindowRect(dialog_, &current)) {
    width = std::max(width, static_cast<int>(current.right - current.left));
    height = std::max(height, static_cast<int>(current.bottom - current.top));
  }
  MoveWindow(dialog_, left, top, width, height, FALSE);
}
