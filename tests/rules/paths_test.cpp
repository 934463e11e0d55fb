#include "rules/paths.h"

#include <gtest/gtest.h>

#include "support/sandbox.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {


TEST(PathRules, BackupNameUsesTheLastDotOfTheFileNameOnly) {
  std::string out;
  ASSERT_TRUE(BackupName("C:\\Game\\data\\unit.txt", out, kMaxPath));
  EXPECT_EQ(out, "C:\\Game\\data\\unit.qvs");
  ASSERT_TRUE(BackupName("C:\\Game\\data\\unit.tar.gz", out, kMaxPath));
  EXPECT_EQ(out, "C:\\Game\\data\\unit.tar.qvs");
  // A dot in a folder name must not move the backup out of the folder.
  ASSERT_TRUE(BackupName("C:\\Game 1.2\\data\\README", out, kMaxPath));
  EXPECT_EQ(out, "C:\\Game 1.2\\data\\READMEqvs");
  ASSERT_TRUE(BackupName("C:\\Game\\data\\README", out, kMaxPath));
  EXPECT_EQ(out, "C:\\Game\\data\\READMEqvs");
  ASSERT_TRUE(BackupName("/game/v1.0/data/a.txt", out, kMaxPath));
  EXPECT_EQ(out, "/game/v1.0/data/a.qvs");
  ASSERT_TRUE(BackupName("D:\\G\\dir/sub/file", out, kMaxPath));
  EXPECT_EQ(out, "D:\\G\\dir/sub/fileqvs");
  // a.txt and a.dat share one backup name.
  std::string other;
  ASSERT_TRUE(BackupName("C:\\G\\a.dat", other, kMaxPath));
  ASSERT_TRUE(BackupName("C:\\G\\a.txt", out, kMaxPath));
  EXPECT_EQ(out, other);

  // A backup name that does not fit is refused, never cut into another path.
  const std::string near_limit = "C:\\" + std::string(kMaxPath - 4, 'x');
  out = "unchanged";
  EXPECT_FALSE(BackupName(near_limit, out, kMaxPath));
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

TEST(PathRules, TargetPathJoinsTheFolderAndTheStoredName) {
  Sandbox game;
  std::string out;
  // Either slash in the stored name becomes the platform's separator.
  for (const char* stored : {"dir/sub/file.dat", "dir\\sub\\file.dat"}) {
    ASSERT_TRUE(TargetPath(game.path(), stored, out));
    EXPECT_EQ(out, game.Join("dir/sub/file.dat"));
  }
  // No folder, or a target that does not fit: the step fails.
  out = "unchanged";
  EXPECT_FALSE(TargetPath("", "a.txt", out));
  EXPECT_FALSE(TargetPath(game.path(), std::string(kMaxPath, 'n'), out));
  EXPECT_EQ(out, "unchanged");
}

#ifdef _WIN32
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
  ASSERT_TRUE(BackupName("C:\\G\\\x95\x5C", backup, kMaxPath));
  EXPECT_EQ(backup, "C:\\G\\\x95\x5Cqvs");
}
#endif

}  // namespace
