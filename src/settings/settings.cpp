#include "settings/settings.h"

#include <cstdio>

#include "settings/profile.h"

std::string ProgramDirectory;

namespace {
constexpr const char* kFileNameKey = "FileName";
constexpr const char* kExtractToKey = "ExtractTo";
constexpr const char* kExtractedKey = "Extracted";
}  // namespace

bool SetProgramDirectory() {
  ProgramDirectory.clear();
  const std::string exe = ExecutablePath();
  const std::size_t cut = exe.find_last_of(
#ifdef _WIN32
      "\\"
#else
      "/"
#endif
  );
  if (exe.empty() || cut == std::string::npos) return false;
  std::string directory = exe.substr(0, cut + 1);
  if (directory.size() > kMaxProgramDirectory) return false;
  ProgramDirectory = directory;
  return true;
}

void SetProgramDirectory(const std::string& directory) { ProgramDirectory = directory; }

std::string SettingsFile() { return ProgramDirectory + kSettingsFileName; }

std::string ModSection(int n) {
  char section[16];
  std::snprintf(section, sizeof section, "FileNo%d", n);
  return section;
}

std::string ReadFileName(int n) {
  return ProfileReadString(ModSection(n), kFileNameKey, "", kMaxFileName + 1, SettingsFile());
}

bool WriteFileName(int n, const char* value) {
  return ProfileWriteString(ModSection(n), kFileNameKey, value, SettingsFile());
}

std::string ReadExtractTo(int n) {
  return ProfileReadString(ModSection(n), kExtractToKey, "", kMaxExtractTo + 1, SettingsFile());
}

bool WriteExtractTo(int n, const char* value) {
  return ProfileWriteString(ModSection(n), kExtractToKey, value, SettingsFile());
}

bool IsExtracted(int n) {
  return ProfileReadInt(ModSection(n), kExtractedKey, 0, SettingsFile()) != 0;
}

bool SetExtracted(int n, bool flag) {
  return ProfileWriteString(ModSection(n), kExtractedKey, flag ? "1" : "0", SettingsFile());
}

int ReadWindowValue(const char* key, int default_value) {
  return ProfileReadInt(kWindowSection, key, default_value, SettingsFile());
}

bool WriteWindowValue(const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return ProfileWriteString(kWindowSection, key, text, SettingsFile());
}
