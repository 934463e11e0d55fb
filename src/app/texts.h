#pragma once
// Every message the program shows, in UTF-8 (the front-ends show them
// through the platform's wide or UTF-8 calls, so they read correctly under
// every code page). Message boxes have the caption kErrorCaption.

// Captions of the install button.
extern const char* const kInstallCaption;
extern const char* const kUninstallCaption;
extern const char* const kFileNotFoundCaption;
extern const char* const kExtractToCaption;
extern const char* const kProcessingCaption;  // while a command runs, then with its progress

// The install command.
extern const char* const kProcessingError;
extern const char* const kExtractionError;
extern const char* const kUninstallError;
// Files the user changed after the install were kept; each follows, with
// the name it got (kKeptChangedAs), as the problems do below a command's
// message.
extern const char* const kKeptFilesNotice;
// An installed mod cannot be removed from the list or given another folder.
extern const char* const kRemoveInstalledError;
extern const char* const kBrowseInstalledError;
// The start-up repair of a command a crash interrupted; the archive follows.
extern const char* const kRepairUndone;
extern const char* const kRepairCompleted;
extern const char* const kRepairIncomplete;
// The plan of the interrupted command was damaged and was set aside without
// acting on it; the archive (when it can be read) and the plan's new name
// follow.
extern const char* const kRepairDamagedPlan;

// The settings file could not be written; its path follows.
extern const char* const kSettingsWriteError;
// The program's own folder is too long for its settings file.
extern const char* const kProgramDirectoryTooLong;

// A path chosen in a dialog that the program cannot use; the path follows.
extern const char* const kPathNotRepresentable;
extern const char* const kPathTooLong;

// The menu of a mod's row. Its boxes report rather than fail: they have the
// caption kInfoBoxCaption (window.h).
extern const char* const kMenuCheckFiles;
extern const char* const kMenuOpenFolder;
extern const char* const kMenuShowArchive;
// "Check Files": the counts, each followed by its number.
extern const char* const kCheckIntact;
extern const char* const kCheckChanged;
extern const char* const kCheckMissing;
extern const char* const kCheckUnreadable;
// Prefixes of the listed files that differ.
extern const char* const kCheckChangedMark;
extern const char* const kCheckMissingMark;
// The originals the install moved aside.
extern const char* const kCheckNoBackups;
extern const char* const kCheckBackupsKept;  // every one is there; the count follows
extern const char* const kCheckBackupsGone;  // the count follows, then their backup names
extern const char* const kCheckNoRecord;
extern const char* const kCheckUnreadableRecord;
// "Open Folder" and "Show Archive"; the path follows where there is one.
extern const char* const kNoFolderSet;
extern const char* const kFolderGone;
extern const char* const kArchiveGone;
extern const char* const kShellOpenFailed;

// --- What went wrong, below a command's message -------------------------------
// After an empty line, one line per problem: the file, kProblemSeparator and
// why; the first kMaxProblemsShown, then "(+N)".
#include <cstddef>

#include "engine/problem.h"

constexpr std::size_t kMaxProblemsShown = 10;
extern const char* const kProblemSeparator;
// Why, for each reason: the reader's refusals, the file seam's causes, and
// the checks' own findings.
const char* ArchiveRefusalText(ArchiveRefusal reason);
const char* FileCauseText(FileCause cause);
const char* ProblemKindText(ProblemKind kind);
// A backup name that is taken: by the installed mod named at "%s" (as the
// list shows it), or by the file at "%s", which no installed mod made.
extern const char* const kBackupTakenByMod;
extern const char* const kBackupTakenOnDisk;
// A changed file kept under the name at "%s" rather than deleted.
extern const char* const kKeptChangedAs;
// A file changed after a crash, left in its place by the repair, and where
// its original is ("%s").
extern const char* const kLeftChanged;
extern const char* const kOriginalAt;
// A step of a failed command that could not be taken back, and a file that
// could not be moved back from "%s"; the cause follows.
extern const char* const kNotUndone;
extern const char* const kNotMovedBack;
