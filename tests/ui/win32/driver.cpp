#include "driver.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "../../support/remove_tree_win32.h"
#include "app/window.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Generous: a first start under Wine brings up its desktop process.
constexpr milliseconds kStartTimeout{30000};
constexpr milliseconds kActionTimeout{20000};
constexpr DWORD kSendTimeoutMs = 20000;
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kFileNameBox = 0x47C;  // cmb13 of the open-file dialog
constexpr char kDialogCaption[] = "Quorvantel Ver1.3";
constexpr wchar_t kErrorBoxCaption[] = L"Error has Occured!";

std::string g_program;  // Quorvantel.exe as built

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

std::string Narrow(const std::wstring& wide) {
  std::string out;
  for (wchar_t c : wide) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// SendMessage with a deadline: a hung program fails the test instead of
// hanging the run.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool wide = false) {
  DWORD_PTR result = 0;
  LRESULT ok = wide ? SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL,
                                          kSendTimeoutMs, &result)
                    : SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL,
                                          kSendTimeoutMs, &result);
  if (ok == 0) Fail("no answer to message " + std::to_string(message));
  return static_cast<LRESULT>(result);
}

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::wstring WideText(HWND window) {
  wchar_t text[2048] = L"";
  Send(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), true);
  return text;
}

std::string AnsiText(HWND window) {
  char text[2048] = "";
  Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// The texts of a list box's rows or a combo box's items, in the ANSI code
// page as the program stores them. Read wide: Wine hands the narrow form of
// these messages across processes wrongly (only the first character).
std::vector<std::string> Items(HWND control, UINT count_message, UINT length_message,
                               UINT text_message) {
  std::vector<std::string> items;
  const LRESULT count = Send(control, count_message, 0, 0, true);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Send(control, length_message, i, 0, true);
    if (length < 0) Fail("cannot read item " + std::to_string(i));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    Send(control, text_message, i, reinterpret_cast<LPARAM>(&text[0]), true);
    text.resize(wcslen(text.c_str()));
    char narrow[2048] = "";
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    items.push_back(narrow);
  }
  return items;
}

template <typename Predicate>
bool WaitUntil(Predicate done, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

HWND FindDescendant(HWND parent, int id) {
  struct Search {
    int id;
    HWND found;
  } search = {id, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindDescendantOfClass(HWND parent, const char* class_name) {
  struct Search {
    const char* class_name;
    HWND found;
  } search = {class_name, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (ClassOf(child) != s->class_name) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Wide calls: a test may leave names outside the ANSI code page (a Korean
// archive name under 1252), which the narrow calls cannot even name. A
// folder left behind would be in the way of a later run whose process id
// Wine hands out again.
void RemoveTree(const std::string& path) {
  // The path itself is ASCII (the temporary folder and our own names).
  RemoveTreeWide(std::wstring(path.begin(), path.end()));
}

std::wstring FromAnsi(const std::string& ansi) {
  std::wstring out(ansi.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &out[0],
                                    static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::string ToAnsi(const std::wstring& wide) {
  std::string out(wide.size() * 2 + 1, '\0');
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &out[0],
                                    static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

// Through the wide calls under the prefix, which reach any depth; names as
// the ANSI calls would give them.
void SnapshotInto(const std::string& root, const std::string& prefix,
                  std::map<std::string, std::string>& out) {
  const std::wstring folder = L"\\\\?\\" + FromAnsi(root) + L"\\" + FromAnsi(prefix);
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring wide = entry.cFileName;
    if (wide == L"." || wide == L"..") continue;
    const std::string relative = prefix + ToAnsi(wide);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[relative] = "<dir>";
      SnapshotInto(root, relative + "\\", out);
      continue;
    }
    HANDLE file = CreateFileW((folder + wide).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    std::string content;
    if (file != INVALID_HANDLE_VALUE) {
      char buffer[4096];
      DWORD got = 0;
      while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
      CloseHandle(file);
    } else {
      content = "<unreadable>";
    }
    out[relative] = content;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

}  // namespace

void SetProgramUnderTest(const std::string& path) { g_program = WindowsPath(path); }

const std::string& ProgramUnderTest() { return g_program; }

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

TempFolder::TempFolder() {
  static int counter = 0;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + "qv-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(++counter);
  RemoveTree(path_);
  if (!CreateDirectoryA(path_.c_str(), nullptr)) Fail("cannot create " + path_);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string TempFolder::Join(const std::string& relative) const {
  std::string out = path_ + "\\" + relative;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

namespace {
// Paths of the tests' own making are ASCII; the prefix reaches any length.
std::wstring Long(const std::string& ascii) {
  return L"\\\\?\\" + std::wstring(ascii.begin(), ascii.end());
}
}  // namespace

void TempFolder::MakeDir(const std::string& relative) const {
  std::string full = Join(relative);
  for (std::size_t at = path_.size() + 1; at != std::string::npos;) {
    at = full.find('\\', at + 1);
    CreateDirectoryW(Long(full.substr(0, at)).c_str(), nullptr);
  }
}

void TempFolder::Write(const std::string& relative, const std::string& bytes) const {
  const std::size_t cut = relative.find_last_of('/');
  if (cut != std::string::npos) MakeDir(relative.substr(0, cut));
  HANDLE file = CreateFileW(Long(Join(relative)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot write " + Join(relative));
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (written != bytes.size()) Fail("short write to " + Join(relative));
}

bool TempFolder::Exists(const std::string& relative) const {
  return GetFileAttributesA(Join(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  SnapshotInto(root, "", out);
  std::map<std::string, std::string> slashed;
  for (auto& [path, content] : out) {
    std::string key = path;
    for (char& c : key)
      if (c == '\\') c = '/';
    slashed[key] = content;
  }
  return slashed;
}

// A visible message box of process `pid`; null when there is none.
HWND StartupBoxOf(DWORD pid) {
  struct Search {
    DWORD pid;
    HWND found;
  } search = {pid, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->pid || !IsWindowVisible(window) || ClassOf(window) != "#32770" ||
            WideText(window) != kErrorBoxCaption)
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> MainDialogsOf(DWORD pid) {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search = {pid, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char title[64] = "";
        GetWindowTextA(window, title, sizeof title);
        if (owner == s->pid && IsWindowVisible(window) && ClassOf(window) == "#32770" &&
            std::string(title) == kDialogCaption)
          s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

RunningApp::RunningApp(const std::string& folder) {
  if (g_program.empty()) Fail("no program under test given");
  const std::string exe = folder + "\\Quorvantel.exe";
  if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES &&
      !CopyFileA(g_program.c_str(), exe.c_str(), FALSE))
    Fail("cannot copy " + g_program + " to " + exe);

  // Started from elsewhere: the program must find its settings beside itself,
  // not in the working directory.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, temp,
                      &startup, &process_))
    Fail("cannot start " + exe);

  const bool shown = WaitUntil(
      [&] {
        // A message while starting (a repair's report) comes before the
        // dialog shows.
        if (HWND box = StartupBoxOf(process_.dwProcessId)) startup_message_ = ReadAndDismiss(box);
        auto dialogs = MainDialogsOf(process_.dwProcessId);
        if (dialogs.size() == 1) dialog_ = dialogs[0];
        return dialog_ != nullptr ||
               WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartTimeout);
  if (dialog_ == nullptr) {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    Fail(shown ? "program ended at start with code " + std::to_string(code)
               : "main dialog did not appear");
  }
}

RunningApp::~RunningApp() {
  if (process_.hProcess == nullptr) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  // A send still pending on the worker returns once the target is gone.
  if (pending_.valid()) pending_.wait();
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

HWND RunningApp::Control(int id) const {
  HWND control = GetDlgItem(dialog_, id);
  if (control == nullptr) Fail("no control " + std::to_string(id));
  return control;
}

std::vector<std::string> RunningApp::Rows() const {
  return Items(Control(ModList), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

int RunningApp::SelectedRow() const {
  return static_cast<int>(Send(Control(ModList), LB_GETCURSEL, 0, 0));
}

void RunningApp::SelectRow(int row) const {
  HWND list = Control(ModList);
  Send(list, LB_SETCURSEL, row, 0);
  Send(dialog_, WM_COMMAND, MAKEWPARAM(ModList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

std::string RunningApp::Text(int id) const { return AnsiText(Control(id)); }

bool RunningApp::IsEnabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }

std::vector<std::string> RunningApp::FolderItems() const {
  return Items(Control(ExtractToBox), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

HWND RunningApp::DropDownList() const {
  struct Search {
    HWND found;
  } search = {nullptr};
  EnumThreadWindows(
      GetWindowThreadProcessId(dialog_, nullptr),
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        // The program's only combo box is the folder box.
        if (ClassOf(window) != "ComboLBox") return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) Fail("no drop-down list for the folder box");
  return search.found;
}

void RunningApp::Begin(std::function<void()> send) {
  if (pending_.valid()) pending_.wait();
  pending_ = std::async(std::launch::async, std::move(send));
}

HWND RunningApp::WaitForPopup(HWND except) {
  struct Search {
    HWND owner, except, found;
  } search = {dialog_, except, nullptr};
  auto find = [&] {
    search.found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          if (window == s->owner || window == s->except || !IsWindowVisible(window) ||
              GetWindow(window, GW_OWNER) != s->owner || ClassOf(window) != "#32770")
            return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  };
  bool finished = false;
  const bool settled = WaitUntil(
      [&] {
        finished = pending_.wait_for(milliseconds(0)) == std::future_status::ready &&
                   !CommandRunning();
        return find() || finished;
      },
      kActionTimeout);
  if (!settled) Fail("the program neither finished the action nor opened a window");
  return search.found;
}

void RunningApp::Finish() {
  if (pending_.wait_for(kActionTimeout) != std::future_status::ready)
    Fail("the action did not finish");
  pending_.get();
  if (!WaitUntil([&] { return !CommandRunning(); }, kActionTimeout))
    Fail("the command did not finish");
}

bool RunningApp::CommandRunning() const {
  // The caption is read from the window itself, without a message to the
  // dialog, so this answers while the dialog is busy too.
  char caption[64] = "";
  HWND button = GetDlgItem(dialog_, InstallButton);  // gone once the dialog closes
  if (button == nullptr) return false;
  GetWindowTextA(button, caption, sizeof caption);
  return std::string(caption).compare(0, 10, "Processing") == 0;
}

std::wstring RunningApp::ReadAndDismiss(HWND box, bool informational) {
  const std::wstring caption = WideText(box);
  HWND text = GetDlgItem(box, kMessageBoxText);
  if (text == nullptr) Fail("unexpected window \"" + Narrow(caption) + "\"");
  const std::wstring message = WideText(text);
  const std::wstring expected =
      informational ? std::wstring(kDialogCaption, kDialogCaption + sizeof kDialogCaption - 1)
                    : kErrorBoxCaption;
  if (caption != expected) Fail("message box captioned \"" + Narrow(caption) + "\"");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  if (!WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kActionTimeout))
    Fail("message box did not close");
  return message;
}

void RunningApp::Settle(std::function<void()> send) {
  Begin(std::move(send));
  if (HWND box = WaitForPopup()) Fail("unexpected message: " + Narrow(ReadAndDismiss(box)));
  Finish();
}

void RunningApp::Click(int id) {
  HWND button = Control(id);
  Settle([button] { SendMessageA(button, BM_CLICK, 0, 0); });
}

void RunningApp::Notify(UINT message, WPARAM wparam) {
  HWND dialog = dialog_;
  Settle([dialog, message, wparam] { SendMessageA(dialog, message, wparam, 0); });
}

bool RunningApp::ClickAndKillWhen(int id, const std::function<bool()>& when) {
  HWND button = Control(id);
  Begin([button] { SendMessageA(button, BM_CLICK, 0, 0); });
  const bool held = WaitUntil(
      [&] {
        return when() || (pending_.wait_for(milliseconds(0)) == std::future_status::ready &&
                          !CommandRunning());
      },
      kActionTimeout) &&
                    when();
  TerminateProcess(process_.hProcess, 99);
  WaitForSingleObject(process_.hProcess, 10000);
  if (pending_.valid()) pending_.wait();
  return held;
}

std::wstring RunningApp::ClickForMessage(int id, const std::function<void(HWND box)>& while_open) {
  HWND button = Control(id);
  Begin([button] { SendMessageA(button, BM_CLICK, 0, 0); });
  HWND box = WaitForPopup();
  if (box == nullptr) Fail("no message box appeared");
  if (while_open) while_open(box);
  std::wstring text = ReadAndDismiss(box);
  if (HWND more = WaitForPopup(box)) Fail("second message: " + Narrow(ReadAndDismiss(more)));
  Finish();
  return text;
}

void RunningApp::DropFiles(const std::vector<std::wstring>& paths) {
  // A DROPFILES block followed by the wide paths, each ended by a NUL, and
  // a NUL after the last.
  std::wstring names;
  for (const std::wstring& path : paths) names += path + L'\0';
  names += L'\0';
  std::string block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t), '\0');
  DROPFILES header = {};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  memcpy(&block[0], &header, sizeof header);
  memcpy(&block[sizeof header], names.data(), names.size() * sizeof(wchar_t));
  // An HDROP is an HGLOBAL, and one allocated GMEM_FIXED is the address of
  // its memory: written into the program's own address space it is a real
  // HDROP there. (A handle of this process would mean nothing in that one,
  // and a posted WM_DROPFILES is not copied across.) DragFinish's free of it
  // fails quietly; the block is the test's to leak.
  void* remote = VirtualAllocEx(process_.hProcess, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  if (remote == nullptr) Fail("cannot allocate the drop in the program");
  SIZE_T written = 0;
  if (!WriteProcessMemory(process_.hProcess, remote, block.data(), block.size(), &written) ||
      written != block.size())
    Fail("cannot write the drop into the program");
  HWND dialog = dialog_;
  Settle([dialog, remote] {
    SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
  });
}

HWND RunningApp::OpenMenu(int row) {
  HWND dialog = dialog_;
  HWND list = Control(ModList);
  // What the list sends its parent: for the menu key no position, for a
  // right click where it was, on the screen.
  POINT at = {-1, -1};
  if (row >= 0) {
    RECT item = {};
    if (Send(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)) == LB_ERR)
      Fail("no row " + std::to_string(row));
    at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(list, &at);
  }
  Begin([dialog, list, at] {
    SendMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(at.x, at.y));
  });
  struct Search {
    DWORD pid;
    HWND found;
  } search = {process_.dwProcessId, nullptr};
  const bool shown = WaitUntil(
      [&] {
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
              auto* s = reinterpret_cast<Search*>(param);
              DWORD pid = 0;
              GetWindowThreadProcessId(window, &pid);
              if (pid != s->pid || !IsWindowVisible(window) || ClassOf(window) != "#32768")
                return TRUE;
              s->found = window;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      kActionTimeout);
  if (!shown) Fail("no menu appeared");
  return search.found;
}

void RunningApp::CloseMenu(HWND menu) {
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  Finish();
}

std::wstring RunningApp::PickFromMenu(HWND menu, int item) {
  for (int i = 0; i <= item; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  HWND box = WaitForPopup();
  if (box == nullptr) Fail("no message box appeared");
  std::wstring text = ReadAndDismiss(box, true);
  Finish();
  return text;
}

std::wstring RunningApp::AddMod(const std::wstring& archive) {
  HWND button = Control(AddModButton);
  Begin([button] { SendMessageA(button, BM_CLICK, 0, 0); });
  HWND chooser = WaitForPopup();
  if (chooser == nullptr) Fail("no open-file dialog appeared");
  HWND name_box = FindDescendant(chooser, kFileNameBox);
  if (name_box == nullptr) Fail("open-file dialog without its file-name box");
  Send(name_box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(archive.c_str()), true);
  PostMessageW(chooser, WM_COMMAND, IDOK, 0);
  std::wstring message;
  if (HWND box = WaitForPopup(chooser)) message = ReadAndDismiss(box);
  Finish();
  return message;
}

std::wstring RunningApp::BrowseFolder(const std::wstring& folder) {
  HWND button = Control(BrowseButton);
  Begin([button] { SendMessageA(button, BM_CLICK, 0, 0); });
  HWND browser = WaitForPopup();
  if (browser == nullptr) Fail("no folder browser appeared");
  // BFFM_SETSELECTION takes a pointer: the path must be in the program's
  // own memory.
  const SIZE_T bytes = (folder.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process_.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  if (remote == nullptr ||
      !WriteProcessMemory(process_.hProcess, remote, folder.c_str(), bytes, nullptr))
    Fail("cannot write into the program's memory");
  // The browser fills its tree and selects its start item after it is shown;
  // a selection sent before that is lost. Wait until it is idle, then check
  // the selection moved.
  HWND tree = FindDescendantOfClass(browser, "SysTreeView32");
  if (tree == nullptr) Fail("folder browser without its tree");
  WaitForInputIdle(process_.hProcess, 5000);
  const LRESULT start = Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, true);
  bool moved = false;
  for (int attempt = 0; attempt < 20 && !moved; ++attempt) {
    Send(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote), true);
    moved = Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, true) != start;
    if (!moved) Sleep(50);
  }
  if (!moved) Fail("the folder browser did not take the selection");
  PostMessageW(browser, WM_COMMAND, IDOK, 0);
  std::wstring message;
  if (HWND box = WaitForPopup(browser)) message = ReadAndDismiss(box);
  Finish();
  VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
  return message;
}

DWORD RunningApp::Close(std::function<void()> send) {
  Begin(std::move(send));
  if (HWND box = WaitForPopup()) Fail("message at close: " + Narrow(ReadAndDismiss(box)));
  Finish();
  return WaitForExit();
}

DWORD RunningApp::CloseBox() {
  HWND dialog = dialog_;
  return Close([dialog] { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
}

DWORD RunningApp::PressEscape() {
  HWND dialog = dialog_;
  return Close([dialog] { SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
}

DWORD RunningApp::WaitForExit() {
  if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0)
    Fail("the program did not end");
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}
