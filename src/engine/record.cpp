#include "engine/record.h"

#include <cstdio>
#include <cstdlib>

#include "engine/disk.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/text.h"
#include "rules/mod_names.h"

namespace {

std::string g_record_folder;  // with its separator; empty until start-up sets it

constexpr const char* kPlanName = "plan";


// Writes `data` as `path` (replacing a file there when `replace`) in one
// step a crash cannot tear, making the record folder first if need be.
bool WriteRecordFile(const std::string& path, const std::string& data, bool replace) {
  if (g_record_folder.empty()) return false;
  const std::string folder = g_record_folder.substr(0, g_record_folder.size() - 1);
  if (!PathIsFolder(folder)) {
    if (MakeFolder(folder) != FileResult::Done) return false;
  }
  return WriteFileAtomically(path, data, replace, Disk());
}

bool ReadWhole(const std::string& path, std::string& data) {
  data.clear();
  return ReadWholeFile(path, [&data](const void* bytes, std::size_t size) {
           data.append(static_cast<const char*>(bytes), size);
           return true;
         }) == FileResult::Done;
}

}  // namespace

void SetRecordFolder(const std::string& folder) { g_record_folder = folder; }
const std::string& RecordFolder() { return g_record_folder; }

std::string PlanPath() { return g_record_folder + kPlanName; }

std::string RecordPath(int n) { return g_record_folder + ModName(n); }

std::string InFolder(const InstallRecord& record, const std::string& relative) {
  return record.folder + kPathSeparator + relative;
}

std::string OutOfFolder(const std::string& folder, const std::string& path) {
  const bool inside = path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
  return inside ? path.substr(folder.size() + 1) : path;
}

bool SaveRecord(int n, const InstallRecord& record) {
  const std::string text = RecordText(record);
  // What could not be read back would be lost at the uninstall.
  InstallRecord check;
  if (!ParseRecord(text, check)) return false;
  return WriteRecordFile(RecordPath(n), text, true);
}

bool LoadRecord(int n, InstallRecord& record, bool* sealed) {
  if (g_record_folder.empty()) return false;
  std::string text;
  if (!PathExists(RecordPath(n)) || !ReadWhole(RecordPath(n), text)) return false;
  return ParseRecord(text, record, sealed);
}

std::vector<int> RecordedMods() {
  std::vector<int> mods;
  if (g_record_folder.empty()) return mods;
  const std::string folder = g_record_folder.substr(0, g_record_folder.size() - 1);
  std::vector<FolderEntry> entries;
  if (!IsFolder(folder) || !ListFolder(folder, entries)) return mods;
  int n = 0;
  for (const FolderEntry& entry : entries) {
    // Only the names the program gives records.
    if (!entry.is_folder && ParseModName(entry.name, n)) mods.push_back(n);
  }
  return mods;
}

bool RecordExists(int n) { return !g_record_folder.empty() && PathExists(RecordPath(n)); }

bool DeleteRecord(int n) { return !RecordExists(n) || DeletePath(RecordPath(n)); }

bool MoveRecord(int from, int to) {
  return MovePath(RecordPath(from), RecordPath(to));
}

bool SavePlan(const Plan& plan) {
  const std::string text = PlanText(plan);
  // A plan the repair could not read would repair nothing.
  Plan check;
  if (!ParsePlan(text, check)) return false;
  // Never over an unfinished plan: that command still needs repairing.
  return WriteRecordFile(PlanPath(), text, false);
}

PlanState LoadPlan(Plan& plan, std::string* text) {
  if (!PlanExists()) return PlanState::None;
  std::string data;
  const FileResult read = ReadWholeFile(PlanPath(), [&data](const void* bytes, std::size_t size) {
    data.append(static_cast<const char*>(bytes), size);
    return true;
  });
  if (text != nullptr) *text = data;
  if (read == FileResult::NotRegular || (read == FileResult::Refused && PathIsFolder(PlanPath()))) {
    return PlanState::Damaged;
  }
  if (read != FileResult::Done) return PlanState::Unreadable;
  return ParsePlan(data, plan) ? PlanState::Read : PlanState::Damaged;
}

bool PlanExists() { return !g_record_folder.empty() && PathExists(PlanPath()); }

bool DeletePlan() {
  const std::string temporary = TemporaryName(PlanPath());
  if (PathExists(temporary) && !DeletePath(temporary)) return false;
  return !PlanExists() || DeletePath(PlanPath());
}

std::string SetPlanAside() {
  for (int k = 1; k < 1000; ++k) {
    const std::string name =
        std::string(kPlanName) + ".damaged" + (k == 1 ? std::string() : std::to_string(k));
    const std::string path = g_record_folder + name;
    if (PathExists(path)) continue;
    return MovePath(PlanPath(), path) ? path : std::string();
  }
  return std::string();
}
