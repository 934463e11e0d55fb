// Our zip reader. The central directory is the truth about every entry; the
// local headers are only read to find the data, and must agree with it.
// Everything that would make extraction unsafe or ambiguous is found while
// the directory is read, so that a refused archive never touches the disk.
#include "zip/archive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "rules/names.h"
#include "rules/paths.h"
#include "platform/text.h"

namespace {

constexpr std::uint32_t kLocalSig = 0x04034b50;       // PK\3\4
constexpr std::uint32_t kCentralSig = 0x02014b50;     // PK\1\2
constexpr std::uint32_t kEndSig = 0x06054b50;         // PK\5\6
constexpr std::uint32_t kEnd64Sig = 0x06064b50;       // PK\6\6
constexpr std::uint32_t kLocatorSig = 0x07064b50;     // PK\6\7
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kEnd64Size = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxComment = 65535;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kFlagMaskedDirectory = 0x2000;  // only written by encrypting tools

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraNtfs = 0x000a;
constexpr std::uint16_t kExtraTimestamp = 0x5455;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;

// Deflate cannot expand a byte into more than 1032 (one 258-byte match per
// two bits); a directory claiming more is lying about its sizes.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
// Far beyond any mod, far below what overflows anything.
constexpr std::uint64_t kMaxTotalSize = std::uint64_t{4} << 40;

// Read sizes: large enough that the file system and inflate run at full
// speed, small enough that memory stays flat whatever the archive holds.
constexpr std::size_t kInputChunk = 256 * 1024;
constexpr std::size_t kOutputChunk = 1024 * 1024;
constexpr std::size_t kDirectoryChunk = 64 * 1024;

std::uint16_t Get16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t Get64(const unsigned char* p) {
  return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

std::uint32_t Crc(std::uint32_t crc, const void* data, std::size_t size) {
  const Bytef* p = static_cast<const Bytef*>(data);
  // zlib's length is 32-bit; chunks here never come near that, but a name or
  // a buffer is passed whole, so split rather than assume.
  while (size > 0) {
    const uInt n = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    crc = static_cast<std::uint32_t>(crc32(crc, p, n));
    p += n;
    size -= n;
  }
  return crc;
}

// The archive file, read at explicit positions. Read continues where the
// last read ended.
class File {
 public:
  explicit File(const std::string& path) : f_(OpenInputFile(path, size_)) {}
  ~File() { CloseInputFile(f_); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool ok() const { return f_ != nullptr; }
  std::uint64_t size() const { return size_; }

  bool Seek(std::uint64_t pos) {
    if (pos > size_) return false;
    pos_ = pos;
    return true;
  }
  // Reads exactly `n` bytes at the current position.
  bool Read(void* dst, std::size_t n) { return ReadAt(pos_, dst, n); }
  bool ReadAt(std::uint64_t pos, void* dst, std::size_t n) {
    if (pos > size_ || n > size_ - pos) return false;
    if (n > 0 && !ReadFromFile(f_, pos, dst, n)) return false;
    pos_ = pos + n;
    return true;
  }

 private:
  std::uint64_t size_ = 0;
  InputFile* f_;
  std::uint64_t pos_ = 0;
};

// Sequential reads through a window of [start, end) of the file, buffered,
// for walking the central directory record by record.
class SequentialReader {
 public:
  SequentialReader(File& file, std::uint64_t start, std::uint64_t end)
      : file_(file), next_(start), end_(end), buffer_(new unsigned char[kDirectoryChunk]) {}

  std::uint64_t remaining() const { return end_ - next_ + (filled_ - used_); }

  bool Read(void* dst, std::size_t n) {
    unsigned char* out = static_cast<unsigned char*>(dst);
    while (n > 0) {
      if (used_ == filled_ && !Fill()) return false;
      const std::size_t take = std::min(n, filled_ - used_);
      if (out != nullptr) {
        std::memcpy(out, buffer_.get() + used_, take);
        out += take;
      }
      used_ += take;
      n -= take;
    }
    return true;
  }
  bool Skip(std::size_t n) { return Read(nullptr, n); }

 private:
  bool Fill() {
    if (next_ >= end_) return false;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kDirectoryChunk, end_ - next_));
    if (!file_.ReadAt(next_, buffer_.get(), n)) return false;
    next_ += n;
    used_ = 0;
    filled_ = n;
    return true;
  }

  File& file_;
  std::uint64_t next_;
  std::uint64_t end_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t used_ = 0;
  std::size_t filled_ = 0;
};

// Calls `visit(id, data, size)` for every extra field; false when the block
// is malformed (a length running past the end, or bytes left over).
template <typename Visit>
bool WalkExtra(const unsigned char* p, std::size_t size, Visit visit) {
  std::size_t i = 0;
  while (i < size) {
    if (size - i < 4) return false;
    const std::uint16_t id = Get16(p + i);
    const std::uint16_t len = Get16(p + i + 2);
    i += 4;
    if (len > size - i) return false;
    visit(id, p + i, len);
    i += len;
  }
  return true;
}

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// DOS date and time carry no zone; they are taken as they read, as if UTC,
// so the result does not depend on the machine's zone. Out-of-range fields
// (some writers leave a zero date) are clamped rather than refused.
std::int64_t DosTimeToUnix(std::uint16_t date, std::uint16_t time) {
  const std::int64_t year = 1980 + ((date >> 9) & 0x7f);
  const unsigned month = std::min(12u, std::max(1u, static_cast<unsigned>((date >> 5) & 0x0f)));
  const unsigned day = std::max(1u, static_cast<unsigned>(date & 0x1f));
  const unsigned hour = std::min(23u, static_cast<unsigned>(time >> 11));
  const unsigned minute = std::min(59u, static_cast<unsigned>((time >> 5) & 0x3f));
  const unsigned second = std::min(59u, static_cast<unsigned>((time & 0x1f) * 2));
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

bool IsSeparator(unsigned char c) { return c == '/' || c == '\\'; }

// Splits a name into its components at `/` and `\`, skipping the trail bytes
// of double-byte characters. A directory entry's one trailing separator is
// not an empty component.
std::vector<std::string> SplitComponents(const std::string& name, bool is_directory) {
  std::vector<std::string> parts(1);
  const std::size_t n = is_directory ? name.size() - 1 : name.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsSeparator(c)) {
      parts.emplace_back();
    } else if (IsLeadByte(c) && i + 1 < n) {
      parts.back() += name[i];
      parts.back() += name[++i];
    } else {
      parts.back() += name[i];
    }
  }
  return parts;
}

// The key under which two names land on the same file: separators made one,
// and on Windows, whose file systems ignore case, ASCII case folded (never in
// a trail byte, which would merge two different characters).
std::string TargetKey(const std::vector<std::string>& parts, std::size_t count) {
  std::string key;
  for (std::size_t k = 0; k < count; ++k) {
    if (k > 0) key += '/';
    key += parts[k];
  }
#ifdef _WIN32
  for (std::size_t i = 0; i < key.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(key[i]);
    if (IsLeadByte(c) && i + 1 < key.size()) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      key[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
#endif
  return key;
}

// Where the central directory is, as found from the end record(s).
struct Layout {
  std::uint64_t cd_start = 0;
  std::uint64_t cd_size = 0;
  std::uint64_t count = 0;
  std::uint64_t base = 0;  // bytes in front of the archive (a stub); added to every offset
  bool zip64 = false;
};

// A 16- or 32-bit field of the end record either holds the value or says
// "see the ZIP64 record"; anything else contradicts the ZIP64 record.
bool Agrees(std::uint64_t field, std::uint64_t escape, std::uint64_t value) {
  return field == escape || field == value;
}

// Resolves one end-record candidate at `pos` into a layout; false when it
// does not describe a central directory in this file.
bool ResolveEnd(File& file, std::uint64_t pos, const unsigned char* rec, Layout& out) {
  const std::uint16_t disk = Get16(rec + 4);
  const std::uint16_t cd_disk = Get16(rec + 6);
  const std::uint16_t on_disk = Get16(rec + 8);
  const std::uint16_t total = Get16(rec + 10);
  const std::uint32_t size32 = Get32(rec + 12);
  const std::uint32_t offset32 = Get32(rec + 16);

  Layout layout;
  std::uint64_t cd_end = pos;  // the directory ends where the end records begin
  std::uint64_t cd_offset = offset32;
  unsigned char loc[kLocatorSize];
  if (pos >= kLocatorSize + kEnd64Size && file.ReadAt(pos - kLocatorSize, loc, kLocatorSize) &&
      Get32(loc) == kLocatorSig) {
    const std::uint64_t loc_pos = pos - kLocatorSize;
    if (Get32(loc + 4) != 0 || Get32(loc + 16) > 1) return false;  // spanned archive
    // The ZIP64 record sits right before the locator; its stated offset is
    // relative to the archive, so with a stub in front it is found there.
    const std::uint64_t stated = Get64(loc + 8);
    unsigned char z[kEnd64Size];
    std::uint64_t z_pos = 0;
    bool found = false;
    if (stated <= loc_pos - kEnd64Size && file.ReadAt(stated, z, kEnd64Size) &&
        Get32(z) == kEnd64Sig && Get64(z + 4) >= kEnd64Size - 12 &&
        Get64(z + 4) == loc_pos - stated - 12) {
      z_pos = stated;
      found = true;
    } else if (file.ReadAt(loc_pos - kEnd64Size, z, kEnd64Size) && Get32(z) == kEnd64Sig &&
               Get64(z + 4) == kEnd64Size - 12) {
      z_pos = loc_pos - kEnd64Size;
      found = true;
    }
    if (!found) return false;
    if (Get32(z + 16) != 0 || Get32(z + 20) != 0 || Get64(z + 24) != Get64(z + 32)) return false;
    if (!Agrees(disk, 0xffff, 0) || !Agrees(cd_disk, 0xffff, 0)) return false;
    layout.count = Get64(z + 32);
    layout.cd_size = Get64(z + 40);
    cd_offset = Get64(z + 48);
    if (!Agrees(total, 0xffff, layout.count) || !Agrees(on_disk, 0xffff, layout.count) ||
        !Agrees(size32, 0xffffffff, layout.cd_size) ||
        !Agrees(offset32, 0xffffffff, cd_offset)) {
      return false;
    }
    layout.zip64 = true;
    cd_end = z_pos;
  } else {
    if (disk != 0 || cd_disk != 0 || on_disk != total) return false;
    layout.count = total;
    layout.cd_size = size32;
  }
  if (layout.cd_size > cd_end || cd_offset > cd_end - layout.cd_size) return false;
  layout.cd_start = cd_end - layout.cd_size;
  layout.base = layout.cd_start - cd_offset;
  if (layout.cd_size > 0) {
    unsigned char sig[4];
    if (!file.ReadAt(layout.cd_start, sig, 4) || Get32(sig) != kCentralSig) return false;
  }
  out = layout;
  return true;
}

// Finds the end record: scanning back over the longest possible comment, the
// one whose comment reaches the end of the file and whose directory is where
// it says. A comment can contain the signature, so every candidate is
// checked; two that both hold up mean the file reads as two different
// archives, and it is refused rather than guessed. Failing an exact one, a
// record followed by stray bytes is accepted.
bool FindLayout(File& file, Layout& out) {
  const std::uint64_t size = file.size();
  if (size < kEndSize) return false;
  const std::size_t tail_size = static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSize + kMaxComment));
  const std::uint64_t tail_start = size - tail_size;
  std::vector<unsigned char> tail(tail_size);
  if (!file.ReadAt(tail_start, tail.data(), tail_size)) return false;

  int exact = 0;
  bool have_loose = false;
  Layout exact_layout, loose_layout;
  for (std::size_t i = tail_size - kEndSize + 1; i-- > 0;) {
    if (Get32(&tail[i]) != kEndSig) continue;
    const std::uint64_t pos = tail_start + i;
    const std::uint64_t end = pos + kEndSize + Get16(&tail[i + 20]);
    if (end > size) continue;
    Layout layout;
    if (!ResolveEnd(file, pos, &tail[i], layout)) continue;
    if (end == size) {
      if (++exact > 1) return false;
      exact_layout = layout;
    } else if (!have_loose) {
      have_loose = true;
      loose_layout = layout;
    }
  }
  if (exact == 1) {
    out = exact_layout;
    return true;
  }
  if (have_loose) {
    out = loose_layout;
    return true;
  }
  return false;
}

struct Entry {
  std::string name;      // narrow encoding, as handed out
  std::string raw_name;  // bytes of the header, compared with the local header
  std::uint64_t size = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t offset = 0;  // of the local header, in the file
  std::uint64_t limit = 0;   // where the next header or the directory begins
  std::uint32_t crc = 0;
  std::uint16_t method = 0;
  std::int64_t modified = 0;
  bool is_directory = false;
  bool legacy_name = false;  // no UTF-8 flag and no usable Unicode path field
};

// "./readme.txt" and "data/./y.txt" name the files "readme.txt" and
// "data/y.txt": some archivers store names that way, and Windows resolves
// them alike, so the "." components are dropped and the backup name and the
// uninstallation work on the name that remains. A name that is nothing but
// "./" stands for the destination folder itself and comes out empty. False
// for a file whose last component is ".", which names no file.
bool DropCurrentFolderComponents(std::string& name) {
  std::string out;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(static_cast<unsigned char>(name[end]))) {
      if (IsLeadByte(static_cast<unsigned char>(name[end])) && end + 1 < name.size()) ++end;
      ++end;
    }
    const bool dot = end - start == 1 && name[start] == '.';
    if (dot && end == name.size()) return false;
    // The component with the separator that ends it, unless it is ".".
    if (!dot) out.append(name, start, end < name.size() ? end - start + 1 : end - start);
    start = end + 1;
  }
  name.swap(out);
  return true;
}

// Refuses names that are unsafe on their own or that collide with another
// entry's: the install moves each replaced file aside under its backup name
// and puts it back on uninstall, which only works when every target and
// every backup name is distinct and unambiguous.
bool CheckEntryNames(const std::vector<Entry>& entries) {
  std::unordered_set<std::string> targets;
  std::unordered_set<std::string> folders;  // directory entries and every parent
  std::vector<std::string> files;
  for (const Entry& e : entries) {
    if (e.name.empty() || IsSeparator(static_cast<unsigned char>(e.name[0]))) return false;
    const std::vector<std::string> parts = SplitComponents(e.name, e.is_directory);
    for (const std::string& part : parts) {
      if (!IsSafeComponent(part)) return false;
    }
    std::string key = TargetKey(parts, parts.size());
    if (!targets.insert(key).second) return false;
    for (std::size_t k = 1; k < parts.size(); ++k) folders.insert(TargetKey(parts, k));
    if (e.is_directory) {
      folders.insert(key);
    } else {
      files.push_back(std::move(key));
    }
  }
  for (const std::string& file : files) {
    // A file cannot also be a folder another entry goes into.
    if (folders.count(file) != 0) return false;
    // Nor may it sit where another file's backup goes: installing would then
    // overwrite one of them, or the backup would fail.
    const std::size_t slash = file.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string backup = file.substr(0, start) + BackupFileName(file.substr(start));
    if (backup != file && (targets.count(backup) != 0 || folders.count(backup) != 0)) return false;
  }
  return true;
}

// Fields of one central record that the extra block can override.
struct ExtraInfo {
  bool has_zip64 = false;
  std::vector<unsigned char> zip64;
  bool has_unicode_path = false;
  std::string unicode_path;
  bool has_unix_time = false;
  std::int64_t unix_time = 0;
  bool has_ntfs_time = false;
  std::int64_t ntfs_time = 0;
};

bool ParseCentralExtra(const std::vector<unsigned char>& extra, const std::string& raw_name,
                       ExtraInfo& info) {
  return WalkExtra(extra.data(), extra.size(), [&](std::uint16_t id, const unsigned char* p,
                                                   std::uint16_t len) {
    if (id == kExtraZip64 && !info.has_zip64) {
      info.has_zip64 = true;
      info.zip64.assign(p, p + len);
    } else if (id == kExtraUnicodePath && !info.has_unicode_path) {
      // Version 1, and only while it still describes the name beside it: a
      // tool that renamed the entry without updating this field left a CRC
      // of the old name, and the header name is then the true one.
      if (len >= 5 && p[0] == 1 && Get32(p + 1) == Crc(0, raw_name.data(), raw_name.size())) {
        info.has_unicode_path = true;
        info.unicode_path.assign(reinterpret_cast<const char*>(p + 5), len - 5);
      }
    } else if (id == kExtraTimestamp && !info.has_unix_time) {
      if (len >= 5 && (p[0] & 1) != 0) {
        info.has_unix_time = true;
        info.unix_time = Get32(p + 1);  // unsigned: writers use it past 2038
      }
    } else if (id == kExtraNtfs && !info.has_ntfs_time && len >= 4) {
      // Reserved word, then tagged attributes; tag 1 holds three FILETIMEs.
      std::size_t i = 4;
      while (len - i >= 4) {
        const std::uint16_t tag = Get16(p + i);
        const std::uint16_t tag_len = Get16(p + i + 2);
        i += 4;
        if (tag_len > len - i) break;
        if (tag == 1 && tag_len >= 8) {
          const std::uint64_t filetime = Get64(p + i);
          info.has_ntfs_time = true;
          info.ntfs_time = static_cast<std::int64_t>(filetime / 10000000) - 11644473600LL;
          break;
        }
        i += tag_len;
      }
    }
  });
}

// Reads the whole central directory into `entries`, refusing the archive on
// anything corrupt, unsupported or unsafe.
bool ReadDirectory(File& file, const Layout& layout, std::vector<Entry>& entries) {
  SequentialReader reader(file, layout.cd_start, layout.cd_start + layout.cd_size);
  std::uint64_t total_size = 0;
  std::uint64_t records = 0;
  unsigned char h[kCentralSize];
  std::vector<unsigned char> extra;
  // Growing with what is actually there: the count in the end record is not
  // trusted for an allocation.
  while (reader.remaining() > 0) {
    if (reader.remaining() < kCentralSize || !reader.Read(h, kCentralSize)) return false;
    if (Get32(h) != kCentralSig) return false;
    const unsigned host = Get16(h + 4) >> 8;
    const std::uint16_t flags = Get16(h + 8);
    const std::uint16_t method = Get16(h + 10);
    const std::uint16_t dos_time = Get16(h + 12);
    const std::uint16_t dos_date = Get16(h + 14);
    Entry e;
    e.crc = Get32(h + 16);
    e.compressed_size = Get32(h + 20);
    e.size = Get32(h + 24);
    const std::uint16_t name_len = Get16(h + 28);
    const std::uint16_t extra_len = Get16(h + 30);
    const std::uint16_t comment_len = Get16(h + 32);
    std::uint64_t disk = Get16(h + 34);
    const std::uint32_t external = Get32(h + 38);
    e.offset = Get32(h + 42);
    e.raw_name.resize(name_len);
    extra.resize(extra_len);
    if (!reader.Read(&e.raw_name[0], name_len) || !reader.Read(extra.data(), extra_len) ||
        !reader.Skip(comment_len)) {
      return false;
    }
    ++records;

    if ((flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedDirectory)) != 0) return false;
    if (method != kStored && method != kDeflated) return false;  // includes 99, AES
    // Unix (3) and macOS (19) hosts keep the file type in the high word; a
    // link would be created as a file holding its target, or written through.
    if ((host == 3 || host == 19) && ((external >> 16) & 0170000) == 0120000) return false;

    ExtraInfo info;
    if (!ParseCentralExtra(extra, e.raw_name, info)) return false;
    // Only the fields whose short value is saturated are in the ZIP64 field,
    // in this order.
    const bool need[4] = {e.size == 0xffffffff, e.compressed_size == 0xffffffff,
                          e.offset == 0xffffffff, disk == 0xffff};
    std::uint64_t* const targets[4] = {&e.size, &e.compressed_size, &e.offset, &disk};
    std::size_t at = 0;
    for (int k = 0; k < 4; ++k) {
      if (!need[k]) continue;
      const std::size_t width = k == 3 ? 4 : 8;
      if (!info.has_zip64 || at + width > info.zip64.size()) return false;
      *targets[k] = width == 8 ? Get64(&info.zip64[at]) : Get32(&info.zip64[at]);
      at += width;
    }
    if (disk != 0) return false;

    if ((flags & kFlagUtf8) != 0) {
      if (!Utf8ToNarrow(e.raw_name, e.name)) return false;
    } else if (info.has_unicode_path) {
      if (!Utf8ToNarrow(info.unicode_path, e.name)) return false;
    } else {
      e.legacy_name = true;  // read below, once the whole directory is known
    }

    if (method == kStored && e.compressed_size != e.size) return false;
    if (method == kDeflated && e.size / kMaxDeflateRatio > e.compressed_size) return false;
    if (e.size > kMaxTotalSize - total_size) return false;
    total_size += e.size;

    if (e.offset > layout.cd_start - layout.base) return false;
    e.offset += layout.base;
    e.method = method;
    e.modified = info.has_unix_time   ? info.unix_time
                 : info.has_ntfs_time ? info.ntfs_time
                                      : DosTimeToUnix(dos_date, dos_time);
    entries.push_back(std::move(e));
  }

  // Names without the UTF-8 flag are read one way for the whole archive:
  // when every one of them is UTF-8 and some are not plain ASCII, the
  // archive was written by a tool that stores UTF-8 without saying so, and
  // reading one name as UTF-8 and another as the code page would mix two
  // encodings in one mod. Otherwise they are legacy code-page names.
  bool all_utf8 = true;
  bool any_beyond_ascii = false;
  for (const Entry& e : entries) {
    if (!e.legacy_name) continue;
    all_utf8 = all_utf8 && IsValidUtf8(e.raw_name);
    for (const char c : e.raw_name) any_beyond_ascii = any_beyond_ascii || (c & 0x80) != 0;
  }
  const bool legacy_as_utf8 = all_utf8 && any_beyond_ascii;
  for (Entry& e : entries) {
    if (e.legacy_name && !(legacy_as_utf8 ? Utf8ToNarrow(e.raw_name, e.name)
                                          : LegacyToNarrow(e.raw_name, e.name))) {
      return false;
    }
    e.is_directory = !e.name.empty() && FindLastSeparator(e.name) == e.name.size() - 1;
    if (e.is_directory && e.size != 0) return false;
    if (!DropCurrentFolderComponents(e.name)) return false;
  }
  // "./" itself: the destination folder, which is there already.
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const Entry& e) { return e.is_directory && e.name.empty(); }),
                entries.end());
  if (!CheckEntryNames(entries)) return false;

  // The end record's count must match what the directory holds. Without
  // ZIP64 some writers let the 16-bit count wrap past 65,535 entries; the
  // directory's own size is then what delimits it.
  if (records != layout.count && (layout.zip64 || records <= 0xffff || (records & 0xffff) != layout.count)) {
    return false;
  }

  // No two entries may share bytes, nor reach into the directory: that is
  // how small archives pretend to hold huge amounts of data. The local
  // header is at least 30 bytes plus the name the directory gives it.
  std::vector<std::pair<std::uint64_t, std::size_t>> order;
  order.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) order.emplace_back(entries[i].offset, i);
  std::sort(order.begin(), order.end());
  for (std::size_t k = 0; k < order.size(); ++k) {
    Entry& e = entries[order[k].second];
    e.limit = k + 1 < order.size() ? order[k + 1].first : layout.cd_start;
    const std::uint64_t room = e.limit - e.offset;
    const std::uint64_t header = kLocalSize + e.raw_name.size();
    if (room < header || room - header < e.compressed_size) return false;
  }
  return true;
}

}  // namespace

struct Archive {
  explicit Archive(const std::string& path) : path(path), file(path) {}
  ~Archive() {
    if (inflate_ready) inflateEnd(&stream);
  }

  std::string path;
  File file;
  // Checked once, shared by every handle opened from this one.
  std::shared_ptr<const std::vector<Entry>> directory;
  const std::vector<Entry>& entries() const { return *directory; }
  std::size_t next = 0;
  // Reused across entries: allocating (and zeroing) a megabyte per small
  // file would cost more than inflating it.
  std::unique_ptr<unsigned char[]> input;
  std::unique_ptr<unsigned char[]> output;
  z_stream stream{};
  bool inflate_ready = false;
};

namespace {

std::unique_ptr<Archive> Load(const std::string& path) {
  std::unique_ptr<Archive> archive(new Archive(path));
  Layout layout;
  auto entries = std::make_shared<std::vector<Entry>>();
  if (!archive->file.ok() || !FindLayout(archive->file, layout) ||
      !ReadDirectory(archive->file, layout, *entries)) {
    return nullptr;
  }
  archive->directory = std::move(entries);
  return archive;
}

void FillInfo(const Entry& e, std::size_t position, ArchiveEntryInfo& info) {
  info.name = e.name;
  info.is_directory = e.is_directory;
  info.size = e.size;
  info.compressed_size = e.compressed_size;
  info.crc32 = e.crc;
  info.modified = e.modified;
  info.position = position;
}

// Reads the entry's local header, checks it against the directory and
// answers where the data begins: `data_at` bytes past the header's start.
// The same read brings in as much of the data as fits `buffer` (for a small
// file, all of it): `buffered` bytes of data then wait at `buffer + data_at`.
// With a data descriptor the header may leave CRC and sizes zero.
bool LocateData(File& file, const Entry& e, unsigned char* buffer, std::size_t capacity,
                std::size_t& data_at, std::size_t& buffered) {
  // The entry's header, data and descriptor lie before its limit; a header
  // (at most 30 + 2 x 65535 bytes) always fits the buffer.
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, e.limit - e.offset));
  if (n < kLocalSize || !file.ReadAt(e.offset, buffer, n)) return false;
  const unsigned char* h = buffer;
  if (Get32(h) != kLocalSig) return false;
  const std::uint16_t flags = Get16(h + 6);
  const std::uint16_t name_len = Get16(h + 26);
  const std::uint16_t extra_len = Get16(h + 28);
  if ((flags & (kFlagEncrypted | kFlagStrongEncryption)) != 0) return false;
  if (Get16(h + 8) != e.method || name_len != e.raw_name.size()) return false;
  const std::size_t header = kLocalSize + name_len + extra_len;
  if (header > n) return false;  // runs past the entry's room
  const unsigned char* rest = h + kLocalSize;
  if (std::memcmp(rest, e.raw_name.data(), name_len) != 0) return false;

  std::uint64_t size = Get32(h + 22);
  std::uint64_t compressed = Get32(h + 18);
  bool zip64_ok = true;
  const bool extra_ok = WalkExtra(rest + name_len, extra_len,
                                  [&](std::uint16_t id, const unsigned char* p, std::uint16_t len) {
    if (id != kExtraZip64) return;
    // In a local header the ZIP64 field holds both sizes when either is
    // saturated.
    if (size != 0xffffffff && compressed != 0xffffffff) return;
    if (len < 16) {
      zip64_ok = false;
      return;
    }
    size = Get64(p);
    compressed = Get64(p + 8);
  });
  if (!extra_ok || !zip64_ok) return false;

  const bool descriptor = (flags & kFlagDescriptor) != 0;
  const std::uint32_t crc = Get32(h + 14);
  if (!(crc == e.crc || (descriptor && crc == 0))) return false;
  if (!(size == e.size || (descriptor && size == 0))) return false;
  if (!(compressed == e.compressed_size || (descriptor && compressed == 0))) return false;

  // The header ends within the entry's room (header <= n), so the data
  // starts there too; it must also end there.
  if (e.compressed_size > e.limit - e.offset - header) return false;
  data_at = header;
  buffered = static_cast<std::size_t>(std::min<std::uint64_t>(n - header, e.compressed_size));
  return true;
}

}  // namespace

long long ArchiveCountEntries(const std::string& archive_path) {
  const std::unique_ptr<Archive> archive = Load(archive_path);
  return archive ? static_cast<long long>(archive->entries().size()) : -1;
}

ArchiveHandle ArchiveOpen(const std::string& archive_path) { return Load(archive_path).release(); }

ArchiveHandle ArchiveOpenAgain(ArchiveHandle archive) {
  if (archive == nullptr) return nullptr;
  std::unique_ptr<Archive> again(new Archive(archive->path));
  if (!again->file.ok()) return nullptr;
  // Should the file have been replaced since, each entry's local header no
  // longer matches the directory and its reading fails.
  again->directory = archive->directory;
  return again.release();
}

long long ArchiveEntryCount(ArchiveHandle archive) {
  return archive ? static_cast<long long>(archive->entries().size()) : -1;
}

bool ArchiveFindFirst(ArchiveHandle archive, const char* wildcard, ArchiveEntryInfo& info) {
  if (archive == nullptr || wildcard == nullptr || std::strcmp(wildcard, "*.*") != 0) return false;
  archive->next = 0;
  return ArchiveFindNext(archive, info);
}

bool ArchiveFindNext(ArchiveHandle archive, ArchiveEntryInfo& info) {
  if (archive == nullptr || archive->next >= archive->entries().size()) return false;
  FillInfo(archive->entries()[archive->next], archive->next, info);
  ++archive->next;
  return true;
}

void ArchiveClose(ArchiveHandle archive) { delete archive; }

bool ArchiveReadEntry(ArchiveHandle archive, const ArchiveEntryInfo& entry,
                      const std::function<bool(const void* data, std::size_t size)>& sink) {
  if (archive == nullptr || entry.position >= archive->entries().size()) return false;
  const Entry& e = archive->entries()[entry.position];
  if (e.name != entry.name) return false;  // not an entry of this archive
  if (e.is_directory) return true;         // nothing to read

  File& file = archive->file;
  if (!archive->input) archive->input.reset(new unsigned char[kInputChunk]);
  if (!archive->output) archive->output.reset(new unsigned char[kOutputChunk]);
  unsigned char* const in = archive->input.get();
  unsigned char* const out = archive->output.get();
  std::size_t data_at = 0;
  std::size_t buffered = 0;
  if (!LocateData(file, e, in, kInputChunk, data_at, buffered) ||
      !file.Seek(e.offset + data_at + buffered)) {
    return false;
  }
  std::uint32_t crc = Crc(0, nullptr, 0);
  std::uint64_t remaining_in = e.compressed_size - buffered;

  if (e.method == kStored) {
    if (buffered > 0) {
      crc = Crc(crc, in + data_at, buffered);
      if (!sink(in + data_at, buffered)) return false;
    }
    while (remaining_in > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_in, kOutputChunk));
      if (!file.Read(out, n)) return false;
      remaining_in -= n;
      crc = Crc(crc, out, n);
      if (!sink(out, n)) return false;
    }
    return crc == e.crc;
  }

  z_stream& z = archive->stream;
  if (!archive->inflate_ready) {
    z = z_stream{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    archive->inflate_ready = true;
  } else if (inflateReset(&z) != Z_OK) {
    return false;
  }
  z.next_in = in + data_at;
  z.avail_in = static_cast<uInt>(buffered);
  std::uint64_t produced = 0;
  bool ended = false;
  while (!ended) {
    if (z.avail_in == 0 && remaining_in > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_in, kInputChunk));
      if (!file.Read(in, n)) return false;
      remaining_in -= n;
      z.next_in = in;
      z.avail_in = static_cast<uInt>(n);
    }
    // Room for one byte past the declared size, so that a stream producing
    // more than the directory says is caught rather than cut short.
    const std::uint64_t room = e.size - produced + 1;
    z.next_out = out;
    z.avail_out = static_cast<uInt>(std::min<std::uint64_t>(room, kOutputChunk));
    std::size_t filled = 0;
    // Fill the output chunk before handing it on: fewer, larger writes.
    for (;;) {
      const uInt before_in = z.avail_in;
      const uInt before_out = z.avail_out;
      const int r = inflate(&z, Z_NO_FLUSH);
      filled = static_cast<std::size_t>(z.next_out - out);
      if (r == Z_STREAM_END) {
        ended = true;
        break;
      }
      if (r != Z_OK && r != Z_BUF_ERROR) return false;
      if (z.avail_out == 0) break;
      if (z.avail_in == 0) {
        if (remaining_in == 0) return false;  // data ends before the stream does
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_in, kInputChunk));
        if (!file.Read(in, n)) return false;
        remaining_in -= n;
        z.next_in = in;
        z.avail_in = static_cast<uInt>(n);
      } else if (z.avail_in == before_in && z.avail_out == before_out) {
        return false;  // no progress with both input and room: corrupt
      }
    }
    produced += filled;
    if (produced > e.size) return false;
    if (filled > 0) {
      crc = Crc(crc, out, filled);
      if (!sink(out, filled)) return false;
    }
  }
  // The stream must end exactly where the directory says both its ends are.
  return produced == e.size && z.avail_in == 0 && remaining_in == 0 && crc == e.crc;
}
