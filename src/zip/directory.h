#pragma once
// The central directory: every record read and checked into an entry, the
// whole archive refused on anything corrupt, unsupported or unsafe.
#include <vector>

#include "zip/archive.h"
#include "zip/end_record.h"
#include "zip/entry.h"
#include "zip/file.h"

namespace zip {

// Entries in directory order; false when the archive is refused, with the
// reason in `why`.
bool ReadDirectory(File& file, const Layout& layout, std::vector<Entry>& entries,
                   ArchiveProblem& why);

}  // namespace zip
