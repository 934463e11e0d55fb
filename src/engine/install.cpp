#include "engine/install.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>

#include "platform/files.h"
#include "engine/journal.h"
#include "engine/parallel.h"
#include "rules/paths.h"
#include "engine/record.h"
#include "engine/steps.h"
#include "platform/text.h"

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

// The backups other installed mods' records will put back: taking one of
// those names would hand this mod's original to the other mod's file.
std::unordered_set<std::string> BackupsOfOtherRecords(int n) {
  std::unordered_set<std::string> reserved;
  if (RecordFolder().empty()) return reserved;
  std::string folder = RecordFolder().substr(0, RecordFolder().size() - 1);
  std::vector<FolderEntry> entries;
  if (!ReachPath(folder) || !IsFolder(folder) || !ListFolder(folder, entries)) return reserved;
  for (const FolderEntry& entry : entries) {
    const std::string& name = entry.name;
    // Only the names the program gives records: five digits at most, no
    // leading zero.
    if (name.compare(0, 6, "FileNo") != 0 || name.size() == 6 || name.size() > 11 ||
        name.find_first_not_of("0123456789", 6) != std::string::npos ||
        (name[6] == '0' && name.size() > 7)) {
      continue;
    }
    const int other = std::atoi(name.c_str() + 6);
    InstallRecord record;
    if (other == n || !LoadRecord(other, record)) continue;
    for (const RecordedMove& move : record.originals) {
      reserved.insert(FileKey(InFolder(record, move.to)));
    }
  }
  return reserved;
}

// Plans the install: every check that can be made before anything is
// touched, and what the install will have done.
bool PlanInstall(const ModPaths& mod, int n, std::vector<PlannedEntry>& entries, Plan& plan,
                 ArchiveHandle& archive) {
  const std::string& folder = mod.folder;
  // A folder that is gone (an unplugged drive, a moved game) is not created
  // afresh: installing there would only scatter the mod's files.
  if (folder.empty() || !PathIsFolder(folder)) return false;
  if (!PlanEntries(folder, mod.archive, entries, &archive)) return false;
  const std::unordered_set<std::string> reserved = BackupsOfOtherRecords(n);
  FolderIndex index(folder);

  plan.kind = PlanKind::Install;
  plan.mod = n;
  InstallRecord& record = plan.record;
  record.archive = mod.archive;
  record.folder = folder;
  const auto relative = [&folder](const std::string& path) {
    return path.substr(folder.size() + 1);
  };

  struct Slot {
    int users = 0;
    bool target_exists = false;
  };
  std::map<std::string, Slot> slots;  // by backup name
  std::set<std::string> folders_seen;
  std::unordered_set<std::string> targets;
  for (PlannedEntry& entry : entries) {
    entry.target = index.Resolve(entry.target);
    // Two names the archive keeps apart may meet in one existing spelling.
    if (!targets.insert(FileKey(entry.target)).second) return false;
    // Every folder on the way that is not there yet is the install's own.
    const std::string parent =
        entry.info.is_directory ? WithoutTrailingSeparator(entry.target) : FolderOf(entry.target);
    for (std::size_t at = folder.size() + 1; at <= parent.size(); ++at) {
      if (at < parent.size() && parent[at] != kPathSeparator) {
        if (IsLeadByte(static_cast<unsigned char>(parent[at])) && at + 1 < parent.size()) ++at;
        continue;
      }
      const std::string part = parent.substr(0, at);
      if (!folders_seen.insert(FileKey(part)).second) continue;
      const FolderIndex::Kind kind = index.Lookup(part);
      if (kind == FolderIndex::Kind::Folder) continue;
      if (kind == FolderIndex::Kind::File) return false;  // where a folder must go
      record.folders.push_back(relative(part));
    }
    if (entry.info.is_directory) continue;

    // A folder at a file's place would be moved aside whole.
    const FolderIndex::Kind target = index.Lookup(entry.target);
    if (target == FolderIndex::Kind::Folder) return false;
    std::string backup;
    if (!BackupName(entry.target, backup, kMaxTargetPath)) return false;
    // A taken backup name belongs to another installed mod: either it saved
    // this very file, or it saved a file sharing the name, which its
    // uninstallation would then put in the wrong place.
    if (reserved.count(FileKey(backup)) != 0 || index.Exists(backup)) return false;
    const bool exists = target == FolderIndex::Kind::File;
    Slot& slot = slots[FileKey(backup)];
    ++slot.users;
    slot.target_exists = slot.target_exists || exists;
    record.files.push_back({relative(entry.target), entry.info.size, entry.info.crc32, true});
    if (exists) record.originals.push_back({relative(entry.target), relative(backup)});
  }
  for (const auto& slot : slots) {
    // a.txt and a.dat share a.qvs: one original could be saved, but the
    // uninstallation could not tell whose it is.
    if (slot.second.users > 1 && slot.second.target_exists) return false;
  }
  return true;
}

// Creates the folders the plan found missing, parents first, then extracts
// every file, recording each step. What the checks learnt stands: no name
// is probed again (a file that appeared since makes its creation fail).
bool Extract(ArchiveHandle archive, const Plan& plan, const std::vector<PlannedEntry>& entries,
             Journal& journal, ProgressMeter& meter) {
  for (const std::string& relative : plan.record.folders) {
    std::string folder = InFolder(plan.record, relative);
    if (!ReachPath(folder) || MakeFolder(folder) != FileResult::Done) return false;
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
        if (mine == nullptr) return false;
        const bool written = WriteEntryStep(journal, files[i]->target, mine, files[i]->info, &meter);
        meter.Advance(ProgressMeter::kPerFile);
        return written;
      },
      [&](std::size_t i) { return IsLongPath(files[i]->target); });
  for (std::size_t worker = 1; worker < archives.size(); ++worker) ArchiveClose(archives[worker]);
  return ok;
}

}  // namespace

CommandResult InstallMod(int n, const ModPaths& mod, const CommitStep& commit,
                         const ProgressFn& progress) {
  std::vector<PlannedEntry> entries;
  Plan plan;
  ArchiveHandle opened = nullptr;
  const bool planned = PlanInstall(mod, n, entries, plan, opened);
  // Open from the checks to the end of the extraction.
  const std::unique_ptr<Archive, void (*)(ArchiveHandle)> archive(opened, ArchiveClose);
  if (!planned) return CommandResult::Refused;
  // Nothing is touched until the plan is on disk: without it a crash could
  // not be repaired.
  if (!SavePlan(plan)) return CommandResult::Refused;

  std::uint64_t work = plan.record.originals.size() * ProgressMeter::kPerFile;
  for (const InstallRecord::File& file : plan.record.files) {
    work += file.size + ProgressMeter::kPerFile;
  }
  ProgressMeter meter(progress, work);
  Journal journal;
  // Taken back at once; what cannot be is left to the next start's repair,
  // which the plan still on disk asks for.
  const auto abandon = [&journal](CommandResult result) {
    if (UndoJournal(journal)) DeletePlan();
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
        meter.Advance(ProgressMeter::kPerFile);
        return moved;
      },
      [&](std::size_t i) {
        return IsLongPath(InFolder(plan.record, originals[i].from)) ||
               IsLongPath(InFolder(plan.record, originals[i].to));
      });
  if (!saved) return abandon(CommandResult::Refused);
  if (!Extract(archive.get(), plan, entries, journal, meter)) {
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

bool RenumberRecords(int removed, int count, const CommitStep& commit) {
  // The removed mod is not installed: a record of its number is a stale one
  // (left by an older copy of the program) and would block the renumbering.
  if (!DeleteRecord(removed)) return false;
  Plan plan;
  plan.kind = PlanKind::Remove;
  plan.mod = removed;
  plan.count = count;
  for (int i = removed + 1; i < count; ++i) {
    if (RecordExists(i)) plan.set_aside.push_back({std::to_string(i), std::to_string(i - 1)});
  }
  if (plan.set_aside.empty()) return commit();
  if (!SavePlan(plan)) return false;
  if (!commit()) {
    DeletePlan();
    return false;
  }
  if (FinishRenumbering(plan)) DeletePlan();
  return true;
}
