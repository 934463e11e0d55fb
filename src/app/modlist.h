#pragma once
// The list of mods in the dialog and in the settings file, kept in step.
#include <string>


// Number of mods in the list and the next free mod number.
extern int ModCount;

void LoadModList();
void FillExtractHistory();
void AddMod();
// Adds the archive at `path` as the next mod, as AddMod adds a chosen one;
// the selection stays. False when the settings file could not be written
// (the user has been told); a path it refuses is reported and passed over.
bool AddModFile(const std::string& path);
void RemoveMod();
void ChooseExtractFolder();
