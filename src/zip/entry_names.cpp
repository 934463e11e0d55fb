#include "zip/entry_names.h"

#include <unordered_set>
#include <utility>

#include "platform/text.h"
#include "rules/case_fold.h"
#include "rules/names.h"

namespace zip {

namespace {

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
  return FileKey(key);
}

// "./readme.txt" and "data/./y.txt" name the files "readme.txt" and
// "data/y.txt": some archivers store names that way, and Windows resolves
// them alike, so the "." components are dropped and the install works on
// the name that remains. A name that is nothing but "./" stands for the
// destination folder itself and comes out empty. False for a file whose
// last component is ".", which names no file.
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

// Names without the UTF-8 flag are read one way for the whole archive:
// when every one of them is UTF-8 and some are not plain ASCII, the archive
// was written by a tool that stores UTF-8 without saying so, and reading one
// name as UTF-8 and another as the code page would mix two encodings in one
// mod. Otherwise they are legacy code-page names.
bool LegacyNamesAreUtf8(const std::vector<Entry>& entries) {
  bool all_utf8 = true;
  bool any_beyond_ascii = false;
  for (const Entry& e : entries) {
    if (!e.legacy_name) continue;
    all_utf8 = all_utf8 && IsValidUtf8(e.raw_name);
    for (const char c : e.raw_name) any_beyond_ascii = any_beyond_ascii || (c & 0x80) != 0;
  }
  return all_utf8 && any_beyond_ascii;
}

}  // namespace

ArchiveRefusal UndecodableName(const std::string& raw_name) {
  // Some systems' conversions refuse control characters before anything
  // else could: the name is one Windows cannot create, whatever the code page.
  for (const char c : raw_name) {
    if (static_cast<unsigned char>(c) < 0x20) return ArchiveRefusal::NameNotCreatable;
  }
  return ArchiveRefusal::NameNotInCodePage;
}

bool DecodeName(bool utf8_flag, const std::string* unicode_path, Entry& entry) {
  if (utf8_flag) return Utf8ToNarrow(entry.raw_name, entry.name);
  if (unicode_path != nullptr) return Utf8ToNarrow(*unicode_path, entry.name);
  entry.legacy_name = true;  // read once the whole directory is known
  return true;
}

bool DecodeNames(std::vector<Entry>& entries, ArchiveProblem& why) {
  const bool legacy_as_utf8 = LegacyNamesAreUtf8(entries);
  for (Entry& e : entries) {
    if (e.legacy_name && !(legacy_as_utf8 ? Utf8ToNarrow(e.raw_name, e.name)
                                          : LegacyToNarrow(e.raw_name, e.name))) {
      return Refuse(why, UndecodableName(e.raw_name), e.raw_name);  // the bytes as stored
    }
    e.is_directory = !e.name.empty() && FindLastSeparator(e.name) == e.name.size() - 1;
    const std::string stored = e.name;
    if (!DropCurrentFolderComponents(e.name)) {
      return Refuse(why, ArchiveRefusal::NameNotCreatable, stored);
    }
  }
  return true;
}

namespace {

// Why a name is unsafe on its own; None when it is not.
ArchiveRefusal UnsafeName(const Entry& e, const std::vector<std::string>& parts) {
  // As stored: a leading separator, or a drive ("C:" leads to one whatever
  // follows; a colon elsewhere is only a name Windows refuses).
  const std::string& raw = e.raw_name;
  const bool drive = raw.size() >= 2 && raw[1] == ':' &&
                     ((raw[0] >= 'A' && raw[0] <= 'Z') || (raw[0] >= 'a' && raw[0] <= 'z'));
  if (drive || (!raw.empty() && IsSeparator(static_cast<unsigned char>(raw[0])))) {
    return ArchiveRefusal::AbsoluteName;
  }
  if (e.name.empty() || IsSeparator(static_cast<unsigned char>(e.name[0]))) {
    return ArchiveRefusal::NameNotCreatable;
  }
  for (const std::string& part : parts) {
    if (part == "..") return ArchiveRefusal::LeavesFolder;
  }
  for (const std::string& part : parts) {
    if (!IsSafeComponent(part)) return ArchiveRefusal::NameNotCreatable;
  }
  return ArchiveRefusal::None;
}

}  // namespace

bool CheckEntryNames(const std::vector<Entry>& entries, ArchiveProblem& why) {
  std::unordered_set<std::string> targets;
  std::unordered_set<std::string> folders;  // directory entries and every parent
  std::vector<std::pair<std::string, const Entry*>> files;
  for (const Entry& e : entries) {
    const std::vector<std::string> parts = SplitComponents(e.name, e.is_directory);
    const ArchiveRefusal unsafe = UnsafeName(e, parts);
    if (unsafe != ArchiveRefusal::None) return Refuse(why, unsafe, e.name);
    std::string key = TargetKey(parts, parts.size());
    if (!targets.insert(key).second) return Refuse(why, ArchiveRefusal::SameTarget, e.name);
    for (std::size_t k = 1; k < parts.size(); ++k) folders.insert(TargetKey(parts, k));
    if (e.is_directory) {
      folders.insert(key);
    } else {
      files.emplace_back(std::move(key), &e);
    }
  }
  // A file cannot also be a folder another entry goes into.
  for (const auto& file : files) {
    if (folders.count(file.first) != 0) {
      return Refuse(why, ArchiveRefusal::SameTarget, file.second->name);
    }
  }
  return true;
}

}  // namespace zip
