#pragma once
// Command dispatch, control refresh and window position: the part of the main
// dialog that does not depend on the toolkit. The front-end stores its Window
// (SetMainWindow) and forwards messages here.
#include <cstdint>
#include <string>

// The start-up steps that follow setting the icon: program directory, window
// position (restored, then saved back at once), mod list, folder history.
// Tells the user once when the settings file cannot be written. False when
// the program cannot run from where it is (its folder path is too long); the
// user has been told.
bool StartUp();
// The same for an executable at `executable_path`.
bool StartUpFrom(const std::string& executable_path);

// Runs the command whose control number equals the whole `command` value
// (high word included): 1003 AddMod, 1004 ToggleInstall, 1005 RemoveMod,
// 1008 ChooseExtractFolder; anything else runs nothing. RefreshControls
// follows in every case.
void DispatchCommand(std::uintptr_t command);

// Shows the selected mod's folder and state on the Install button.
void RefreshControls();

void RestoreWindowPosition();
// False when the position could not be written.
bool SaveWindowPosition();

// Texts of the messages that are not the engine's (UTF-8).
extern const char* const kSettingsWriteError;
// The program's own folder is too long for its settings file.
extern const char* const kProgramDirectoryTooLong;
