#pragma once
// Entry names: decoding them into the narrow encoding, and refusing those
// that are unsafe on their own or that land on the same file as another.
#include <string>
#include <vector>

#include "zip/archive.h"
#include "zip/entry.h"

namespace zip {

// Puts the reason of a refusal in `why` and answers false, for the
// refusing checks' returns.
inline bool Refuse(ArchiveProblem& why, ArchiveRefusal reason, const std::string& entry) {
  why = {reason, entry};
  return false;
}

// Why a name that does not decode is refused.
ArchiveRefusal UndecodableName(const std::string& raw_name);

// Decodes a name the record says is UTF-8 (the flag), or that an Info-ZIP
// Unicode path field gives (`unicode_path`, null when there is none). A
// name with neither is marked legacy, for DecodeNames to read. False when
// the name is not text the narrow encoding holds.
bool DecodeName(bool utf8_flag, const std::string* unicode_path, Entry& entry);

// Reads the legacy names, all one way, marks directory entries, and drops
// "." components (a name that is nothing but "./" comes out empty). False
// when a name does not decode or names no file, with the reason in `why`.
bool DecodeNames(std::vector<Entry>& entries, ArchiveProblem& why);

// Refuses names that are unsafe on their own (see IsSafeComponent) or that
// collide with another entry's: two entries on one file, or a file where
// another entry needs a folder. Where the install puts what a file replaces
// is the install's own matter. The reason of a refusal is put in `why`.
bool CheckEntryNames(const std::vector<Entry>& entries, ArchiveProblem& why);

}  // namespace zip
