#pragma once
// The two shell dialogs a command opens. Both hand back paths as bytes of the
// ANSI code page, which is what the settings file and the file calls use.
// A choice that those bytes cannot carry exactly (a character outside the
// code page, or too long for its record) is refused with a message box and
// reported as a cancel: storing an approximation would name another file.
#include <windows.h>

#include <string>

// Open-file dialog for a mod archive, starting in `initial_directory` (ANSI).
// False on cancel or refusal; `path` is then untouched.
bool ChooseArchiveFileDialog(HWND owner, const std::string& initial_directory,
                             std::string& path);

// Folder browser. False on cancel, on a choice without a file-system path, or
// on refusal; `folder` is then untouched.
bool BrowseForFolderDialog(HWND owner, std::string& folder);

// A path dropped onto the dialog, converted as a chosen archive is; false,
// after the message, when it cannot be stored.
bool AcceptDroppedPath(HWND owner, const std::wstring& dropped, std::string& path);
