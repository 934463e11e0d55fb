// Dispatch, refresh, window position and start-up against a recording dialog
// and a real settings file.
#include "app/app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/modlist.h"
#include "app/texts.h"
#include "platform/profile.h"
#include "settings/settings.h"
#include "support/recording_window.h"
#include "support/sandbox.h"
#include "app/window.h"

namespace {

using Rows = std::vector<std::pair<std::string, int>>;

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDirectory(box.path() + kSep);
    ModCount = 0;
  }
  void TearDown() override {
    SetProgramDirectory(std::string());
    ModCount = 0;
  }

  void Start(const std::string& ini) {
    box.WriteFile(kSettingsFileName, ini);
    ModCount = 0;
    LoadModList();
  }
  std::string Ini() const { return box.ReadFile(kSettingsFileName); }

  Sandbox box;
  RecordingWindow window;
};

TEST_F(AppTest, RefreshShowsTheSelectedModsFolderAndState) {
  box.WriteFile("mods/a.zip", "PK");
  const std::string archive = box.Join("mods/a.zip");
  const std::string missing = box.Join("mods/missing.zip");
  Start("[FileNo0]\nFileName=" + archive + "\nExtractTo=D:\\Game\nExtracted=0\n" +
        "[FileNo1]\nFileName=" + archive + "\nExtractTo=D:\\Game\nExtracted=2\n" +
        "[FileNo2]\nFileName=" + missing + "\nExtractTo=D:\\Game\n" +
        "[FileNo3]\nFileName=" + archive + "\n" +
        "[FileNo4]\nFileName=" + missing + "\nExtracted=1\n");
  const auto before = Snapshot(box.path());

  struct Case {
    int selected;
    std::string folder_text;
    std::string caption;
    bool enabled;
  };
  const Case cases[] = {
      {0, "D:\\Game", "Install", true},
      {1, "D:\\Game", "UnInstall", true},  // any non-zero flag is installed
      {2, "D:\\Game", "FileNotFound!", false},
      {3, "", "ExtractTo?", false},
      {4, "", "ExtractTo?", false},  // both faults: the folder is named
      {-1, "", "Install", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.selected));
    window.selected = c.selected;
    window.folder_text = "stale";
    window.install_caption = "stale";
    window.install_enabled = !c.enabled;
    RefreshControls();
    EXPECT_EQ(window.folder_text, c.folder_text);
    EXPECT_EQ(window.install_caption, c.caption);
    EXPECT_EQ(window.install_enabled, c.enabled);
  }
  EXPECT_EQ(Snapshot(box.path()), before) << "a refresh must change nothing on disk";
}

TEST_F(AppTest, TypedFolderTextIsNeverStored) {
  Start("[FileNo0]\nFileName=a.zip\nExtractTo=D:\\Stored\n");
  const std::string before = Ini();
  window.selected = 0;
  window.folder_text = "D:\\Typed";
  DispatchCommand(kRefreshOnly);  // what an edit in the folder box asks for
  EXPECT_EQ(window.folder_text, "D:\\Stored");
  EXPECT_EQ(Ini(), before);
}

// Which events are clicks is each front-end's to say (the Windows one
// compares a message's whole wParam with the button numbers: the end-to-end
// run checks that); the core runs a click's command and otherwise refreshes.
TEST_F(AppTest, DispatchRunsAButtonsCommandAndOtherwiseOnlyRefreshes) {
  Start("[FileNo0]\nFileName=a.zip\n[FileNo1]\nFileName=b.zip\nExtractTo=D:\\B\n");
  const std::string before = Ini();
  window.archive_choices = {"c.zip"};
  window.folder_choices = {"D:\\Chosen"};
  window.selected = 0;

  DispatchCommand(kRefreshOnly);
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(window.rows, (Rows{{"a.zip", 0}, {"b.zip", 1}}));
  EXPECT_EQ(window.archive_choices.size(), 1u);
  EXPECT_EQ(window.folder_choices.size(), 1u);

  // A selection change only refreshes: the new row's folder and state show.
  window.selected = 1;
  DispatchCommand(kRefreshOnly);
  EXPECT_EQ(window.folder_text, "D:\\B");
  EXPECT_EQ(window.install_caption, "FileNotFound!");
  EXPECT_EQ(Ini(), before);

  DispatchCommand(AddModButton);
  EXPECT_EQ(window.rows.back(), (std::pair<std::string, int>{"c.zip", 2}));
  EXPECT_EQ(window.selected, 1);

  window.selected = 0;
  DispatchCommand(BrowseButton);
  EXPECT_EQ(ReadExtractTo(0), "D:\\Chosen");
  EXPECT_EQ(window.folder_text, "D:\\Chosen") << "the refresh shows what was stored";

  DispatchCommand(RemoveModButton);
  EXPECT_EQ(window.rows, (Rows{{"b.zip", 0}, {"c.zip", 1}}));
  // Nothing is selected after a removal, and the refresh says so.
  EXPECT_EQ(window.folder_text, "");
  EXPECT_EQ(window.install_caption, "Install");
  EXPECT_FALSE(window.install_enabled);
  EXPECT_TRUE(window.errors.empty());
}

TEST_F(AppTest, RestoringPlacesTheWindowOnScreenAtItsSavedPosition) {
  RestoreWindowPosition();  // no file: the defaults
  EXPECT_EQ(window.moves, 1);
  EXPECT_EQ(std::vector<int>({window.left, window.top, window.width, window.height}),
            std::vector<int>({100, 100, 266, 215}));

  box.WriteFile(kSettingsFileName, "[Window]\nLeft=-5\nTop=1200\n");
  const std::string before = Ini();
  window.base_horizontal = 7;
  window.base_vertical = 15;
  RestoreWindowPosition();
  // Width follows the vertical unit and height the horizontal one, truncated.
  EXPECT_EQ(std::vector<int>({window.left, window.top, window.width, window.height}),
            std::vector<int>({-5, 1200, 250, 188}));

  window.on_screen = false;  // that monitor has gone
  RestoreWindowPosition();
  EXPECT_EQ(std::vector<int>({window.left, window.top, window.width, window.height}),
            std::vector<int>({100, 100, 250, 188}));
  EXPECT_EQ(Ini(), before) << "restoring writes nothing";
}

TEST_F(AppTest, SavingWritesThePositionUnlessMinimised) {
  window.minimised = true;
  EXPECT_TRUE(SaveWindowPosition());
  EXPECT_FALSE(box.Exists(kSettingsFileName));

  window.minimised = false;
  window.left = -20;
  window.top = 35;
  EXPECT_TRUE(SaveWindowPosition());
  EXPECT_EQ(ReadWindowValue("Left", 100), -20);
  EXPECT_EQ(ReadWindowValue("Top", 100), 35);

  SetReadOnly(SettingsFile(), true);
  window.left = 1;
  EXPECT_FALSE(SaveWindowPosition());
  SetReadOnly(SettingsFile(), false);
  EXPECT_EQ(ReadWindowValue("Left", 100), -20);

  SetProgramDirectory(box.Join("missing") + kSep);
  EXPECT_FALSE(SaveWindowPosition());
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out;
}

// Runs start-up as if the program stood at `executable` and reports what it
// did to the dialog, one line per fact.
std::string RunStartUp(const std::string& executable) {
  RecordingWindow window;
  ModCount = 0;
  const bool started = StartUpFrom(executable);
  std::ostringstream out;
  out << "started " << started << "\n";
  for (const std::string& e : window.errors) out << "error " << Escaped(e) << "\n";
  for (const auto& row : window.rows) out << "row " << row.second << " " << row.first << "\n";
  for (const auto& item : window.folder_items) {
    out << "folder " << item.second << " " << item.first << "\n";
  }
  out << "moves " << window.moves << "\n";
  out << "captions " << window.captions_seen.size() << "\n";
  SetProgramDirectory(std::string());
  ModCount = 0;
  return out.str();
}

const char* const kProgramName = "Quorvantel.exe";

TEST(AppStartUp, ShowsTheSavedListAndPositionAndSavesThePosition) {
  Sandbox box;
  box.WriteFile(kSettingsFileName,
                "[Window]\r\nLeft=30\r\nTop=40\r\n"
                "[FileNo0]\r\nFileName=C:\\mods\\a.zip\r\nExtractTo=D:\\A\r\n"
                "[FileNo1]\r\nFileName=b.zip\r\nExtractTo=D:\\A\r\nExtracted=1\r\n");
  const std::string report =
      RunStartUp(box.Join(kProgramName));
  // The refresh is not part of start-up: no caption is set.
  EXPECT_EQ(report,
            "started 1\n"
            "row 0 a.zip\nrow 1 b.zip\n"
            "folder 0 D:\\A\nfolder 1 D:\\A\n"
            "moves 1\ncaptions 0\n");

  // The first start writes the position at once, creating the file.
  Sandbox fresh;
  EXPECT_EQ(RunStartUp(fresh.Join(kProgramName)),
            "started 1\nmoves 1\ncaptions 0\n");
  const std::string ini = fresh.ReadFile(kSettingsFileName);
  EXPECT_NE(ini.find("Left=100"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Top=100"), std::string::npos) << ini;
}

TEST(AppStartUp, AnUnwritableSettingsFileIsReportedOnceAndTheListStillLoads) {
  Sandbox box;
  const std::string ini =
      "[Window]\r\nLeft=30\r\nTop=40\r\n"
      "[FileNo0]\r\nFileName=C:\\mods\\a.zip\r\nExtractTo=D:\\A\r\n";
  box.WriteFile(kSettingsFileName, ini);
  SetReadOnly(box.Join(kSettingsFileName), true);
  const std::string report =
      RunStartUp(box.Join(kProgramName));
  SetReadOnly(box.Join(kSettingsFileName), false);
  EXPECT_EQ(report, "started 1\nerror " + std::string(kSettingsWriteError) + "\\n" +
                        box.path() + kSep + kSettingsFileName +
                        "\nrow 0 a.zip\nfolder 0 D:\\A\nmoves 1\ncaptions 0\n");
  EXPECT_EQ(box.ReadFile(kSettingsFileName), ini);
}

TEST(AppStartUp, RefusesToRunFromAFolderTooLongForItsSettingsFile) {
  Sandbox box;
  // A folder of 246 characters plus its separator: one past the limit.
  const std::size_t length = kMaxProgramDirectory + 1;
  ASSERT_LT(box.path().size() + 2, length) << "temporary folder too deep";
  const std::string folder = box.path() + kSep + std::string(length - box.path().size() - 1, 'd');
  ASSERT_EQ(folder.size(), length);
  box.MakeDir(folder.substr(box.path().size() + 1));
  EXPECT_EQ(RunStartUp(folder + kSep + "q.exe"),
            "started 0\nerror " + std::string(kProgramDirectoryTooLong) + "\\n" + folder +
                "\nmoves 0\ncaptions 0\n");
  EXPECT_FALSE(box.Exists(folder.substr(box.path().size() + 1) + "/" + kSettingsFileName));
}

}  // namespace
