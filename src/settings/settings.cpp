#include "settings/settings.h"

#include <cstdio>

#include "platform/disk_calls.h"
#include "rules/mod_names.h"
#include "platform/executable.h"
#include "platform/profile.h"

std::string ProgramDirectory;

namespace {
constexpr const char* kFileNameKey = "FileName";
constexpr const char* kExtractToKey = "ExtractTo";
constexpr const char* kExtractedKey = "Extracted";
}  // namespace

bool SetProgramDirectory() { return SetProgramDirectoryFrom(ExecutablePath()); }

bool SetProgramDirectoryFrom(const std::string& exe) {
  ProgramDirectory.clear();
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

namespace {

// Without a program directory the file name would be relative and land in
// whatever folder is current (on Windows, the Windows folder): every read
// gives the default and every write fails instead.
bool Located() { return !ProgramDirectory.empty(); }

std::string ReadString(const std::string& section, const char* key, std::size_t max_length) {
  if (!Located()) return std::string();
  return ProfileReadString(section, key, "", max_length + 1, SettingsFile());
}

int ReadInt(const std::string& section, const char* key, int default_value) {
  if (!Located()) return default_value;
  return ProfileReadInt(section, key, default_value, SettingsFile());
}

bool g_batch_open = false;
bool g_batch_failed = false;  // a write of the open batch failed

bool Write(const std::string& section, const char* key, const char* value) {
  if (g_batch_open) {
    const bool ok = Located() && ProfileWriteString(section, key, value, SettingsFile());
    if (!ok) g_batch_failed = true;
    return ok;
  }
  if (!Located()) return false;
  // A write on its own replaces the file, as a commit does: both are
  // changes on disk. (A write inside a batch only changes its copy.)
  return Disk().write_profile_string(section, key, value, SettingsFile());
}

}  // namespace

void BeginSettingsBatch() {
  g_batch_open = true;
  g_batch_failed = false;
  ProfileBeginBatch(SettingsFile());
}

bool CommitSettingsBatch() {
  if (!g_batch_open) return true;
  g_batch_open = false;
  if (g_batch_failed || !Located()) {
    ProfileAbandonBatch();
    return false;
  }
  return Disk().commit_profile_batch();
}

void AbandonSettingsBatch() {
  if (!g_batch_open) return;
  g_batch_open = false;
  ProfileAbandonBatch();
}

std::string ModSection(int n) { return ModName(n); }

std::string ReadFileName(int n) {
  return ReadString(ModSection(n), kFileNameKey, kMaxFileName);
}

bool WriteFileName(int n, const char* value) {
  return Write(ModSection(n), kFileNameKey, value);
}

std::string ReadExtractTo(int n) {
  return ReadString(ModSection(n), kExtractToKey, kMaxExtractTo);
}

bool WriteExtractTo(int n, const char* value) {
  return Write(ModSection(n), kExtractToKey, value);
}

bool IsExtracted(int n) {
  return ReadInt(ModSection(n), kExtractedKey, 0) != 0;
}

bool SetExtracted(int n, bool flag) {
  return Write(ModSection(n), kExtractedKey, flag ? "1" : "0");
}

int ReadWindowValue(const char* key, int default_value) {
  return ReadInt(kWindowSection, key, default_value);
}

bool WriteWindowValue(const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return Write(kWindowSection, key, text);
}
