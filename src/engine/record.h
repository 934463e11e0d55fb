#pragma once
// What an install did, kept on disk until the uninstall has taken it back,
// and the plan of the command that is running, written before its first
// change so that the next start can finish or undo a command a crash
// interrupted. Both live in the record folder beside the settings file.
//
// Every path inside is relative to the record's folder, with the platform's
// separators. Files are written whole and flushed, under a temporary name,
// then renamed into place: a crash leaves the old file or the new one.
#include <cstdint>
#include <string>
#include <vector>

// The folder that holds the records, with its trailing separator; set once
// at start-up. Empty: no records (every install is refused).
void SetRecordFolder(const std::string& folder);
const std::string& RecordFolder();

struct RecordedMove {
  std::string from;
  std::string to;
};

struct InstallRecord {
  std::string archive;  // the archive as it was installed from
  std::string folder;   // the destination folder
  struct File {
    std::string path;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    // False for a file of a mod installed before records existed: it is
    // removed whatever it holds, as then.
    bool verify = true;
  };
  std::vector<File> files;              // created by the install
  std::vector<RecordedMove> originals;  // target -> backup name
  std::vector<std::string> folders;     // created, each after its parent
};

// Full path of a path of the record.
std::string InFolder(const InstallRecord& record, const std::string& relative);

bool SaveRecord(int n, const InstallRecord& record);
// False when mod n has no record or it cannot be read.
bool LoadRecord(int n, InstallRecord& record);
bool RecordExists(int n);
bool DeleteRecord(int n);
// Renames mod `from`'s record to `to`'s, which must have none.
bool MoveRecord(int from, int to);

enum class PlanKind { Install, Uninstall, Remove };

struct Plan {
  PlanKind kind = PlanKind::Install;
  int mod = 0;
  // Install: what the install will have done. Uninstall: what it undoes.
  InstallRecord record;
  // Uninstall: the installed files the user changed, each moved to a name
  // of its own that is kept (before the commit).
  std::vector<RecordedMove> kept;
  // Uninstall: the installed files that still hold what was written, each
  // deleted where it is once the uninstall has committed, before its
  // original comes back. (in_place)
  std::vector<std::string> to_delete;
  // An uninstall plan of an earlier version (in_place false) instead moved
  // them out of the way to names deleted after the commit (set_aside), and
  // put the originals back before it. Remove: each record's move down.
  bool in_place = true;
  std::vector<RecordedMove> set_aside;
  // Remove: the number of mods before the removal of `mod`; the records of
  // every later mod move down by one.
  int count = 0;
};

// The text of a record or a plan as SaveRecord and SavePlan write it, and
// its strict reading: false, with the output unspecified, for anything that
// is not exactly what they write (a damaged file is never half-acted upon).
std::string RecordText(const InstallRecord& record);
std::string PlanText(const Plan& plan);
bool ParseRecord(const std::string& text, InstallRecord& record);
bool ParsePlan(const std::string& text, Plan& plan);

bool SavePlan(const Plan& plan);
// False when there is no plan. `readable` tells a plan that is there but
// cannot be read apart.
bool LoadPlan(Plan& plan, bool* readable = nullptr);
bool PlanExists();
bool DeletePlan();
