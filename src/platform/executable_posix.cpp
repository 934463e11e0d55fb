#include "platform/executable.h"

#include <unistd.h>

#include <climits>

std::string ExecutablePath() {
  char path[PATH_MAX + 1];
  const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
  if (length <= 0 || length >= PATH_MAX) return std::string();
  return std::string(path, static_cast<std::size_t>(length));
}
