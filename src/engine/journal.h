#pragma once
// The steps an install or an uninstall takes on a destination folder, each
// recorded as it succeeds, so that a command that fails part-way can put
// every file back where it was. Paths are full paths; each step reaches the
// file itself (on Windows, long paths through the current folder).
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "zip/archive.h"

struct JournalStep {
  enum Kind { Moved, CreatedFile, CreatedFolder } kind;
  std::string path;   // moved from, or created
  std::string other;  // moved to
};

// Steps taken on several threads at once are recorded in the order they
// ended; none depends on another's being undone first.
struct Journal {
  std::vector<JournalStep> steps;
  std::mutex guard;
  void Add(JournalStep step) {
    const std::lock_guard<std::mutex> lock(guard);
    steps.push_back(std::move(step));
  }
};

// Turns units of work done into whole percents for a progress report, and
// reports each new percent once. Files count their bytes and a fixed share
// each, so that a mod of many small files moves on too. Threads of one
// command may share it.
class ProgressMeter {
 public:
  static constexpr std::uint64_t kPerFile = 16 * 1024;
  ProgressMeter(std::function<void(int)> report, std::uint64_t total)
      : report_(std::move(report)), total_(total == 0 ? 1 : total) {}
  void Advance(std::uint64_t units);
  // Corrects the total once the work is better known. Never makes the
  // reported percent go back.
  void SetTotal(std::uint64_t total) {
    const std::lock_guard<std::mutex> lock(guard_);
    total_ = total == 0 ? 1 : total;
  }
  std::uint64_t done() {
    const std::lock_guard<std::mutex> lock(guard_);
    return done_;
  }

 private:
  std::mutex guard_;
  std::function<void(int)> report_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  int shown_ = -1;
};

// Renames within one folder, never replacing an existing destination.
bool MoveStep(Journal& journal, const std::string& from, const std::string& to);
// Creates `path` (which must not exist) with the entry's data and time.
bool WriteEntryStep(Journal& journal, const std::string& path, ArchiveHandle archive,
                    const ArchiveEntryInfo& entry, ProgressMeter* meter = nullptr);

// Takes every recorded step back, newest first, and empties the journal.
// False when some step could not be taken back (the rest still were).
bool UndoJournal(Journal& journal);

// What a command learns of its destination folder: each folder below `root`
// is listed once, when first asked about, and every later question about a
// name in it is answered from that list, not by another call. It knows the
// folder as it was when asked: the checks before a command's first change
// use it. (Names compare as FileKey does.)
class FolderIndex {
 public:
  enum class Kind { Missing, File, Folder };
  explicit FolderIndex(std::string root) : root_(std::move(root)) {}
  // `path` is `root` or a full path below it.
  Kind Lookup(const std::string& path);
  bool Exists(const std::string& path) { return Lookup(path) != Kind::Missing; }
  bool IsFolder(const std::string& path) { return Lookup(path) == Kind::Folder; }

  // The spelling under which `path` (below the root) is to be used. Where
  // the file system tells case apart (Linux), a mod made for Windows may say
  // Data/Textures where the game has data/textures: each component takes
  // the spelling of what exists (the exact one if it is there, else the
  // first in byte order), or of what an earlier path of this command chose,
  // and keeps its own otherwise. Unchanged on Windows, whose file systems
  // match names without regard to case themselves.
  std::string Resolve(const std::string& path);

 private:
  struct Listing {
    bool listed = false;
    std::unordered_map<std::string, Kind> names;
    // Where case matters: the spellings of each folded name, existing and
    // chosen by this command.
    std::unordered_map<std::string, std::string> spelling;
  };
  Listing& ListingOf(const std::string& folder);
  std::string root_;
  std::unordered_map<std::string, Listing> folders_;
};

// Tests on full paths, reaching them as the steps do.
bool PathExists(const std::string& path);
bool PathIsFolder(const std::string& path);
// Deletes a file for good; not recorded (nothing could bring it back).
bool DeletePath(const std::string& path);
// Renames file `from` over file `to` in one step, within one folder; not
// recorded (what was at `to` is gone for good).
bool ReplacePath(const std::string& from, const std::string& to);

// The file entries of an archive, enumerated with every call checked.
struct PlannedEntry {
  ArchiveEntryInfo info;
  std::string target;  // full target path
};
// False when the archive cannot be read, an enumeration ends early, or a
// target path in `folder` cannot be formed. Directory entries are included.
// With `keep`, the archive stays open there for the extraction (closed and
// null on failure): its directory is then read and checked once.
bool PlanEntries(const std::string& folder, const std::string& archive_path,
                 std::vector<PlannedEntry>& entries, ArchiveHandle* keep = nullptr);

// Removes a folder if it is empty. True when it is gone or holds something
// (then it is not this command's to remove).
bool RemoveFolderIfEmpty(const std::string& path);
