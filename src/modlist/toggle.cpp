// The install command: the selected mod's record is read once and handed to
// the engine, which calls back to store the new state at its commit point.
#include <string>
#include <vector>

#include "app/texts.h"
#include "engine/install.h"
#include "engine/paths.h"
#include "engine/record.h"
#include "engine/text.h"
#include "modlist/modlist.h"
#include "settings/settings.h"
#include "window/window.h"

namespace {

// Names of kept files shown in one message; the rest are counted.
constexpr std::size_t kMaxKeptShown = 20;

void Install(int n, const ModPaths& mod) {
  switch (InstallMod(n, mod, [n] { return SetExtracted(n, true); })) {
    case CommandResult::Done:
      break;
    case CommandResult::ExtractionFailed:
      MainWindow().ShowError(kExtractionError);
      break;
    default:
      MainWindow().ShowError(kProcessingError);
      break;
  }
}

void Uninstall(int n, const ModPaths& mod) {
  std::vector<std::string> kept;
  const CommandResult result = UninstallMod(n, mod, [n] { return SetExtracted(n, false); }, kept);
  if (result != CommandResult::Done) MainWindow().ShowError(kUninstallError);
  if (kept.empty()) return;
  std::string text = kKeptFilesNotice;
  for (std::size_t i = 0; i < kept.size() && i < kMaxKeptShown; ++i) {
    text += "\n" + NarrowToUtf8(kept[i]);
  }
  if (kept.size() > kMaxKeptShown) {
    text += "\n(+" + std::to_string(kept.size() - kMaxKeptShown) + ")";
  }
  MainWindow().ShowError(text);
}

}  // namespace

bool CanToggle(int n, const std::string& archive, const std::string& folder, bool installed) {
  if (folder.empty()) return false;
  // What an install did is in its record: the archive is no longer needed
  // to take it back.
  if (installed && RecordExists(n)) return true;
  return !archive.empty() && FileExists(archive);
}

void ToggleInstall() {
  const int n = MainWindow().SelectedRow();
  if (n < 0) return;
  const ModPaths mod{ReadFileName(n), ReadExtractTo(n)};
  const bool installed = IsExtracted(n);
  // The button's state may be stale: the archive can vanish and the folder
  // be cleared between the refresh and the click.
  if (!CanToggle(n, mod.archive, mod.folder, installed)) return;
  MainWindow().SetInstallCaption("Processing...");
  if (installed) {
    Uninstall(n, mod);
  } else {
    Install(n, mod);
  }
}
