#include <string>

#include "engine/install.h"
#include "engine/paths.h"
#include "settings/settings.h"

namespace {

// A free name beside `target` to hold it until the uninstallation is
// committed. Empty when none fits.
std::string SetAsideName(const std::string& target) {
  for (int k = 0; k < 1000; ++k) {
    const std::string name = target + ".qvtrash" + (k == 0 ? std::string() : std::to_string(k));
    if (name.size() > kMaxTargetPath) return std::string();
    if (!PathExists(name)) return name;
  }
  return std::string();
}

}  // namespace

bool UninstallMod(int n, Journal& journal, std::vector<std::string>& removed) {
  removed.clear();
  // With the folder gone (an unplugged drive) every target would look
  // "already removed" and the mod would be marked uninstalled for nothing.
  const std::string folder = ReadExtractTo(n);
  if (folder.empty() || !PathIsFolder(folder)) return false;
  std::vector<PlannedEntry> entries;
  if (!PlanEntries(n, ReadFileName(n), entries)) return false;

  // A folder where a file was installed cannot be removed as a file.
  for (const PlannedEntry& entry : entries) {
    if (!entry.info.is_directory && PathIsFolder(entry.target)) return false;
  }

  // First every file the mod put in place is set aside. A file that is
  // locked or denied fails here, before any original was touched; a file
  // that is already gone is no error.
  for (const PlannedEntry& entry : entries) {
    if (entry.info.is_directory || !PathExists(entry.target)) continue;
    const std::string aside = SetAsideName(entry.target);
    if (aside.empty() || !MoveStep(journal, entry.target, aside)) {
      UndoJournal(journal);
      removed.clear();
      return false;
    }
    removed.push_back(aside);
  }

  // Then the originals come back from their backups.
  for (const PlannedEntry& entry : entries) {
    if (entry.info.is_directory) continue;
    std::string backup;
    if (!BackupName(entry.target, backup, kMaxTargetPath)) {
      UndoJournal(journal);
      removed.clear();
      return false;
    }
    if (!PathExists(backup)) continue;
    if (!MoveStep(journal, backup, entry.target)) {
      UndoJournal(journal);
      removed.clear();
      return false;
    }
  }
  return true;
}

bool FinishUninstall(const std::vector<std::string>& removed) {
  bool all = true;
  for (const std::string& path : removed) all = DeletePath(path) && all;
  return all;
}
