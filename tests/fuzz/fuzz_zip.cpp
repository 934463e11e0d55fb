// The zip reader, used as an install uses it: the archive's entries planned
// into a folder (every one enumerated, its target formed), then each file
// entry's data read, once more through a second handle as the install's
// other threads do. Besides memory errors and undefined behaviour: the
// count agrees between the ways of asking, an archive that is accepted only
// ever names targets inside the folder, and a read that succeeds delivers
// exactly the size the directory gives.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zip/archive.h"
#include "engine/entries.h"
#include "fuzz_support.h"

using namespace fuzz;

namespace {

// An entry's data is only counted; a deflate bomb would otherwise make a
// few kilobytes of input take minutes. Past this the sink says stop, which
// the reader must take as a failed read.
constexpr std::uint64_t kMaxBytesRead = 64ull << 20;

struct Folder {
  std::string root;     // private scratch folder
  std::string archive;  // where each input is written
  std::string game;     // the folder the entries are planned into
};

const Folder& TheFolder() {
  static const Folder folder = [] {
    Folder made;
    made.root = MakeScratchFolder("qv-fuzz-zip");
    made.archive = made.root + "/input.zip";
    made.game = made.root + "/game";
    fuzz::MakeFolder(made.game);
    return made;
  }();
  return folder;
}

bool Inside(const std::string& folder, const std::string& target) {
  if (target.compare(0, folder.size() + 1, folder + "/") != 0) return false;
  // No component may climb out again.
  const std::string rest = "/" + target.substr(folder.size() + 1) + "/";
  return rest.find("/../") == std::string::npos && target.find('\0') == std::string::npos;
}

// Reads one entry; returns whether the reader said it succeeded.
bool ReadEntry(ArchiveHandle archive, const ArchiveEntryInfo& info) {
  std::uint64_t received = 0;
  const bool read = ArchiveReadEntry(archive, info, [&received](const void* data, std::size_t size) {
    if (size != 0 && data == nullptr) FuzzFail("the reader handed out null data of size %zu", size);
    // Touch every byte handed out, so that a read past a buffer shows.
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    volatile unsigned char sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum = static_cast<unsigned char>(sum + bytes[i]);
    received += size;
    return received <= kMaxBytesRead;
  });
  if (read && received != info.size) {
    FuzzFail("entry %s read as %llu bytes, its directory says %llu", info.name.c_str(),
             static_cast<unsigned long long>(received), static_cast<unsigned long long>(info.size));
  }
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Folder& folder = TheFolder();
  WriteBytes(folder.archive, std::string(reinterpret_cast<const char*>(data), size));

  const long long counted = ArchiveCountEntries(folder.archive);
  std::vector<PlannedEntry> entries;
  ArchiveHandle archive = nullptr;
  const bool planned = PlanEntries(folder.game, folder.archive, entries, &archive);
  if (!planned) {
    if (archive != nullptr) FuzzFail("PlanEntries failed but left the archive open");
    if (!entries.empty()) FuzzFail("PlanEntries failed but left %zu entries", entries.size());
    return 0;
  }
  if (archive == nullptr) FuzzFail("PlanEntries succeeded without an open archive");
  const long long count = ArchiveEntryCount(archive);
  if (counted != count || count != static_cast<long long>(entries.size())) {
    FuzzFail("entry counts disagree: ArchiveCountEntries %lld, ArchiveEntryCount %lld, planned %zu",
             counted, count, entries.size());
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PlannedEntry& entry = entries[i];
    if (entry.info.position != i) FuzzFail("entry %zu says it is at position %zu", i, entry.info.position);
    if (!Inside(folder.game, entry.target)) {
      FuzzFail("accepted entry %s lands outside the folder: %s", entry.info.name.c_str(),
               entry.target.c_str());
    }
  }

  // The install's other threads read through handles of their own.
  ArchiveHandle again = ArchiveOpenAgain(archive);
  for (const PlannedEntry& entry : entries) {
    if (entry.info.is_directory) continue;
    const bool first = ReadEntry(archive, entry.info);
    if (again != nullptr) {
      const bool second = ReadEntry(again, entry.info);
      if (first != second) {
        FuzzFail("entry %s read %s through one handle and %s through another",
                 entry.info.name.c_str(), first ? "whole" : "not", second ? "whole" : "not");
      }
    }
  }
  if (again != nullptr) ArchiveClose(again);
  ArchiveClose(archive);
  return 0;
}
