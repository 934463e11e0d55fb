// Runs against the Windows profile functions under Wine and against the INI
// layer natively: both must behave the same.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include "settings/profile.h"
#include "support/sandbox.h"


namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectory(box.path() + kSep); }
  void TearDown() override { SetProgramDirectory(std::string()); }
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
  box.WriteFile(kSettingsFileName,
                "[window]\r\nleft=12\r\n[FILENO0]\r\nfilename=C:\\x.zip\r\nEXTRACTED=2\r\n"
                "[FileNo2]\r\nFileName=C:\\behind-a-hole.zip\r\n");
  EXPECT_EQ(ReadWindowValue("Left", 100), 12);
  EXPECT_EQ(ReadFileName(0), "C:\\x.zip");
  EXPECT_TRUE(IsExtracted(0)) << "any non-zero value means installed";
  EXPECT_EQ(ReadFileName(2), "C:\\behind-a-hole.zip");

  // A write in another case updates the one key in place.
  ASSERT_TRUE(WriteFileName(0, "C:\\y.zip"));
  EXPECT_EQ(ReadFileName(0), "C:\\y.zip");
  const std::string ini = Ini();
  EXPECT_EQ(ini.find("x.zip"), std::string::npos);
  EXPECT_EQ(ini.find("y.zip"), ini.rfind("y.zip")) << "the key must not be doubled";
}

TEST_F(SettingsTest, IntegersParseLikeTheProfileFunctions) {
  box.WriteFile(kSettingsFileName,
                "[Window]\r\nLeft=-5\r\nTop=12abc\r\n[FileNo0]\r\nExtracted=abc\r\n"
                "[FileNo1]\r\nExtracted=0\r\n");
  EXPECT_EQ(ReadWindowValue("Left", 100), -5);
  EXPECT_EQ(ReadWindowValue("Top", 100), 12);
  EXPECT_FALSE(IsExtracted(0));
  EXPECT_FALSE(IsExtracted(1));
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

#ifndef _WIN32
TEST_F(SettingsTest, ReplacingTheFileLeavesNoTemporaryFiles) {
  ASSERT_TRUE(WriteFileName(0, "a.zip"));
  ASSERT_TRUE(WriteFileName(1, "b.zip"));
  ASSERT_TRUE(WriteFileName(1, nullptr));
  const auto tree = Snapshot(box.path());
  EXPECT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree.count(kSettingsFileName), 1u);
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
