#pragma once
// The dialog's control ids, its process-wide window values and the small set of
// operations the core performs on its controls. The core never touches a toolkit:
// each front-end implements Window, and tests use a recording double.
#include <functional>
#include <string>

// The dialog's controls, numbered as in its template. The buttons are a type
// of their own: a click on one is the command the core takes (app.h).
enum ButtonId : int {
  AddModButton = 1003,     // "Add NewMod"
  InstallButton = 1004,    // toggles install state of the selected mod
  RemoveModButton = 1005,  // "Remove Mod"
  BrowseButton = 1008,     // "Browse"
};

enum ControlId : int {
  ModList = 1001,       // list box: one row per mod, row index == mod number
  ExtractToBox = 1007,  // combo box: selected mod's folder, plus start-up history
  ExtractToLabel = -1,  // static "Extract To"
};

// IDCANCEL: Escape and the close box end the dialog.
constexpr int kCancelCommand = 2;
constexpr int kExitStatus = 1;

// Caption of every error message box.
constexpr const char* kErrorCaption = "Error has Occured!";
// Caption of a box that reports rather than fails (the dialog's own title).
constexpr const char* kInfoBoxCaption = "Quorvantel Ver1.3";

class Window {
 public:
  virtual ~Window() = default;

  // Selected row of ModList, -1 when none.
  virtual int SelectedRow() = 0;
  // Appends a row with `text` and sets its item data.
  virtual void AppendRow(const std::string& text, int data) = 0;
  virtual void ClearRows() = 0;
  // Appends an item to ExtractToBox's drop-down list and sets its item data.
  virtual void AppendFolderItem(const std::string& text, int data) = 0;
  // Edit text of ExtractToBox. Text set here never comes back as a command.
  virtual void SetFolderText(const std::string& text) = 0;
  // Caption of InstallButton; shown at once, even while a command still runs.
  virtual void SetInstallCaption(const std::string& text) = 0;
  virtual void EnableInstall(bool enabled) = 0;

  // Modal message box with kErrorCaption and one OK button. `utf8_text` is
  // UTF-8 whatever the platform's narrow encoding is.
  virtual void ShowError(const std::string& utf8_text) = 0;
  // The same with kInfoBoxCaption.
  virtual void ShowInfo(const std::string& utf8_text) = 0;
  // The system's file manager on `folder` (narrow encoding); false when it
  // could not be started.
  virtual bool OpenInFileManager(const std::string& folder) = 0;
  // The file manager on `file`'s folder, with the file selected where the
  // platform can.
  virtual bool ShowFileInFileManager(const std::string& file) = 0;

  // Open-file dialog for a mod archive. False when the user cancels.
  virtual bool ChooseArchiveFile(std::string& path) = 0;
  // Folder browser. False on cancel or when the choice has no file-system path.
  virtual bool BrowseForFolder(std::string& folder) = 0;

  // Window rectangle's top-left corner. False when it should not be saved
  // (the window is minimised).
  virtual bool GetPosition(int& left, int& top) = 0;
  // Dialog base units (horizontal, vertical) used to size the window.
  virtual void GetBaseUnits(int& horizontal, int& vertical) = 0;
  // True when a window with this rectangle would be visible on some monitor.
  virtual bool IsOnScreen(int left, int top, int width, int height) = 0;
  virtual void MoveTo(int left, int top, int width, int height) = 0;

  // Runs `work` away from the dialog's thread, then `done` on the dialog's
  // thread; the dialog keeps answering in between.
  virtual void RunInBackground(std::function<void()> work, std::function<void()> done) = 0;
  // Callable from `work`: has ShowProgress(percent) run on the dialog's
  // thread as soon as it can.
  virtual void ReportProgress(int percent) = 0;
  // Enables or disables the list, the folder box and every button at once.
  virtual void EnableControls(bool enabled) = 0;
  // Ends the dialog with `status`, as a close does.
  virtual void EndDialog(int status) = 0;
};

// The main dialog. Null until the front-end has created it.
void SetMainWindow(Window* window);
Window& MainWindow();
