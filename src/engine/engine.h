#pragma once
// Installation, uninstallation and the command that switches between them.

// The three messages of the install command (UTF-8).
extern const char* const kProcessingError;
extern const char* const kExtractionError;
extern const char* const kUninstallError;

// Installs mod n when its Extracted flag is clear, uninstalls it when set;
// either completes or leaves every file as it was. Runs on the selected row.
void ToggleInstall();
