#include <windows.h>

#include <vector>

#include "settings/profile.h"

std::string ExecutablePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A full buffer means the path was cut: treat it as unusable.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& file) {
  std::vector<char> buffer(size + 1, '\0');
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(),
                                                buffer.data(), static_cast<DWORD>(size), file.c_str());
  return std::string(buffer.data(), length);
}

int ProfileReadInt(const std::string& section, const std::string& key, int default_value,
                   const std::string& file) {
  return static_cast<int>(
      GetPrivateProfileIntA(section.c_str(), key.c_str(), default_value, file.c_str()));
}

bool ProfileWriteString(const std::string& section, const std::string& key, const char* value,
                        const std::string& file) {
  // Windows refuses to write a read-only file; Wine running as root would
  // write it anyway. Refuse the same way on both.
  const DWORD attributes = GetFileAttributesA(file.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return false;
  }
  if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value, file.c_str()) == 0) return false;
  // Deleting a key from a file that does not exist "succeeds" without
  // creating anything; every other write must have left a file behind.
  return value == nullptr || GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}
