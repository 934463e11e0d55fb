#pragma once
#include <string>
#include <vector>

#include "engine/problem.h"
#include "zip/archive.h"

// The file entries of an archive, enumerated with every call checked.
struct PlannedEntry {
  ArchiveEntryInfo info;
  std::string target;  // full target path
};
// False when the archive cannot be read, an enumeration ends early, or a
// target path in `folder` cannot be formed. Directory entries are included.
// With `keep`, the archive stays open there for the extraction (closed and
// null on failure): its directory is then read and checked once. Why it
// failed goes to `problems` when given.
bool PlanEntries(const std::string& folder, const std::string& archive_path,
                 std::vector<PlannedEntry>& entries, ArchiveHandle* keep = nullptr,
                 ProblemList* problems = nullptr);
