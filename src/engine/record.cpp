#include "engine/record.h"

#include <cstdio>
#include <cstdlib>

#include "engine/files.h"
#include "engine/journal.h"
#include "engine/paths.h"
#include "engine/text.h"

namespace {

std::string g_record_folder;  // with its separator; empty until start-up sets it

constexpr const char* kHeader = "Quorvantel record 1";
constexpr const char* kPlanName = "plan";
constexpr const char* kTemporarySuffix = ".tmp";

std::string RecordPath(int n) { return g_record_folder + "FileNo" + std::to_string(n); }
std::string PlanPath() { return g_record_folder + kPlanName; }

// Paths are bytes; a line break or a tab inside one must not end its field.
std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    char* end = nullptr;
    const std::string hex = text.substr(i + 1, 2);
    const long value = std::strtol(hex.c_str(), &end, 16);
    if (end != hex.c_str() + 2) return false;
    out += static_cast<char>(value);
    i += 2;
  }
  return true;
}

const char* KindName(PlanKind kind) {
  switch (kind) {
    case PlanKind::Install:
      return "install";
    case PlanKind::Uninstall:
      return "uninstall-in-place";
    case PlanKind::Remove:
      return "remove";
  }
  return "";
}

void AppendRecord(const InstallRecord& record, std::string& out) {
  out += "archive " + Escape(record.archive) + "\n";
  out += "folder " + Escape(record.folder) + "\n";
  for (const std::string& folder : record.folders) out += "dir " + Escape(folder) + "\n";
  for (const RecordedMove& move : record.originals) {
    out += "original " + Escape(move.from) + "\t" + Escape(move.to) + "\n";
  }
  char fields[64];
  for (const InstallRecord::File& file : record.files) {
    std::snprintf(fields, sizeof fields, "file %llu %08lx %d ",
                  static_cast<unsigned long long>(file.size),
                  static_cast<unsigned long>(file.crc), file.verify ? 1 : 0);
    out += fields + Escape(file.path) + "\n";
  }
}

bool ParseMove(const std::string& rest, RecordedMove& move) {
  const std::size_t tab = rest.find('\t');
  return tab != std::string::npos && Unescape(rest.substr(0, tab), move.from) &&
         Unescape(rest.substr(tab + 1), move.to) && !move.from.empty() && !move.to.empty();
}

// Parses the lines of a record or a plan; false on anything it does not
// know, so that a damaged file is never half-acted upon.
bool Parse(const std::string& text, std::string& kind, Plan& plan) {
  std::size_t start = 0;
  bool header = false;
  bool ended = false;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return false;  // every line ends, the last one too
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (ended) return false;
    if (!header) {
      if (line != kHeader) return false;
      header = true;
      continue;
    }
    if (line == "end") {
      ended = true;
      continue;
    }
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) return false;
    const std::string key = line.substr(0, space);
    const std::string rest = line.substr(space + 1);
    InstallRecord& record = plan.record;
    if (key == "kind") {
      kind = rest;
    } else if (key == "mod") {
      plan.mod = std::atoi(rest.c_str());
    } else if (key == "count") {
      plan.count = std::atoi(rest.c_str());
    } else if (key == "archive") {
      if (!Unescape(rest, record.archive)) return false;
    } else if (key == "folder") {
      if (!Unescape(rest, record.folder)) return false;
    } else if (key == "dir") {
      std::string folder;
      if (!Unescape(rest, folder) || folder.empty()) return false;
      record.folders.push_back(folder);
    } else if (key == "original" || key == "aside" || key == "kept") {
      RecordedMove move;
      if (!ParseMove(rest, move)) return false;
      (key == "original" ? record.originals : key == "aside" ? plan.set_aside : plan.kept)
          .push_back(move);
    } else if (key == "delete") {
      std::string path;
      if (!Unescape(rest, path) || path.empty()) return false;
      plan.to_delete.push_back(path);
    } else if (key == "file") {
      unsigned long long size = 0;
      unsigned long crc = 0;
      int verify = 0;
      int used = 0;
      if (std::sscanf(rest.c_str(), "%llu %lx %d %n", &size, &crc, &verify, &used) != 3 ||
          used <= 0) {
        return false;
      }
      InstallRecord::File file;
      file.size = size;
      file.crc = static_cast<std::uint32_t>(crc);
      file.verify = verify != 0;
      if (!Unescape(rest.substr(static_cast<std::size_t>(used)), file.path) || file.path.empty()) {
        return false;
      }
      record.files.push_back(file);
    } else {
      return false;
    }
  }
  return ended;
}

bool WriteWhole(const std::string& path, const std::string& data) {
  std::string reached = path;
  if (!ReachPath(reached)) return false;
  OutputFile* file = nullptr;
  if (CreateNewFile(reached, &file) != FileResult::Done) return false;
  const bool written = WriteToFile(file, data.data(), data.size()) == FileResult::Done;
  return FlushAndCloseFile(file) == FileResult::Done && written;
}

// Writes `data` as `path`: whole and flushed under a temporary name, then
// renamed. `replace` allows an existing file to be replaced.
bool WriteFileAtomically(const std::string& path, const std::string& data, bool replace) {
  if (g_record_folder.empty()) return false;
  const std::string folder = g_record_folder.substr(0, g_record_folder.size() - 1);
  if (!PathIsFolder(folder)) {
    std::string reached = folder;
    if (!ReachPath(reached) || MakeFolder(reached) != FileResult::Done) return false;
  }
  const std::string temporary = path + kTemporarySuffix;
  // A crash may have left one behind; it never holds anything needed.
  if (PathExists(temporary) && !DeletePath(temporary)) return false;
  if (!WriteWhole(temporary, data)) {
    DeletePath(temporary);
    return false;
  }
  if (PathExists(path) && (!replace || !DeletePath(path))) {
    DeletePath(temporary);
    return false;
  }
  Journal ignored;
  if (!MoveStep(ignored, temporary, path)) {
    DeletePath(temporary);
    return false;
  }
  return true;
}

bool ReadWhole(const std::string& path, std::string& data) {
  data.clear();
  std::string reached = path;
  if (!ReachPath(reached)) return false;
  return ReadWholeFile(reached, [&data](const void* bytes, std::size_t size) {
           data.append(static_cast<const char*>(bytes), size);
           return true;
         }) == FileResult::Done;
}

}  // namespace

void SetRecordFolder(const std::string& folder) { g_record_folder = folder; }
const std::string& RecordFolder() { return g_record_folder; }

std::string InFolder(const InstallRecord& record, const std::string& relative) {
  return record.folder + kPathSeparator + relative;
}

std::string RecordText(const InstallRecord& record) {
  std::string text = std::string(kHeader) + "\nkind record\n";
  AppendRecord(record, text);
  text += "end\n";
  return text;
}

bool ParseRecord(const std::string& text, InstallRecord& record) {
  Plan parsed;
  std::string kind;
  if (!Parse(text, kind, parsed) || kind != "record") return false;
  record = std::move(parsed.record);
  return true;
}

bool SaveRecord(int n, const InstallRecord& record) {
  return WriteFileAtomically(RecordPath(n), RecordText(record), true);
}

bool LoadRecord(int n, InstallRecord& record) {
  if (g_record_folder.empty()) return false;
  std::string text;
  if (!PathExists(RecordPath(n)) || !ReadWhole(RecordPath(n), text)) return false;
  return ParseRecord(text, record);
}

bool RecordExists(int n) { return !g_record_folder.empty() && PathExists(RecordPath(n)); }

bool DeleteRecord(int n) { return !RecordExists(n) || DeletePath(RecordPath(n)); }

bool MoveRecord(int from, int to) {
  Journal ignored;
  return MoveStep(ignored, RecordPath(from), RecordPath(to));
}

std::string PlanText(const Plan& plan) {
  const bool moves_aside = plan.kind == PlanKind::Uninstall && !plan.in_place;
  std::string text =
      std::string(kHeader) + "\nkind " + (moves_aside ? "uninstall" : KindName(plan.kind)) + "\n";
  text += "mod " + std::to_string(plan.mod) + "\n";
  text += "count " + std::to_string(plan.count) + "\n";
  AppendRecord(plan.record, text);
  for (const RecordedMove& move : plan.set_aside) {
    text += "aside " + Escape(move.from) + "\t" + Escape(move.to) + "\n";
  }
  for (const RecordedMove& move : plan.kept) {
    text += "kept " + Escape(move.from) + "\t" + Escape(move.to) + "\n";
  }
  for (const std::string& path : plan.to_delete) text += "delete " + Escape(path) + "\n";
  text += "end\n";
  return text;
}

bool ParsePlan(const std::string& text, Plan& plan) {
  std::string kind;
  Plan parsed;
  if (!Parse(text, kind, parsed)) return false;
  if (kind == "install") {
    parsed.kind = PlanKind::Install;
  } else if (kind == "uninstall-in-place" || kind == "uninstall") {
    parsed.kind = PlanKind::Uninstall;
    parsed.in_place = kind != "uninstall";
  } else if (kind == "remove") {
    parsed.kind = PlanKind::Remove;
  } else {
    return false;
  }
  plan = std::move(parsed);
  return true;
}

bool SavePlan(const Plan& plan) {
  // Never over an unfinished plan: that command still needs repairing.
  return WriteFileAtomically(PlanPath(), PlanText(plan), false);
}

bool LoadPlan(Plan& plan, bool* readable) {
  if (readable != nullptr) *readable = true;
  if (!PlanExists()) return false;
  std::string text;
  if (ReadWhole(PlanPath(), text) && ParsePlan(text, plan)) return true;
  if (readable != nullptr) *readable = false;
  return false;
}

bool PlanExists() { return !g_record_folder.empty() && PathExists(PlanPath()); }

bool DeletePlan() {
  const std::string temporary = PlanPath() + kTemporarySuffix;
  if (PathExists(temporary) && !DeletePath(temporary)) return false;
  return !PlanExists() || DeletePath(PlanPath());
}
