#include "fuzz_guard.h"

#include <fcntl.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <vector>

#include "fuzz_support.h"

namespace fuzz {
namespace {

std::atomic<bool> g_up{false};
std::string g_root;  // set while the fence is down

std::string Lexical(const char* path, int dir_fd) {
  std::string full;
  if (path[0] == '/') {
    full = path;
  } else {
    if (dir_fd != AT_FDCWD) FuzzFail("a call relative to a folder handle: %s", path);
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) FuzzFail("no current folder for %s", path);
    full = std::string(cwd) + "/" + path;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string normal;
  for (const std::string& part : parts) normal += "/" + part;
  return normal.empty() ? "/" : normal;
}

void Check(const char* call, const char* path, int dir_fd = AT_FDCWD) {
  if (!g_up.load() || path == nullptr) return;
  const std::string normal = Lexical(path, dir_fd);
  if (normal == g_root || normal.compare(0, g_root.size() + 1, g_root + "/") == 0) return;
  FuzzFail("%s(\"%s\") outside the scratch folder %s", call, path, g_root.c_str());
}

bool Writes(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0; }

}  // namespace

void RaiseFence(const std::string& root) {
  g_root = root;
  g_up = true;
}

void LowerFence() { g_up = false; }

}  // namespace fuzz

using fuzz::Check;
using fuzz::Writes;

// Every call of the kind in the code linked with the fence. The real
// function is the one the name had before the linker's --wrap.
extern "C" {
int __real_unlink(const char* path);
int __real_unlinkat(int dir_fd, const char* path, int flags);
int __real_rmdir(const char* path);
int __real_rename(const char* from, const char* to);
int __real_renameat(int from_fd, const char* from, int to_fd, const char* to);
int __real_renameat2(int from_fd, const char* from, int to_fd, const char* to, unsigned flags);
int __real_mkdir(const char* path, mode_t mode);
int __real_chmod(const char* path, mode_t mode);
int __real_truncate(const char* path, off_t length);
int __real_link(const char* from, const char* to);
int __real_symlink(const char* target, const char* path);
int __real_mkfifo(const char* path, mode_t mode);
int __real_mkstemp(char* pattern);
int __real_open(const char* path, int flags, ...);
int __real_open64(const char* path, int flags, ...);
int __real_creat(const char* path, mode_t mode);

int __wrap_unlink(const char* path) {
  Check("unlink", path);
  return __real_unlink(path);
}
int __wrap_unlinkat(int dir_fd, const char* path, int flags) {
  Check("unlinkat", path, dir_fd);
  return __real_unlinkat(dir_fd, path, flags);
}
int __wrap_rmdir(const char* path) {
  Check("rmdir", path);
  return __real_rmdir(path);
}
int __wrap_rename(const char* from, const char* to) {
  Check("rename from", from);
  Check("rename to", to);
  return __real_rename(from, to);
}
int __wrap_renameat(int from_fd, const char* from, int to_fd, const char* to) {
  Check("renameat from", from, from_fd);
  Check("renameat to", to, to_fd);
  return __real_renameat(from_fd, from, to_fd, to);
}
int __wrap_renameat2(int from_fd, const char* from, int to_fd, const char* to, unsigned flags) {
  Check("renameat2 from", from, from_fd);
  Check("renameat2 to", to, to_fd);
  return __real_renameat2(from_fd, from, to_fd, to, flags);
}
int __wrap_mkdir(const char* path, mode_t mode) {
  Check("mkdir", path);
  return __real_mkdir(path, mode);
}
int __wrap_chmod(const char* path, mode_t mode) {
  Check("chmod", path);
  return __real_chmod(path, mode);
}
int __wrap_truncate(const char* path, off_t length) {
  Check("truncate", path);
  return __real_truncate(path, length);
}
int __wrap_link(const char* from, const char* to) {
  Check("link", to);
  return __real_link(from, to);
}
int __wrap_symlink(const char* target, const char* path) {
  Check("symlink", path);
  return __real_symlink(target, path);
}
int __wrap_mkfifo(const char* path, mode_t mode) {
  Check("mkfifo", path);
  return __real_mkfifo(path, mode);
}
int __wrap_mkstemp(char* pattern) {
  Check("mkstemp", pattern);
  return __real_mkstemp(pattern);
}
int __wrap_creat(const char* path, mode_t mode) {
  Check("creat", path);
  return __real_creat(path, mode);
}
int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (Writes(flags)) Check("open for writing", path);
  return __real_open(path, flags, mode);
}
int __wrap_open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (Writes(flags)) Check("open for writing", path);
  return __real_open64(path, flags, mode);
}
}  // extern "C"
