#include <zlib.h>

#include <set>

#include "engine/files.h"
#include "engine/install.h"
#include "engine/journal.h"
#include "engine/paths.h"
#include "engine/record.h"
#include "engine/steps.h"
#include "engine/text.h"

namespace {

// Whether the file still holds exactly what the install wrote.
bool HoldsWhatWasWritten(const std::string& path, const InstallRecord::File& file,
                         ProgressMeter& meter) {
  std::string reached = path;
  if (!ReachPath(reached)) return false;
  std::uint64_t size = 0;
  uLong crc = crc32(0L, Z_NULL, 0);
  const FileResult read = ReadWholeFile(reached, [&](const void* data, std::size_t length) {
    size += length;
    if (size > file.size) return false;  // longer than written: changed
    meter.Advance(length);
    crc = crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(length));
    return true;
  });
  return read == FileResult::Done && size == file.size && crc == file.crc;
}

// A free name beside `target`, not yet chosen in this plan. Empty when none
// fits. `make(k)` spells the k-th candidate.
template <typename Spell>
std::string FreeName(std::set<std::string>& taken, FolderIndex& index, Spell make) {
  for (int k = 1; k < 1000; ++k) {
    const std::string name = make(k);
    if (name.size() > kMaxTargetPath) return std::string();
    if (!index.Exists(name) && taken.insert(FileKey(name)).second) return name;
  }
  return std::string();
}

std::string TrashName(const std::string& target, std::set<std::string>& taken,
                      FolderIndex& index) {
  return FreeName(taken, index, [&target](int k) {
    return target + ".qvtrash" + (k == 1 ? std::string() : std::to_string(k));
  });
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
// and the folder are all there is to go by, as they were then.
bool RecordFromArchive(const ModPaths& mod, InstallRecord& record) {
  record = InstallRecord();
  record.archive = mod.archive;
  record.folder = mod.folder;
  std::vector<PlannedEntry> entries;
  if (mod.folder.empty() || !PlanEntries(mod.folder, mod.archive, entries)) return false;
  std::set<std::string> backups;
  // The names resolve as the install resolved them.
  FolderIndex index(mod.folder);
  for (PlannedEntry& entry : entries) {
    if (entry.info.is_directory) continue;
    entry.target = index.Resolve(entry.target);
    const std::string relative = entry.target.substr(mod.folder.size() + 1);
    record.files.push_back({relative, 0, 0, false});
    std::string backup;
    if (!BackupName(entry.target, backup, kMaxTargetPath)) return false;
    // Two entries may share a backup name; the first in archive order gets it.
    if (index.Exists(backup) && backups.insert(FileKey(backup)).second) {
      record.originals.push_back({relative, backup.substr(mod.folder.size() + 1)});
    }
  }
  return true;
}

bool PlanUninstall(int n, const ModPaths& mod, Plan& plan, ProgressMeter& meter) {
  plan.kind = PlanKind::Uninstall;
  plan.mod = n;
  InstallRecord& record = plan.record;
  // The record tells what was installed, whatever the archive holds now;
  // it is this mod's while it names the same archive.
  if (!LoadRecord(n, record) || record.archive != mod.archive) {
    if (!RecordFromArchive(mod, record)) return false;
  }
  // With the folder gone (an unplugged drive) every file would look
  // "already removed" and the mod would be marked uninstalled for nothing.
  if (record.folder.empty() || !PathIsFolder(record.folder)) return false;

  // Reading back what was written, then at most a move aside and a deletion
  // for every file and a move back for every original.
  std::uint64_t work = (record.files.size() * 2 + record.originals.size()) * ProgressMeter::kPerFile;
  for (const InstallRecord::File& file : record.files) work += file.verify ? file.size : 0;
  meter.SetTotal(work);
  FolderIndex index(record.folder);
  std::set<std::string> taken;
  for (const InstallRecord::File& file : record.files) {
    const std::string target = InFolder(record, file.path);
    const FolderIndex::Kind kind = index.Lookup(target);
    // A folder where a file was installed cannot be moved as a file.
    if (kind == FolderIndex::Kind::Folder) return false;
    if (kind == FolderIndex::Kind::Missing) continue;  // already gone: nothing to do
    const bool ours = !file.verify || HoldsWhatWasWritten(target, file, meter);
    const std::string aside =
        ours ? TrashName(target, taken, index) : KeptName(target, taken, index);
    if (aside.empty()) return false;
    (ours ? plan.set_aside : plan.kept)
        .push_back({file.path, aside.substr(record.folder.size() + 1)});
  }
  // A backup the user deleted cannot come back; the rest do.
  std::vector<RecordedMove> restorable;
  for (const RecordedMove& original : record.originals) {
    if (index.Exists(InFolder(record, original.to))) restorable.push_back(original);
  }
  record.originals.swap(restorable);
  return true;
}

}  // namespace

CommandResult UninstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                           std::vector<std::string>& kept, const ProgressFn& progress) {
  kept.clear();
  Plan plan;
  ProgressMeter meter(progress, 0);
  if (!PlanUninstall(n, mod, plan, meter)) return CommandResult::UninstallFailed;
  // Without its plan on disk a crash could not be repaired: nothing starts.
  if (!SavePlan(plan)) return CommandResult::Refused;
  // The moves and deletions that are left, now that they are known.
  meter.SetTotal(meter.done() + (plan.set_aside.size() * 2 + plan.kept.size() +
                                 plan.record.originals.size()) * ProgressMeter::kPerFile);

  const InstallRecord& record = plan.record;
  Journal journal;
  const auto abandon = [&journal]() {
    if (UndoJournal(journal)) DeletePlan();
    return CommandResult::UninstallFailed;
  };
  // First every installed file is moved out of the way: one that is locked
  // or denied fails here, before any original was touched.
  for (const auto* moves : {&plan.set_aside, &plan.kept}) {
    for (const RecordedMove& move : *moves) {
      if (!MoveStep(journal, InFolder(record, move.from), InFolder(record, move.to))) {
        return abandon();
      }
      meter.Advance(ProgressMeter::kPerFile);
    }
  }
  // Then the originals come back from their backups.
  for (const RecordedMove& original : record.originals) {
    if (!MoveStep(journal, InFolder(record, original.to), InFolder(record, original.from))) {
      return abandon();
    }
    meter.Advance(ProgressMeter::kPerFile);
  }
  // Still flagged as installed, a later click would remove the originals
  // just restored: without the cleared flag, undo the uninstallation.
  if (!commit()) return abandon();

  for (const RecordedMove& move : plan.kept) kept.push_back(InFolder(record, move.to));
  bool finished = true;
  for (const RecordedMove& move : plan.set_aside) {
    finished = DeletePath(InFolder(record, move.to)) && finished;
    meter.Advance(ProgressMeter::kPerFile);
  }
  // What could not be deleted now is deleted by the next start's repair.
  if (finished && DeleteRecord(n) && DeletePlan()) return CommandResult::Done;
  return CommandResult::UninstallFailed;
}
