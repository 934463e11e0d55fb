#pragma once
// What went wrong in a command, one value per problem, carried from where
// it is found to the message: the file it is about and why. Found on
// several threads at once, so a command collects them in a ProblemList.
// A file the command had to keep under another name is told the same way.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "zip/archive.h"

enum class ProblemKind {
  ArchiveRefused,   // the reader refused the archive or an entry: `refusal`
  StepFailed,       // a file call failed: `cause`
  BackupTaken,      // the backup name is taken: `owner`'s record holds it, or `backup` is on disk
  BackupShared,     // the mod has two files with one backup name, an original among them
  BackupOfModFile,  // a file or a folder of the mod stands where a backup goes
  FolderInTheWay,   // a folder where the mod has a file
  FileInTheWay,     // a file where the mod needs a folder
  SameTarget,       // two entries meet in one existing spelling
  NameTooLong,      // the target, or its backup, would be longer than the system allows
  FolderGone,       // the destination folder is not there
  NoKeptName,       // no free name to keep a changed file under
  PlanNotWritten,   // the plan could not be written before the first change: `cause`
  NotStored,        // the mod's new state could not be stored in the settings file: `cause`
  NotUndone,        // a step of a failed command could not be taken back: `cause`; a
                    // file moved to `backup` is still there
  KeptChanged,      // changed since the install, so kept as `backup` rather than deleted
  LeftChanged,      // changed after a crash, so left in its place; its original stays as
                    // `backup` (empty when it had none)
};

struct Problem {
  Problem() = default;
  Problem(ProblemKind kind, std::string file) : kind(kind), file(std::move(file)) {}
  Problem(ProblemKind kind, std::string file, ArchiveRefusal refusal)
      : kind(kind), file(std::move(file)), refusal(refusal) {}
  Problem(ProblemKind kind, std::string file, FileCause cause)
      : kind(kind), file(std::move(file)), cause(cause) {}

  ProblemKind kind = ProblemKind::StepFailed;
  // A target relative to the mod's folder, an entry's name as stored, or the
  // archive's or a folder's full path.
  std::string file;
  ArchiveRefusal refusal = ArchiveRefusal::None;
  FileCause cause = FileCause::None;
  int owner = -1;      // BackupTaken: the installed mod whose record holds the backup
  std::string backup;  // BackupTaken, KeptChanged, LeftChanged, NotUndone: the other name,
                       // relative to the folder
};

// A changed file kept under the name `kept` rather than deleted.
inline Problem KeptAs(const std::string& file, const std::string& kept) {
  Problem problem(ProblemKind::KeptChanged, file);
  problem.backup = kept;
  return problem;
}

// Problems reported from any thread, in the order they were found.
class ProblemList {
 public:
  void Add(Problem problem) {
    const std::lock_guard<std::mutex> lock(guard_);
    items_.push_back(std::move(problem));
  }
  // A file call that just failed on this thread, with the cause it gave;
  // `kind` says what it was for when that is more than one step.
  void StepFailed(const std::string& file, ProblemKind kind = ProblemKind::StepFailed) {
    Add(Problem(kind, file, LastFileCause()));
  }
  std::vector<Problem> Take() {
    const std::lock_guard<std::mutex> lock(guard_);
    return std::move(items_);
  }

 private:
  std::mutex guard_;
  std::vector<Problem> items_;
};
