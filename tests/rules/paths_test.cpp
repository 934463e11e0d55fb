#include "rules/paths.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "engine/journal.h"
#include "settings/settings.h"
#include "support/fault.h"
#include "support/sandbox.h"

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDirectory(settings.path() + kSep);
    ASSERT_TRUE(WriteExtractTo(0, game.path().c_str()));
  }
  void TearDown() override {
    FailFileOperation(0);
    SetProgramDirectory(std::string());
  }
  Sandbox settings;
  Sandbox game;
};

TEST(PathRules, BackupNameUsesTheLastDotOfTheFileNameOnly) {
  std::string out;
  ASSERT_TRUE(BackupName("C:\\Game\\data\\unit.txt", out, kMaxTargetPath));
  EXPECT_EQ(out, "C:\\Game\\data\\unit.qvs");
  ASSERT_TRUE(BackupName("C:\\Game\\data\\unit.tar.gz", out, kMaxTargetPath));
  EXPECT_EQ(out, "C:\\Game\\data\\unit.tar.qvs");
  // A dot in a folder name must not move the backup out of the folder.
  ASSERT_TRUE(BackupName("C:\\Game 1.2\\data\\README", out, kMaxTargetPath));
  EXPECT_EQ(out, "C:\\Game 1.2\\data\\READMEqvs");
  ASSERT_TRUE(BackupName("C:\\Game\\data\\README", out, kMaxTargetPath));
  EXPECT_EQ(out, "C:\\Game\\data\\READMEqvs");
  ASSERT_TRUE(BackupName("/game/v1.0/data/a.txt", out, kMaxTargetPath));
  EXPECT_EQ(out, "/game/v1.0/data/a.qvs");
  ASSERT_TRUE(BackupName("D:\\G\\dir/sub/file", out, kMaxTargetPath));
  EXPECT_EQ(out, "D:\\G\\dir/sub/fileqvs");
  // a.txt and a.dat share one backup name.
  std::string other;
  ASSERT_TRUE(BackupName("C:\\G\\a.dat", other, kMaxTargetPath));
  ASSERT_TRUE(BackupName("C:\\G\\a.txt", out, kMaxTargetPath));
  EXPECT_EQ(out, other);

  // A backup name that does not fit is refused, never cut into another path.
  const std::string near_limit = "C:\\" + std::string(kMaxTargetPath - 4, 'x');
  out = "unchanged";
  EXPECT_FALSE(BackupName(near_limit, out, kMaxTargetPath));
  EXPECT_EQ(out, "unchanged");
}

TEST(PathRules, SplitDisplayAndDirectoryEntries) {
  std::string dir = "keep", name = "keep";
  EXPECT_FALSE(SplitPath("no-separator", dir, name));
  EXPECT_EQ(dir, "keep");
  EXPECT_EQ(name, "keep");
  ASSERT_TRUE(SplitPath("C:\\mods\\a.zip", dir, name));
  EXPECT_EQ(dir, "C:\\mods");
  EXPECT_EQ(name, "a.zip");

  EXPECT_EQ(DisplayName("C:\\mods\\pack\\Big Mod.zip"), "Big Mod.zip");
  EXPECT_EQ(DisplayName("/home/u/mods/m.zip"), "m.zip");
  EXPECT_EQ(DisplayName("bare.zip"), "bare.zip");

  EXPECT_TRUE(IsDirectoryEntry("textures/"));
  EXPECT_TRUE(IsDirectoryEntry("a\\b\\"));
  EXPECT_FALSE(IsDirectoryEntry("textures"));
  EXPECT_FALSE(IsDirectoryEntry(""));
}

TEST_F(PathsTest, TargetPathJoinsTheFolderAndTheStoredName) {
  std::string out;
  // Either slash in the stored name becomes the platform's separator.
  for (const char* stored : {"dir/sub/file.dat", "dir\\sub\\file.dat"}) {
    ASSERT_TRUE(TargetPath(game.path(), stored, out));
    EXPECT_EQ(out, game.Join("dir/sub/file.dat"));
  }
  // No folder, or a target that does not fit: the step fails.
  out = "unchanged";
  EXPECT_FALSE(TargetPath("", "a.txt", out));
  EXPECT_FALSE(TargetPath(game.path(), std::string(kMaxTargetPath, 'n'), out));
  EXPECT_EQ(out, "unchanged");
}

TEST_F(PathsTest, PreparePathMakesAReadOnlyFileChangeable) {
  game.WriteFile("ro.txt", "x");
  std::string path = game.Join("ro.txt");
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
#else
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
#endif
  ASSERT_TRUE(PreparePath(path));
  EXPECT_EQ(DeleteRegularFile(path), FileResult::Done);
  // A path that does not exist yet is prepared without complaint.
  std::string missing = game.Join("not/there.txt");
  EXPECT_TRUE(PreparePath(missing));
}

#ifdef _WIN32
TEST_F(PathsTest, LongTargetsAreReachedFromTheirFolder) {
  // A folder path just under the limit of SetCurrentDirectoryA, and a target
  // of 260 characters or more inside it.
  std::string folder = game.path();
  std::string relative;
  while (folder.size() < 200) {
    folder += "\\" + std::string(40, 'd');
    relative += (relative.empty() ? "" : "/") + std::string(40, 'd');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  const std::string name(270 - folder.size(), 'f');
  std::string target = folder + "\\" + name + ".txt";
  ASSERT_GE(target.size(), kLongPath);

  char saved[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, saved);
  std::string prepared = target;
  ASSERT_TRUE(PreparePath(prepared));
  EXPECT_EQ(prepared, name + ".txt");
  OutputFile* file = nullptr;
  ASSERT_EQ(CreateNewFile(prepared, &file), FileResult::Done);
  ASSERT_EQ(WriteToFile(file, "long", 4), FileResult::Done);
  ASSERT_EQ(CloseFile(file, 0), FileResult::Done);
  ASSERT_TRUE(FileExists(prepared));
  std::string backup = folder + "\\" + name + ".qvs";
  Journal journal;
  ASSERT_TRUE(MoveStep(journal, target, backup));
  ASSERT_TRUE(PreparePath(backup));
  EXPECT_TRUE(FileExists(backup));
  EXPECT_EQ(DeleteRegularFile(backup), FileResult::Done);

  // A folder that does not exist: the bare name must never be used relative
  // to whatever folder is current.
  std::string missing = folder + "\\missing\\" + name + ".txt";
  EXPECT_FALSE(PreparePath(missing));
  // A name part of 260 or more cannot be reached at all.
  std::string huge = game.path() + "\\" + std::string(300, 'h');
  EXPECT_FALSE(PreparePath(huge));
  SetCurrentDirectoryA(saved);
}

TEST(PathRulesCp932, TrailByte5CIsNotASeparator) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page";
  // 表 is 95 5C and ソ is 83 5C in code page 932.
  const std::string name = "data\\\x95\x5C";
  EXPECT_FALSE(IsDirectoryEntry(name));
  EXPECT_FALSE(IsDirectoryEntry("\x83\x5C"));
  EXPECT_TRUE(IsDirectoryEntry("\x83\x5C\\"));
  std::string dir, file;
  ASSERT_TRUE(SplitPath("C:\\G\\\x83\x5C\\\x95\x5C.txt", dir, file));
  EXPECT_EQ(dir, "C:\\G\\\x83\x5C");
  EXPECT_EQ(file, "\x95\x5C.txt");
  std::string backup;
  ASSERT_TRUE(BackupName("C:\\G\\\x95\x5C", backup, kMaxTargetPath));
  EXPECT_EQ(backup, "C:\\G\\\x95\x5Cqvs");
}
#endif

}  // namespace
