#include "fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzz {

void FuzzFail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::fputs("\n== fuzz target: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputs("\n", stderr);
  va_end(args);
  std::abort();
}

namespace {

std::vector<std::string>& ScratchFolders() {
  static std::vector<std::string> folders;
  return folders;
}

void RemoveScratchFolders() {
  for (const std::string& folder : ScratchFolders()) RemoveTree(folder);
}

}  // namespace

std::string MakeScratchFolder(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + name +
                        "-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) FuzzFail("cannot make %s: errno %d", pattern.c_str(), errno);
  char real[PATH_MAX];
  if (realpath(pattern.c_str(), real) == nullptr) FuzzFail("no real path for %s", pattern.c_str());
  if (ScratchFolders().empty()) std::atexit(RemoveScratchFolders);
  ScratchFolders().push_back(real);
  return real;
}

void RemoveTree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    // A folder the code under test made read-only must still be emptied.
    chmod(path.c_str(), 0700);
    if (DIR* dir = opendir(path.c_str())) {
      std::vector<std::string> names;
      while (const dirent* entry = readdir(dir)) {
        const std::string entry_name = entry->d_name;
        if (entry_name != "." && entry_name != "..") names.push_back(entry_name);
      }
      closedir(dir);
      for (const std::string& entry_name : names) RemoveTree(path + "/" + entry_name);
    }
    if (rmdir(path.c_str()) != 0) FuzzFail("cannot remove folder %s: errno %d", path.c_str(), errno);
  } else if (unlink(path.c_str()) != 0) {
    FuzzFail("cannot remove %s: errno %d", path.c_str(), errno);
  }
}

void MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    FuzzFail("cannot make folder %s: errno %d", path.c_str(), errno);
  }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) FuzzFail("cannot create %s: errno %d", path.c_str(), errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) FuzzFail("cannot write %s: errno %d", path.c_str(), errno);
    done += static_cast<std::size_t>(n);
  }
  close(fd);
}

bool ReadBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

namespace {

void SnapshotInto(const std::string& root, const std::string& relative,
                  const std::set<std::string>& skip, Tree& tree) {
  const std::string path = relative.empty() ? root : root + "/" + relative;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) {
    const std::string child = relative.empty() ? name : relative + "/" + name;
    if (skip.count(child) != 0) continue;
    struct stat st;
    if (lstat((root + "/" + child).c_str(), &st) != 0) continue;
    char head[96];
    const char* type = S_ISDIR(st.st_mode)    ? "folder"
                       : S_ISREG(st.st_mode)  ? "file"
                       : S_ISFIFO(st.st_mode) ? "fifo"
                       : S_ISLNK(st.st_mode)  ? "link"
                                              : "other";
    std::snprintf(head, sizeof head, "%s mode %04o size %lld", type,
                  static_cast<unsigned>(st.st_mode & 07777),
                  S_ISDIR(st.st_mode) ? 0LL : static_cast<long long>(st.st_size));
    std::string value = head;
    std::string bytes;
    if (S_ISREG(st.st_mode) && ReadBytes(root + "/" + child, bytes)) value += "\n" + bytes;
    tree[child] = value;
    if (S_ISDIR(st.st_mode)) SnapshotInto(root, child, skip, tree);
  }
}

}  // namespace

Tree SnapshotTree(const std::string& root, const std::set<std::string>& skip) {
  Tree tree;
  SnapshotInto(root, "", skip, tree);
  return tree;
}

std::string DescribeDifference(const Tree& before, const Tree& after) {
  for (const auto& item : before) {
    const auto now = after.find(item.first);
    if (now == after.end()) return item.first + " is gone (was: " + item.second + ")";
    if (now->second != item.second) {
      return item.first + " changed from \"" + item.second + "\" to \"" + now->second + "\"";
    }
  }
  for (const auto& item : after) {
    if (before.count(item.first) == 0) return item.first + " appeared: " + item.second;
  }
  return "no difference";
}

std::string Expand(std::string text, const std::string& token, const std::string& value) {
  for (std::size_t at = text.find(token); at != std::string::npos;
       at = text.find(token, at + value.size())) {
    text.replace(at, token.size(), value);
  }
  return text;
}

}  // namespace fuzz
