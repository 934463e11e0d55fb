#pragma once
#include <string>
// The list of mods in the dialog and in the settings file, kept in step.

// Number of mods in the list and the next free mod number.
extern int ModCount;

void LoadModList();
void FillExtractHistory();
void AddMod();
void RemoveMod();
void ChooseExtractFolder();

// Installs the selected mod when its Extracted flag is clear, uninstalls it
// when set; either completes or leaves every file as it was. The work runs
// in the background: true when it was started (it then refreshes the
// controls when it is over), false when there was nothing to do.
bool ToggleInstall();
// Whether the install button can act on mod n: a folder, and the archive
// (not needed to uninstall a mod whose install was recorded).
bool CanToggle(int n, const std::string& archive, const std::string& folder, bool installed);
