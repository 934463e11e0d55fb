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

// Where the user picks a path: shown over `owner`, starting in
// `start_folder`; the path chosen, or an empty string on a cancel.
using Pick = std::function<QString(QWidget* owner, const QString& start_folder)>;

// The platform's open-file dialog, showing mod archives.
QString PickArchiveFile(QWidget* owner, const QString& start_folder);
// The platform's folder chooser, titled "Extract to".
QString PickFolder(QWidget* owner, const QString& start_folder);

// The picks the dialog's two choosers show.
struct Pickers {
  Pick archive_file = PickArchiveFile;
  Pick folder = PickFolder;
};

// Open-file dialog for a mod archive, starting in `start_folder`, through
// `pick`. False on cancel or refusal; `path` is then untouched.
bool ChooseArchiveFileDialog(QWidget* owner, const std::string& start_folder, const Pick& pick,
                             std::string& path);

// Folder chooser starting in `start_folder` (the home folder when empty),
// through `pick`. False on cancel or refusal; `folder` is then untouched.
bool BrowseForFolderDialog(QWidget* owner, const std::string& start_folder, const Pick& pick,
                           std::string& folder);

// Modal box over `owner` with the program's error caption and one OK button.
void ShowErrorBox(QWidget* owner, const QString& text);
// The same with the caption of a box that reports rather than fails.
void ShowInfoBox(QWidget* owner, const QString& text);

// A file dropped onto the list, checked as a chosen archive is. False for
// a folder or what is no longer there (passed over), and, after a message,
// for a path that cannot be stored.
bool AcceptDroppedPath(QWidget* owner, const QString& dropped, std::string& path);
