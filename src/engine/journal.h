#pragma once
// The steps an install or an uninstall takes on a destination folder, each
// recorded as it succeeds, so that a command that fails part-way can put
// every file back where it was. Paths are full paths.
#include <mutex>
#include <string>
#include <vector>

#include "engine/problem.h"
#include "engine/progress.h"
#include "zip/archive.h"

struct JournalStep {
  enum Kind { Moved, CreatedFile, CreatedFolder } kind;
  std::string path;   // moved from, or created
  std::string other;  // moved to
};

// Steps taken on several threads at once are recorded in the order they
// ended; none depends on another's being undone first.
struct Journal {
  std::vector<JournalStep> steps;
  std::mutex guard;
  void Add(JournalStep step) {
    const std::lock_guard<std::mutex> lock(guard);
    steps.push_back(std::move(step));
  }
};

// Renames within one folder, never replacing an existing destination, and
// records the move.
bool MoveStep(Journal& journal, const std::string& from, const std::string& to);
// Creates `path` (which must not exist) with the entry's data and time.
// With `damaged`, a failure of the archive's data (not of a file call) puts
// the reader's reason there.
bool WriteEntryStep(Journal& journal, const std::string& path, ArchiveHandle archive,
                    const ArchiveEntryInfo& entry, ProgressMeter* meter = nullptr,
                    ArchiveProblem* damaged = nullptr);

// Takes every recorded step back, newest first, and empties the journal.
// False when some step could not be taken back (the rest still were); each
// such step is told to `problems`, by its path relative to `folder`.
bool UndoJournal(Journal& journal, const std::string& folder, ProblemList& problems);
