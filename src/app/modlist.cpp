#include "app/modlist.h"

#include <string>
#include <vector>

#include "app/report.h"
#include "app/texts.h"
#include "engine/renumber.h"
#include "rules/paths.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "app/window.h"

int ModCount = 0;

namespace {

void ReportSettingsWriteFailure() {
  MainWindow().ShowError(std::string(kSettingsWriteError) + "\n" + NarrowToUtf8(SettingsFile()));
}

// The rows rebuilt from what the file says, so that after a failed command
// every row acts on the record it shows and no two rows share one.
void Reload() {
  MainWindow().ClearRows();
  ModCount = 0;
  LoadModList();
}

void ReloadAfterWriteFailure() {
  Reload();
  ReportSettingsWriteFailure();
}

// Writes the record of mod `from` under number `to`: all three keys, so that
// a missing ExtractTo becomes an empty one and any non-zero Extracted a 1.
bool MoveModRecord(int from, int to, std::string& file_name) {
  file_name = ReadFileName(from);
  const std::string folder = ReadExtractTo(from);
  const bool extracted = IsExtracted(from);
  return WriteFileName(to, file_name.c_str()) && WriteExtractTo(to, folder.c_str()) &&
         SetExtracted(to, extracted);
}

// Writes the list without mod `removed` in one batch: the file holds the old
// list or the new one, never two rows on one record, and the start-up repair
// can tell from it which. `rows` gets the archives left, in order.
bool WriteListWithout(int removed, std::vector<std::string>& rows) {
  BeginSettingsBatch();
  bool written = true;
  for (int i = 0; i < ModCount && written; ++i) {
    if (i == removed) continue;
    std::string file_name;
    written = MoveModRecord(i, i < removed ? i : i - 1, file_name);
    rows.push_back(file_name);
  }
  // The freed number keeps a cleared flag, for the next added mod.
  const int last = ModCount - 1;
  written = written && SetExtracted(last, false) && WriteFileName(last, nullptr) &&
            WriteExtractTo(last, nullptr);
  if (!written) {
    AbandonSettingsBatch();
    return false;
  }
  return CommitSettingsBatch();
}

}  // namespace

void LoadModList() {
  // The list ends at the first record without an archive; records behind a
  // hole in the numbering show up once the hole is filled.
  for (;;) {
    const std::string file_name = ReadFileName(ModCount);
    if (file_name.empty()) return;
    MainWindow().AppendRow(DisplayName(file_name), ModCount);
    ++ModCount;
  }
}

void FillExtractHistory() {
  for (int i = 0;; ++i) {
    const std::string folder = ReadExtractTo(i);
    if (folder.empty()) return;
    MainWindow().AppendFolderItem(folder, i);
  }
}

void AddMod() {
  std::string path;
  // An empty name would end the list at this record on the next start.
  if (!MainWindow().ChooseArchiveFile(path) || path.empty()) return;
  AddModFile(path);
}

bool AddModFile(const std::string& path) {
  Window& window = MainWindow();
  if (path.empty()) return true;
  // The chooser has refused what it cannot name or store; a line break,
  // which a Linux name may hold, would end the record's line and start one
  // of the path's own making. Refused before anything is written.
  if (path.find_first_of("\r\n") != std::string::npos) {
    window.ShowError(kProcessingError);
    return true;
  }
  if (!WriteFileName(ModCount, path.c_str())) {
    ReportSettingsWriteFailure();
    return false;
  }
  window.AppendRow(DisplayName(path), ModCount);
  ++ModCount;
  // A record that sat behind a hole now follows on; taking it into the list
  // keeps the next add from writing over it.
  LoadModList();
  return true;
}

void RemoveMod() {
  Window& window = MainWindow();
  const int removed = window.SelectedRow();
  if (removed < 0 || removed >= ModCount) return;
  // Its files and backups would be stranded, with nothing left to take
  // them back.
  if (IsExtracted(removed)) {
    window.ShowError(kRemoveInstalledError);
    return;
  }

  std::vector<std::string> rows;
  ProblemList problems;
  bool committing = false;
  const bool renumbered = RenumberRecords(removed, ModCount, [&] {
    committing = true;
    return WriteListWithout(removed, rows);
  }, problems);
  if (!renumbered) {
    // A record in the way is not the settings file's fault: it is named.
    if (committing) {
      ReloadAfterWriteFailure();
    } else {
      Reload();
      window.ShowError(WithProblems(kProcessingError, problems.Take()));
    }
    return;
  }
  window.ClearRows();
  --ModCount;
  for (int i = 0; i < ModCount; ++i) window.AppendRow(DisplayName(rows[i]), i);
}

void ChooseExtractFolder() {
  Window& window = MainWindow();
  const int selected = window.SelectedRow();
  if (selected < 0) return;
  // The install record holds the folder the files went to; a new folder
  // would send the uninstallation elsewhere.
  if (IsExtracted(selected)) {
    window.ShowError(kBrowseInstalledError);
    return;
  }
  std::string folder;
  if (!window.BrowseForFolder(folder)) return;
  window.SetFolderText(folder);
  if (!WriteExtractTo(selected, folder.c_str())) ReportSettingsWriteFailure();
}
