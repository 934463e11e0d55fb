#pragma once
// The list of mods in the dialog and in the settings file, kept in step.

// Number of mods in the list and the next free mod number.
extern int ModCount;

void LoadModList();
void FillExtractHistory();
void AddMod();
void RemoveMod();
void ChooseExtractFolder();
