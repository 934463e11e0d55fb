#pragma once
// The part of an uninstall after its commit, and the check it rests on:
// whether an installed file still holds what the install wrote.
#include <string>

#include "engine/progress.h"
#include "engine/problem.h"
#include "engine/record.h"

enum class Found {
  Ours,     // as installed: the install's to delete
  Changed,  // changed since, or no file at all (a link, a device, a pipe)
  Held,     // could not be opened as a file about to be deleted
  Gone,     // not there
};

// Reads the file through a handle that could delete it: a file another
// program holds, or one the system would not let go, is found here (Held),
// before anything changes. `meter` is told the bytes read.
Found CheckInstalledFile(const std::string& path, const InstallRecord::File& file,
                         ProgressMeter* meter);

// From an uninstall's plan: every file still to be deleted is, then its
// original comes back. Each step is looked for on disk first, so it can run
// again after a crash part-way; with `recheck` a file is deleted only while
// it still holds what was written (one changed is left in its place, and
// told to `problems`; one another program holds fails its step). A step
// that fails is told to `problems` when given.
bool FinishRemoval(const Plan& plan, bool recheck, ProgressMeter* meter,
                   ProblemList* problems = nullptr);
