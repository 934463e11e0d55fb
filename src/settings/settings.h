#pragma once
// The settings file beside the executable and the accessors of its records.
// Every reader asks the file and every change is written at once: there is
// no copy in memory. Mod records live in sections "FileNo<n>".
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

std::string ReadFileName(int n);
bool WriteFileName(int n, const char* value);  // null deletes the key
std::string ReadExtractTo(int n);
bool WriteExtractTo(int n, const char* value);  // null deletes the key
bool IsExtracted(int n);
bool SetExtracted(int n, bool flag);

int ReadWindowValue(const char* key, int default_value);
bool WriteWindowValue(const char* key, int value);
