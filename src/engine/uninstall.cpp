#include "engine/uninstall.h"

#include <zlib.h>

#include <map>
#include <set>

#include "engine/disk.h"
#include "engine/entries.h"
#include "engine/folder_index.h"
#include "engine/journal.h"
#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/record.h"
#include "engine/removal.h"
#include "platform/text.h"
#include "rules/case_fold.h"
#include "rules/paths.h"

namespace {

// A free name beside `target`, not yet chosen in this plan. Empty when none
// fits. `make(k)` spells the k-th candidate.
template <typename Spell>
std::string FreeName(std::set<std::string>& taken, FolderIndex& index, Spell make) {
  for (int k = 1; k < 1000; ++k) {
    const std::string name = make(k);
    if (name.size() > kMaxPath) return std::string();
    if (!index.Exists(name) && taken.insert(FileKey(name)).second) return name;
  }
  return std::string();
}

std::string KeptName(const std::string& target, std::set<std::string>& taken,
                     FolderIndex& index) {
  const std::size_t separator = FindLastSeparator(target);
  const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = target.rfind('.');
  const std::size_t cut = dot == std::string::npos || dot < start ? target.size() : dot;
  return FreeName(taken, index, [&](int k) {
    return target.substr(0, cut) + (k == 1 ? " (kept)" : " (kept " + std::to_string(k) + ")") +
           target.substr(cut);
  });
}

// A mod installed before records existed: its archive's list as it stands
// and the folder are all there is to go by, as they were then. With
// `verify`, for a mod whose record is damaged, a file is taken as the
// install's only while it holds what the archive holds; any other is kept.
bool RecordFromArchive(const ModPaths& mod, bool verify, InstallRecord& record,
                       ProblemList& problems) {
  record = InstallRecord();
  record.archive = mod.archive;
  record.folder = mod.folder;
  std::vector<PlannedEntry> entries;
  if (mod.folder.empty()) {
    problems.Add(Problem(ProblemKind::FolderGone, mod.folder));
    return false;
  }
  if (!PlanEntries(mod.folder, mod.archive, entries, nullptr, &problems)) return false;
  std::set<std::string> backups;
  // The names resolve as the install resolved them.
  FolderIndex index(mod.folder);
  for (PlannedEntry& entry : entries) {
    if (entry.info.is_directory) continue;
    entry.target = index.Resolve(entry.target);
    const std::string relative = OutOfFolder(mod.folder, entry.target);
    record.files.push_back({relative, entry.info.size, entry.info.crc32, verify});
    std::string backup;
    if (!BackupName(entry.target, backup, kMaxPath)) {
      problems.Add(Problem(ProblemKind::NameTooLong, relative));
      return false;
    }
    // Two entries may share a backup name; the first in archive order gets it.
    if (index.Exists(backup) && backups.insert(FileKey(backup)).second) {
      record.originals.push_back({relative, OutOfFolder(mod.folder, backup)});
    }
  }
  return true;
}

// A record that was damaged on disk or torn fails its check. Its folder is
// the one the files went into, even when the settings file was edited since;
// one of an earlier version, which has no check, is believed only where it
// agrees with the settings file: a damaged folder line would otherwise have
// files deleted in another folder.
bool TrustedRecord(int n, const ModPaths& mod, InstallRecord& record) {
  bool sealed = false;
  if (!LoadRecord(n, record, &sealed) || record.archive != mod.archive) return false;
  return sealed || record.folder == mod.folder;
}

// The installed files that are still there. A folder where a file was
// installed is not the install's to delete: each one refuses the uninstall.
bool FilesPresent(const InstallRecord& record, FolderIndex& index,
                  std::vector<const InstallRecord::File*>& present, ProblemList& problems) {
  bool in_the_way = false;
  for (const InstallRecord::File& file : record.files) {
    const FolderIndex::Kind kind = index.Lookup(InFolder(record, file.path));
    if (kind == FolderIndex::Kind::Folder) {
      problems.Add(Problem(ProblemKind::FolderInTheWay, file.path));
      in_the_way = true;
    }
    if (kind == FolderIndex::Kind::File) present.push_back(&file);
  }
  return !in_the_way;
}

// Reads back each installed file that is there. One another program holds
// fails the uninstall while nothing has changed.
bool CheckPresentFiles(const InstallRecord& record,
                       const std::vector<const InstallRecord::File*>& present,
                       std::vector<Found>& found, ProgressMeter& meter, ProblemList& problems) {
  found.assign(present.size(), Found::Held);
  return RunInParallel(present.size(), [&](std::size_t i, std::size_t) {
    found[i] = CheckInstalledFile(InFolder(record, present[i]->path), *present[i], &meter);
    if (found[i] == Found::Held) problems.StepFailed(present[i]->path);
    meter.Advance(ProgressMeter::kPerFile);
    return found[i] != Found::Held;
  });
}

bool PlanUninstall(int n, const ModPaths& mod, Plan& plan, ProgressMeter& meter,
                   ProblemList& problems) {
  plan.kind = PlanKind::Uninstall;
  plan.mod = n;
  InstallRecord& record = plan.record;
  // The record tells what was installed, whatever the archive holds now;
  // it is this mod's while it names the same archive.
  if (!TrustedRecord(n, mod, record)) {
    // One that is there but cannot be trusted leaves the archive's list,
    // checked file by file against what the archive holds.
    if (!RecordFromArchive(mod, RecordExists(n), record, problems)) return false;
  }
  // With the folder gone (an unplugged drive) every file would look
  // "already removed" and the mod would be marked uninstalled for nothing.
  if (record.folder.empty() || !PathIsFolder(record.folder)) {
    problems.Add(Problem(ProblemKind::FolderGone, record.folder));
    return false;
  }

  // Reading back what was written, then a deletion of every file and a move
  // back for every original.
  std::uint64_t work = (record.files.size() * 2 + record.originals.size()) * ProgressMeter::kPerFile;
  for (const InstallRecord::File& file : record.files) work += file.verify ? file.size : 0;
  meter.SetTotal(work);
  FolderIndex index(record.folder);
  std::vector<const InstallRecord::File*> present;
  if (!FilesPresent(record, index, present, problems)) return false;
  std::vector<Found> found;
  if (!CheckPresentFiles(record, present, found, meter, problems)) return false;

  std::set<std::string> taken;
  for (std::size_t i = 0; i < present.size(); ++i) {
    const std::string& path = present[i]->path;
    if (found[i] == Found::Ours) plan.to_delete.push_back(path);
    if (found[i] != Found::Changed) continue;
    const std::string kept = KeptName(InFolder(record, path), taken, index);
    if (kept.empty()) {
      problems.Add(Problem(ProblemKind::NoKeptName, path));
      return false;
    }
    plan.kept.push_back({path, OutOfFolder(record.folder, kept)});
  }
  // A backup the user deleted cannot come back; the rest do.
  std::vector<RecordedMove> restorable;
  for (const RecordedMove& original : record.originals) {
    if (index.Exists(InFolder(record, original.to))) restorable.push_back(original);
  }
  record.originals.swap(restorable);
  return true;
}

// The uninstall itself, its problems reported to `problems`.
CommandResult Uninstall(int n, const ModPaths& mod, const CommitStep& commit,
                        Problems& kept, const ProgressFn& progress, ProblemList& problems) {
  kept.clear();
  Plan plan;
  ProgressMeter meter(progress, 0);
  if (!PlanUninstall(n, mod, plan, meter, problems)) return CommandResult::UninstallFailed;
  // Without its plan on disk a crash could not be repaired: nothing starts.
  if (!SavePlan(plan)) {
    problems.StepFailed(PlanPath(), ProblemKind::PlanNotWritten);
    return CommandResult::Refused;
  }
  // The moves and deletions that are left, now that they are known.
  meter.SetTotal(meter.done() + (plan.to_delete.size() + plan.kept.size() +
                                 plan.record.originals.size()) * ProgressMeter::kPerFile);

  const InstallRecord& record = plan.record;
  Journal journal;
  // The files the user changed move to names of their own first: one that
  // cannot be moved fails the uninstall while nothing else has changed.
  for (const RecordedMove& move : plan.kept) {
    if (!MoveStep(journal, InFolder(record, move.from), InFolder(record, move.to))) {
      problems.StepFailed(move.from);
      if (UndoJournal(journal, record.folder, problems)) DeletePlan();
      return CommandResult::UninstallFailed;
    }
    meter.Advance(ProgressMeter::kPerFile);
  }
  // Still flagged as installed, a later click would remove the originals
  // about to come back: without the cleared flag, undo the uninstallation.
  if (!commit()) {
    if (UndoJournal(journal, record.folder, problems)) DeletePlan();
    return CommandResult::UninstallFailed;
  }

  for (const RecordedMove& move : plan.kept) kept.push_back(KeptAs(move.from, move.to));
  // Committed: from here the uninstall only goes forward. Every file to go
  // was opened for deletion a moment ago; should one be held since, the
  // plan stays and the next start finishes the work.
  if (!FinishRemoval(plan, false, &meter, &problems)) return CommandResult::UninstallFailed;
  if (!DeleteRecord(n)) {
    problems.StepFailed(RecordPath(n));
    return CommandResult::UninstallFailed;
  }
  if (!DeletePlan()) {
    problems.StepFailed(PlanPath());
    return CommandResult::UninstallFailed;
  }
  return CommandResult::Done;
}

}  // namespace

CommandResult UninstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                           Problems& kept, const ProgressFn& progress, Problems* problems) {
  ProblemList found;
  const CommandResult result = Uninstall(n, mod, commit, kept, progress, found);
  if (problems != nullptr) *problems = found.Take();
  return result;
}
