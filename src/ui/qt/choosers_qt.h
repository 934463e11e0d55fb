#pragma once
// The open-file dialog, the folder chooser and the error box. The choosers
// hand back paths as the bytes the file calls and the settings file take
// (UTF-8). A choice those bytes cannot name exactly (a name that is not
// UTF-8 on disk), or one too long for its record, is refused with a message
// box and reported as a cancel: storing an approximation would name another
// file.
#include <QString>
#include <functional>
#include <string>

class QWidget;

// Open-file dialog for a mod archive, starting in `start_folder`. False on
// cancel or refusal; `path` is then untouched.
bool ChooseArchiveFileDialog(QWidget* owner, const std::string& start_folder, std::string& path);

// Folder chooser titled "Extract to", starting in `start_folder` (the home
// folder when empty). False on cancel or refusal; `folder` is then untouched.
bool BrowseForFolderDialog(QWidget* owner, const std::string& start_folder, std::string& folder);

// Modal box over `owner` with the program's error caption and one OK button.
void ShowErrorBox(QWidget* owner, const QString& text);

// Stands in for the user at the two choosers, for tests: it is told which
// chooser and the folder it would start in, and returns the chosen path, or
// an empty string to cancel. What it returns is checked as a choice made in
// the real dialog would be. An empty function shows the real dialogs.
enum class Chooser { ArchiveFile, Folder };
using ChooserStandIn = std::function<QString(Chooser, const QString& start_folder)>;
void SetChooserStandIn(ChooserStandIn stand_in);
