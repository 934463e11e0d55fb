#include "app/toggle.h"

#include <memory>
#include <string>
#include <vector>

#include "app/report.h"
#include "app/texts.h"
#include "engine/install.h"
#include "engine/uninstall.h"
#include "platform/files.h"
#include "engine/record.h"
#include "settings/settings.h"
#include "app/window.h"

namespace {

// One install or uninstall: what it was given on the dialog's thread, and
// what it found, for the messages shown there once it is over.
struct ToggleJob {
  int n = 0;
  ModPaths mod;
  bool installed = false;
  CommandResult result = CommandResult::Done;
  Problems kept;  // the files it kept under other names
  Problems problems;
};

void Run(ToggleJob& job) {
  const int n = job.n;
  // Progress goes to the dialog's thread; the settings file is the
  // command's own until it is over (every other command waits).
  const ProgressFn progress = [](int percent) { MainWindow().ReportProgress(percent); };
  bool stored = true;
  const auto store = [n, &stored](bool flag) { return stored = SetExtracted(n, flag); };
  Problems problems;
  if (job.installed) {
    job.result = UninstallMod(n, job.mod, [&] { return store(false); }, job.kept, progress,
                              &problems);
  } else {
    job.result = InstallMod(n, job.mod, [&] { return store(true); }, progress, &problems);
  }
  if (!stored) problems.push_back(Problem(ProblemKind::NotStored, SettingsFile()));
  job.problems = std::move(problems);
}

void Report(const ToggleJob& job) {
  Window& window = MainWindow();
  switch (job.result) {
    case CommandResult::Done:
      break;
    case CommandResult::ExtractionFailed:
      window.ShowError(WithProblems(kExtractionError, job.problems));
      break;
    case CommandResult::UninstallFailed:
      window.ShowError(WithProblems(kUninstallError, job.problems));
      break;
    case CommandResult::Refused:
      window.ShowError(WithProblems(kProcessingError, job.problems));
      break;
  }
  if (!job.kept.empty()) window.ShowError(WithProblems(kKeptFilesNotice, job.kept));
}

}  // namespace

bool CanToggle(int n, const std::string& archive, const std::string& folder, bool installed) {
  if (folder.empty()) return false;
  // What an install did is in its record: the archive is no longer needed
  // to take it back.
  if (installed && RecordExists(n)) return true;
  return !archive.empty() && FileExists(archive);
}

std::optional<BackgroundCommand> ToggleCommand() {
  const int n = MainWindow().SelectedRow();
  if (n < 0) return std::nullopt;
  auto job = std::make_shared<ToggleJob>();
  job->n = n;
  job->mod = ModPaths{ReadFileName(n), ReadExtractTo(n)};
  job->installed = IsExtracted(n);
  // The button's state may be stale: the archive can vanish and the folder
  // be cleared between the refresh and the click.
  if (!CanToggle(n, job->mod.archive, job->mod.folder, job->installed)) return std::nullopt;
  return BackgroundCommand{[job] { Run(*job); }, [job] { Report(*job); }};
}
