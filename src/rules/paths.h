#pragma once
// Path rules: where an archive entry lands, the name under which the file it
// replaces is saved, and how a path splits. Pure: nothing here touches the
// disk.
#include <cstddef>
#include <string>

// Limits of the paths the program handles, in bytes (without the NUL): any
// path it touches, as far as Windows' wide calls reach (32,767 characters
// with their \\?\UNC\ prefix; a byte is never less than a character), and a
// mod's folder as the settings file holds it.
constexpr std::size_t kMaxPath = 32767 - 8;
constexpr std::size_t kMaxFolderPath = 259;
constexpr const char* kBackupExtension = "qvs";

// The mod's folder, one separator, then the stored name with its separators
// made the platform's. False when there is no folder or the result exceeds
// kMaxPath.
bool TargetPath(const std::string& folder, const std::string& stored_name, std::string& out);

// The backup name of a file name (no folder part): cut after its last dot and
// add "qvs"; a name without a dot gets "qvs" appended.
std::string BackupFileName(const std::string& file_name);
// The backup name of a path: the folder part is kept, the rule above applies
// to the file name. False when the result exceeds `max_length`.
bool BackupName(const std::string& path, std::string& out, std::size_t max_length);

// Splits at the last separator. False (and both outputs untouched) when there
// is none. Pure: touches nothing on disk.
bool SplitPath(const std::string& source, std::string& directory, std::string& name);

// Row text of an archive path: the part after the last separator, or the
// whole text when there is none. Touches nothing on disk.
std::string DisplayName(const std::string& archive_path);

// An entry name ending in a separator names a folder.
bool IsDirectoryEntry(const std::string& name);

