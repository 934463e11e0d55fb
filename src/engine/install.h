#pragma once
// Installation and uninstallation of one mod, handed its archive and folder
// once. Each command writes its plan before its first change, reaches its
// commit point through `commit` (which stores the mod's new state), and
// either completes or leaves every file as it was; a crash in between is
// repaired at the next start (RepairInterruptedCommand).
#include <functional>
#include <string>
#include <vector>

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

// Commits the command: true when the mod's new state is stored.
using CommitStep = std::function<bool()>;
// Told each new whole percent of the work done; called on the thread that
// runs the command.
using ProgressFn = std::function<void(int percent)>;

// Moves every file the archive would overwrite aside under its backup name,
// extracts the archive, commits, and keeps what it did as mod n's record.
// Refused, with nothing changed, when the archive cannot be read, the folder
// is missing, a target is a folder, a backup name is taken on disk or by
// another mod's record, or shared with another entry whose target exists.
CommandResult InstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                         const ProgressFn& progress = ProgressFn());

// Takes back what mod n's record says the install did: deletes the files it
// created that still hold what it wrote, keeps the others beside their
// place (their full paths in `kept`), and moves its backups back. A mod
// installed before records existed is uninstalled from its archive's list.
// Refused when its plan cannot be written; UninstallFailed when a check or
// a step failed (taken back).
CommandResult UninstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                           std::vector<std::string>& kept,
                           const ProgressFn& progress = ProgressFn());

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
};

// The caller tells whether the interrupted command had reached its commit
// point (for an install: the mod is marked installed).
using IsCommitted = std::function<bool(const struct Plan& plan)>;

// The folder the settings file gives mod n; empty when none.
using FolderOfMod = std::function<std::string(int n)>;

// Finishes or undoes a command a crash interrupted, from its plan and what
// the folder shows; safe to run again after a crash of its own. A plan
// that is damaged, or names another folder than its mod's, is set aside
// unacted upon.
RepairReport RepairInterruptedCommand(const IsCommitted& committed, const FolderOfMod& folder_of);

// Renumbers the records of mods after `removed` (of `count` mods) with the
// list itself: `commit` writes the renumbered list. False when the records
// could not be prepared or `commit` failed; nothing changed then.
bool RenumberRecords(int removed, int count, const CommitStep& commit);
