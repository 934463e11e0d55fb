// The file seam: paths of any length from every thread, a file another
// program holds for a moment, and the attributes of files that only move.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <thread>

#include "engine/disk.h"
#include "platform/disk_calls.h"
#include "support/fault.h"
#include "support/sandbox.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/wide_path_win32.h"
#endif

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void TearDown() override { FailFileOperation(0); }
  Sandbox game;
};

// A folder chain deeper than Windows' old limit of 260, made, filled,
// renamed and emptied again by two threads at once.
TEST_F(FilesTest, DeepPathsWorkOnEveryThread) {
  const auto work = [this](char letter, bool* ok) {
    std::string folder = game.Join(std::string(1, letter));
    *ok = MakeFolder(folder) == FileResult::Done;
    while (*ok && folder.size() < 600) {
      folder += kSep + std::string(60, letter);
      *ok = MakeFolder(folder) == FileResult::Done;
    }
    const std::string file = folder + kSep + "f.txt";
    OutputFile* out = nullptr;
    *ok = *ok && CreateNewFile(file, &out) == FileResult::Done &&
          WriteToFile(out, "deep", 4) == FileResult::Done && CloseFile(out, 0) == FileResult::Done;
    *ok = *ok && FileExists(file) && !IsFolder(file) && MovePath(file, folder + kSep + "g.txt") &&
          DeletePath(folder + kSep + "g.txt") && RemoveFolderIfEmpty(folder) && !IsFolder(folder);
  };
  bool a = false;
  bool b = false;
  std::thread other(work, 'a', &a);
  work('b', &b);
  other.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(b);
}

// A hold that lets go within the retries' bound is waited out; one that
// does not fails the call, with its cause, after about two seconds.
TEST_F(FilesTest, AFileHeldForAMomentIsWaitedFor) {
  game.WriteFile("a.txt", "a");
  HoldFileOperation(1, 2);
  EXPECT_TRUE(MovePath(game.Join("a.txt"), game.Join("b.txt")));
  EXPECT_EQ(PausedMilliseconds(), kFirstRetryPause * 3);  // 10 ms, then 20 ms
  HoldFileOperation(1, kHeldForGood);
  EXPECT_EQ(DeleteRegularFile(game.Join("b.txt")), FileResult::Refused);
  EXPECT_EQ(LastFileCause(), FileCause::InUse);
  EXPECT_EQ(PausedMilliseconds(), kMaxRetryWait);
  FailFileOperation(0);
  // Nothing is waited for where the cause will not pass.
  EXPECT_EQ(DeleteRegularFile(game.Join("missing.txt")), FileResult::NotFound);
  EXPECT_EQ(LastFileCause(), FileCause::NotFound);
  EXPECT_EQ(PausedMilliseconds(), 0u);
}

// An original that only moves keeps its attributes and its time; one that
// is deleted loses its read-only attribute for that step alone.
TEST_F(FilesTest, AttributesStayWithAFileThatMoves) {
  game.WriteFile("ro.txt", "x");
  SetReadOnly(game.Join("ro.txt"), true);
  const auto before = Attributes(game.path());
  ASSERT_TRUE(MovePath(game.Join("ro.txt"), game.Join("ro.qvs")));
  ASSERT_TRUE(MovePath(game.Join("ro.qvs"), game.Join("ro.txt")));
  EXPECT_EQ(Attributes(game.path()), before);
  // When the deletion fails, the attribute is back.
  FailFileOperation(2);
  EXPECT_FALSE(DeletePath(game.Join("ro.txt")));
  FailFileOperation(0);
  EXPECT_EQ(Attributes(game.path()), before);
  EXPECT_TRUE(DeletePath(game.Join("ro.txt")));
  EXPECT_FALSE(game.Exists("ro.txt"));
}

#ifdef _WIN32
TEST(WidePath, IsMadeWholeBeforeItGetsThePrefix) {
  std::wstring wide;
  ASSERT_TRUE(ToWidePath("C:\\Games\\a.txt", wide));
  EXPECT_EQ(wide, L"\\\\?\\C:\\Games\\a.txt");
  ASSERT_TRUE(ToWidePath("C:/Games//x/./y/../a.txt", wide));
  EXPECT_EQ(wide, L"\\\\?\\C:\\Games\\x\\a.txt");
  ASSERT_TRUE(ToWidePath("C:\\", wide));
  EXPECT_EQ(wide, L"\\\\?\\C:\\");
  ASSERT_TRUE(ToWidePath("\\\\server\\share\\mods\\a.zip", wide));
  EXPECT_EQ(wide, L"\\\\?\\UNC\\server\\share\\mods\\a.zip");
  for (const char* refused : {"a.txt", "Games\\a.txt", "\\a.txt", "C:a.txt", "\\\\.\\CON",
                              "C:\\..\\a.txt", ""}) {
    EXPECT_FALSE(ToWidePath(refused, wide)) << refused;
  }
  EXPECT_FALSE(ToWidePath("C:\\" + std::string(kMaxWidePath, 'x'), wide));
  if (GetACP() == 932) {
    // A lead byte with no trail byte is no character of code page 932.
    EXPECT_FALSE(ToWidePath("C:\\Games\\\x81", wide));
    ASSERT_TRUE(ToWidePath("C:\\\x95\x5C\\a.txt", wide));  // 表 ends in 0x5C
    EXPECT_EQ(wide, L"\\\\?\\C:\\\x8868\\a.txt");
  }
}

// Another process's handle without sharing, let go after a moment: the
// real seam waits for it.
TEST_F(FilesTest, AFileAnotherProgramHoldsIsDeletedOnceItLetsGo) {
  game.WriteFile("held.txt", "h");
  std::wstring wide;
  ASSERT_TRUE(ToWidePath(game.Join("held.txt"), wide));
  const HANDLE held =
      CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(150);
    CloseHandle(held);
  });
  UseDiskCalls(nullptr);  // the platform's calls, real pauses
  const FileResult deleted = DeleteRegularFile(game.Join("held.txt"));
  FailFileOperation(0);   // the counting layer again
  release.join();
  EXPECT_EQ(deleted, FileResult::Done);
  EXPECT_FALSE(game.Exists("held.txt"));
}
#endif

}  // namespace
