// The text of install records and plans, and its strict reading. These files
// are the program's memory across a crash, and the start-up repair acts on
// them before the user sees a window: whatever a disk error, a torn copy or a
// hand edit made of one, it is either read back exactly as it was written,
// or not at all. Nothing read here can name a file outside its folder.
#include <cstdint>
#include <cstdio>
#include <limits>

#include "rules/mod_names.h"
#include "rules/names.h"
#include "rules/paths.h"
#include "engine/record.h"
#include "engine/record_syntax.h"

namespace {

// The first line names what the file is and its version. Version 2 ends
// in a check line; version 1 (one header for records and plans alike) has
// none, and is still read: a record can outlive many versions.
constexpr const char* kRecordHeader = "Quorvantel record 2";
constexpr const char* kPlanHeader = "Quorvantel plan 2";
constexpr const char* kFirstHeader = "Quorvantel record 1";

const char* KindName(const Plan& plan) {
  switch (plan.kind) {
    case PlanKind::Install:
      return "install";
    case PlanKind::Uninstall:
      return plan.in_place ? "uninstall-in-place" : "uninstall";
    case PlanKind::Remove:
      return "remove";
  }
  return "";
}

std::string MoveLine(const char* key, const RecordedMove& move) {
  return std::string(key) + " " + Escape(move.from) + "\t" + Escape(move.to) + "\n";
}

void AppendRecord(const InstallRecord& record, std::string& out) {
  out += "archive " + Escape(record.archive) + "\n";
  out += "folder " + Escape(record.folder) + "\n";
  for (const std::string& folder : record.folders) out += "dir " + Escape(folder) + "\n";
  for (const RecordedMove& move : record.originals) out += MoveLine("original", move);
  char fields[64];
  for (const InstallRecord::File& file : record.files) {
    std::snprintf(fields, sizeof fields, "file %llu %08lx %d ",
                  static_cast<unsigned long long>(file.size),
                  static_cast<unsigned long>(file.crc), file.verify ? 1 : 0);
    out += fields + Escape(file.path) + "\n";
  }
}

// The last line before the end: the CRC-32 of every byte before it, so that
// a file damaged on disk, or torn, is told from one as written. Files of an
// earlier version have none.
void Seal(std::string& text) {
  char line[32];
  std::snprintf(line, sizeof line, "check %08lx\nend\n",
                static_cast<unsigned long>(Checksum(text, text.size())));
  text += line;
}

// The keys of a file, in the order they are written: a key never comes
// before one of a lower rank, and the single-valued ones (up to kFolder)
// come at most once.
enum Key { kKind, kMod, kCount, kArchive, kFolder, kDir, kOriginal, kFile, kAside, kKept, kDelete };
constexpr const char* kKeyNames[] = {"kind", "mod",  "count", "archive", "folder", "dir",
                                     "original", "file", "aside", "kept", "delete"};
constexpr int kKeyCount = sizeof kKeyNames / sizeof kKeyNames[0];

enum class FileKind { Record, Install, UninstallInPlace, UninstallAside, Remove };

// Which keys each kind holds, as a bit set.
unsigned AllowedKeys(FileKind kind) {
  const auto bits = [](std::initializer_list<Key> keys) {
    unsigned set = 0;
    for (const Key key : keys) set |= 1u << key;
    return set;
  };
  const unsigned record = bits({kKind, kArchive, kFolder, kDir, kOriginal, kFile});
  switch (kind) {
    case FileKind::Record:
      return record;
    case FileKind::Install:
      return record | bits({kMod, kCount});
    case FileKind::UninstallInPlace:
      return record | bits({kMod, kCount, kKept, kDelete});
    case FileKind::UninstallAside:
      return record | bits({kMod, kCount, kAside, kKept});
    case FileKind::Remove:  // its archive and folder lines are empty
      return bits({kKind, kMod, kCount, kArchive, kFolder, kAside});
  }
  return 0;
}

bool ParseKind(const std::string& name, FileKind& kind) {
  static const std::pair<const char*, FileKind> kKinds[] = {
      {"record", FileKind::Record},
      {"install", FileKind::Install},
      {"uninstall-in-place", FileKind::UninstallInPlace},
      {"uninstall", FileKind::UninstallAside},
      {"remove", FileKind::Remove}};
  for (const auto& known : kKinds) {
    if (name == known.first) {
      kind = known.second;
      return true;
    }
  }
  return false;
}


struct Reading {
  FileKind kind = FileKind::Record;
  std::string header;
  bool sealed = false;  // its check line was there and matched
  unsigned seen = 0;  // keys met so far, as a bit set
  int last = -1;      // the rank of the last key
  Plan plan;
};

bool ParseMove(const std::string& rest, RecordedMove& move) {
  const std::size_t tab = rest.find('\t');
  return tab != std::string::npos && Unescape(rest.substr(0, tab), move.from) &&
         Unescape(rest.substr(tab + 1), move.to);
}

// "file SIZE CRC VERIFY PATH", one blank between the fields: every byte
// after the third blank is the path's, blanks at its start included.
bool ParseFile(const std::string& rest, InstallRecord::File& file) {
  std::size_t start = 0;
  std::string fields[3];
  for (std::string& field : fields) {
    const std::size_t blank = rest.find(' ', start);
    if (blank == std::string::npos) return false;
    field = rest.substr(start, blank - start);
    start = blank + 1;
  }
  std::uint64_t verify = 0;
  if (!ParseNumber(fields[0], std::numeric_limits<std::uint64_t>::max(), file.size) ||
      !ParseCrc(fields[1], file.crc) || !ParseNumber(fields[2], 1, verify)) {
    return false;
  }
  file.verify = verify == 1;
  return Unescape(rest.substr(start), file.path);
}

bool ParseModNumber(const std::string& rest, std::uint64_t max, int& out) {
  std::uint64_t value = 0;
  if (!ParseNumber(rest, max, value)) return false;
  out = static_cast<int>(value);
  return true;
}

bool IsModNumber(const std::string& text, int& out) {
  return ParseModNumber(text, static_cast<std::uint64_t>(kMaxModNumber), out);
}

// A removal's "aside N<TAB>N-1": mod N's record moves down by one.
bool ParseRenumbering(const std::string& rest, Plan& plan) {
  RecordedMove move;
  int from = 0;
  int to = 0;
  if (!ParseMove(rest, move) || !IsModNumber(move.from, from) || !IsModNumber(move.to, to) ||
      to != from - 1) {
    return false;
  }
  plan.renumbered.push_back(from);
  return true;
}

// One line's value into the plan; the checks of what it names come after.
bool ParseValue(Key key, const std::string& rest, Reading& reading) {
  Plan& plan = reading.plan;
  InstallRecord& record = plan.record;
  std::string path;
  RecordedMove move;
  InstallRecord::File file;
  switch (key) {
    case kKind:
      return ParseKind(rest, reading.kind);
    case kMod:
      return ParseModNumber(rest, static_cast<std::uint64_t>(kMaxModNumber), plan.mod);
    case kCount:
      return ParseModNumber(rest, static_cast<std::uint64_t>(kMaxModNumber) + 1, plan.count);
    case kArchive:
      return Unescape(rest, record.archive);
    case kFolder:
      return Unescape(rest, record.folder);
    case kDir:
    case kDelete:
      if (!Unescape(rest, path)) return false;
      (key == kDir ? record.folders : plan.to_delete).push_back(path);
      return true;
    case kAside:
      if (reading.kind == FileKind::Remove) return ParseRenumbering(rest, plan);
      [[fallthrough]];
    case kOriginal:
    case kKept:
      if (!ParseMove(rest, move)) return false;
      (key == kOriginal ? record.originals : key == kAside ? plan.set_aside : plan.kept)
          .push_back(move);
      return true;
    case kFile:
      if (!ParseFile(rest, file)) return false;
      record.files.push_back(file);
      return true;
  }
  return false;
}

bool ParseLine(const std::string& line, Reading& reading) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string::npos) return false;
  const std::string name = line.substr(0, blank);
  int key = 0;
  while (key < kKeyCount && name != kKeyNames[key]) ++key;
  if (key == kKeyCount || key < reading.last) return false;
  if (key <= kFolder && (reading.seen & (1u << key)) != 0) return false;
  // The kind comes first: it decides which keys may follow.
  if ((key == kKind) != (reading.last < 0)) return false;
  if (key != kKind && (AllowedKeys(reading.kind) & (1u << key)) == 0) return false;
  reading.seen |= 1u << key;
  reading.last = key;
  return ParseValue(static_cast<Key>(key), line.substr(blank + 1), reading);
}

// A removal's moves: each later mod's record down by one, in order.
bool ChecksRemoval(const Plan& plan) {
  if (!plan.record.archive.empty() || !plan.record.folder.empty()) return false;
  if (plan.mod >= plan.count) return false;
  int previous = plan.mod;
  for (const int from : plan.renumbered) {
    if (from <= previous || from >= plan.count) return false;
    previous = from;
  }
  return true;
}

bool IsInFolder(const std::string& folder, const std::string& relative) {
  return IsSafeRelativePath(relative) && HoldsOnlyPathBytes(relative) &&
         folder.size() + 1 + relative.size() <= kMaxPath;
}

// What a record, an install or an uninstall names: its archive, its folder,
// and paths that stay inside that folder.
bool ChecksPaths(const Plan& plan) {
  const InstallRecord& record = plan.record;
  if (record.archive.empty() || record.archive.size() > kMaxPath ||
      !HoldsOnlyPathBytes(record.archive) || !IsAbsolute(record.archive)) {
    return false;
  }
  const std::string& folder = record.folder;
  if (folder.size() > kMaxFolderPath || !HoldsOnlyPathBytes(folder) || !IsAbsolute(folder)) {
    return false;
  }
  const auto inside = [&folder](const std::string& path) { return IsInFolder(folder, path); };
  for (const std::string& path : record.folders) {
    if (!inside(path)) return false;
  }
  for (const InstallRecord::File& file : record.files) {
    if (!inside(file.path)) return false;
  }
  for (const std::string& path : plan.to_delete) {
    if (!inside(path)) return false;
  }
  for (const auto* moves : {&record.originals, &plan.set_aside, &plan.kept}) {
    for (const RecordedMove& move : *moves) {
      if (!inside(move.from) || !inside(move.to)) return false;
    }
  }
  return true;
}

// Reads every line of `text`; false on anything that is not exactly what
// the writer writes, so that a damaged file is never half-acted upon.
bool Parse(const std::string& text, Reading& reading) {
  std::size_t start = 0;
  bool header = false;
  bool ended = false;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos || ended) return false;  // every line ends, the last one too
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!header) {
      header = line == kRecordHeader || line == kPlanHeader || line == kFirstHeader;
      if (!header) return false;
      reading.header = line;
    } else if (line == "end") {
      ended = true;
    } else if (reading.sealed) {
      return false;  // only the end follows the check
    } else if (line.compare(0, 6, "check ") == 0) {
      std::uint32_t crc = 0;
      if (!ParseCrc(line.substr(6), crc) || crc != Checksum(text, end - line.size())) return false;
      reading.sealed = true;
    } else if (!ParseLine(line, reading)) {
      return false;
    }
  }
  if (!ended || (reading.seen & (1u << kKind)) == 0) return false;
  const bool plan = reading.kind != FileKind::Record;
  const bool first = reading.header == kFirstHeader;
  if (reading.sealed == first) return false;  // a check line exactly from version 2 on
  if (!first && reading.header != (plan ? kPlanHeader : kRecordHeader)) return false;
  // Every line the writer always writes is there (a removal's archive and
  // folder lines are empty).
  const unsigned paths = (1u << kArchive) | (1u << kFolder);
  const unsigned numbers = plan ? (1u << kMod) | (1u << kCount) : 0;
  if ((reading.seen & (paths | numbers)) != (paths | numbers)) return false;
  if (reading.kind == FileKind::Remove) return ChecksRemoval(reading.plan);
  return ChecksPaths(reading.plan);
}

}  // namespace

std::string RecordText(const InstallRecord& record) {
  std::string text = std::string(kRecordHeader) + "\nkind record\n";
  AppendRecord(record, text);
  Seal(text);
  return text;
}

bool ParseRecord(const std::string& text, InstallRecord& record, bool* sealed) {
  Reading reading;
  if (!Parse(text, reading) || reading.kind != FileKind::Record) return false;
  record = std::move(reading.plan.record);
  if (sealed != nullptr) *sealed = reading.sealed;
  return true;
}

std::string PlanText(const Plan& plan) {
  std::string text = std::string(kPlanHeader) + "\nkind " + KindName(plan) + "\n";
  text += "mod " + std::to_string(plan.mod) + "\n";
  text += "count " + std::to_string(plan.count) + "\n";
  AppendRecord(plan.record, text);
  for (const RecordedMove& move : plan.set_aside) text += MoveLine("aside", move);
  for (const int from : plan.renumbered) {
    text += MoveLine("aside", {std::to_string(from), std::to_string(from - 1)});
  }
  for (const RecordedMove& move : plan.kept) text += MoveLine("kept", move);
  for (const std::string& path : plan.to_delete) text += "delete " + Escape(path) + "\n";
  Seal(text);
  return text;
}

bool ParsePlan(const std::string& text, Plan& plan) {
  Reading reading;
  if (!Parse(text, reading)) return false;
  switch (reading.kind) {
    case FileKind::Record:
      return false;
    case FileKind::Install:
      reading.plan.kind = PlanKind::Install;
      break;
    case FileKind::UninstallInPlace:
    case FileKind::UninstallAside:
      reading.plan.kind = PlanKind::Uninstall;
      reading.plan.in_place = reading.kind == FileKind::UninstallInPlace;
      break;
    case FileKind::Remove:
      reading.plan.kind = PlanKind::Remove;
      break;
  }
  plan = std::move(reading.plan);
  return true;
}

std::string ArchiveNamedIn(const std::string& text) {
  // Only for telling the user which mod a damaged file was about.
  const std::string key = "\narchive ";
  const std::size_t at = text.find(key);
  if (at == std::string::npos) return std::string();
  const std::size_t end = text.find('\n', at + key.size());
  std::string archive;
  if (end == std::string::npos || !Unescape(text.substr(at + key.size(), end - at - key.size()),
                                            archive) ||
      !HoldsOnlyPathBytes(archive)) {
    return std::string();
  }
  return archive;
}
