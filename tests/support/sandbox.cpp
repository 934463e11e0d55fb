#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "support/remove_tree_win32.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string Native(const std::string& relative) {
  std::string out = relative;
  for (char& c : out) {
    if (c == '/') c = kSep;
  }
  return out;
}

bool IsDir(const std::string& path) {
#ifdef _WIN32
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

std::vector<std::string> List(const std::string& dir) {
  std::vector<std::string> names;
#ifdef _WIN32
  WIN32_FIND_DATAA data;
  const HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(h, &data));
  FindClose(h);
#else
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return names;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(d);
#endif
  return names;
}

void RemoveTree(const std::string& path) {
#ifdef _WIN32
  const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (n <= 1) return;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<std::size_t>(n) - 1);
  // The folder that is current cannot be removed, and reaching a long path
  // leaves one of the tests' folders current.
  wchar_t temp[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, temp) != 0) SetCurrentDirectoryW(temp);
  // Only an absolute path may take the prefix.
  const bool absolute = wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\';
  RemoveTreeWide(absolute ? L"\\\\?\\" + wide : wide);
#else
  if (IsDir(path)) {
    for (const std::string& name : List(path)) RemoveTree(path + kSep + name);
    chmod(path.c_str(), 0700);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
#endif
}

void MakeDirs(const std::string& path) {
  const std::size_t cut = path.find_last_of(kSep);
  if (cut != std::string::npos && cut > 0 && !IsDir(path.substr(0, cut))) {
    MakeDirs(path.substr(0, cut));
  }
#ifdef _WIN32
  CreateDirectoryA(path.c_str(), nullptr);
#else
  mkdir(path.c_str(), 0777);
#endif
}

// Calls `visit` with every file and folder below `root`, a folder before
// what it holds: its path relative to `root` ('/' separated), its full path,
// and whether it is a folder.
void Walk(const std::string& root, const std::string& relative,
          const std::function<void(const std::string&, const std::string&, bool)>& visit) {
  const std::string here = relative.empty() ? root : root + kSep + Native(relative);
  for (const std::string& name : List(here)) {
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    const std::string full = here + kSep + name;
    const bool folder = IsDir(full);
    visit(rel, full, folder);
    if (folder) Walk(root, rel, visit);
  }
}

std::string TempRoot() {
#ifdef _WIN32
  char buffer[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, buffer);
  std::string root(buffer, n);
  if (!root.empty() && root.back() == '\\') root.pop_back();
  return root + "\\qvtest-" + std::to_string(GetCurrentProcessId());
#else
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/qvtest-" + std::to_string(getpid());
#endif
}

}  // namespace

Sandbox::Sandbox() {
  static std::atomic<int> counter{0};
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "sandbox";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  path_ = TempRoot() + kSep + name + "-" + std::to_string(counter++);
  RemoveTree(path_);
  MakeDirs(path_);
}

Sandbox::~Sandbox() {
  RemoveTree(path_);
  // The process's own folder goes with its last sandbox (a folder that is
  // not empty stays).
#ifdef _WIN32
  RemoveDirectoryA(TempRoot().c_str());
#else
  rmdir(TempRoot().c_str());
#endif
}

std::string Sandbox::Join(const std::string& relative) const {
  return relative.empty() ? path_ : path_ + kSep + Native(relative);
}

void Sandbox::WriteFile(const std::string& relative, const std::string& content) const {
  const std::string full = Join(relative);
  const std::size_t cut = full.find_last_of(kSep);
  MakeDirs(full.substr(0, cut));
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << content;
  ASSERT_TRUE(out.good()) << full;
}

std::string Sandbox::ReadFile(const std::string& relative) const {
  std::ifstream in(Join(relative), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void Sandbox::MakeDir(const std::string& relative) const { MakeDirs(Join(relative)); }

bool Sandbox::Exists(const std::string& relative) const {
#ifdef _WIN32
  return GetFileAttributesA(Join(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat st;
  return lstat(Join(relative).c_str(), &st) == 0;
#endif
}

void SetReadOnly(const std::string& path, bool read_only) {
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
  chmod(path.c_str(), read_only ? 0444 : 0644);
#endif
}

std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  Walk(root, "", [&out](const std::string& rel, const std::string& full, bool folder) {
    if (folder) {
      out[rel] = "<dir>";
      return;
    }
    std::ifstream in(full, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    out[rel] = content.str();
  });
  return out;
}

std::map<std::string, std::string> Attributes(const std::string& root) {
  std::map<std::string, std::string> out;
  Walk(root, "", [&out](const std::string& rel, const std::string& full, bool folder) {
    if (folder) return;
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(full.c_str(), GetFileExInfoStandard, &data)) return;
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    out[rel] = std::to_string(data.dwFileAttributes & kept) + " " +
               std::to_string(data.ftLastWriteTime.dwHighDateTime) + ":" +
               std::to_string(data.ftLastWriteTime.dwLowDateTime);
#else
    struct stat st;
    if (lstat(full.c_str(), &st) != 0) return;
    out[rel] = std::to_string(st.st_mode & 07777) + " " + std::to_string(st.st_mtim.tv_sec) + ":" +
               std::to_string(st.st_mtim.tv_nsec);
#endif
  });
  return out;
}

void RestoreAttributes(const std::string& root,
                       const std::map<std::string, std::string>& attributes) {
  for (const auto& item : attributes) {
    const std::string full = root + kSep + Native(item.first);
    unsigned long long mode = 0, high = 0, low = 0;
    if (std::sscanf(item.second.c_str(), "%llu %llu:%llu", &mode, &high, &low) != 3) continue;
#ifdef _WIN32
    SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    const HANDLE file = CreateFileA(full.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      FILETIME time{static_cast<DWORD>(low), static_cast<DWORD>(high)};
      SetFileTime(file, nullptr, nullptr, &time);
      CloseHandle(file);
    }
    SetFileAttributesA(full.c_str(), mode == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(mode));
#else
    const timespec times[2] = {{0, UTIME_OMIT},
                               {static_cast<time_t>(high), static_cast<long>(low)}};
    utimensat(AT_FDCWD, full.c_str(), times, AT_SYMLINK_NOFOLLOW);
    chmod(full.c_str(), static_cast<mode_t>(mode));
#endif
  }
}

std::string FixturePath(const std::string& name) {
  return std::string(QV_FIXTURE_DIR) + "/" + name;
}

void Sandbox::Restore(const std::map<std::string, std::string>& tree) const {
  for (const std::string& name : List(path_)) RemoveTree(path_ + kSep + name);
  for (const auto& item : tree) {
    if (item.second == "<dir>") {
      MakeDir(item.first);
    } else {
      WriteFile(item.first, item.second);
    }
  }
}
