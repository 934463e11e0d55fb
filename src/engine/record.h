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
// Its inverse: `path` relative to `folder`, or `path` itself when it lies
// outside.
std::string OutOfFolder(const std::string& folder, const std::string& path);

// False, with nothing written, when the record could not be read back as
// it is (a path that leaves its folder, a control character in a name).
bool SaveRecord(int n, const InstallRecord& record);
// False when mod n has no record or it cannot be read. `sealed` as for
// ParseRecord.
bool LoadRecord(int n, InstallRecord& record, bool* sealed = nullptr);
bool RecordExists(int n);
// The mods that have a record, in no particular order.
std::vector<int> RecordedMods();
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
  // put the originals back before it.
  bool in_place = true;
  std::vector<RecordedMove> set_aside;
  // Remove: the number of mods before the removal of `mod`, and the later
  // mods that have a record, in order: each record moves down by one.
  int count = 0;
  std::vector<int> renumbered;
};

// The text of a record or a plan as SaveRecord and SavePlan write it, and
// its strict reading: false, with the output unspecified, for anything that
// is not exactly what they write (a damaged file is never half-acted upon).
std::string RecordText(const InstallRecord& record);
std::string PlanText(const Plan& plan);
// `sealed` tells a record that carries the check a current writer adds (an
// earlier version's has none).
bool ParseRecord(const std::string& text, InstallRecord& record, bool* sealed = nullptr);
bool ParsePlan(const std::string& text, Plan& plan);
// The archive a damaged record or plan names, when that line can still be
// read; empty otherwise. Only for telling the user which mod it was about.
std::string ArchiveNamedIn(const std::string& text);

// Where the plan of the command under way, and mod n's record, are kept.
std::string PlanPath();
std::string RecordPath(int n);
bool SavePlan(const Plan& plan);

enum class PlanState {
  None,        // no plan: no command was interrupted
  Read,        // read whole and as written
  Damaged,     // there, but not a plan as written (or no file at all)
  Unreadable,  // there, but could not be read now (held, refused)
};
// With `text`, the bytes read (for a damaged plan's message).
PlanState LoadPlan(Plan& plan, std::string* text = nullptr);
bool PlanExists();
bool DeletePlan();
// Moves a damaged plan to a name of its own in the record folder: it is the
// only trace of what happened, so it is never deleted. The name it got;
// empty when it could not be moved (it stays the plan).
std::string SetPlanAside();
