#pragma once
// What the engine's commands are given and answer. Each command writes its
// plan before its first change, reaches its commit point through `commit`
// (which stores the mod's new state), and either completes or leaves every
// file as it was; a crash in between is repaired at the next start
// (repair.h).
#include <functional>
#include <string>
#include <vector>

#include "engine/problem.h"

struct ModPaths {
  std::string archive;
  std::string folder;
};

enum class CommandResult {
  Done,
  Refused,           // nothing was changed: unreadable archive, taken backup, no plan on disk
  ExtractionFailed,  // the extraction failed and was taken back
  UninstallFailed,   // the uninstallation failed and was taken back
};

// What went wrong in a command that did not complete, for its message.
using Problems = std::vector<Problem>;

// Commits the command: true when the mod's new state is stored.
using CommitStep = std::function<bool()>;
// Told each new whole percent of the work done; called on the thread that
// runs the command.
using ProgressFn = std::function<void(int percent)>;
