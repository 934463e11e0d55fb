// Reaching a file before a call: attributes that would block the change are
// cleared, and on Windows a long path is reached from its folder.
#include "engine/long_path.h"

#include <gtest/gtest.h>

#include "engine/journal.h"
#include "platform/files.h"
#include "support/sandbox.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

class PathsTest : public ::testing::Test {
 protected:
  Sandbox game;
};

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

#endif

}  // namespace
