#pragma once
// Installation and uninstallation of one mod, each either complete or undone.
#include <string>
#include <vector>

#include "engine/journal.h"

// Moves every existing file that mod n's archive would overwrite aside under
// its backup name. Refuses, with nothing changed, when the archive cannot be
// read, the mod's folder is missing, a target is a folder, a backup name is
// taken or shared with another entry of the archive. On a refusal every
// backup of this attempt has been moved back.
bool BackUpTargets(int n, Journal& journal);

// Extracts mod n's archive into its folder; 0 on success. Every file and
// folder it creates is recorded in `journal`.
int ExtractMod(int n, Journal& journal);

// Moves the backups recorded in `journal` back (and removes what an
// extraction wrote). False when some step could not be taken back.
bool RestoreBackups(Journal& journal);

// Removes mod n's files and moves their backups back. The removed files are
// kept under temporary names until FinishUninstall, so that UndoJournal can
// still put everything back. Fails, with nothing changed, when a target
// cannot be moved (locked, denied) or has become a folder.
bool UninstallMod(int n, Journal& journal, std::vector<std::string>& removed);
// Deletes the files UninstallMod set aside. False when some could not be
// deleted (they stay under their temporary names).
bool FinishUninstall(const std::vector<std::string>& removed);
