#pragma once
// The start-up repair: a command's plan is on disk from before its first
// change until after its last, so a plan found at start belongs to a command
// a crash interrupted.
#include <functional>
#include <string>

#include "engine/command.h"
#include "engine/record.h"

// What the start-up repair found and did.
struct RepairReport {
  bool repaired = false;   // a command had been interrupted and was dealt with
  bool completed = false;  // it had committed and was finished, else undone
  bool finished = false;   // every step could be taken (else it is tried again next start)
  std::string archive;     // the archive of the mod it was about
  int mod = -1;
  // The plan was damaged: none of its steps was taken, and it was moved to
  // this name (empty when it could not be).
  bool damaged = false;
  std::string set_aside;
  // The steps that could not be taken, and the files a finished uninstall
  // had kept under other names (the user was not told before the crash).
  Problems problems;
};

// The caller tells whether the interrupted command had reached its commit
// point (for an install: the mod is marked installed).
using IsCommitted = std::function<bool(const Plan& plan)>;

// The folder the settings file gives mod n; empty when none.
using FolderOfMod = std::function<std::string(int n)>;

// Finishes or undoes a command a crash interrupted, from its plan and what
// the folder shows; safe to run again after a crash of its own. A plan
// that is damaged, or names another folder than its mod's, is set aside
// unacted upon.
RepairReport RepairInterruptedCommand(const IsCommitted& committed, const FolderOfMod& folder_of);
