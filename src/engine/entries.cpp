#include "engine/entries.h"

#include "rules/paths.h"

bool PlanEntries(const std::string& folder, const std::string& archive_path,
                 std::vector<PlannedEntry>& entries, ArchiveHandle* keep) {
  entries.clear();
  if (keep != nullptr) *keep = nullptr;
  const ArchiveHandle archive = ArchiveOpen(archive_path);
  if (archive == nullptr) return false;
  const long long count = ArchiveEntryCount(archive);
  bool ok = true;
  ArchiveEntryInfo info;
  for (long long i = 0; ok && i < count; ++i) {
    ok = i == 0 ? ArchiveFindFirst(archive, info) : ArchiveFindNext(archive, info);
    if (!ok) break;
    PlannedEntry planned;
    planned.info = info;
    ok = TargetPath(folder, info.name, planned.target);
    if (ok) entries.push_back(std::move(planned));
  }
  if (ok && keep != nullptr) {
    *keep = archive;
    return true;
  }
  ArchiveClose(archive);
  if (!ok) entries.clear();
  return ok;
}
