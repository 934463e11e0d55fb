#pragma once
// The Win32 side of the main dialog: the process-wide handles and the control
// operations of window.h over the dialog's controls.
#include <windows.h>

#include <functional>
#include <string>

#include "app/background.h"
#include "app/window.h"

extern HINSTANCE ProgramInstance;  // this executable, where the dialog and icon resources live
extern HWND MainDialog;            // the main dialog from WM_INITDIALOG on; null before

class Win32Window final : public Window {
 public:
  explicit Win32Window(HWND dialog) : dialog_(dialog) {}

  int SelectedRow() override;
  void AppendRow(const std::string& text, int data) override;
  void ClearRows() override;
  void AppendFolderItem(const std::string& text, int data) override;
  void SetFolderText(const std::string& text) override;
  void SetInstallCaption(const std::string& text) override;
  void EnableInstall(bool enabled) override;
  void ShowError(const std::string& utf8_text) override;
  void ShowInfo(const std::string& utf8_text) override;
  bool OpenInFileManager(const std::string& folder) override;
  bool ShowFileInFileManager(const std::string& file) override;
  bool ChooseArchiveFile(std::string& path) override;
  bool BrowseForFolder(std::string& folder) override;
  bool GetPosition(int& left, int& top) override;
  void GetBaseUnits(int& horizontal, int& vertical) override;
  bool IsOnScreen(int left, int top, int width, int height) override;
  void MoveTo(int left, int top, int width, int height) override;
  void RunInBackground(std::function<void()> work, std::function<void()> done) override;
  void ReportProgress(int percent) override;
  void EnableControls(bool enabled) override;
  void EndDialog(int status) override;

  // The dialog procedure's side of RunInBackground and ReportProgress: the
  // worker posts these to the dialog.
  static constexpr UINT kBackgroundDone = WM_APP + 2;
  static constexpr UINT kBackgroundProgress = WM_APP + 3;
  // On kBackgroundDone: joins the worker and runs the `done` it was given.
  void FinishBackground() { background_.Finish(); }
  // Blocks until the worker is over (the session is ending); its `done` is
  // not run. False when none ran.
  bool WaitForBackground() { return background_.Wait(); }

 private:
  HWND dialog_;
  BackgroundThread background_;
};

// Narrow text in `code_page` to UTF-16 for the wide calls; invalid
// sequences become U+FFFD.
std::wstring Widen(const std::string& text, UINT code_page);
inline std::wstring WideFromUtf8(const std::string& utf8) { return Widen(utf8, CP_UTF8); }
// Modal error box over `owner` with the program's error caption.
void ShowErrorBox(HWND owner, const std::wstring& text);
