#include "app/app.h"

#include <string>

#include "app/background.h"
#include "app/report.h"
#include "app/texts.h"
#include "app/toggle.h"
#include "engine/repair.h"
#include "rules/paths.h"
#include "engine/record.h"
#include "platform/text.h"
#include "app/modlist.h"
#include "platform/executable.h"
#include "platform/profile.h"
#include "settings/settings.h"
#include "app/window.h"


namespace {

constexpr int kDefaultPosition = 100;

// The dialog's outer size, scaled by the dialog base units so that it follows
// the system font: 266 x 215 pixels with the common 8 x 16 units.
constexpr int kWidthFactor = 300;
constexpr int kWidthDivisor = 18;
constexpr int kHeightFactor = 215;
constexpr int kHeightDivisor = 8;

std::string ExecutableFolder(const std::string& exe) {
  const std::size_t cut = FindLastSeparator(exe);
  return cut == std::string::npos ? exe : exe.substr(0, cut);
}

}  // namespace

bool StartUp() { return StartUpFrom(ExecutablePath()); }

bool StartUpIn(const std::string& folder) {
  // Only the folder of the path StartUpFrom is given counts: a name inside
  // `folder` stands in for the executable.
  std::string directory = folder;
  if (!directory.empty() && directory.back() != kPathSeparator) directory += kPathSeparator;
  return StartUpFrom(directory + kSettingsFileName);
}

bool StartUpFrom(const std::string& executable_path) {
  Window& window = MainWindow();
  if (!SetProgramDirectoryFrom(executable_path)) {
    window.ShowError(std::string(kProgramDirectoryTooLong) + "\n" +
                     NarrowToUtf8(ExecutableFolder(executable_path)));
    return false;
  }
  // The records live beside the settings file, as all of the program's state.
  SetRecordFolder(ProgramDirectory + kRecordFolderName + kPathSeparator);
  RestoreWindowPosition();
  // Saving at once finds an unwritable settings file before the user has
  // changed anything; later failures would otherwise repeat on every move.
  if (!SaveWindowPosition()) {
    window.ShowError(std::string(kSettingsWriteError) + "\n" + NarrowToUtf8(SettingsFile()));
  }
  RepairAtStartUp();
  LoadModList();
  FillExtractHistory();
  return true;
}

void RepairAtStartUp() {
  const RepairReport report = RepairInterruptedCommand([](const Plan& plan) {
    switch (plan.kind) {
      case PlanKind::Install:
        return IsExtracted(plan.mod);
      case PlanKind::Uninstall:
        return !IsExtracted(plan.mod);
      case PlanKind::Remove:  // the last number is free once the list is renumbered
        return ReadFileName(plan.count - 1).empty();
    }
    return false;
  }, [](int n) { return ReadExtractTo(n); });
  if (!report.repaired) return;
  // A damaged plan that could not be set aside is still there: tried again.
  const char* text = report.damaged && report.finished ? kRepairDamagedPlan
                     : !report.finished ? kRepairIncomplete
                     : report.completed ? kRepairCompleted
                                        : kRepairUndone;
  std::string message = text;
  if (!report.archive.empty()) message += "\n" + NarrowToUtf8(DisplayName(report.archive));
  if (!report.set_aside.empty()) message += "\n" + NarrowToUtf8(report.set_aside);
  MainWindow().ShowError(WithProblems(message, report.problems));
}

namespace {
void CloseNow() {
  SaveWindowPosition();
  MainWindow().EndDialog(kExitStatus);
}
}  // namespace

bool RequestClose() {
  if (CloseWhenCommandIsOver(CloseNow)) return false;
  SaveWindowPosition();
  return true;
}

void DispatchCommand(Command command) {
  // The running command owns the settings file and the folder until it is
  // over; the controls are disabled, but a refresh can still be asked for.
  if (CommandRunning()) return;
  if (command) {
    switch (*command) {
      case AddModButton:
        AddMod();
        break;
      case InstallButton:
        if (ToggleInstall()) return;  // it refreshes when it is over
        break;
      case RemoveModButton:
        RemoveMod();
        break;
      case BrowseButton:
        ChooseExtractFolder();
        break;
    }
  }
  RefreshControls();
}

bool ToggleInstall() {
  std::optional<BackgroundCommand> command = ToggleCommand();
  if (!command) return false;
  RunCommandInBackground(std::move(*command), RefreshControls);
  return true;
}

void RefreshControls() {
  if (CommandRunning()) return;
  Window& window = MainWindow();
  const int n = window.SelectedRow();
  if (n < 0) {
    window.SetFolderText("");
    window.SetInstallCaption(kInstallCaption);
    window.EnableInstall(false);
    return;
  }
  // The stored folder replaces whatever was typed into the box: only a
  // folder chosen with Browse is ever stored.
  window.SetFolderText(ReadExtractTo(n));

  const std::string file_name = ReadFileName(n);
  const std::string folder = ReadExtractTo(n);
  const bool installed = IsExtracted(n);
  if (CanToggle(n, file_name, folder, installed)) {
    window.SetInstallCaption(installed ? kUninstallCaption : kInstallCaption);
    window.EnableInstall(true);
    return;
  }
  // A missing folder is named first: it is the one the user can fix here.
  window.SetInstallCaption(folder.empty() ? kExtractToCaption : kFileNotFoundCaption);
  window.EnableInstall(false);
}

void RestoreWindowPosition() {
  Window& window = MainWindow();
  int left = ReadWindowValue("Left", kDefaultPosition);
  int top = ReadWindowValue("Top", kDefaultPosition);
  int horizontal = 0;
  int vertical = 0;
  window.GetBaseUnits(horizontal, vertical);
  const int width = vertical * kWidthFactor / kWidthDivisor;
  const int height = horizontal * kHeightFactor / kHeightDivisor;
  // A position saved on a monitor that has since gone would open the dialog
  // where nobody can see it.
  if (!window.IsOnScreen(left, top, width, height)) {
    left = kDefaultPosition;
    top = kDefaultPosition;
  }
  window.MoveTo(left, top, width, height);
}

bool SaveWindowPosition() {
  int left = 0;
  int top = 0;
  // A minimised window's rectangle is off the screen; keep the last real one.
  if (!MainWindow().GetPosition(left, top)) return true;
  return WriteWindowValue("Left", left) && WriteWindowValue("Top", top);
}
