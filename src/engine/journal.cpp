#include "engine/journal.h"

#include "engine/disk.h"
#include "engine/record.h"
#include "platform/files.h"

bool MoveStep(Journal& journal, const std::string& from, const std::string& to) {
  if (!MovePath(from, to)) return false;
  journal.Add({JournalStep::Moved, from, to});
  return true;
}

bool WriteEntryStep(Journal& journal, const std::string& path, ArchiveHandle archive,
                    const ArchiveEntryInfo& entry, ProgressMeter* meter,
                    ArchiveProblem* damaged) {
  OutputFile* file = nullptr;
  if (CreateNewFile(path, &file) != FileResult::Done) return false;
  // Recorded at once: from here on the file is ours to remove.
  journal.Add({JournalStep::CreatedFile, path, std::string()});
  const bool read = ArchiveReadEntry(archive, entry, [file, meter](const void* data, std::size_t size) {
    if (meter != nullptr) meter->Advance(size);
    return WriteToFile(file, data, size) == FileResult::Done;
  }, damaged);
  const bool closed = CloseFile(file, entry.modified) == FileResult::Done;
  return read && closed;
}

bool UndoJournal(Journal& journal, const std::string& folder, ProblemList& problems) {
  bool all = true;
  for (auto step = journal.steps.rbegin(); step != journal.steps.rend(); ++step) {
    bool undone = false;
    switch (step->kind) {
      case JournalStep::Moved:
        undone = MovePath(step->other, step->path);
        break;
      case JournalStep::CreatedFile:
        undone = DeletePath(step->path);
        break;
      case JournalStep::CreatedFolder: {
        undone = RemoveEmptyFolder(step->path) == FileResult::Done;
        break;
      }
    }
    if (!undone) {
      // Named where it belongs; a moved file also by where it is now.
      Problem problem(ProblemKind::NotUndone, OutOfFolder(folder, step->path), LastFileCause());
      if (step->kind == JournalStep::Moved) problem.backup = OutOfFolder(folder, step->other);
      problems.Add(std::move(problem));
    }
    all = all && undone;
  }
  journal.steps.clear();
  return all;
}
