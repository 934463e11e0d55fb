// The profile seam over an INI library, with the behaviour of the Windows
// profile functions that the rest of the program relies on. The file is
// parsed once and kept until it changes on disk; every change is made to a
// copy in memory and reaches the file in one atomic replace.
// Narrow text only: values are stored as the bytes they are.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/atomic_file.h"
#include "platform/profile.h"

namespace {

using Ini = CSimpleIniA;

std::unique_ptr<Ini> NewIni() {
  // Several keys of one name stay, and the first is the one read, as on
  // Windows.
  auto ini = std::make_unique<Ini>(false, true, false);
  ini->SetSpaces(false);
  return ini;
}

// Where a file's contents stood when they were read. An edit in place
// changes the size or the modification time (kept to the nanosecond, so an
// edit within the same second shows); a replace, ours included, gives a new
// inode.
struct Identity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
};

Identity IdentityOf(const struct stat& st) {
  Identity id;
  id.exists = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modified = st.st_mtim;
  return id;
}

bool Same(const Identity& a, const Identity& b) {
  if (a.exists != b.exists) return false;
  return !a.exists || (a.device == b.device && a.inode == b.inode && a.size == b.size &&
                       a.modified.tv_sec == b.modified.tv_sec &&
                       a.modified.tv_nsec == b.modified.tv_nsec);
}

// False when rewriting `bytes` through the INI library would lose part of
// them. The parser stops at a NUL byte, so a write would drop everything
// after it; a section line without its "]" is glued to the next key's name
// and comes back as a different section, growing at every write. A UTF-8
// signature counts only at the very start of the file: the parser takes it
// off there (and the save puts it back), so the first line starts behind
// it. Anywhere else it is part of a line, but the keys of the section
// without a name (before the first section, or after "[]") are saved first,
// and one whose name starts with a signature could land at the start of a
// file that had none and lose it. Everything else round-trips in substance
// (CR-only line ends, bytes above 0x7F, lines of any length); what is not
// kept holds nothing either platform reads: blanks, blank lines, line ends,
// lines without "=" and a comment at the very end.
bool Rewritable(const std::string& bytes) {
  if (bytes.find('\0') != std::string::npos) return false;
  const std::string signature = SI_UTF8_SIGNATURE;
  const bool signed_file = bytes.compare(0, signature.size(), signature) == 0;
  bool line_start = true;
  bool unnamed = true;  // in the section without a name
  for (std::size_t i = signed_file ? signature.size() : 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      line_start = true;
    } else if (line_start && c == '[') {
      const std::size_t end = bytes.find_first_of("]\r\n", i);
      if (end == std::string::npos || bytes[end] != ']') return false;
      unnamed = bytes.find_first_not_of(" \t", i + 1) == end;
      line_start = false;
    } else if (line_start && unnamed && !signed_file &&
               bytes.compare(i, signature.size(), signature) == 0) {
      return false;
    } else if (c != ' ' && c != '\t') {
      line_start = false;
    }
  }
  return true;
}

// One file as read and parsed.
struct Parsed {
  std::string file;
  Identity identity;
  bool readable = false;    // false: it exists but could not be read
  bool rewritable = false;  // see Rewritable()
  // Read so soon after its last change that a further change within the
  // same step of the file clock, of the same size, would look the same:
  // the bytes are compared again at the next look, until that step is past.
  bool fresh = false;
  std::string bytes;
  std::unique_ptr<Ini> ini;
};

long long Nanoseconds(const timespec& t) {
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

// Whether a change after `read_at` could still be stamped with the time the
// file already shows. File times come from the kernel's coarse clock (a few
// milliseconds a step; exFAT keeps 10 ms); a time without a fraction is
// taken to come from a file system that keeps whole seconds (FAT: two).
bool Fresh(const Identity& identity, const timespec& read_at) {
  if (!identity.exists) return false;
  long long step = 2000000000LL;
  if (identity.modified.tv_nsec != 0) {
    step = 10000000LL;
#ifdef CLOCK_REALTIME_COARSE
    timespec resolution{};
    if (clock_getres(CLOCK_REALTIME_COARSE, &resolution) == 0) {
      step = std::max(step, Nanoseconds(resolution));
    }
#endif
  }
  return Nanoseconds(read_at) - Nanoseconds(identity.modified) < step;
}

bool ReadAll(int fd, std::string& data) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.append(buffer, static_cast<std::size_t>(n));
  }
}

enum class ReadResult { Read, Missing, Failed };

// The whole of `file`, its identity (taken before the bytes: a change
// during the read shows at the next look) and the time before both.
ReadResult ReadBytes(const std::string& file, std::string& bytes, Identity& identity,
                     timespec& read_at) {
  bytes.clear();
  identity = Identity();
  read_at = Now();
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) identity = IdentityOf(st);
  ok = ok && ReadAll(fd, bytes);
  close(fd);
  return ok ? ReadResult::Read : ReadResult::Failed;
}

// Reads and parses `file` into `parsed`. A missing file is an empty one.
void Load(const std::string& file, Parsed& parsed) {
  parsed = Parsed();
  parsed.file = file;
  parsed.ini = NewIni();
  timespec read_at{};
  const ReadResult result = ReadBytes(file, parsed.bytes, parsed.identity, read_at);
  if (result == ReadResult::Failed || parsed.ini->LoadData(parsed.bytes) < 0) {
    parsed.bytes.clear();
    parsed.ini = NewIni();
    parsed.identity = Identity();
    return;
  }
  parsed.readable = true;
  parsed.fresh = Fresh(parsed.identity, read_at);
  parsed.rewritable = Rewritable(parsed.bytes);
}

// The program has one settings file: one cached parse is enough.
Parsed g_cache;

// `file` as it is on disk now, parsed again only when it has changed.
const Parsed& Current(const std::string& file) {
  struct stat st;
  Identity now;
  bool known = true;  // false: there but not to be looked at
  if (stat(file.c_str(), &st) == 0) {
    now = IdentityOf(st);
  } else {
    known = errno == ENOENT;
  }
  if (known && g_cache.file == file && g_cache.readable && Same(g_cache.identity, now)) {
    if (!g_cache.fresh) return g_cache;
    std::string bytes;
    Identity identity;
    timespec read_at{};
    if (ReadBytes(file, bytes, identity, read_at) == ReadResult::Read &&
        Same(identity, g_cache.identity) && bytes == g_cache.bytes) {
      g_cache.fresh = Fresh(identity, read_at);
      return g_cache;
    }
  }
  Load(file, g_cache);
  return g_cache;
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

// Writes `data` as `file` with the one atomic writer (atomic_file.h): a
// crash leaves the old file or the new, never a mix. The new file keeps the
// old one's permissions. `written` receives its identity.
bool ReplaceFile(const std::string& file, const std::string& data, Identity& written) {
  mode_t mode = 0644;
  struct stat st;
  if (stat(file.c_str(), &st) == 0) {
    // A read-only settings file stays unwritten, as on Windows (the owner's
    // write bit decides, also for root, who passes every access check).
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return false;
    mode = st.st_mode & 07777;
  }
  const std::string temp = WriteTemporaryFile(file, data, PlatformDiskCalls());
  if (temp.empty()) return false;
  if (chmod(temp.c_str(), mode) != 0) {
    unlink(temp.c_str());
    return false;
  }
  if (!PutTemporaryInPlace(temp, file, true, PlatformDiskCalls()) || stat(file.c_str(), &st) != 0) {
    return false;
  }
  written = IdentityOf(st);
  return true;
}

// The first key of the name in the section (its stored name and value), or
// null.
const Ini::TKeyVal::value_type* FindKey(const Ini& ini, const std::string& section,
                                        const std::string& key) {
  const Ini::TKeyVal* keys = ini.GetSection(section.c_str());
  if (keys == nullptr) return nullptr;
  // Keys of one name sit in the order they were read: the lower bound is
  // the first.
  const Ini::Entry wanted(key.c_str());
  const auto found = keys->lower_bound(wanted);
  if (found == keys->end() || Ini::Entry::KeyOrder()(wanted, found->first)) return nullptr;
  return &*found;
}

// Changes to one file, made to a parsed copy of it.
struct Batch {
  bool open = false;
  std::string file;
  bool failed = false;   // a write could not be made: the commit fails
  bool changed = false;  // there is something to write
  std::unique_ptr<Ini> ini;  // the copy, made at the first write
};

Batch g_batch;

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

bool WriteInto(Batch& batch, const std::string& section, const std::string& key,
               const char* value) {
  if (batch.failed) return false;
  // The library writes names and values as they are: a line break would end
  // the line early and start one of the text's own making (a key, or a
  // section the next keys move into). Never written, in no form.
  if (HasLineBreak(section.c_str()) || HasLineBreak(key.c_str()) ||
      (value != nullptr && HasLineBreak(value))) {
    batch.failed = true;
    return false;
  }
  if (!batch.ini) {
    const Parsed& now = Current(batch.file);
    // A file that would not come back whole is refused, as a read-only
    // one is: the user is told instead of losing records.
    auto copy = NewIni();
    if (!now.readable || !now.rewritable || copy->LoadData(now.bytes) < 0) {
      batch.failed = true;
      return false;
    }
    batch.ini = std::move(copy);
  }
  Ini& ini = *batch.ini;
  const auto* stored = FindKey(ini, section, key);
  if (value == nullptr) {
    // Deleting what is not there changes nothing and needs no file.
    if (stored == nullptr) return true;
    ini.Delete(section.c_str(), key.c_str(), false);
  } else {
    // An existing key keeps its spelling and place (and the value replaces
    // every key of that name); names match without regard to case.
    const std::string name = stored != nullptr ? stored->first.pItem : key;
    if (ini.SetValue(section.c_str(), name.c_str(), value, nullptr, true) < 0) {
      batch.failed = true;
      return false;
    }
  }
  batch.changed = true;
  return true;
}

bool Commit(Batch& batch) {
  if (batch.failed) return false;
  if (!batch.changed) return true;
  std::string data;
  // The BOM a file came with is written back (SimpleIni drops it otherwise).
  if (batch.ini->Save(data, true) < 0) return false;
  Identity written;
  if (!ReplaceFile(batch.file, data, written)) return false;
  // What is now on disk is known: keep it parsed as it would be read back.
  g_cache = Parsed();
  g_cache.file = batch.file;
  g_cache.ini = NewIni();
  if (g_cache.ini->LoadData(data) >= 0) {
    g_cache.identity = written;
    g_cache.readable = true;
    g_cache.fresh = Fresh(written, Now());
    g_cache.rewritable = Rewritable(data);
    g_cache.bytes = std::move(data);
  }
  return true;
}

// What reads of `file` see: the open batch's copy, or the file.
const Ini* ReadSource(const std::string& file) {
  if (g_batch.open && g_batch.ini && g_batch.file == file) return g_batch.ini.get();
  const Parsed& now = Current(file);
  return now.readable ? now.ini.get() : nullptr;
}

}  // namespace

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& file) {
  std::string value = default_value;
  if (const Ini* ini = ReadSource(file)) {
    const auto* found = FindKey(*ini, section, key);
    if (found != nullptr) value = Trimmed(found->second);
  }
  if (size == 0) return std::string();
  if (value.size() > size - 1) value.resize(size - 1);
  return value;
}

int ProfileReadInt(const std::string& section, const std::string& key, int default_value,
                   const std::string& file) {
  // As the Windows function reads it: into a buffer of 30 characters, then
  // an optional sign, a base prefix and digits, summed modulo 2^32.
  const std::string text = ProfileReadString(section, key, "", 30, file);
  if (text.empty()) return default_value;
  std::size_t i = 0;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  std::uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    // Lower-case prefixes only: "0X10" is a 0 followed by an X.
    const char prefix = text[i + 1];
    base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  std::uint32_t word = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    std::uint32_t digit = 36;  // not a digit in any base
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'z') {
      digit = static_cast<std::uint32_t>(c - 'a') + 10;
    } else if (c >= 'A' && c <= 'Z') {
      digit = static_cast<std::uint32_t>(c - 'A') + 10;
    }
    if (digit >= base) break;
    // In 64 bits, so that nothing is promoted to a signed type.
    word = static_cast<std::uint32_t>(static_cast<std::uint64_t>(word) * base + digit);
  }
  if (negative) word = static_cast<std::uint32_t>(0x100000000ull - word);
  // The word as a two's complement int, without a conversion of an
  // out-of-range value.
  if (word <= static_cast<std::uint32_t>(INT_MAX)) return static_cast<int>(word);
  return static_cast<int>(word - 0x80000000u) + INT_MIN;
}

bool ProfileWriteString(const std::string& section, const std::string& key, const char* value,
                        const std::string& file) {
  if (g_batch.open && g_batch.file == file) return WriteInto(g_batch, section, key, value);
  Batch one;
  one.open = true;
  one.file = file;
  return WriteInto(one, section, key, value) && Commit(one);
}

void ProfileBeginBatch(const std::string& file) {
  g_batch = Batch();
  g_batch.open = true;
  g_batch.file = file;
}

bool ProfileCommitBatch() {
  Batch batch = std::move(g_batch);
  g_batch = Batch();
  return Commit(batch);
}

void ProfileAbandonBatch() { g_batch = Batch(); }
