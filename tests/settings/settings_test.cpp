// Runs against the Windows profile functions under Wine and against the INI
// layer natively: both must behave the same.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "support/fault.h"
#include "platform/executable.h"
#include "platform/profile.h"
#include "support/sandbox.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

// Sets a file's modification time to `second` plus `tenths_of_microseconds`
// (the finest step Windows keeps), so that two edits can fall within one
// second.
void SetModified(const std::string& path, long long second, long tenths_of_microseconds) {
#ifdef _WIN32
  const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  // 100-nanosecond steps since 1601.
  const unsigned long long time =
      (static_cast<unsigned long long>(second) + 11644473600ull) * 10000000ull +
      static_cast<unsigned long long>(tenths_of_microseconds);
  FILETIME stamp{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &stamp));
  CloseHandle(file);
#else
  const timespec times[2] = {{second, tenths_of_microseconds * 100},
                             {second, tenths_of_microseconds * 100}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
#endif
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectory(box.path() + kSep); }
  void TearDown() override {
    AbandonSettingsBatch();
    FailFileOperation(0);
    SetProgramDirectory(std::string());
  }
  std::string Ini() const { return box.ReadFile(kSettingsFileName); }
  Sandbox box;
};

TEST_F(SettingsTest, MissingFileSectionOrKeyReadsAsDefault) {
  EXPECT_EQ(SettingsFile(), box.path() + kSep + "Quorvantel.ini");
  EXPECT_EQ(ReadFileName(0), "");
  EXPECT_EQ(ReadExtractTo(3), "");
  EXPECT_FALSE(IsExtracted(0));
  EXPECT_EQ(ReadWindowValue("Left", 100), 100);
  EXPECT_FALSE(box.Exists(kSettingsFileName)) << "reading must not create the file";

  ASSERT_TRUE(WriteFileName(0, "C:\\mods\\a.zip"));
  EXPECT_EQ(ReadFileName(1), "");
  EXPECT_EQ(ReadExtractTo(0), "");
  EXPECT_FALSE(IsExtracted(0));
}

TEST_F(SettingsTest, WritesCreateFileSectionAndKeyAndReadBack) {
  ASSERT_TRUE(WriteWindowValue("Left", -5));
  ASSERT_TRUE(WriteWindowValue("Top", 1200));
  ASSERT_TRUE(WriteFileName(0, "C:\\mods\\first.zip"));
  ASSERT_TRUE(WriteFileName(1, "C:\\mods\\second.zip"));
  ASSERT_TRUE(WriteExtractTo(0, "D:\\Game"));
  ASSERT_TRUE(SetExtracted(0, true));

  EXPECT_EQ(ReadWindowValue("Left", 100), -5);
  EXPECT_EQ(ReadWindowValue("Top", 100), 1200);
  EXPECT_EQ(ReadFileName(0), "C:\\mods\\first.zip");
  EXPECT_EQ(ReadExtractTo(0), "D:\\Game");
  EXPECT_TRUE(IsExtracted(0));
  EXPECT_EQ(ReadFileName(1), "C:\\mods\\second.zip");
  EXPECT_EQ(ReadExtractTo(1), "");
  EXPECT_FALSE(IsExtracted(1));

  const std::string ini = Ini();
  EXPECT_NE(ini.find("[Window]"), std::string::npos);
  EXPECT_NE(ini.find("Left=-5"), std::string::npos);
  EXPECT_NE(ini.find("[FileNo0]"), std::string::npos);
  EXPECT_NE(ini.find("Extracted=1"), std::string::npos);
  EXPECT_NE(ini.find("[FileNo1]"), std::string::npos);

  ASSERT_TRUE(SetExtracted(0, false));
  EXPECT_FALSE(IsExtracted(0));
  EXPECT_NE(Ini().find("Extracted=0"), std::string::npos);
}

TEST_F(SettingsTest, LongValuesAreCutToTheBufferLessOne) {
  const std::string long_path(600, 'p');
  ASSERT_TRUE(WriteFileName(0, long_path.c_str()));
  ASSERT_TRUE(WriteExtractTo(0, long_path.c_str()));
  EXPECT_EQ(ReadFileName(0), std::string(519, 'p'));
  EXPECT_EQ(ReadExtractTo(0), std::string(259, 'p'));
}

TEST_F(SettingsTest, NullValueDeletesTheKeyAndKeepsTheSection) {
  ASSERT_TRUE(WriteFileName(0, "a.zip"));
  ASSERT_TRUE(WriteExtractTo(0, "D:\\G"));
  ASSERT_TRUE(WriteExtractTo(0, nullptr));
  EXPECT_EQ(ReadExtractTo(0), "");
  EXPECT_EQ(ReadFileName(0), "a.zip");
  ASSERT_TRUE(WriteFileName(0, nullptr));
  ASSERT_TRUE(SetExtracted(0, false));
  const std::string ini = Ini();
  EXPECT_NE(ini.find("[FileNo0]"), std::string::npos);
  EXPECT_EQ(ini.find("FileName"), std::string::npos);
  EXPECT_EQ(ini.find("ExtractTo"), std::string::npos);

  // An empty value and a missing key read the same.
  ASSERT_TRUE(WriteExtractTo(1, ""));
  EXPECT_EQ(ReadExtractTo(1), "");
}

TEST_F(SettingsTest, NamesAreCaseInsensitiveAndHandEditsAreRead) {
  // A UTF-8 signature, as editors add, and a key given twice.
  box.WriteFile(kSettingsFileName,
                "\xEF\xBB\xBF[window]\r\nleft=12\r\nLeft=99\r\n"
                "[FILENO0]\r\nfilename=C:\\x.zip\r\nEXTRACTED=2\r\n"
                "[FileNo2]\r\nFileName=C:\\behind-a-hole.zip\r\n");
  EXPECT_EQ(ReadWindowValue("Left", 100), 12) << "the first of two keys is read";
  EXPECT_EQ(ReadFileName(0), "C:\\x.zip");
  EXPECT_TRUE(IsExtracted(0)) << "any non-zero value means installed";
  EXPECT_EQ(ReadFileName(2), "C:\\behind-a-hole.zip");

  // A write in another case updates the one key in place.
  ASSERT_TRUE(WriteFileName(0, "C:\\y.zip"));
  EXPECT_EQ(ReadFileName(0), "C:\\y.zip");
  const std::string ini = Ini();
  EXPECT_EQ(ini.find("x.zip"), std::string::npos);
  EXPECT_EQ(ini.find("y.zip"), ini.rfind("y.zip")) << "the key must not be doubled";
  EXPECT_EQ(ini.rfind("\xEF\xBB\xBF[window]", 0), 0u) << "the signature stays";
  EXPECT_EQ(ReadWindowValue("Left", 100), 12);
}

TEST_F(SettingsTest, IntegersParseLikeTheProfileFunctions) {
  box.WriteFile(kSettingsFileName,
                "[Window]\r\nLeft=-5\r\nTop=12abc\r\n[FileNo0]\r\nExtracted=abc\r\n"
                "[FileNo1]\r\nExtracted=0\r\n");
  EXPECT_EQ(ReadWindowValue("Left", 100), -5);
  EXPECT_EQ(ReadWindowValue("Top", 100), 12);
  EXPECT_FALSE(IsExtracted(0));
  EXPECT_FALSE(IsExtracted(1));

  // Out of range, the number is taken modulo 2^32 as a two's complement
  // int; of a long value only its first 29 characters count.
  const std::pair<const char*, int> values[] = {
      {"-2147483648", INT_MIN}, {"2147483647", INT_MAX}, {"2147483648", INT_MIN},
      {"-2147483649", INT_MAX}, {"4294967295", -1}, {"4294967296", 0},
      {"-99999999999999999999", -1661992959}, {"+5", 5}, {"-", 0}, {"+-5", 0},
      {"0x1f", 31}, {"-0x10", -16}, {"0xFFFFFFFF", -1}, {"0X10", 0}, {"0b101", 5},
      {"0o17", 15}, {"010", 10}, {"\"8\"", 8}, {"", 100},
      {"123456789012345678901234567890123", 1849262357},
  };
  std::string ini = "[Window]\r\n";
  for (const auto& v : values) ini += "K" + std::to_string(&v - values) + "=" + v.first + "\r\n";
  box.WriteFile(kSettingsFileName, ini);
  for (const auto& v : values) {
    EXPECT_EQ(ReadWindowValue(("K" + std::to_string(&v - values)).c_str(), 100), v.second)
        << v.first;
  }
}

TEST_F(SettingsTest, ByteValuesRoundTripExactly) {
  // Shift_JIS bytes on Windows, UTF-8 here: the store must not touch them.
  const std::string path = "C:\\\x95\x5C\\\x83\x5C.zip";
  ASSERT_TRUE(WriteFileName(0, path.c_str()));
  EXPECT_EQ(ReadFileName(0), path);
}

TEST_F(SettingsTest, AnUnwritableFileReportsFailureAndStaysAsItWas) {
  ASSERT_TRUE(WriteFileName(0, "a.zip"));
  const std::string before = Ini();
  SetReadOnly(SettingsFile(), true);
  EXPECT_FALSE(WriteFileName(0, "b.zip"));
  EXPECT_FALSE(SetExtracted(0, true));
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(ReadFileName(0), "a.zip");
  SetReadOnly(SettingsFile(), false);

  // A settings folder that does not exist cannot take the file either.
  SetProgramDirectory(box.Join("missing") + kSep);
  EXPECT_FALSE(WriteWindowValue("Left", 1));
}

// A batch's writes are read back before the commit and reach the file only
// with it, in one mutating call; a failed commit leaves the file as it was.
TEST_F(SettingsTest, ABatchReachesTheFileWholeOrNotAtAll) {
  ASSERT_TRUE(WriteFileName(0, "a.zip"));
  ASSERT_TRUE(WriteExtractTo(0, "D:\\A"));
  ASSERT_TRUE(WriteWindowValue("Left", 1));
  const std::string before = Ini();
  // Refused (read-only), failed as by a crash, then committed.
  for (const char* ending : {"refused", "failed", "committed"}) {
    SCOPED_TRACE(ending);
    const bool failing = ending[0] != 'c';
    EXPECT_EQ(ReadFileName(0), "a.zip");  // the file is read (and cached) before the batch
    BeginSettingsBatch();
    ASSERT_TRUE(WriteFileName(0, "b.zip"));
    ASSERT_TRUE(WriteFileName(1, "c.zip"));
    ASSERT_TRUE(WriteExtractTo(0, nullptr));
    ASSERT_TRUE(WriteWindowValue("Left", 2));
    EXPECT_EQ(ReadFileName(0), "b.zip");
    EXPECT_EQ(ReadFileName(1), "c.zip");
    EXPECT_EQ(ReadExtractTo(0), "");
    EXPECT_EQ(ReadWindowValue("Left", 100), 2);
    EXPECT_EQ(Ini(), before);
    SetReadOnly(SettingsFile(), ending[0] == 'r');
    FailFileOperation(ending[0] == 'f' ? 1 : 0);
    EXPECT_EQ(CommitSettingsBatch(), !failing);
    EXPECT_EQ(FileOperationCount(), 1);
    FailFileOperation(0);
    SetReadOnly(SettingsFile(), false);
    // Read at once after the rename: no cached copy of the old file answers.
    EXPECT_EQ(ReadFileName(0), failing ? "a.zip" : "b.zip");
    EXPECT_EQ(ReadFileName(1), failing ? "" : "c.zip");
    EXPECT_EQ(ReadExtractTo(0), failing ? "D:\\A" : "");
    EXPECT_EQ(ReadWindowValue("Left", 100), failing ? 1 : 2);
    if (failing) {
      EXPECT_EQ(Ini(), before);
    }
  }

  // Abandoned, the writes are gone; a single write is a batch of one.
  const std::string committed = Ini();
  BeginSettingsBatch();
  ASSERT_TRUE(WriteFileName(2, "d.zip"));
  AbandonSettingsBatch();
  EXPECT_EQ(ReadFileName(2), "");
  EXPECT_EQ(Ini(), committed);
  FailFileOperation(1);
  EXPECT_FALSE(WriteFileName(2, "d.zip"));
  FailFileOperation(0);
  EXPECT_EQ(Ini(), committed);
  ASSERT_TRUE(WriteFileName(2, "d.zip"));
  ASSERT_TRUE(WriteFileName(2, nullptr));

  // No copy is left beside the file, whichever way the batches ended.
  const auto tree = Snapshot(box.path());
  EXPECT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree.count(kSettingsFileName), 1u);
}

// Reads are answered from memory until the file changes on disk, by any
// hand: an edit of the same size within the same second shows too.
TEST_F(SettingsTest, AnEditBehindTheProgramsBackIsRead) {
  const long long second = 1700000000;
  box.WriteFile(kSettingsFileName, "[FileNo0]\r\nFileName=C:\\a.zip\r\n");
  SetModified(SettingsFile(), second, 1000);
  EXPECT_EQ(ReadFileName(0), "C:\\a.zip");
  box.WriteFile(kSettingsFileName, "[FileNo0]\r\nFileName=C:\\b.zip\r\n");
  SetModified(SettingsFile(), second, 2000);
  EXPECT_EQ(ReadFileName(0), "C:\\b.zip");
  // A write builds on the edited file, not on what was read before.
  ASSERT_TRUE(WriteExtractTo(0, "D:\\G"));
  EXPECT_NE(Ini().find("b.zip"), std::string::npos);
  EXPECT_EQ(ReadFileName(0), "C:\\b.zip");

  // Two edits within one step of the file clock keep even the time: a file
  // changed that recently is looked at again (a time ahead of the clock
  // stands for "just now").
  const long long ahead = static_cast<long long>(std::time(nullptr)) + 60;
  for (const char* archive : {"C:\\c.zip", "C:\\d.zip"}) {
    box.WriteFile(kSettingsFileName, "[FileNo0]\r\nFileName=" + std::string(archive) + "\r\n");
    SetModified(SettingsFile(), ahead, 3000);
    EXPECT_EQ(ReadFileName(0), archive);
  }
}

// A file that a rewrite would damage is refused, as a read-only one is, and
// left byte for byte; what can be read of it still is.
TEST_F(SettingsTest, AFileARewriteWouldDamageIsRefused) {
  using namespace std::string_literals;
  const std::string records = "[FileNo0]\r\nFileName=C:\\behind.zip\r\n";
  std::vector<std::string> files = {
      // Both parsers end a line at a NUL byte, and the one here stops there.
      "[Window]\r\nLeft=1\r\nTop=2\0 3\r\n"s + records,
      "[Window]\r\nLeft=1\r\n\0"s + records,
  };
#ifndef _WIN32
  // An unclosed section name swallows the next key's name here, also the
  // first one, right behind a UTF-8 signature.
  files.push_back("[Window]\r\nLeft=1\r\n[Unclosed\r\n" + records);
  files.push_back("\xEF\xBB\xBF[Unclosed\nKey=x\n[Window]\nLeft=1\n" + records);
  // Keys of the section without a name are saved first: one starting with
  // a signature would start the file with it and lose it there.
  files.push_back("[Window]\r\nLeft=1\r\n[]\r\n\xEF\xBB\xBFKey=x\r\n" + records);
#endif
  for (const std::string& content : files) {
    SCOPED_TRACE(testing::PrintToString(content));
    box.WriteFile(kSettingsFileName, content);
    EXPECT_FALSE(WriteWindowValue("Left", 5));
    EXPECT_FALSE(WriteFileName(1, "new.zip"));
    BeginSettingsBatch();
    EXPECT_FALSE(WriteWindowValue("Top", 6));
    EXPECT_EQ(ReadWindowValue("Left", 100), 1);
    EXPECT_FALSE(CommitSettingsBatch());
    EXPECT_EQ(Ini(), content);
  }
}

#ifndef _WIN32
// A line break would end the line early and start one of the text's own
// making (a Linux path may hold one): such a write is refused, a batch
// holding one fails, and the file stays as it was, or missing.
TEST_F(SettingsTest, AWriteHoldingALineBreakIsRefused) {
  for (const char* value : {"/mods/a\n[FileNo5]\nFileName=b.zip", "/mods/a\rb.zip", "a\r\n"}) {
    SCOPED_TRACE(testing::PrintToString(value));
    EXPECT_FALSE(WriteFileName(0, value));
    EXPECT_FALSE(box.Exists(kSettingsFileName));
    ASSERT_TRUE(WriteFileName(0, "a.zip"));
    const std::string before = Ini();
    EXPECT_FALSE(WriteExtractTo(0, value));
    EXPECT_FALSE(ProfileWriteString(value, "Key", "v", SettingsFile()));
    EXPECT_FALSE(ProfileWriteString("Window", value, "v", SettingsFile()));
    BeginSettingsBatch();
    ASSERT_TRUE(WriteFileName(1, "b.zip"));
    EXPECT_FALSE(WriteExtractTo(1, value));
    EXPECT_FALSE(CommitSettingsBatch());
    EXPECT_EQ(Ini(), before);
    box.Restore({});  // the next value meets a missing file again
  }
}
#endif


TEST(ProgramDirectoryTest, IsTheExecutablesFolderWithItsSeparator) {
  ASSERT_TRUE(SetProgramDirectory());
  ASSERT_FALSE(ProgramDirectory.empty());
  EXPECT_EQ(ProgramDirectory.back(), kSep);
  EXPECT_LE(ProgramDirectory.size(), kMaxProgramDirectory);
  const std::string exe = ExecutablePath();
  EXPECT_EQ(exe.compare(0, ProgramDirectory.size(), ProgramDirectory), 0);

  // Unlocated, the store must not fall back on a relative file name.
  SetProgramDirectory(std::string());
  EXPECT_FALSE(WriteWindowValue("Left", 1));
  EXPECT_FALSE(WriteFileName(0, "a.zip"));
  EXPECT_EQ(ReadWindowValue("Left", 100), 100);
}

}  // namespace
