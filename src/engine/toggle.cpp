#include "engine/engine.h"
#include "engine/install.h"
#include "engine/paths.h"
#include "settings/settings.h"
#include "window/window.h"

const char* const kProcessingError =
    "処理中にエラーが発生しました。\n他のMODがファイルを使用している可能性があります。";
const char* const kExtractionError = "解凍中にエラーが発生しました。";
const char* const kUninstallError = "アンインストール中にエラーが発生しました。";

namespace {

void Install(int n) {
  Journal journal;
  if (!BackUpTargets(n, journal)) {
    MainWindow().ShowError(kProcessingError);
    return;
  }
  if (ExtractMod(n, journal) != 0) {
    RestoreBackups(journal);
    MainWindow().ShowError(kExtractionError);
    return;
  }
  // The file must never say "not installed" while the mod's files are in
  // place: without the flag, undo the installation.
  if (!SetExtracted(n, true)) {
    RestoreBackups(journal);
    MainWindow().ShowError(kProcessingError);
  }
}

void Uninstall(int n) {
  Journal journal;
  std::vector<std::string> removed;
  if (!UninstallMod(n, journal, removed)) {
    MainWindow().ShowError(kUninstallError);
    return;
  }
  // Still flagged as installed, a later click would remove the originals
  // just restored: without the cleared flag, undo the uninstallation.
  if (!SetExtracted(n, false)) {
    UndoJournal(journal);
    MainWindow().ShowError(kUninstallError);
    return;
  }
  if (!FinishUninstall(removed)) MainWindow().ShowError(kUninstallError);
}

}  // namespace

void ToggleInstall() {
  const int n = MainWindow().SelectedRow();
  if (n < 0) return;
  // The button's state may be stale: the archive can vanish and the folder
  // be cleared between the refresh and the click.
  const std::string archive = ReadFileName(n);
  if (archive.empty() || ReadExtractTo(n).empty() || !FileExists(archive)) return;
  MainWindow().SetInstallCaption("Processing...");
  if (IsExtracted(n)) {
    Uninstall(n);
  } else {
    Install(n);
  }
}
