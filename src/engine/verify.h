#pragma once
// Whether an installed mod's folder still holds what its install wrote: a
// probe of every file the record names and of every backup it made. Reads
// only; nothing on disk changes.
#include <cstddef>
#include <string>
#include <vector>

#include "engine/progress.h"
#include "engine/record.h"

struct VerifyReport {
  // A file of the record that does not hold what the install wrote, by its
  // path relative to the folder, in the record's order.
  struct Difference {
    std::string path;
    bool missing = false;  // not there at all; otherwise changed since
  };
  std::size_t intact = 0;
  std::size_t changed = 0;
  std::size_t missing = 0;
  // Files that could not be read now (another program holds them).
  std::size_t unreadable = 0;
  std::vector<Difference> differences;
  // Originals the install moved aside: how many are still under their
  // backup name, and the backup names of those that are not.
  std::size_t backups_present = 0;
  std::vector<std::string> backups_gone;
};

// `meter` (may be null) is told the bytes read and a share per file.
VerifyReport VerifyInstalledFiles(const InstallRecord& record, ProgressMeter* meter);
// The work VerifyInstalledFiles reports to its meter, for the meter's total.
std::uint64_t VerifyWork(const InstallRecord& record);
