// Entry point and dialog procedure of the Windows program. The dialog is
// modal and owns the message loop; installs and uninstalls run on a worker
// thread that reports back through posted messages, everything else inside
// MainDialogProc.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/background.h"
#include "app/mod_menu.h"
#include "app/texts.h"
#include "settings/settings.h"
#include "ui/win32/choosers_win32.h"
#include "ui/win32/resource.h"
#include "ui/win32/window_win32.h"

namespace {

// Posted after a pick from the folder box's drop-down list: the combo box
// writes the picked item into its edit field only after it has notified us,
// so a refresh done during the notification would be overwritten.
constexpr UINT kRefreshAfterPick = WM_APP + 1;

// How long a second start waits for the first copy's window to appear.
constexpr DWORD kHandOverTimeoutMs = 10000;

std::unique_ptr<Win32Window> g_window;  // the Window the core drives, over MainDialog

// One running copy per settings file. The first copy owns a named mutex and
// publishes its dialog's handle in a small named shared memory; a later copy
// finds the mutex taken, brings that window to the front and leaves.
class SingleInstance {
 public:
  // True when this process may run the dialog.
  bool Claim();
  void Publish(HWND dialog);
  ~SingleInstance();

 private:
  HWND ReadPublished() const;

  HANDLE mutex_ = nullptr;
  bool owned_ = false;
  HANDLE mapping_ = nullptr;
  volatile LONG64* published_ = nullptr;  // the first copy's dialog, 0 when none
  std::wstring name_;
};

SingleInstance g_instance;  // this process's claim on its settings file

// Names both kernel objects after the settings file, so that two copies in
// the same folder share them and copies in other folders do not. The path is
// made long-form and lower case (file names are case-insensitive) and hashed,
// because kernel object names may not hold backslashes and are limited in
// length.
std::wstring InstanceName() {
  std::wstring module(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, &module[0], static_cast<DWORD>(module.size()));
  module.resize(length);
  std::wstring folder = module.substr(0, module.find_last_of(L"\\/") + 1);
  std::wstring long_folder(32768, L'\0');
  DWORD long_length =
      GetLongPathNameW(folder.c_str(), &long_folder[0], static_cast<DWORD>(long_folder.size()));
  if (long_length > 0 && long_length < long_folder.size()) {
    long_folder.resize(long_length);
    folder = long_folder;
  }
  std::wstring settings = folder + WideFromUtf8(kSettingsFileName);
  for (wchar_t& c : settings)
    if (c == L'/') c = L'\\';
  if (!settings.empty()) CharLowerBuffW(&settings[0], static_cast<DWORD>(settings.size()));

  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (wchar_t c : settings) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t name[64];
  wsprintfW(name, L"Local\\Quorvantel-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
            static_cast<unsigned long>(hash & 0xFFFFFFFFu));
  return name;
}

bool SingleInstance::Claim() {
  name_ = InstanceName();
  mutex_ = CreateMutexW(nullptr, FALSE, name_.c_str());
  // Without the mutex there is no way to coordinate; running is better than
  // refusing to start.
  if (mutex_ == nullptr) return true;

  DWORD start = GetTickCount();
  for (;;) {
    // Abandoned: the previous owner died; the claim passes to us.
    DWORD wait = WaitForSingleObject(mutex_, 50);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
      owned_ = true;
      mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(LONG64), (name_ + L"-window").c_str());
      if (mapping_ != nullptr)
        published_ = static_cast<volatile LONG64*>(
            MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG64)));
      return true;
    }
    HWND first = ReadPublished();
    if (first != nullptr && IsWindow(first)) {
      if (IsIconic(first)) ShowWindow(first, SW_RESTORE);
      // The first copy may be showing a message box or a file dialog over
      // its window: that is what the user has to see.
      SetForegroundWindow(GetLastActivePopup(first));
      return false;
    }
    // The first copy is still starting, or is closing and will release the
    // mutex: keep trying for a while, then give up quietly.
    if (GetTickCount() - start > kHandOverTimeoutMs) return false;
  }
}

HWND SingleInstance::ReadPublished() const {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, (name_ + L"-window").c_str());
  if (mapping == nullptr) return nullptr;
  HWND window = nullptr;
  if (auto* view = static_cast<const volatile LONG64*>(
          MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(LONG64)))) {
    window = reinterpret_cast<HWND>(static_cast<INT_PTR>(*view));
    UnmapViewOfFile(const_cast<LONG64*>(view));
  }
  CloseHandle(mapping);
  return window;
}

void SingleInstance::Publish(HWND dialog) {
  if (published_ != nullptr)
    InterlockedExchange64(const_cast<LONG64*>(published_),
                          static_cast<LONG64>(reinterpret_cast<INT_PTR>(dialog)));
}

SingleInstance::~SingleInstance() {
  if (published_ != nullptr) UnmapViewOfFile(const_cast<LONG64*>(published_));
  if (mapping_ != nullptr) CloseHandle(mapping_);
  if (owned_) ReleaseMutex(mutex_);
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

// Dropped files would reach the folder box (it accepts them by its style),
// but a dropped path is never taken: release the drop and change nothing.
LRESULT CALLBACK IgnoreDroppedFiles(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR) {
  if (message == WM_DROPFILES) {
    if (wParam != 0) DragFinish(reinterpret_cast<HDROP>(wParam));
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, IgnoreDroppedFiles, id);
  return DefSubclassProc(window, message, wParam, lParam);
}

// Files dropped anywhere on the dialog but the folder box (which keeps its
// own drops): each path in the order the file manager put them, each
// converted as a chosen archive is. A path that cannot be stored is refused
// with a message and passed over.
void OnDropFiles(HWND dialog, HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) continue;
    std::wstring wide(length + 1, L'\0');
    wide.resize(DragQueryFileW(drop, i, &wide[0], length + 1));
    std::string path;
    if (AcceptDroppedPath(dialog, wide, path)) paths.push_back(path);
  }
  DragFinish(drop);
  DropFiles(paths);
}

// Ids of the items of a row's menu; none is a control's.
enum : UINT { kCheckFilesItem = 40001, kOpenFolderItem, kShowArchiveItem };

// A right click on a row of the list (`screen` where it was), or the menu
// key or Shift+F10 (`screen` is (-1, -1)) on the selected row: the menu of
// that mod, at the click or beside the row.
void OnContextMenu(HWND dialog, HWND target, LPARAM screen) {
  const HWND list = GetDlgItem(dialog, ModList);
  if (target != list || CommandRunning()) return;
  POINT at = {GET_X_LPARAM(screen), GET_Y_LPARAM(screen)};
  int row = -1;
  if (at.x == -1 && at.y == -1) {
    row = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    RECT item;
    if (row < 0 || SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)) ==
                       LB_ERR)
      return;
    at = {item.left + (item.bottom - item.top) / 2, item.bottom};
    ClientToScreen(list, &at);
  } else {
    POINT client = at;
    ScreenToClient(list, &client);
    const LRESULT hit =
        SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    // The high word is set for a point below the last row.
    if (HIWORD(hit) != 0) return;
    row = LOWORD(hit);
  }
  const MenuState state = MenuStateFor(row);
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  const auto add = [menu](UINT id, const char* text, bool enabled) {
    AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id,
                WideFromUtf8(text).c_str());
  };
  add(kCheckFilesItem, kMenuCheckFiles, state.check_files);
  add(kOpenFolderItem, kMenuOpenFolder, state.open_folder);
  add(kShowArchiveItem, kMenuShowArchive, state.show_archive);
  const UINT picked = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, dialog, nullptr));
  DestroyMenu(menu);
  switch (picked) {
    case kCheckFilesItem:
      RunMenuItem(row, MenuItem::CheckFiles);
      break;
    case kOpenFolderItem:
      RunMenuItem(row, MenuItem::OpenFolder);
      break;
    case kShowArchiveItem:
      RunMenuItem(row, MenuItem::ShowArchive);
      break;
    default:  // dismissed
      break;
  }
}

// While a command runs the close is remembered, and the dialog ends once the
// command is over: never half-way through one.
void CloseMainDialog(HWND dialog) {
  if (RequestClose()) EndDialog(dialog, kExitStatus);
}

void InitMainDialog(HWND dialog) {
  HICON icon = LoadIconA(ProgramInstance, MAKEINTRESOURCEA(IDI_APP_ICON));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  const HWND folder_box = GetDlgItem(dialog, ExtractToBox);
  SetWindowSubclass(folder_box, IgnoreDroppedFiles, 0, 0);
  // Archives dropped onto the list (or anywhere else on the dialog) are
  // added as mods.
  DragAcceptFiles(dialog, TRUE);
  // A drop-down combo box's window height is the extent of its open list.
  // The template's 15 units leave no room for the folder history: open it
  // eight rows deep.
  RECT box;
  if (GetWindowRect(folder_box, &box)) {
    const LRESULT row = SendMessageA(folder_box, CB_GETITEMHEIGHT, 0, 0);
    if (row > 0) {
      SetWindowPos(folder_box, nullptr, 0, 0, box.right - box.left,
                   (box.bottom - box.top) + 8 * static_cast<int>(row) + 2,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (!StartUp()) EndDialog(dialog, kExitStatus);
}

// The whole wParam, high word included, must equal a button's number: a
// click has a zero high word; a list's selection change, every combo box
// notification and the key-state mask of a mouse message never match, and
// only refresh.
Command CommandFrom(WPARAM wParam) {
  for (const ButtonId button : {AddModButton, InstallButton, RemoveModButton, BrowseButton}) {
    if (wParam == static_cast<WPARAM>(button)) return button;
  }
  return kRefreshOnly;
}

void OnCommand(HWND dialog, WPARAM wParam) {
  if (wParam == kCancelCommand) {
    CloseMainDialog(dialog);
    return;
  }
  DispatchCommand(CommandFrom(wParam));
  if (LOWORD(wParam) == ExtractToBox &&
      (HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == CBN_SELENDOK))
    PostMessageA(dialog, kRefreshAfterPick, 0, 0);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      MainDialog = dialog;
      g_window = std::make_unique<Win32Window>(dialog);
      SetMainWindow(g_window.get());
      g_instance.Publish(dialog);
      InitMainDialog(dialog);
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, wParam);
      return TRUE;
    case WM_DROPFILES:
      OnDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_CONTEXTMENU:
      OnContextMenu(dialog, reinterpret_cast<HWND>(wParam), lParam);
      return TRUE;
    case WM_LBUTTONUP:
      DispatchCommand(CommandFrom(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      if (wParam != SC_CLOSE) return FALSE;
      CloseMainDialog(dialog);
      return TRUE;
    case WM_CAPTURECHANGED:
    case kRefreshAfterPick:
      RefreshControls();
      return TRUE;
    case Win32Window::kBackgroundProgress:
      ShowProgress(static_cast<int>(wParam));
      return TRUE;
    case Win32Window::kBackgroundDone:
      g_window->FinishBackground();
      return TRUE;
    case WM_ENDSESSION:
      // Logging off or shutting down: let the command finish (or take itself
      // back) before the process goes; should Windows not wait that long,
      // the next start repairs it.
      if (wParam != FALSE && g_window->WaitForBackground()) SaveWindowPosition();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  ProgramInstance = instance;
  if (!g_instance.Claim()) return 0;

  // The shell's folder browser and the file dialog need COM on this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  INT_PTR result = DialogBoxParamA(instance, "MAIN", nullptr, MainDialogProc, 0);

  g_instance.Publish(nullptr);
  SetMainWindow(nullptr);
  g_window.reset();
  MainDialog = nullptr;
  if (SUCCEEDED(com)) CoUninitialize();
  return static_cast<short>(result);
}
