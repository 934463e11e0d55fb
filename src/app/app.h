#pragma once
// Command dispatch, control refresh and window position: the part of the main
// dialog that does not depend on the toolkit. The front-end stores its Window
// (SetMainWindow) and forwards messages here.
#include <optional>
#include <string>

#include "app/window.h"

// The start-up steps that follow setting the icon: program directory, window
// position (restored, then saved back at once), mod list, folder history.
// Tells the user once when the settings file cannot be written. False when
// the program cannot run from where it is (its folder path is too long); the
// user has been told.
bool StartUp();
// The same for an executable at `executable_path`.
bool StartUpFrom(const std::string& executable_path);
// The same with the settings file, the install records and the open-file
// dialog's first folder in `folder` (with or without its trailing
// separator), wherever the executable is: the Linux program keeps them in
// the user's configuration folder when its own folder is not its to write.
bool StartUpIn(const std::string& folder);

// Finishes or undoes a command a crash interrupted, from the record folder
// StartUpFrom set; tells the user what it did.
void RepairAtStartUp();
// Beside the settings file: the install records and a running command's plan.
constexpr const char* kRecordFolderName = "Quorvantel.records";

// What a user action asks of the core: a click on a button runs its command;
// every other action (a selection change, an edit or a pick in the folder
// box, a click on the dialog itself) only refreshes. Each front-end turns its
// own events into these.
using Command = std::optional<ButtonId>;
inline constexpr Command kRefreshOnly = std::nullopt;

// Runs the button's command (AddMod, ToggleInstall, RemoveMod or
// ChooseExtractFolder), then RefreshControls; an install's refresh follows
// its end. Nothing runs while a command runs in the background.
void DispatchCommand(Command command);

// Starts the install command (toggle.h) for the selected mod in the
// background: true when it was started (the controls are refreshed when it
// is over), false when there was nothing to do.
bool ToggleInstall();

// Shows the selected mod's folder and state on the Install button. Does
// nothing while a command runs: its end refreshes.
void RefreshControls();

// Escape, the close box, the end of the session: true when the dialog may
// end now (the position is saved). While a command runs, false: the dialog
// closes by itself once the command is over, never half-way through it.
bool RequestClose();

void RestoreWindowPosition();
// False when the position could not be written.
bool SaveWindowPosition();
