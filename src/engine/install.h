#pragma once
// Installation of one mod, handed its archive and folder once.
#include "engine/command.h"

// Moves every file the archive would overwrite aside under its backup name,
// extracts the archive, commits, and keeps what it did as mod n's record.
// Refused, with nothing changed, when the archive cannot be read, the folder
// is missing, a target is a folder, a backup name is taken on disk or by
// another mod's record, or shared with another entry whose target exists.
CommandResult InstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                         const ProgressFn& progress = ProgressFn(),
                         Problems* problems = nullptr);
