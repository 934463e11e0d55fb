// The profile seam over an INI library, with the behaviour of the Windows
// profile functions that the rest of the program relies on. Every write
// reads the file, changes one key and replaces the file atomically.
// Narrow text only: values are stored as the bytes they are.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>

#include "settings/profile.h"

namespace {

// Loads `file` into `ini`. A missing file is an empty one. False when the
// file exists but cannot be read.
bool Load(CSimpleIniA& ini, const std::string& file) {
  const SI_Error rc = ini.LoadFile(file.c_str());
  if (rc >= 0) return true;
  struct stat st;
  return stat(file.c_str(), &st) != 0 && errno == ENOENT;
}

std::string Trimmed(const char* value) {
  std::string text(value);
  const auto not_space = [](unsigned char c) { return !std::isspace(c); };
  std::size_t begin = 0;
  while (begin < text.size() && !not_space(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && !not_space(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
  // Like the Windows functions: a value in matching quotes loses them.
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `data` to a temporary file beside `file` and renames it over
// `file`, so that a crash leaves the old or the new file, never a mix.
bool ReplaceFile(const std::string& file, const std::string& data) {
  mode_t mode = 0644;
  struct stat st;
  if (stat(file.c_str(), &st) == 0) {
    // A read-only settings file stays unwritten, as on Windows (the owner's
    // write bit decides, also for root, who passes every access check).
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return false;
    mode = st.st_mode & 07777;
  }
  std::string temp = file + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), file.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

}  // namespace

std::string ExecutablePath() {
  char path[PATH_MAX + 1];
  const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
  if (length <= 0 || length >= PATH_MAX) return std::string();
  return std::string(path, static_cast<std::size_t>(length));
}

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& file) {
  CSimpleIniA ini;
  std::string value = default_value;
  if (Load(ini, file)) {
    const char* found = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (found != nullptr) value = Trimmed(found);
  }
  if (size == 0) return std::string();
  if (value.size() > size - 1) value.resize(size - 1);
  return value;
}

int ProfileReadInt(const std::string& section, const std::string& key, int default_value,
                   const std::string& file) {
  const std::string text = ProfileReadString(section, key, "", 64, file);
  if (text.empty()) return default_value;
  std::size_t i = 0;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  unsigned long value = 0;
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int digit;
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(c)) {
      digit = std::tolower(c) - 'a' + 10;
    } else {
      break;
    }
    value = (value * static_cast<unsigned long>(base) + static_cast<unsigned long>(digit)) & 0xFFFFFFFFul;
  }
  const unsigned int word = static_cast<unsigned int>(value);
  return negative ? -static_cast<int>(word) : static_cast<int>(word);
}

bool ProfileWriteString(const std::string& section, const std::string& key, const char* value,
                        const std::string& file) {
  CSimpleIniA ini;
  ini.SetSpaces(false);
  if (!Load(ini, file)) return false;
  if (value == nullptr) {
    // Deleting what is not there changes nothing and needs no file.
    if (ini.GetValue(section.c_str(), key.c_str(), nullptr) == nullptr) return true;
    ini.Delete(section.c_str(), key.c_str(), false);
  } else {
    // An existing key keeps its spelling and place; SimpleIni matches names
    // without regard to case.
    if (ini.SetValue(section.c_str(), key.c_str(), value) < 0) return false;
  }
  std::string data;
  if (ini.Save(data) < 0) return false;
  return ReplaceFile(file, data);
}
