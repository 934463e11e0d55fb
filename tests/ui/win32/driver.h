#pragma once
// Drives the real Quorvantel.exe from another process, through the window
// messages a user's clicks and keys would send. Failures (a window that never
// appears, a box where none was expected) throw std::runtime_error.
#include <windows.h>

#include <functional>
#include <future>
#include <map>
#include <string>
#include <vector>

// The program under test, as given on the command line.
void SetProgramUnderTest(const std::string& path);
const std::string& ProgramUnderTest();

// A host path as the Windows side sees it: under Wine, /a/b is Z:\a\b.
std::string WindowsPath(const std::string& path);

// A fresh folder under the temporary folder, removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // `relative` uses '/'.
  std::string Join(const std::string& relative) const;
  void Write(const std::string& relative, const std::string& bytes) const;
  void MakeDir(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

 private:
  std::string path_;
};

// Every file and folder below `root`: relative path ('/'-separated) to
// content, or "<dir>" for a folder.
std::map<std::string, std::string> Snapshot(const std::string& root);

// One run of the program, started from a copy in `folder` (its settings file
// lives there) with another working directory.
class RunningApp {
 public:
  explicit RunningApp(const std::string& folder);
  // Ends a run the test left open (a failed test).
  ~RunningApp();
  RunningApp(const RunningApp&) = delete;
  RunningApp& operator=(const RunningApp&) = delete;

  HWND dialog() const { return dialog_; }
  // The text of a message box the program showed while starting (then
  // dismissed), or "".
  const std::wstring& StartupMessage() const { return startup_message_; }
  HWND Control(int id) const;
  DWORD process_id() const { return process_.dwProcessId; }

  std::vector<std::string> Rows() const;
  int SelectedRow() const;
  // As a click on the row: the selection, then the list's notification.
  void SelectRow(int row) const;
  std::string Text(int id) const;
  bool IsEnabled(int id) const;
  std::vector<std::string> FolderItems() const;
  // The list that drops down from the folder box (a window of its own).
  HWND DropDownList() const;

  // An install or uninstall still runs: its progress is on the button.
  bool CommandRunning() const;
  // A click on a button that must finish without opening any window; an
  // install or uninstall it starts is waited for.
  void Click(int id);
  // Sends the dialog `message` with `wparam` and no lParam, as a control's
  // notification or a mouse message; as Click, it must finish without
  // opening any window.
  void Notify(UINT message, WPARAM wparam);
  // A click that must raise a message box; returns the box's text after
  // pressing its OK button. `while_open` is given the box first.
  std::wstring ClickForMessage(int id, const std::function<void(HWND box)>& while_open = {});
  // Add NewMod, then the open-file dialog filled in with `archive`. Returns
  // the text of a message box that followed (then dismissed), or "".
  std::wstring AddMod(const std::wstring& archive);
  // Browse, then the folder browser pointed at `folder`. As AddMod.
  std::wstring BrowseFolder(const std::wstring& folder);
  // Drops `paths` onto the list as the file manager would: a WM_DROPFILES
  // with a real HDROP. It must finish without opening any window.
  void DropFiles(const std::vector<std::wstring>& paths);
  // The menu of `row`, opened as a right click on it does, or of the
  // selected row (-1) as the menu key (Shift+F10) does. The menu's window,
  // once it shows; CloseMenu (or PickFromMenu) follows.
  HWND OpenMenu(int row = -1);
  void CloseMenu(HWND menu);
  // Picks the menu's `item`-th entry (0 first) by the keyboard. Returns the
  // text of the box it opened (captioned as the dialog: it reports), after
  // pressing OK.
  std::wstring PickFromMenu(HWND menu, int item);

  // Clicks `id` and ends the process the moment `when` holds, as a crash
  // or Task Manager would. False when `when` never held before the click
  // was over.
  bool ClickAndKillWhen(int id, const std::function<bool()>& when);

  // Closes through the close box (SC_CLOSE) or Escape (IDCANCEL) and returns
  // the exit code.
  DWORD CloseBox();
  DWORD PressEscape();
  // Waits for the process to end by itself; returns the exit code.
  DWORD WaitForExit();

 private:
  // Sends on a worker thread, so that a modal window opened by the message
  // cannot block the driver.
  void Begin(std::function<void()> send);
  // Begin, then no window may open before the action and a command it
  // started are over.
  void Settle(std::function<void()> send);
  // A visible dialog owned by the main dialog, other than `except`; null when
  // the pending action finished without one.
  HWND WaitForPopup(HWND except = nullptr);
  void Finish();
  // `informational`: a box captioned as the dialog, not as an error.
  std::wstring ReadAndDismiss(HWND box, bool informational = false);
  DWORD Close(std::function<void()> send);

  std::wstring startup_message_;
  PROCESS_INFORMATION process_ = {};
  HWND dialog_ = nullptr;
  std::future<void> pending_;
};

// The top-level Quorvantel dialogs of process `pid`.
std::vector<HWND> MainDialogsOf(DWORD pid);
