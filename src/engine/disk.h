#pragma once
// The engine's calls on full paths: each reaches its file (on Windows, a long
// path through the current folder) and answers whether it was done. None is
// recorded; the journal records the steps a command may have to take back.
#include <string>

// Probes: nothing changes.
bool PathExists(const std::string& path);
bool PathIsFolder(const std::string& path);
// Deletes a file for good.
bool DeletePath(const std::string& path);
// Renames within one folder, never replacing an existing destination.
bool MovePath(const std::string& from, const std::string& to);
// Renames file `from` over file `to` in one step, within one folder: what
// was at `to` is gone for good.
bool ReplacePath(const std::string& from, const std::string& to);
// Removes a folder if it is empty. True when it is gone or holds something
// (then it is not this command's to remove).
bool RemoveFolderIfEmpty(const std::string& path);
