#include "engine/entries.h"

#include "rules/paths.h"

bool PlanEntries(const std::string& folder, const std::string& archive_path,
                 std::vector<PlannedEntry>& entries, ArchiveHandle* keep,
                 ProblemList* problems) {
  entries.clear();
  if (keep != nullptr) *keep = nullptr;
  // A refusal about the archive as a whole names the archive.
  const auto refused = [&](const ArchiveProblem& why) {
    if (problems == nullptr) return;
    const std::string& file = why.entry.empty() ? archive_path : why.entry;
    problems->Add(Problem(ProblemKind::ArchiveRefused, file, why.reason));
  };
  ArchiveProblem why;
  const ArchiveHandle archive = ArchiveOpen(archive_path, &why);
  if (archive == nullptr) {
    refused(why);
    return false;
  }
  const long long count = ArchiveEntryCount(archive);
  bool ok = true;
  ArchiveEntryInfo info;
  for (long long i = 0; ok && i < count; ++i) {
    ok = i == 0 ? ArchiveFindFirst(archive, info) : ArchiveFindNext(archive, info);
    if (!ok) {
      refused({ArchiveRefusal::DamagedData, std::string()});
      break;
    }
    PlannedEntry planned;
    planned.info = info;
    ok = TargetPath(folder, info.name, planned.target);
    if (ok) {
      entries.push_back(std::move(planned));
    } else if (problems != nullptr) {
      problems->Add(Problem(ProblemKind::NameTooLong, info.name));
    }
  }
  if (ok && keep != nullptr) {
    *keep = archive;
    return true;
  }
  ArchiveClose(archive);
  if (!ok) entries.clear();
  return ok;
}
