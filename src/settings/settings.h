#pragma once
// The settings file beside the executable and the accessors of its records.
// Every change reaches the file in one replace (a full copy written beside
// it, flushed, renamed over it): the file holds the old contents or the new,
// never a mix, whatever happens mid-write. Mod records live in sections
// "FileNo<n>". One thread at a time: the parsed file and an open batch are
// shared (a running command owns the settings until it is over).
#include <cstddef>
#include <string>

constexpr std::size_t kMaxProgramDirectory = 245;  // so that SettingsFile fits 259
constexpr std::size_t kMaxFileName = 519;           // read buffer 520
constexpr std::size_t kMaxExtractTo = 259;          // read buffer 260
constexpr const char* kSettingsFileName = "Quorvantel.ini";
constexpr const char* kWindowSection = "Window";

// The executable's folder with a trailing separator.
extern std::string ProgramDirectory;

// Derives ProgramDirectory from the executable's path. False when that folder
// is longer than kMaxProgramDirectory (ProgramDirectory is then empty).
bool SetProgramDirectory();
// The same from a given executable path.
bool SetProgramDirectoryFrom(const std::string& executable_path);
// Tests and tools point the program at another folder (with its separator).
void SetProgramDirectory(const std::string& directory);
std::string SettingsFile();
std::string ModSection(int n);

// A batch of changes that reach the file together. While a batch is open
// every write below goes into it and every read sees its writes; the file is
// untouched until the commit. A write outside a batch is a batch of one.
// Batches do not nest: beginning one while another is open abandons that.
void BeginSettingsBatch();
// Replaces the file with the batch's result. False when it could not (the
// file is then as it was before the batch), also when a write of the batch
// failed. Like every write outside a batch, one commit is one change on
// disk (disk_calls.h).
bool CommitSettingsBatch();
// Drops the batch's writes; the file stays as it is.
void AbandonSettingsBatch();

// Writes return false when the file cannot be written (it is read-only, its
// folder is missing, or it holds bytes a rewrite would lose, such as a NUL);
// the file is then unchanged.
std::string ReadFileName(int n);
bool WriteFileName(int n, const char* value);  // null deletes the key
std::string ReadExtractTo(int n);
bool WriteExtractTo(int n, const char* value);  // null deletes the key
bool IsExtracted(int n);
bool SetExtracted(int n, bool flag);

int ReadWindowValue(const char* key, int default_value);
bool WriteWindowValue(const char* key, int value);
