#include "app/mod_menu.h"

#include <memory>

#include "app/app.h"
#include "app/background.h"
#include "app/modlist.h"
#include "app/texts.h"
#include "app/window.h"
#include "engine/record.h"
#include "engine/verify.h"
#include "platform/files.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace {

// Files that differ named in one message; the rest are counted.
constexpr std::size_t kMaxDifferencesShown = 10;

struct CheckJob {
  int n = 0;
  bool loaded = false;
  bool exists = false;
  InstallRecord record;
  VerifyReport report;
};

void Check(CheckJob& job) {
  job.exists = RecordExists(job.n);
  job.loaded = job.exists && LoadRecord(job.n, job.record);
  if (!job.loaded) return;
  ProgressMeter meter([](int percent) { MainWindow().ReportProgress(percent); },
                      VerifyWork(job.record));
  job.report = VerifyInstalledFiles(job.record, &meter);
}

void ReportCheck(const CheckJob& job) {
  Window& window = MainWindow();
  if (!job.loaded) {
    window.ShowInfo(job.exists ? kCheckUnreadableRecord : kCheckNoRecord);
    return;
  }
  window.ShowInfo(CheckFilesText(job.report, job.record.originals.size()));
}

void OpenFolder(int n) {
  Window& window = MainWindow();
  const std::string folder = ReadExtractTo(n);
  if (folder.empty()) {
    window.ShowInfo(kNoFolderSet);
    return;
  }
  if (!IsFolder(folder)) {
    window.ShowInfo(std::string(kFolderGone) + "\n" + NarrowToUtf8(folder));
    return;
  }
  if (!window.OpenInFileManager(folder)) {
    window.ShowError(std::string(kShellOpenFailed) + "\n" + NarrowToUtf8(folder));
  }
}

void ShowArchive(int n) {
  Window& window = MainWindow();
  const std::string archive = ReadFileName(n);
  if (archive.empty() || !FileExists(archive) || IsFolder(archive)) {
    window.ShowInfo(std::string(kArchiveGone) + "\n" + NarrowToUtf8(archive));
    return;
  }
  if (!window.ShowFileInFileManager(archive)) {
    window.ShowError(std::string(kShellOpenFailed) + "\n" + NarrowToUtf8(archive));
  }
}

}  // namespace

void DropFiles(const std::vector<std::string>& paths) {
  if (CommandRunning()) return;
  for (const std::string& path : paths) {
    // A folder is no archive; what no longer exists is added as a chosen
    // file would be, and its row says FileNotFound!.
    if (IsFolder(path)) continue;
    if (!AddModFile(path)) break;  // the settings file refused: the rest would fail alike
  }
  RefreshControls();
}

MenuState MenuStateFor(int n) {
  MenuState state;
  if (n < 0 || n >= ModCount) return state;
  // Always: for a mod without a record it tells so.
  state.check_files = true;
  state.open_folder = !ReadExtractTo(n).empty();
  const std::string archive = ReadFileName(n);
  state.show_archive = !archive.empty() && FileExists(archive) && !IsFolder(archive);
  return state;
}

void RunMenuItem(int n, MenuItem item) {
  if (CommandRunning() || n < 0 || n >= ModCount) return;
  switch (item) {
    case MenuItem::CheckFiles: {
      auto job = std::make_shared<CheckJob>();
      job->n = n;
      RunCommandInBackground({[job] { Check(*job); }, [job] { ReportCheck(*job); }},
                             RefreshControls);
      return;
    }
    case MenuItem::OpenFolder:
      OpenFolder(n);
      break;
    case MenuItem::ShowArchive:
      ShowArchive(n);
      break;
  }
  RefreshControls();
}

std::string CheckFilesText(const VerifyReport& report, std::size_t originals) {
  std::string text = kCheckIntact + std::to_string(report.intact) + "\n" + kCheckChanged +
                     std::to_string(report.changed) + "\n" + kCheckMissing +
                     std::to_string(report.missing);
  if (report.unreadable > 0) text += std::string("\n") + kCheckUnreadable +
                                     std::to_string(report.unreadable);
  for (std::size_t i = 0; i < report.differences.size() && i < kMaxDifferencesShown; ++i) {
    const VerifyReport::Difference& difference = report.differences[i];
    text += std::string("\n") + (difference.missing ? kCheckMissingMark : kCheckChangedMark) +
            NarrowToUtf8(difference.path);
  }
  if (report.differences.size() > kMaxDifferencesShown) {
    text += "\n(+" + std::to_string(report.differences.size() - kMaxDifferencesShown) + ")";
  }
  text += "\n";
  if (originals == 0) {
    text += std::string("\n") + kCheckNoBackups;
  } else if (report.backups_gone.empty()) {
    text += std::string("\n") + kCheckBackupsKept + std::to_string(report.backups_present);
  } else {
    text += std::string("\n") + kCheckBackupsGone + std::to_string(report.backups_gone.size());
    for (std::size_t i = 0; i < report.backups_gone.size() && i < kMaxDifferencesShown; ++i) {
      text += "\n" + NarrowToUtf8(report.backups_gone[i]);
    }
    if (report.backups_gone.size() > kMaxDifferencesShown) {
      text += "\n(+" + std::to_string(report.backups_gone.size() - kMaxDifferencesShown) + ")";
    }
  }
  return text;
}
