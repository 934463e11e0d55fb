#include "engine/install.h"

#include <cctype>
#include <map>

#include "engine/files.h"
#include "engine/paths.h"
#include "engine/text.h"
#include "settings/settings.h"

namespace {

// Two spellings name the same file where the file system ignores case.
std::string FileKey(const std::string& path) {
#ifdef _WIN32
  std::string key = path;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(key[i]);
    if (IsLeadByte(c) && i + 1 < key.size()) {
      ++i;  // a trail byte is no letter
    } else {
      key[i] = static_cast<char>(std::tolower(c));
    }
  }
  return key;
#else
  return path;
#endif
}

std::string WithoutTrailingSeparator(const std::string& path) {
  std::string out = path;
  while (IsDirectoryEntry(out)) out.pop_back();
  return out;
}

std::string FolderOf(const std::string& path) {
  const std::size_t cut = FindLastSeparator(path);
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

bool BackUpTargets(int n, Journal& journal) {
  const std::string folder = ReadExtractTo(n);
  // A folder that is gone (an unplugged drive, a moved game) is not created
  // afresh: installing there would only scatter the mod's files.
  if (folder.empty() || !PathIsFolder(folder)) return false;
  std::vector<PlannedEntry> entries;
  if (!PlanEntries(n, ReadFileName(n), entries)) return false;

  // Everything is checked before anything is touched.
  struct Slot {
    int users = 0;
    bool target_exists = false;
  };
  std::map<std::string, Slot> slots;  // by backup name
  std::vector<const PlannedEntry*> existing;
  for (const PlannedEntry& entry : entries) {
    if (entry.info.is_directory) continue;
    // A folder at a file's place would be moved aside whole.
    if (PathIsFolder(entry.target)) return false;
    std::string backup;
    if (!BackupName(entry.target, backup, kMaxTargetPath)) return false;
    // A taken backup name belongs to another installed mod: either it saved
    // this very file, or it saved a file sharing the name, which our
    // uninstallation would then put in the wrong place.
    if (PathExists(backup)) return false;
    const bool exists = PathExists(entry.target);
    Slot& slot = slots[FileKey(backup)];
    ++slot.users;
    slot.target_exists = slot.target_exists || exists;
    if (exists) existing.push_back(&entry);
  }
  for (const auto& slot : slots) {
    // a.txt and a.dat share a.qvs: one original could be saved, but the
    // uninstallation could not tell whose it is.
    if (slot.second.users > 1 && slot.second.target_exists) return false;
  }

  for (const PlannedEntry* entry : existing) {
    std::string backup;
    if (!MakeBackup(entry->target, &backup)) {
      RestoreBackups(journal);
      return false;
    }
    journal.steps.push_back({JournalStep::Moved, entry->target, backup});
  }
  return true;
}

int ExtractMod(int n, Journal& journal) {
  const std::string folder = ReadExtractTo(n);
  const std::string archive_path = ReadFileName(n);
  std::vector<PlannedEntry> entries;
  if (folder.empty() || !PlanEntries(n, archive_path, entries)) return 1;
  if (entries.empty()) return 0;
  const ArchiveHandle archive = ArchiveOpen(archive_path);
  if (archive == nullptr) return 1;
  bool ok = true;
  // Archives list a folder's files together: its path is checked once.
  std::string last_folder;
  for (const PlannedEntry& entry : entries) {
    if (entry.info.is_directory) {
      ok = CreateFoldersStep(journal, folder, WithoutTrailingSeparator(entry.target));
    } else {
      const std::string parent = FolderOf(entry.target);
      ok = (parent == last_folder || CreateFoldersStep(journal, folder, parent)) &&
           WriteEntryStep(journal, entry.target, archive, entry.info);
      last_folder = parent;
    }
    if (!ok) break;
  }
  ArchiveClose(archive);
  return ok ? 0 : 1;
}

bool RestoreBackups(Journal& journal) { return UndoJournal(journal); }
