// Install and uninstall over real folders, through the install command.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "app/app.h"
#include "app/background.h"
#include "app/mod_menu.h"
#include "app/texts.h"
#include "platform/files.h"
#include "engine/install.h"
#include "engine/record.h"
#include "app/modlist.h"
#include "settings/settings.h"
#include "support/recording_window.h"
#include "support/fault.h"
#include "support/sandbox.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Tree = std::map<std::string, std::string>;

// A path relative to the mod's folder, as the messages name it.
std::string Rel(std::string path) {
  std::replace(path.begin(), path.end(), '/', kSep);
  return path;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDirectory(settings.path() + kSep);
    // As after the program's first run: the record folder is there.
    settings.MakeDir(kRecordFolderName);
    SetRecordFolder(settings.Join(kRecordFolderName) + kSep);
    // The folder a user's game would be in, with files mods replace.
    game.WriteFile("a.txt", "original a\n");
    game.WriteFile("data/b.dat", "original b");
    game.WriteFile("data/a.txt", "original data a");
    game.WriteFile("keep/other.txt", "untouched");
    game.WriteFile("README", "original readme");
  }
  void TearDown() override {
    FailFileOperation(0);
    SetProgramDirectory(std::string());
    SetRecordFolder(std::string());
    ModCount = 0;
  }

  void Record(int n, const std::string& fixture) {
    ASSERT_TRUE(WriteFileName(n, FixturePath(fixture).c_str()));
    ASSERT_TRUE(WriteExtractTo(n, game.path().c_str()));
  }
  void Click(int n) {
    window.selected = n;
    ToggleInstall();
  }
  Tree Now() const { return Snapshot(game.path()); }

  // After an uninstall the tree is as before, but for folders the mod made.
  void ExpectRestored(const Tree& before) {
    const Tree after = Now();
    for (const auto& item : before) {
      auto found = after.find(item.first);
      ASSERT_NE(found, after.end()) << item.first;
      EXPECT_EQ(found->second, item.second) << item.first;
    }
    for (const auto& item : after) {
      if (before.count(item.first) == 0) {
        EXPECT_EQ(item.second, "<dir>") << item.first;
      }
    }
  }

  // The game folder, the settings file and the records: all a command or
  // the repair after it may change.
  // The game's files' attributes and times count too: an original must
  // come back as it was, not only with its contents.
  struct State {
    Tree game;
    Tree settings;
    Tree attributes;
    bool operator==(const State& other) const {
      return game == other.game && settings == other.settings && attributes == other.attributes;
    }
  };
  State Whole() const { return {Now(), Snapshot(settings.path()), Attributes(game.path())}; }
  void Reset(const State& state) {
    window.errors.clear();
    game.Restore(state.game);
    RestoreAttributes(game.path(), state.attributes);
    settings.Restore(state.settings);
  }

  // A command's message, or the repair's, names the file whose step failed:
  // a line below its text starts with that file, relative to the game folder or in full (for
  // a backup, the file it saves may be named instead: its name up to the
  // backup extension is what must be there).
  void ExpectNamed(const std::string& path) {
    if (window.errors.empty() || path.empty()) return;
    const std::string& message = window.errors.front();
    bool toggle = false;  // the install command's; the list's own say nothing more
    for (const char* text : {kProcessingError, kExtractionError, kUninstallError, kRepairIncomplete}) {
      toggle = toggle || message.compare(0, std::strlen(text), text) == 0;
    }
    if (!toggle) return;
    const std::string base = game.path() + kSep;
    std::string file = path.compare(0, base.size(), base) == 0 ? path.substr(base.size()) : path;
    const std::size_t separator = file.find_last_of(kSep);
    const std::size_t name = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot >= name) file.erase(dot);
    const std::size_t size = file.size();
    if (size > 3 && file.compare(size - 3, 3, "qvs") == 0) file.erase(size - 3);
    const std::size_t below = message.find("\n\n");
    ASSERT_NE(below, std::string::npos) << message;
    EXPECT_NE(message.find("\n" + file, below + 1), std::string::npos)
        << message << "\nfailed: " << path;
  }

  // Runs `command` from `before` with its k-th changing step held by
  // another program for two tries (the command must succeed) and for good,
  // failed (the command takes back what it did) and, again, crashed at (that
  // step and every later one fail: nothing more happens, not even an undo),
  // for every k the command reaches. Each time the start-up repair follows,
  // itself crashed at each of its steps in turn and then run again. The state
  // must then be `before` or `after`, byte for byte. Returns the number of
  // steps the command takes.
  template <typename Command>
  int CheckEveryStep(Command command, const State& before, const State& after,
                     bool held_too = true) {
    for (int k = 1;; ++k) {
      for (const int hold : {2, kHeldForGood}) {
        if (!held_too) break;
        SCOPED_TRACE("k=" + std::to_string(k) + " held " + std::to_string(hold));
        Reset(before);
        HoldFileOperation(k, hold);
        command();
        const std::string held = FailedFilePath();
        FailFileOperation(0);
        if (hold > 0) {
          EXPECT_TRUE(Whole() == after);
          continue;
        }
        ExpectNamed(held);
        RepairAtStartUp();
        const State now = Whole();
        EXPECT_TRUE(now == before || now == after);
      }
      for (const bool crash : {false, true}) {
        SCOPED_TRACE("k=" + std::to_string(k) + (crash ? " crashed" : " failed"));
        Reset(before);
        FailFileOperation(k, crash);
        command();
        const int reached = FileOperationCount();
        const std::string failed = FailedFilePath();
        FailFileOperation(0);
        if (reached < k) {  // it never got there: it succeeded
          EXPECT_TRUE(Whole() == after);
          return k - 1;
        }
        if (!crash) ExpectNamed(failed);
        const State interrupted = Whole();
        for (int j = 1;; ++j) {
          Reset(interrupted);
          FailFileOperation(crash ? j : 0, true);
          RepairAtStartUp();
          const int repair_steps = FileOperationCount();
          if (repair_steps >= j) ExpectNamed(FailedFilePath());
          FailFileOperation(0);
          RepairAtStartUp();
          const State now = Whole();
          EXPECT_TRUE(now == before || now == after) << "repair crashed at " << j;
          if (!(now == before || now == after)) return k;
          if (!crash || repair_steps < j) break;
        }
      }
    }
  }

  Sandbox settings;
  Sandbox game;
  RecordingWindow window;
};

TEST_F(EngineTest, RoundTripsLeaveTheFolderAsItWas) {
  for (const char* fixture : {"mod_mixed.zip", "mod_stored.zip", "mod_dirs.zip", "mod_long.zip",
                              "mod_dot_names.zip", "mod_cp932.zip", "mod_blank.zip"}) {
    SCOPED_TRACE(fixture);
    Record(0, fixture);
    const Tree before = Now();
    for (const char* state : {"UnInstall", "Install"}) {
      window.captions_seen.clear();
      window.progress_seen.clear();
      Click(0);
      ASSERT_TRUE(window.errors.empty()) << window.errors.front();
      // "Processing..." at once, the progress counting up to 100%, then
      // the state the command left.
      EXPECT_EQ(window.captions_seen.front(), "Processing...");
      EXPECT_TRUE(std::is_sorted(window.progress_seen.begin(), window.progress_seen.end()));
      ASSERT_FALSE(window.progress_seen.empty());
      EXPECT_EQ(window.progress_seen.back(), 100);
      EXPECT_EQ(window.captions_seen.back(), state);
      EXPECT_EQ(IsExtracted(0), std::string(state) == "UnInstall");
    }
    ExpectRestored(before);
  }
}

// While a command runs in the background, every other command and refresh
// waits; a close then waits until it is over and ends the dialog after it.
TEST_F(EngineTest, ACloseDuringACommandWaitsForItsEnd) {
  Record(0, "mod_mixed.zip");
  window.hold_background = true;
  window.selected = 0;
  window.left = 321;
  DispatchCommand(InstallButton);
  EXPECT_TRUE(CommandRunning());
  EXPECT_FALSE(window.controls_enabled);
  EXPECT_EQ(window.install_caption, "Processing...");
  window.selected = -1;
  DispatchCommand(RemoveModButton);
  RefreshControls();
  EXPECT_EQ(window.install_caption, "Processing...");
  EXPECT_FALSE(RequestClose());
  EXPECT_EQ(window.ended_with, -1);

  window.selected = 0;
  window.held_work();
  window.held_done();
  EXPECT_FALSE(CommandRunning());
  EXPECT_TRUE(window.controls_enabled);
  EXPECT_TRUE(IsExtracted(0));
  EXPECT_EQ(window.install_caption, "UnInstall");
  EXPECT_EQ(window.ended_with, kExitStatus);
  EXPECT_EQ(ReadWindowValue("Left", 0), 321);
}

// "Check Files" reads the folder against the record and changes nothing:
// not the folder, the settings file or the record.
TEST_F(EngineTest, CheckFilesReportsChangedMissingAndLostBackupsAndChangesNothing) {
  Record(0, "mod_mixed.zip");
  Record(1, "mod_mixed.zip");
  ModCount = 2;
  Click(0);
  ASSERT_TRUE(window.errors.empty());
  game.WriteFile("new.txt", "edited\n");
  ASSERT_EQ(DeleteRegularFile(game.Join("sub/deep/er/still/z.txt")), FileResult::Done);
  ASSERT_EQ(DeleteRegularFile(game.Join("data/b.qvs")), FileResult::Done);
  const State before = Whole();
  window.captions_seen.clear();

  RunMenuItem(0, MenuItem::CheckFiles);
  RunMenuItem(1, MenuItem::CheckFiles);  // not installed: no record
  const std::string s(1, kSep);
  const std::string expected =
      std::string(kCheckIntact) + "3\n" + kCheckChanged + "1\n" + kCheckMissing + "1\n" +
      kCheckChangedMark + "new.txt\n" + kCheckMissingMark + "sub" + s + "deep" + s + "er" + s +
      "still" + s + "z.txt\n\n" + kCheckBackupsGone + "1\ndata" + s + "b.qvs";
  EXPECT_EQ(window.notices, (std::vector<std::string>{expected, kCheckNoRecord}));
  EXPECT_TRUE(window.errors.empty());
  EXPECT_EQ(window.captions_seen.front(), kProcessingCaption);
  EXPECT_TRUE(Whole() == before);

  // Past ten files the rest are counted.
  VerifyReport many;
  for (int i = 0; i < 12; ++i) many.differences.push_back({"f" + std::to_string(i), i % 2 == 0});
  const std::string text = CheckFilesText(many, 0);
  EXPECT_NE(text.find(std::string(kCheckChangedMark) + "f9\n(+2)\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("f10"), std::string::npos);
}

TEST_F(EngineTest, InstallSavesOriginalsAndWritesTheModsFiles) {
  Record(0, "mod_mixed.zip");
  Click(0);
  ASSERT_TRUE(window.errors.empty());
  EXPECT_EQ(game.ReadFile("a.txt"), "mod a\n");
  EXPECT_EQ(game.ReadFile("a.qvs"), "original a\n");
  EXPECT_EQ(game.ReadFile("data/b.qvs"), "original b");
  EXPECT_EQ(game.ReadFile("READMEqvs"), "original readme");
  EXPECT_EQ(game.ReadFile("sub/deep/er/still/z.txt"), "deep");
  EXPECT_TRUE(game.Exists("empty-folder"));
  EXPECT_EQ(game.ReadFile("keep/other.txt"), "untouched");

  // The uninstallation leaves the folders it made, as the user may have
  // put files of their own there.
  Click(0);
  EXPECT_EQ(game.ReadFile("a.txt"), "original a\n");
  EXPECT_FALSE(game.Exists("a.qvs"));
  EXPECT_FALSE(game.Exists("new.txt"));
  EXPECT_TRUE(game.Exists("sub/deep/er/still"));
  EXPECT_FALSE(game.Exists("sub/deep/er/still/z.txt"));
}

TEST_F(EngineTest, ASecondModOverTheSameFileIsRefusedAndRolledBack) {
  Record(0, "mod_over_a.zip");
  Record(1, "mod_over_a_too.zip");
  Click(0);
  ASSERT_TRUE(window.errors.empty());
  const Tree after_first = Now();
  Click(1);
  ASSERT_EQ(window.errors.size(), 1u);
  // The original's backup is the first mod's, and it is named.
  EXPECT_EQ(window.errors[0],
            kProcessingError +
                Below({ProblemLine(Rel("data/a.txt"), Fill(kBackupTakenByMod, "mod_over_a.zip"))}));
  EXPECT_FALSE(IsExtracted(1));
  EXPECT_EQ(Now(), after_first);

  // Once the first is gone, the second goes in.
  Click(0);
  Click(1);
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(game.ReadFile("data/a.txt"), "second mod");
  EXPECT_EQ(game.ReadFile("data/a.qvs"), "original data a");
}

TEST_F(EngineTest, FilesSharingABackupNameAreRefusedWhenAnyExists) {
  Record(0, "mod_txt_dat.zip");
  // a.txt exists, a.dat does not: the uninstallation could not tell whose
  // original a.qvs is, so the installation is refused.
  const Tree before = Now();
  Click(0);
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(window.errors[0], kProcessingError + Below({ProblemLine(
                                  "a.txt", ProblemKindText(ProblemKind::BackupShared))}));
  EXPECT_EQ(Now(), before);

  // With neither there, nothing needs saving and both come and go.
  game.WriteFile("a.dat", "");
  ASSERT_TRUE(WriteExtractTo(0, game.Join("keep").c_str()));
  const Tree keep_before = Now();
  Click(0);
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(game.ReadFile("keep/a.dat"), "d");
  Click(0);
  EXPECT_EQ(Now(), keep_before);
}

TEST_F(EngineTest, ABackupLeftByAnotherModBlocksANewFileOfTheSameName) {
  // Another mod replaced x.txt; this one would add x.dat, whose backup name
  // is the other mod's backup of x.txt.
  game.WriteFile("data/b.qvs", "someone else's original");
  ASSERT_TRUE(WriteFileName(0, FixturePath("mod_mixed.zip").c_str()));
  ASSERT_TRUE(WriteExtractTo(0, game.path().c_str()));
  game.WriteFile("data/b.dat", "x");
  const Tree before = Now();
  Click(0);
  ASSERT_EQ(window.errors.size(), 1u);
  // No installed mod's record holds it: the backup itself is named.
  const std::string on_disk = Fill(kBackupTakenOnDisk, Rel("data/b.qvs"));
  EXPECT_EQ(window.errors[0], kProcessingError + Below({ProblemLine(Rel("data/b.dat"), on_disk)}));
  EXPECT_EQ(Now(), before);

  // Twelve of them: the first ten are listed, the rest counted.
  Record(1, "mod_many.zip");
  std::vector<std::string> lines;
  for (int i = 0; i < 12; ++i) {
    const std::string name = (i < 10 ? "m0" : "m1") + std::to_string(i % 10);
    game.WriteFile(name + ".txt", "game");
    game.WriteFile(name + ".qvs", "left behind");
    if (i < 10) lines.push_back(ProblemLine(name + ".txt", Fill(kBackupTakenOnDisk, name + ".qvs")));
  }
  lines.push_back("(+2)");
  window.errors.clear();
  Click(1);
  EXPECT_EQ(window.errors, std::vector<std::string>{kProcessingError + Below(lines)});
}

TEST_F(EngineTest, EmptyArchivesAndDirectoryEntries) {
  Record(0, "mod_empty.zip");
  const Tree before = Now();
  Click(0);
  EXPECT_TRUE(window.errors.empty());
  EXPECT_TRUE(IsExtracted(0));
  EXPECT_EQ(Now(), before);
  Click(0);
  EXPECT_TRUE(window.errors.empty());
  EXPECT_FALSE(IsExtracted(0));

  // A folder that already exists under a directory entry is left alone.
  game.MakeDir("textures");
  Record(1, "mod_dirs.zip");
  Click(1);
  EXPECT_TRUE(window.errors.empty());
  EXPECT_EQ(game.ReadFile("textures/hi/t.png"), "png");
  Click(1);
  EXPECT_TRUE(game.Exists("textures/hi"));
  EXPECT_FALSE(game.Exists("textures/hi/t.png"));
}

TEST_F(EngineTest, AJapaneseNameEndingIn5CIsAFile) {
  Record(0, "mod_sjis.zip");
  const Tree before = Now();
  Click(0);
#ifdef _WIN32
  if (GetACP() != 932) {
    // Under another code page the bytes end in a backslash: the name is
    // not one this system can create, and the archive is refused.
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_EQ(Now(), before);
    return;
  }
  const std::string name = "data/\x95\x5C";
#else
  const std::string name = "data/\xE8\xA1\xA8";  // 表 in UTF-8
#endif
  ASSERT_TRUE(window.errors.empty()) << window.errors.front();
  EXPECT_EQ(game.ReadFile(name), "hyou");
  Click(0);
  EXPECT_TRUE(window.errors.empty());
  EXPECT_EQ(Now(), before);
}

TEST_F(EngineTest, HostileAndBrokenArchivesLeaveNothingBehind) {
  const Tree before = Now();
  const Tree around = Snapshot(settings.path());
  struct Case {
    const char* fixture;
    const char* message;
    std::string file;  // what the message names, and why
    std::string why;
  };
  const std::string backup_of_file = ProblemKindText(ProblemKind::BackupOfModFile);
  std::string too_long;  // the name in mod_name_too_long.zip
  for (int i = 0; i < 170; ++i) too_long += std::string(200, 'x') + "/";
  too_long += "f.txt";
  for (const Case& c :
       {Case{"mod_traversal.zip", kProcessingError, "../escape.txt",
             ArchiveRefusalText(ArchiveRefusal::LeavesFolder)},
        // The archive as a whole: its full path.
        Case{"mod_truncated.zip", kProcessingError, FixturePath("mod_truncated.zip"),
             ArchiveRefusalText(ArchiveRefusal::NotZip)},
        Case{"mod_bad_crc.zip", kExtractionError, "sub/zz.txt",
             ArchiveRefusalText(ArchiveRefusal::DamagedData)},
        // A file where another file's backup goes.
        Case{"archive_backup_ext.zip", kProcessingError, Rel("sub/x.qvs"), backup_of_file},
        Case{"archive_backup_noext.zip", kProcessingError, "READMEqvs", backup_of_file},
        // A control character shows as "?", and a name that would fill the
        // screen by its start and end.
        Case{"archive_bad_name_17.zip", kProcessingError, "a?b.txt",
             ArchiveRefusalText(ArchiveRefusal::NameNotCreatable)},
        Case{"mod_name_too_long.zip", kProcessingError,
             too_long.substr(0, 250) + "\xE2\x80\xA6" + too_long.substr(too_long.size() - 250),
             ProblemKindText(ProblemKind::NameTooLong)}}) {
    SCOPED_TRACE(c.fixture);
    window.errors.clear();
    Record(0, c.fixture);
    Click(0);
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_EQ(window.errors[0], c.message + Below({ProblemLine(c.file, c.why)}));
    EXPECT_FALSE(IsExtracted(0));
    EXPECT_EQ(Now(), before);
  }
  // Nothing escaped into the folder around the game either.
  Tree settings_now = Snapshot(settings.path());
  settings_now.erase(kSettingsFileName);
  EXPECT_EQ(settings_now.size(), around.size() - around.count(kSettingsFileName));
}

TEST_F(EngineTest, RefusesTargetsThatAreFoldersAndMissingDestinations) {
  game.MakeDir("new.txt");  // a folder where the mod has a file
  Record(0, "mod_mixed.zip");
  const Tree before = Now();
  Click(0);
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(window.errors[0], kProcessingError + Below({ProblemLine(
                                  "new.txt", ProblemKindText(ProblemKind::FolderInTheWay))}));
  EXPECT_EQ(Now(), before);

  ASSERT_TRUE(WriteExtractTo(0, game.Join("gone").c_str()));
  Click(0);
  ASSERT_EQ(window.errors.size(), 2u);
  EXPECT_EQ(window.errors[1], kProcessingError + Below({ProblemLine(
                                  game.Join("gone"), ProblemKindText(ProblemKind::FolderGone))}));
  EXPECT_FALSE(game.Exists("gone"));
}

TEST_F(EngineTest, UninstallRestoresBackupsOfMissingTargetsAndRefusesFolders) {
  Record(0, "mod_mixed.zip");
  const Tree before = Now();
  Click(0);
  // The user deleted one of the mod's files by hand: its original still
  // comes back.
  ASSERT_EQ(DeleteRegularFile(game.Join("a.txt")), FileResult::Done);
  // A folder now stands where the mod put a file: nothing may change.
  ASSERT_EQ(DeleteRegularFile(game.Join("new.txt")), FileResult::Done);
  ASSERT_EQ(MakeFolder(game.Join("new.txt")), FileResult::Done);
  const Tree blocked = Now();
  Click(0);
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(window.errors[0], kUninstallError + Below({ProblemLine(
                                 "new.txt", ProblemKindText(ProblemKind::FolderInTheWay))}));
  EXPECT_TRUE(IsExtracted(0));
  EXPECT_EQ(Now(), blocked);

  ASSERT_EQ(RemoveEmptyFolder(game.Join("new.txt")), FileResult::Done);
#ifdef _WIN32
  // A file another program holds without sharing its deletion blocks the
  // uninstall before anything changed; read-only files do not.
  const Tree unblocked = Now();
  const HANDLE held = CreateFileA(game.Join("data/b.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Click(0);
  CloseHandle(held);
  ASSERT_EQ(window.errors.size(), 2u);
  EXPECT_EQ(window.errors[1], kUninstallError + Below({ProblemLine(
                                  Rel("data/b.dat"), FileCauseText(FileCause::InUse))}));
  EXPECT_TRUE(IsExtracted(0));
  EXPECT_EQ(Now(), unblocked);
  window.errors.pop_back();
  SetReadOnly(game.Join("data/b.dat"), true);
  SetReadOnly(game.Join("sub/deep/er/still/z.txt"), true);
#endif
  Click(0);
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_FALSE(IsExtracted(0));
  ExpectRestored(before);
}

// A repair finishes an uninstall that committed, but leaves a file changed
// since the crash where it is; a plan of the earlier kind, which moved the
// files aside before the commit, is still taken back.
TEST_F(EngineTest, TheRepairTakesOnlyWhatStillHoldsWhatWasWritten) {
  const Tree before = Now();
  const std::string original_b = game.ReadFile("data/b.dat");
  Record(0, "mod_mixed.zip");
  Click(0);
  game.WriteFile("a.txt", "edited by the user");
  const State installed = Whole();
  // The first crash after the commit: every file is still there, and the
  // edited one kept, which the user hears of only from the repair.
  for (int k = 1; IsExtracted(0); ++k) {
    ASSERT_LT(k, 100);
    Reset(installed);
    FailFileOperation(k, true);
    Click(0);
    FailFileOperation(0);
  }
  const State crashed = Whole();
  game.WriteFile("new.txt", "written after the crash");
  window.errors.clear();
  RepairAtStartUp();
  EXPECT_EQ(window.errors, std::vector<std::string>{
                               std::string(kRepairCompleted) + "\nmod_mixed.zip" +
                               Below({ProblemLine("new.txt", kLeftChanged),
                                      KeptLine("a.txt", "a (kept).txt")})});
  Tree expected = before;
  expected["new.txt"] = "written after the crash";
  expected["a (kept).txt"] = "edited by the user";
  for (const auto& item : Now()) {
    if (item.second == "<dir>") expected.insert(item);  // folders the mod made stay
  }
  EXPECT_EQ(Now(), expected);
  EXPECT_FALSE(PlanExists());
#ifdef _WIN32
  // A file another program holds is neither ours nor changed yet: the
  // repair waits for the next start rather than leave it behind for good.
  Reset(crashed);
  const HANDLE held = CreateFileA(game.Join("data/b.dat").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  RepairAtStartUp();
  CloseHandle(held);
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(window.errors[0].find(kRepairIncomplete), 0u);
  EXPECT_NE(window.errors[0].find(ProblemLine(Rel("data/b.dat"), FileCauseText(FileCause::InUse))),
            std::string::npos);
  EXPECT_TRUE(PlanExists());
  RepairAtStartUp();
  EXPECT_FALSE(PlanExists());
  EXPECT_EQ(game.ReadFile("data/b.dat"), original_b);
#endif

  Reset(installed);
  Plan aside;
  aside.kind = PlanKind::Uninstall;
  aside.in_place = false;
  ASSERT_TRUE(LoadRecord(0, aside.record));
  aside.set_aside.push_back({"new.txt", "new.txt.qvtrash"});
  ASSERT_TRUE(SavePlan(aside));
  ASSERT_EQ(MoveEntry(game.Join("new.txt"), game.Join("new.txt.qvtrash")), FileResult::Done);
  RepairAtStartUp();
  EXPECT_TRUE(Whole() == installed);
}

TEST_F(EngineTest, TheCommandChecksItsPreconditionsAgain) {
  Record(0, "mod_mixed.zip");
  const Tree before = Now();
  window.selected = -1;
  ToggleInstall();
  ASSERT_TRUE(WriteFileName(1, game.Join("missing.zip").c_str()));
  ASSERT_TRUE(WriteExtractTo(1, game.path().c_str()));
  Click(1);
  ASSERT_TRUE(WriteFileName(2, FixturePath("mod_mixed.zip").c_str()));
  Click(2);  // no folder
  EXPECT_TRUE(window.errors.empty());
  EXPECT_TRUE(window.captions_seen.empty());
  EXPECT_EQ(Now(), before);
  EXPECT_FALSE(IsExtracted(1));
  EXPECT_FALSE(IsExtracted(2));
}

TEST_F(EngineTest, AnUnwritableFlagUndoesTheCommand) {
  Record(0, "mod_mixed.zip");
  const Tree before = Now();
  SetReadOnly(SettingsFile(), true);
  Click(0);
  SetReadOnly(SettingsFile(), false);
  const std::string not_stored =
      Below({ProblemLine(SettingsFile(), ProblemKindText(ProblemKind::NotStored))});
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(window.errors[0], kProcessingError + not_stored);
  EXPECT_FALSE(IsExtracted(0));
  EXPECT_EQ(Now(), before);

  Click(0);
  ASSERT_TRUE(IsExtracted(0));
  const Tree installed = Now();
  SetReadOnly(SettingsFile(), true);
  Click(0);
  SetReadOnly(SettingsFile(), false);
  ASSERT_EQ(window.errors.size(), 2u);
  EXPECT_EQ(window.errors[1], kUninstallError + not_stored);
  EXPECT_TRUE(IsExtracted(0));
  EXPECT_EQ(Now(), installed);
}

// A mod made for Windows over a game folder spelt otherwise: the existing
// files are replaced and restored, and no folder differing only in case is
// made. Where case matters, of two existing spellings the first in byte
// order is taken and the other left alone.
TEST_F(EngineTest, NamesMatchTheGameFolderWithoutRegardToCase) {
  game.WriteFile("data/textures/a.dds", "original dds");
#ifndef _WIN32
  game.WriteFile("GFX/a.txt", "original GFX");
  game.WriteFile("gfx/a.txt", "original gfx");
#endif
  const Tree before = Now();
  Record(0, "mod_case.zip");
  Click(0);
  ASSERT_TRUE(window.errors.empty()) << window.errors.front();
  EXPECT_EQ(game.ReadFile("data/textures/a.dds"), "mod dds");
  EXPECT_EQ(game.ReadFile("data/textures/a.qvs"), "original dds");
  EXPECT_EQ(game.ReadFile("data/New/b.txt"), "b");
#ifndef _WIN32
  EXPECT_FALSE(game.Exists("Data"));
  EXPECT_EQ(game.ReadFile("GFX/a.txt"), "mod gfx");
  EXPECT_EQ(game.ReadFile("gfx/a.txt"), "original gfx");
#endif
  Click(0);
  EXPECT_TRUE(window.errors.empty());
  ExpectRestored(before);
}

// Without its plan on disk a crash could not be repaired: no command starts.
TEST_F(EngineTest, NoCommandStartsWithoutItsPlanOnDisk) {
  // Told with the system's cause for a folder where a file must go.
#ifdef _WIN32
  const FileCause cause = FileCause::AccessDenied;
#else
  const FileCause cause = FileCause::NotRegular;
#endif
  const std::string no_plan =
      kProcessingError + Below({ProblemLine(PlanPath(), ProblemKindText(ProblemKind::PlanNotWritten) +
                                                            std::string(FileCauseText(cause)))});
  Record(0, "mod_mixed.zip");
  const Tree before = Now();
  // A folder where the plan's temporary file must go.
  settings.MakeDir(std::string(kRecordFolderName) + "/plan.tmp");
  Click(0);
  EXPECT_EQ(window.errors, std::vector<std::string>{no_plan});
  EXPECT_FALSE(IsExtracted(0));
  EXPECT_EQ(Now(), before);

  const std::string blocker = settings.Join(std::string(kRecordFolderName) + "/plan.tmp");
  ASSERT_EQ(RemoveEmptyFolder(blocker), FileResult::Done);
  Click(0);
  ASSERT_TRUE(IsExtracted(0));
  const Tree installed = Now();
  settings.MakeDir(std::string(kRecordFolderName) + "/plan.tmp");
  window.errors.clear();
  Click(0);
  EXPECT_EQ(window.errors, std::vector<std::string>{no_plan});
  EXPECT_TRUE(IsExtracted(0));
  EXPECT_EQ(Now(), installed);
}

// The uninstall takes back what the install did, whatever happened since.
TEST_F(EngineTest, UninstallTakesBackExactlyWhatWasInstalled) {
  const Tree before = Now();
  // Installed by an earlier version, without a record: the archive's list is
  // what goes, as it was then.
  Record(0, "mod_mixed.zip");
  Click(0);
  ASSERT_TRUE(DeleteRecord(0));
  Click(0);
  EXPECT_TRUE(window.errors.empty());
  EXPECT_FALSE(IsExtracted(0));
  ExpectRestored(before);

  // A file the user edited after the install is kept beside its original.
  Record(0, "mod_mixed.zip");
  Click(0);
  game.WriteFile("a.txt", "edited by the user");
  game.WriteFile("new.txt", "also edited");
  Click(0);
  EXPECT_EQ(window.errors,
            std::vector<std::string>{kKeptFilesNotice + Below({KeptLine("a.txt", "a (kept).txt"),
                                                               KeptLine("new.txt", "new (kept).txt")})});
  Tree expected = before;
  expected["a (kept).txt"] = "edited by the user";
  expected["new (kept).txt"] = "also edited";
  for (const auto& item : Now()) {
    if (item.second == "<dir>") expected.insert(item);  // folders the mod made stay
  }
  EXPECT_EQ(Now(), expected);
  game.Restore(before);
  window.errors.clear();

  // The archive was replaced by a newer version that lists other files, one
  // of them an original the old version never touched.
  game.WriteFile("extra.txt", "the user's own extra.txt");
  const Tree with_extra = Now();
  const std::string archive = settings.Join("update.zip");
  const auto put_archive = [&](const char* fixture) {
    std::ifstream in(FixturePath(fixture), std::ios::binary);
    std::ofstream(archive, std::ios::binary | std::ios::trunc) << in.rdbuf();
  };
  put_archive("mod_over_a.zip");
  ASSERT_TRUE(WriteFileName(1, archive.c_str()));
  ASSERT_TRUE(WriteExtractTo(1, game.path().c_str()));
  Click(1);
  put_archive("mod_over_a_too.zip");
  Click(1);
  EXPECT_TRUE(window.errors.empty());
  ExpectRestored(with_extra);
  // ... even when it is gone: the button still offers the uninstall.
  put_archive("mod_over_a.zip");
  Click(1);
  ASSERT_TRUE(IsExtracted(1));
  ASSERT_EQ(DeleteRegularFile(archive), FileResult::Done);
  RefreshControls();
  EXPECT_EQ(window.install_caption, "UnInstall");
  EXPECT_TRUE(window.install_enabled);
  // And the folder it goes back to is the one it was installed into, even
  // if the settings file was edited since.
  Sandbox elsewhere;
  ASSERT_TRUE(WriteExtractTo(1, elsewhere.path().c_str()));
  Click(1);
  EXPECT_TRUE(window.errors.empty());
  ExpectRestored(with_extra);
  game.Restore(before);

  // One mod adds keep/x.dat; another then replaces keep/x.txt, whose backup
  // keep/x.qvs is also x.dat's backup name. Each uninstall puts back only
  // what it took.
  game.WriteFile("keep/x.txt", "original x.txt");
  const Tree with_x = Now();
  Record(2, "mod_adds_dat.zip");
  Record(3, "mod_over_txt.zip");
  Click(2);
  Click(3);
  Click(2);
  EXPECT_EQ(game.ReadFile("keep/x.txt"), "x.txt from a mod");
  EXPECT_EQ(game.ReadFile("keep/x.qvs"), "original x.txt");
  EXPECT_FALSE(game.Exists("keep/x.dat"));
  // The other order: x.qvs is the other mod's to restore, on disk or not.
  ASSERT_EQ(MoveEntry(game.Join("keep/x.qvs"), game.Join("x.away")), FileResult::Done);
  Click(2);
  EXPECT_EQ(window.errors, std::vector<std::string>{kProcessingError + Below({ProblemLine(
                               Rel("keep/x.dat"), Fill(kBackupTakenByMod, "mod_over_txt.zip"))})});
  EXPECT_FALSE(game.Exists("keep/x.dat"));
  ASSERT_EQ(MoveEntry(game.Join("x.away"), game.Join("keep/x.qvs")), FileResult::Done);
  window.errors.clear();
  Click(3);
  EXPECT_TRUE(window.errors.empty());
  EXPECT_EQ(Now(), with_x);
}

std::string Crc(const std::string& data) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lx",
                crc32(0L, reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uInt>(data.size())));
  return hex;
}

// A plan that is damaged, or that would act outside its mod's folder, is set
// aside with none of its steps taken, and every command works again.
TEST_F(EngineTest, ADamagedPlanIsSetAsideUnactedUpon) {
  Sandbox outside;
  outside.WriteFile("f", "");
  outside.WriteFile("a.txt", "mod a\n");  // as the mod installs it
  outside.WriteFile("a.qvs", "outside's backup");
  outside.MakeDir("x");
  Record(0, "mod_mixed.zip");
  const Tree before = Now();
  const Tree outside_before = Snapshot(outside.path());
  const std::string base = outside.path().substr(outside.path().rfind(kSep) + 1);
  const std::string away = std::string("..") + kSep + base + kSep;
  const auto plan = [&](const std::string& kind, const std::string& folder,
                        const std::string& lines) {
    return "Quorvantel record 1\nkind " + kind + "\nmod 0\ncount 0\narchive " +
           FixturePath("mod_mixed.zip") + "\n" + folder + lines + "end\n";
  };
  const std::string here = "folder " + game.path() + "\n";
  const std::string there = "folder " + outside.path() + "\n";
  const std::string a_txt = "file 6 " + Crc("mod a\n") + " 1 a.txt\n";
  const std::string rows[] = {
      plan("uninstall", here, "aside x\t" + away + "f\n"),
      plan("install", here, "file 0 00000000 1 " + away + "f\n"),
      plan("install", "", "file 0 00000000 1 " + away.substr(3) + "f\n"),
      plan("install", here, "original " + away + "a.txt\tmoved.txt\n"),
      plan("uninstall-in-place", here, "kept a.txt\t" + away + "kept.txt\n"),
      plan("install", here, "dir " + away + "x\n"),
      plan("uninstall-in-place", there, "original a.txt\ta.qvs\n" + a_txt + "delete a.txt\n"),
      plan("uninstall-in-place", here,
           "file 0 00000000 0 " + away + "f\ndelete " + away + "f\n"),
      plan("install", here, a_txt).substr(0, plan("install", here, a_txt).size() - 1),
      "Quorvantel record 1\nkind remove\nmod 0\ncount -2147483648\nend\n",
      plan("install", "folder " + outside.path() + "%00" + game.path() + "\n", a_txt),
  };
  const std::string records = settings.Join(kRecordFolderName) + kSep;
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE(rows[i]);
    settings.WriteFile(std::string(kRecordFolderName) + "/plan", rows[i]);
    window.errors.clear();
    RepairAtStartUp();
    EXPECT_EQ(Snapshot(outside.path()), outside_before);
    EXPECT_EQ(Now(), before);
    EXPECT_FALSE(PlanExists());
    const std::string aside = records + "plan.damaged" + (i == 0 ? "" : std::to_string(i + 1));
    ASSERT_EQ(window.errors.size(), 1u);
    const bool named = rows[i].find("archive") != std::string::npos;  // a removal names none
    EXPECT_EQ(window.errors[0], std::string(kRepairDamagedPlan) +
                                    (named ? "\nmod_mixed.zip\n" : "\n") + aside);
    EXPECT_EQ(settings.ReadFile(aside.substr(settings.path().size() + 1)), rows[i]);
  }
  window.errors.clear();
  Click(0);
  EXPECT_TRUE(window.errors.empty());
  EXPECT_TRUE(IsExtracted(0));
}

// A record that is damaged, or of an earlier version and naming another
// folder, is not believed: the uninstall goes by the archive's list and
// deletes only what still holds what the archive holds. What stands in a
// file's place and is no file is the user's, and never read.
TEST_F(EngineTest, AnUntrustedRecordUninstallsByTheArchive) {
  Sandbox outside;
  outside.WriteFile("a.txt", "mod a\n");
  outside.WriteFile("new.txt", "new file\n");
  const Tree outside_before = Snapshot(outside.path());
  const Tree before = Now();
  Record(0, "mod_mixed.zip");
  Click(0);
  const State installed = Whole();
  InstallRecord record;
  ASSERT_TRUE(LoadRecord(0, record));
  const std::string sealed = RecordText(record);
  std::string elsewhere = sealed;
  elsewhere.replace(elsewhere.find("folder ") + 7, game.path().size(), outside.path());
  // As the first version wrote it: no check.
  elsewhere.erase(elsewhere.find("check "), 15);
  elsewhere.replace(0, elsewhere.find('\n'), "Quorvantel record 1");
  std::string torn = sealed;
  torn[torn.find("new.txt")] = 'N';
  const std::string file = std::string(kRecordFolderName) + "/FileNo0";
  for (const std::string& text : {elsewhere, torn}) {
    Reset(installed);
    settings.WriteFile(file, text);
    game.WriteFile("new.txt", "edited by the user");
    Click(0);
    EXPECT_EQ(window.errors, std::vector<std::string>{
                                 kKeptFilesNotice + Below({KeptLine("new.txt", "new (kept).txt")})});
    EXPECT_FALSE(IsExtracted(0));
    EXPECT_EQ(Snapshot(outside.path()), outside_before);
    game.Restore(before);
  }
#ifndef _WIN32
  Reset(installed);
  ASSERT_EQ(unlink(game.Join("new.txt").c_str()), 0);
  ASSERT_EQ(mkfifo(game.Join("new.txt").c_str(), 0600), 0);
  ASSERT_EQ(unlink(game.Join("README").c_str()), 0);
  ASSERT_EQ(symlink(outside.Join("a.txt").c_str(), game.Join("README").c_str()), 0);
  Click(0);  // would wait for a writer forever if it read the pipe
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_NE(window.errors[0].find("new (kept).txt"), std::string::npos);
  EXPECT_NE(window.errors[0].find("README (kept)"), std::string::npos);
  EXPECT_EQ(Snapshot(outside.path()), outside_before);
#endif
}

// Every changing step of an install, an uninstall and a removal from the
// list, failed or crashed at, and the repair after it crashed too.
TEST_F(EngineTest, EveryStepFailedOrCrashedLeavesOneWholeState) {
  // Originals that are read-only (and hidden) must come back so.
  SetReadOnly(game.Join("a.txt"), true);
#ifdef _WIN32
  SetFileAttributesA(game.Join("data/b.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
  Record(0, "mod_mixed.zip");
  Record(1, "mod_over_a.zip");
  Record(2, "mod_dirs.zip");
  ModCount = 3;
  Click(2);
  const State none = Whole();
  Click(0);
  ASSERT_TRUE(window.errors.empty());
  const State installed = Whole();
  Reset(none);
  EXPECT_GT(CheckEveryStep([&] { Click(0); }, none, installed), 20);

  Reset(installed);
  Click(0);
  ASSERT_TRUE(window.errors.empty());
  const State uninstalled = Whole();
  EXPECT_GT(CheckEveryStep([&] { Click(0); }, installed, uninstalled), 10);

  // Removing mod 1 moves mod 2 and its install record down to number 1.
  Reset(none);
  const auto remove = [&] {
    ModCount = 3;
    window.selected = 1;
    RemoveMod();
  };
  remove();
  ASSERT_TRUE(window.errors.empty());
  ASSERT_TRUE(RecordExists(1));
  ASSERT_FALSE(RecordExists(2));
  const State removed = Whole();
  EXPECT_GT(CheckEveryStep(remove, none, removed, false), 1);

  // Targets past 260 characters, in folders the mod creates.
  Reset(none);
  Record(3, "mod_long.zip");
  const State long_none = Whole();
  Click(3);
  ASSERT_TRUE(window.errors.empty());
  const State long_installed = Whole();
  Reset(long_none);
  EXPECT_GT(CheckEveryStep([&] { Click(3); }, long_none, long_installed, false), 3);
}

}  // namespace
