#pragma once
// Uninstallation of one mod: what its record says the install did, taken
// back.
#include <string>
#include <vector>

#include "engine/command.h"

// Takes back what mod n's record says the install did: deletes the files it
// created that still hold what it wrote, keeps the others beside their
// place (each in `kept`, with the name it got), and moves its backups back. A mod
// installed before records existed is uninstalled from its archive's list.
// Refused when its plan cannot be written; UninstallFailed when a check or
// a step failed (taken back).
CommandResult UninstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                           Problems& kept,
                           const ProgressFn& progress = ProgressFn(),
                           Problems* problems = nullptr);
