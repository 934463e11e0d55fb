#include "engine/install.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "engine/disk.h"
#include "engine/entries.h"
#include "engine/folder_index.h"
#include "engine/journal.h"
#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/record.h"
#include "platform/files.h"
#include "platform/text.h"
#include "rules/case_fold.h"
#include "rules/paths.h"

namespace {

std::string WithoutTrailingSeparator(const std::string& path) {
  std::string out = path;
  while (IsDirectoryEntry(out)) out.pop_back();
  return out;
}

std::string FolderOf(const std::string& path) {
  const std::size_t cut = FindLastSeparator(path);
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The backups other installed mods' records will put back, each with the
// mod whose record holds it: taking one of those names would hand this
// mod's original to the other mod's file.
std::unordered_map<std::string, int> BackupsOfOtherRecords(int n) {
  std::unordered_map<std::string, int> reserved;
  for (const int other : RecordedMods()) {
    InstallRecord record;
    if (other == n || !LoadRecord(other, record)) continue;
    for (const RecordedMove& move : record.originals) {
      reserved.emplace(FileKey(InFolder(record, move.to)), other);
    }
  }
  return reserved;
}

Problem Refusal(ProblemKind kind, const std::string& file) { return Problem(kind, file); }

// What the checks of one install learn as they go through its entries.
class InstallPlanner {
 public:
  InstallPlanner(const std::string& folder, int n, InstallRecord& record, ProblemList& problems)
      : folder_(folder),
        index_(folder),
        reserved_(BackupsOfOtherRecords(n)),
        record_(record),
        problems_(problems) {}

  bool Plan(PlannedEntry& entry) {
    entry.target = index_.Resolve(entry.target);
    // Two names the archive keeps apart may meet in one existing spelling.
    if (!targets_.insert(FileKey(entry.target)).second) {
      return Refuse(ProblemKind::SameTarget, entry.target);
    }
    return PlanFolders(entry) && (entry.info.is_directory || PlanFile(entry));
  }

  // Once every entry is planned: what can only be told from all of them.
  bool BackupsAreDistinct() {
    bool distinct = true;
    for (const auto& slot : slots_) {
      // a.txt and a.dat share a.qvs: one original could be saved, but the
      // uninstallation could not tell whose it is.
      if (slot.second.users > 1 && slot.second.target_exists) {
        distinct = Refuse(ProblemKind::BackupShared, slot.second.target);
      } else if (targets_.count(slot.first) != 0 || folders_seen_.count(slot.first) != 0) {
        // Nor may a file or a folder of the mod sit where another file's
        // backup goes: installing would overwrite one of them.
        distinct = Refuse(ProblemKind::BackupOfModFile, slot.second.backup);
      }
    }
    return distinct;
  }

 private:
  struct Slot {
    int users = 0;
    bool target_exists = false;
    std::string target;  // the first file to use it, and the backup name, in full
    std::string backup;
  };

  // Reports why the install is refused, about a full path in the folder.
  bool Refuse(ProblemKind kind, const std::string& path) {
    problems_.Add(Refusal(kind, Relative(path)));
    return false;
  }

  std::string Relative(const std::string& path) const { return OutOfFolder(folder_, path); }

  // Every folder on the way that is not there yet is the install's own.
  bool PlanFolders(const PlannedEntry& entry) {
    const std::string parent =
        entry.info.is_directory ? WithoutTrailingSeparator(entry.target) : FolderOf(entry.target);
    for (std::size_t at = folder_.size() + 1; at <= parent.size(); ++at) {
      if (at < parent.size() && parent[at] != kPathSeparator) {
        if (IsLeadByte(static_cast<unsigned char>(parent[at])) && at + 1 < parent.size()) ++at;
        continue;
      }
      const std::string part = parent.substr(0, at);
      if (!folders_seen_.insert(FileKey(part)).second) continue;
      const FolderIndex::Kind kind = index_.Lookup(part);
      if (kind == FolderIndex::Kind::Folder) continue;
      if (kind == FolderIndex::Kind::File) return Refuse(ProblemKind::FileInTheWay, part);
      record_.folders.push_back(Relative(part));
    }
    return true;
  }

  bool PlanFile(const PlannedEntry& entry) {
    // A folder at a file's place would be moved aside whole.
    const FolderIndex::Kind target = index_.Lookup(entry.target);
    if (target == FolderIndex::Kind::Folder) {
      return Refuse(ProblemKind::FolderInTheWay, entry.target);
    }
    std::string backup;
    if (!BackupName(entry.target, backup, kMaxPath)) {
      return Refuse(ProblemKind::NameTooLong, entry.target);
    }
    // A taken backup name belongs to another installed mod: either it saved
    // this very file, or it saved a file sharing the name, which its
    // uninstallation would then put in the wrong place.
    const auto owner = reserved_.find(FileKey(backup));
    if (owner != reserved_.end() || index_.Exists(backup)) {
      Problem taken = Refusal(ProblemKind::BackupTaken, Relative(entry.target));
      taken.owner = owner != reserved_.end() ? owner->second : -1;
      taken.backup = Relative(backup);
      problems_.Add(std::move(taken));
      return false;
    }
    const bool exists = target == FolderIndex::Kind::File;
    Slot& slot = slots_[FileKey(backup)];
    if (slot.users == 0) {
      slot.target = entry.target;
      slot.backup = backup;
    }
    ++slot.users;
    slot.target_exists = slot.target_exists || exists;
    record_.files.push_back({Relative(entry.target), entry.info.size, entry.info.crc32, true});
    if (exists) record_.originals.push_back({Relative(entry.target), Relative(backup)});
    return true;
  }

  const std::string& folder_;
  FolderIndex index_;
  const std::unordered_map<std::string, int> reserved_;  // other records' backups: their mod
  std::unordered_set<std::string> targets_;         // every entry's, by FileKey
  std::set<std::string> folders_seen_;              // every folder on the way, by FileKey
  std::map<std::string, Slot> slots_;               // by the FileKey of a backup name
  InstallRecord& record_;
  ProblemList& problems_;
};

// Plans the install: every check that can be made before anything is
// touched, and what the install will have done.
bool PlanInstall(const ModPaths& mod, int n, std::vector<PlannedEntry>& entries, Plan& plan,
                 ArchiveHandle& archive, ProblemList& problems) {
  // A folder that is gone (an unplugged drive, a moved game) is not created
  // afresh: installing there would only scatter the mod's files.
  if (mod.folder.empty() || !PathIsFolder(mod.folder)) {
    problems.Add(Refusal(ProblemKind::FolderGone, mod.folder));
    return false;
  }
  if (!PlanEntries(mod.folder, mod.archive, entries, &archive, &problems)) return false;
  plan.kind = PlanKind::Install;
  plan.mod = n;
  plan.record.archive = mod.archive;
  plan.record.folder = mod.folder;
  InstallPlanner planner(mod.folder, n, plan.record, problems);
  // Every entry is looked at, so that the message lists each file in the
  // way, not only the first.
  bool planned = true;
  for (PlannedEntry& entry : entries) planned = planner.Plan(entry) && planned;
  return planner.BackupsAreDistinct() && planned;
}

// Creates the folders the plan found missing, parents first, then extracts
// every file, recording each step. What the checks learnt stands: no name
// is probed again (a file that appeared since makes its creation fail).
bool Extract(ArchiveHandle archive, const Plan& plan, const std::vector<PlannedEntry>& entries,
             Journal& journal, ProgressMeter& meter, ProblemList& problems) {
  for (const std::string& relative : plan.record.folders) {
    const std::string folder = InFolder(plan.record, relative);
    if (MakeFolder(folder) != FileResult::Done) {
      problems.StepFailed(relative);
      return false;
    }
    journal.Add({JournalStep::CreatedFolder, InFolder(plan.record, relative), ""});
  }
  std::vector<const PlannedEntry*> files;
  for (const PlannedEntry& entry : entries) {
    if (!entry.info.is_directory) files.push_back(&entry);
  }
  // Each thread reads the archive through a handle of its own.
  std::vector<ArchiveHandle> archives(WorkerCount(), nullptr);
  const bool ok = RunInParallel(
      files.size(),
      [&](std::size_t i, std::size_t worker) {
        ArchiveHandle& mine = archives[worker];
        if (mine == nullptr) mine = worker == 0 ? archive : ArchiveOpenAgain(archive);
        if (mine == nullptr) {
          const std::string& path = plan.record.archive;
          problems.Add(Problem(ProblemKind::ArchiveRefused, path, ArchiveRefusal::CannotRead));
          return false;
        }
        ArchiveProblem damaged;
        const bool written =
            WriteEntryStep(journal, files[i]->target, mine, files[i]->info, &meter, &damaged);
        meter.Advance(ProgressMeter::kPerFile);
        if (written) return true;
        if (damaged.reason != ArchiveRefusal::None) {
          problems.Add(Problem(ProblemKind::ArchiveRefused, damaged.entry, damaged.reason));
        } else {
          problems.StepFailed(OutOfFolder(plan.record.folder, files[i]->target));
        }
        return false;
      });
  for (std::size_t worker = 1; worker < archives.size(); ++worker) ArchiveClose(archives[worker]);
  return ok;
}

// The install itself, its problems reported to `problems`.
CommandResult Install(int n, const ModPaths& mod, const CommitStep& commit,
                      const ProgressFn& progress, ProblemList& problems) {
  std::vector<PlannedEntry> entries;
  Plan plan;
  ArchiveHandle opened = nullptr;
  const bool planned = PlanInstall(mod, n, entries, plan, opened, problems);
  // Open from the checks to the end of the extraction.
  const std::unique_ptr<Archive, void (*)(ArchiveHandle)> archive(opened, ArchiveClose);
  if (!planned) return CommandResult::Refused;
  // Nothing is touched until the plan is on disk: without it a crash could
  // not be repaired.
  if (!SavePlan(plan)) {
    problems.StepFailed(PlanPath(), ProblemKind::PlanNotWritten);
    return CommandResult::Refused;
  }
  std::uint64_t work = plan.record.originals.size() * ProgressMeter::kPerFile;
  for (const InstallRecord::File& file : plan.record.files) {
    work += file.size + ProgressMeter::kPerFile;
  }
  ProgressMeter meter(progress, work);
  Journal journal;
  // Taken back at once; what cannot be is left to the next start's repair,
  // which the plan still on disk asks for.
  const auto abandon = [&](CommandResult result) {
    if (UndoJournal(journal, plan.record.folder, problems)) DeletePlan();
    return result;
  };
  // Each original goes to the backup name the checks found free; the move
  // never replaces, so one taken since fails it.
  const std::vector<RecordedMove>& originals = plan.record.originals;
  const bool saved = RunInParallel(
      originals.size(),
      [&](std::size_t i, std::size_t) {
        const bool moved = MoveStep(journal, InFolder(plan.record, originals[i].from),
                                    InFolder(plan.record, originals[i].to));
        if (!moved) problems.StepFailed(originals[i].from);
        meter.Advance(ProgressMeter::kPerFile);
        return moved;
      });
  if (!saved) return abandon(CommandResult::Refused);
  if (!Extract(archive.get(), plan, entries, journal, meter, problems)) {
    return abandon(CommandResult::ExtractionFailed);
  }
  // The file must never say "not installed" while the mod's files are in
  // place: without the flag, undo the installation.
  if (!commit()) return abandon(CommandResult::Refused);
  // Committed. Should the record not be written now, the plan stays and the
  // next start writes it.
  if (SaveRecord(n, plan.record)) DeletePlan();
  return CommandResult::Done;
}

}  // namespace

CommandResult InstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                         const ProgressFn& progress, Problems* problems) {
  ProblemList found;
  const CommandResult result = Install(n, mod, commit, progress, found);
  if (problems != nullptr) *problems = found.Take();
  return result;
}
