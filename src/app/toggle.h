#pragma once
// The install command: installs the selected mod when its Extracted flag is
// clear, uninstalls it when set; either completes or leaves every file as it
// was. The dispatch runs it in the background (ToggleInstall, app.h).
#include <optional>
#include <string>

#include "app/background.h"

// The command for the selected mod, its record read here on the dialog's
// thread; nothing when there is nothing to do. Its work hands the record to
// the engine, which calls back to store the new state at its commit point.
std::optional<BackgroundCommand> ToggleCommand();

// Whether the install button can act on mod n: a folder, and the archive
// (not needed to uninstall a mod whose install was recorded).
bool CanToggle(int n, const std::string& archive, const std::string& folder, bool installed);
