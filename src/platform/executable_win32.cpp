#include "platform/executable.h"

#include <windows.h>

std::string ExecutablePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A full buffer means the path was cut: treat it as unusable.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}
