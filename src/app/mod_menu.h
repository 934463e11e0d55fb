#pragma once
// Files dropped onto the mod list, and the menu of a mod's row: what its
// items do and which of them apply. The menu only looks: it never changes a
// record, the settings file or a mod's folder.
#include <cstddef>
#include <string>
#include <vector>

#include "engine/verify.h"

// Adds each dropped path as "Add NewMod" adds a chosen archive, in the
// order given, each as the next mod; folders are passed over and the
// selection stays. Ignored while a command runs. Then refreshes.
void DropFiles(const std::vector<std::string>& paths);

enum class MenuItem { CheckFiles, OpenFolder, ShowArchive };

// Which items apply to mod `n` (a row of the list), as the menu shows them.
struct MenuState {
  bool check_files = false;
  bool open_folder = false;
  bool show_archive = false;
};
MenuState MenuStateFor(int n);

// Runs `item` for mod `n`. "Check Files" runs in the background, as a
// command; nothing runs while one does.
void RunMenuItem(int n, MenuItem item);

// The message "Check Files" shows for what it found in a record with
// `originals` files moved aside.
std::string CheckFilesText(const VerifyReport& report, std::size_t originals);
