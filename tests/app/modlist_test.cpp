// The list commands against a recording dialog and a real settings file in a
// sandbox: the rows and the file's records must stay in step.
#include "app/modlist.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/mod_menu.h"
#include "app/texts.h"
#include "support/fault.h"
#include "settings/settings.h"
#include "support/recording_window.h"
#include "support/sandbox.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using Rows = std::vector<std::pair<std::string, int>>;
using Keys = std::map<std::string, std::string>;
using Sections = std::map<std::string, Keys>;

// Archive paths as a Windows user would have them; the row shows the part
// after the last separator on every platform.
const char* const kA = "C:\\mods\\alpha.zip";
const char* const kB = "C:\\mods\\beta.zip";
const char* const kC = "C:\\mods\\gamma.zip";

class ModListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDirectory(box.path() + kSep);
    ModCount = 0;
  }
  void TearDown() override {
    SetProgramDirectory(std::string());
    ModCount = 0;
  }

  // Starts over as the program would at start-up with `ini` as its file.
  void Start(const std::string& ini) {
    box.WriteFile(kSettingsFileName, ini);
    window.rows.clear();
    window.folder_items.clear();
    window.errors.clear();
    window.selected = -1;
    ModCount = 0;
    LoadModList();
  }

  // Every section of the file with its keys, as written.
  Sections ReadSections() const {
    Sections out;
    std::istringstream in(box.ReadFile(kSettingsFileName));
    std::string line, section;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      if (line.front() == '[') {
        section = line.substr(1, line.find(']') - 1);
        out[section];
      } else {
        const std::size_t eq = line.find('=');
        out[section][line.substr(0, eq)] = line.substr(eq + 1);
      }
    }
    return out;
  }

  void SetReadOnly(bool read_only) { ::SetReadOnly(SettingsFile(), read_only); }

  std::string WriteErrorText() const {
    return std::string(kSettingsWriteError) + "\n" + SettingsFile();
  }

  Sandbox box;
  RecordingWindow window;
};

std::string Record(int n, const std::string& body) {
  return "[FileNo" + std::to_string(n) + "]\r\n" + body;
}

TEST_F(ModListTest, LoadingStopsAtTheFirstRecordWithoutAnArchive) {
  Start(Record(0, "FileName=" + std::string(kA) + "\r\nExtractTo=D:\\Game\r\n") +
        Record(1, "FileName=plain.zip\r\nExtractTo=D:\\Game\r\n") +
        Record(2, "FileName=C:\\mods\\gamma.zip\r\n") +
        Record(3, "ExtractTo=D:\\Other\r\nExtracted=1\r\n") +
        Record(4, "FileName=C:\\mods\\behind.zip\r\nExtractTo=D:\\Behind\r\n"));
  EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}, {"plain.zip", 1}, {"gamma.zip", 2}}));
  EXPECT_EQ(ModCount, 3);

  // Loading again goes on from ModCount and finds nothing new.
  LoadModList();
  EXPECT_EQ(window.rows.size(), 3u);

  // The history ends at the first mod without a folder, even though mods 3
  // and 4 have one; a folder used twice is offered twice.
  FillExtractHistory();
  EXPECT_EQ(window.folder_items, (Rows{{"D:\\Game", 0}, {"D:\\Game", 1}}));
}

TEST_F(ModListTest, EmptyFileGivesAnEmptyListAndHistory) {
  LoadModList();
  FillExtractHistory();
  EXPECT_TRUE(window.rows.empty());
  EXPECT_TRUE(window.folder_items.empty());
  EXPECT_EQ(ModCount, 0);
  EXPECT_FALSE(box.Exists(kSettingsFileName)) << "loading must not create the file";
}

TEST_F(ModListTest, AddingWritesTheNextNumberAndLeavesTheSelection) {
  Start(Record(0, "FileName=" + std::string(kA) + "\r\n"));
  window.selected = 0;

  AddMod();  // the user cancels
  EXPECT_EQ(window.rows.size(), 1u);
  EXPECT_EQ(ModCount, 1);

  window.archive_choices = {kB};
  AddMod();
  EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}, {"beta.zip", 1}}));
  EXPECT_EQ(ModCount, 2);
  EXPECT_EQ(window.selected, 0);
  EXPECT_EQ(ReadSections(), (Sections{{"FileNo0", {{"FileName", kA}}},
                                      {"FileNo1", {{"FileName", kB}}}}));
  EXPECT_TRUE(window.errors.empty());
}

// Dropped files are added as chosen ones, in the order of the drop; a
// folder among them is passed over.
TEST_F(ModListTest, DroppingAddsEachFileInOrderPassingOverFolders) {
  Start(Record(0, "FileName=" + std::string(kA) + "\r\n"));
  window.selected = 0;
  box.MakeDir("drop/folder.zip");
  box.WriteFile("drop/z.zip", "PK");
  const std::string folder = box.Join("drop/folder.zip");
  const std::string z = box.Join("drop/z.zip");

  DropFiles({z, folder, kB});
  EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}, {"z.zip", 1}, {"beta.zip", 2}}));
  EXPECT_EQ(ModCount, 3);
  EXPECT_EQ(window.selected, 0);
  EXPECT_EQ(ReadSections(), (Sections{{"FileNo0", {{"FileName", kA}}},
                                      {"FileNo1", {{"FileName", z}}},
                                      {"FileNo2", {{"FileName", kB}}}}));
  EXPECT_TRUE(window.errors.empty());

  // An unwritable file stops the drop at its first path, once.
  SetReadOnly(true);
  DropFiles({kC, kC});
  SetReadOnly(false);
  EXPECT_EQ(window.rows.size(), 3u);
  EXPECT_EQ(window.errors, std::vector<std::string>{WriteErrorText()});
}

TEST_F(ModListTest, AddingFillsAHoleAndNeverWritesOverTheRecordBehindIt) {
  // FileNo1 is missing; FileNo2 holds an installed mod that the list could
  // not reach. Leftover keys of the free number belong to the new mod.
  Start(Record(0, "FileName=" + std::string(kA) + "\r\n") +
        Record(1, "Extracted=0\r\n") +
        Record(2, "FileName=" + std::string(kC) + "\r\nExtractTo=D:\\Game\r\nExtracted=1\r\n"));
  EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}}));

  window.archive_choices = {kB, "C:\\mods\\delta.zip"};
  AddMod();
  EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}, {"beta.zip", 1}, {"gamma.zip", 2}}));
  EXPECT_EQ(ModCount, 3);

  AddMod();
  EXPECT_EQ(window.rows.back(), (std::pair<std::string, int>{"delta.zip", 3}));
  EXPECT_EQ(ModCount, 4);
  EXPECT_EQ(ReadSections(),
            (Sections{{"FileNo0", {{"FileName", kA}}},
                      {"FileNo1", {{"FileName", kB}, {"Extracted", "0"}}},
                      {"FileNo2", {{"FileName", kC}, {"ExtractTo", "D:\\Game"}, {"Extracted", "1"}}},
                      {"FileNo3", {{"FileName", "C:\\mods\\delta.zip"}}}}));
}

TEST_F(ModListTest, AddingToAnUnwritableFileTellsTheUserAndAddsNoRow) {
  Start(Record(0, "FileName=" + std::string(kA) + "\r\n"));
  const std::string before = box.ReadFile(kSettingsFileName);
  SetReadOnly(true);
  window.archive_choices = {kB};
  AddMod();
  SetReadOnly(false);
  EXPECT_EQ(window.errors, std::vector<std::string>{WriteErrorText()});
  EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}}));
  EXPECT_EQ(ModCount, 1);
  EXPECT_EQ(box.ReadFile(kSettingsFileName), before);
}

// A line break would end the record's line and start one of the path's
// making; a Linux archive name may hold one. Nothing is even written.
TEST_F(ModListTest, AnArchiveWhosePathHoldsALineBreakIsRefused) {
  Start(Record(0, "FileName=" + std::string(kA) + "\r\n"));
  const std::string before = box.ReadFile(kSettingsFileName);
  for (const char* path : {"/mods/two\nlines.zip", "/mods/a.zip\r[FileNo5]"}) {
    SCOPED_TRACE(testing::PrintToString(path));
    window.errors.clear();
    window.archive_choices = {path};
    FailFileOperation(0);
    AddMod();
    EXPECT_EQ(FileOperationCount(), 0);
    EXPECT_EQ(window.errors, std::vector<std::string>{kProcessingError});
    EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}}));
    EXPECT_EQ(ModCount, 1);
    EXPECT_EQ(box.ReadFile(kSettingsFileName), before);
  }
}

// Three mods: alpha installed with a hand-edited flag of 2, beta without an
// ExtractTo key, gamma installed. A Window section must survive untouched.
const std::string kThreeMods =
    "[Window]\r\nLeft=5\r\nTop=6\r\n" +
    Record(0, "FileName=" + std::string(kA) + "\r\nExtractTo=D:\\A\r\nExtracted=2\r\n") +
    Record(1, "FileName=" + std::string(kB) + "\r\nExtracted=0\r\n") +
    Record(2, "FileName=" + std::string(kC) + "\r\nExtractTo=D:\\C\r\nExtracted=1\r\n");

TEST_F(ModListTest, RemovingRenumbersTheRecordsBehindIt) {
  const Keys window_keys{{"Left", "5"}, {"Top", "6"}};
  const Keys alpha{{"FileName", kA}, {"ExtractTo", "D:\\A"}, {"Extracted", "1"}};
  const Keys beta{{"FileName", kB}, {"ExtractTo", ""}, {"Extracted", "0"}};
  const Keys gamma{{"FileName", kC}, {"ExtractTo", "D:\\C"}, {"Extracted", "1"}};
  const Keys freed{{"Extracted", "0"}};

  struct Case {
    int removed;
    Rows rows;
    Sections sections;
  };
  const Case cases[] = {
      {1,
       {{"alpha.zip", 0}, {"gamma.zip", 1}},
       {{"Window", window_keys}, {"FileNo0", alpha}, {"FileNo1", gamma}, {"FileNo2", freed}}},
  };
  // An installed mod is not removed: its files would be stranded.
  for (const int installed : {0, 2}) {
    Start(kThreeMods);
    const std::string before = box.ReadFile(kSettingsFileName);
    window.selected = installed;
    RemoveMod();
    EXPECT_EQ(window.errors, std::vector<std::string>{kRemoveInstalledError});
    EXPECT_EQ(window.rows.size(), 3u);
    EXPECT_EQ(box.ReadFile(kSettingsFileName), before);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE("removing mod " + std::to_string(c.removed));
    Start(kThreeMods);
    FillExtractHistory();
    const Rows history = window.folder_items;
    window.selected = c.removed;
    FailFileOperation(0);
    RemoveMod();
    EXPECT_EQ(FileOperationCount(), 1) << "the file is replaced once";
    EXPECT_EQ(window.rows, c.rows);
    EXPECT_EQ(ModCount, 2);
    EXPECT_EQ(window.selected, -1);
    EXPECT_EQ(window.folder_items, history);
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(ReadSections(), c.sections);

    // The freed number is the next one an add takes, and it starts clean.
    window.archive_choices = {"C:\\mods\\new.zip"};
    AddMod();
    EXPECT_EQ(window.rows.back(), (std::pair<std::string, int>{"new.zip", 2}));
    EXPECT_FALSE(IsExtracted(2));
    EXPECT_EQ(ReadExtractTo(2), "");
  }
}

TEST_F(ModListTest, RemovingTheOnlyModLeavesAnEmptyNotInstalledSection) {
  Start(Record(0, "FileName=" + std::string(kA) + "\r\nExtractTo=D:\\A\r\n"));
  window.selected = 0;
  RemoveMod();
  EXPECT_TRUE(window.rows.empty());
  EXPECT_EQ(ModCount, 0);
  EXPECT_EQ(ReadSections(), (Sections{{"FileNo0", {{"Extracted", "0"}}}}));
}

TEST_F(ModListTest, RemovingWithoutASelectionDoesNothing) {
  Start(kThreeMods);
  const std::string before = box.ReadFile(kSettingsFileName);
  RemoveMod();
  EXPECT_EQ(window.rows.size(), 3u);
  EXPECT_EQ(ModCount, 3);
  EXPECT_EQ(box.ReadFile(kSettingsFileName), before);
}

TEST_F(ModListTest, AFailedRemovalReloadsTheRowsFromTheFile) {
  // A read-only file, and a commit that fails as a crash would stop it.
  for (const bool read_only : {true, false}) {
    SCOPED_TRACE(read_only ? "read-only" : "failed commit");
    Start(kThreeMods);
    const std::string before = box.ReadFile(kSettingsFileName);
    window.selected = 1;
    SetReadOnly(read_only);
    FailFileOperation(read_only ? 0 : 1);
    RemoveMod();
    FailFileOperation(0);
    SetReadOnly(false);
    EXPECT_EQ(window.errors, std::vector<std::string>{WriteErrorText()});
    EXPECT_EQ(box.ReadFile(kSettingsFileName), before);
    // One row per record of the file, each acting on its own number.
    EXPECT_EQ(window.rows, (Rows{{"alpha.zip", 0}, {"beta.zip", 1}, {"gamma.zip", 2}}));
    EXPECT_EQ(ModCount, 3);
    EXPECT_EQ(window.selected, -1);
  }
}

TEST_F(ModListTest, ChoosingAFolderStoresItForTheSelectedModOnly) {
  Start(kThreeMods);
  window.folder_choices = {"E:\\Games\\Chosen"};

  ChooseExtractFolder();  // nothing selected: the browser is not even shown
  EXPECT_EQ(window.folder_choices.size(), 1u);

  // An installed mod keeps its folder: its files are there.
  window.selected = 2;
  ChooseExtractFolder();
  EXPECT_EQ(window.errors, std::vector<std::string>{kBrowseInstalledError});
  EXPECT_EQ(ReadExtractTo(2), "D:\\C");
  EXPECT_EQ(window.folder_choices.size(), 1u);
  window.errors.clear();

  window.selected = 1;
  ChooseExtractFolder();
  EXPECT_EQ(window.folder_text, "E:\\Games\\Chosen");
  EXPECT_EQ(ReadExtractTo(1), "E:\\Games\\Chosen");
  EXPECT_EQ(ReadExtractTo(0), "D:\\A");
  EXPECT_EQ(ReadExtractTo(2), "D:\\C");
  EXPECT_TRUE(window.folder_items.empty()) << "the history is only filled at start-up";

  window.folder_text = "typed";
  ChooseExtractFolder();  // the user cancels
  EXPECT_EQ(window.folder_text, "typed");
  EXPECT_EQ(ReadExtractTo(1), "E:\\Games\\Chosen");

  SetReadOnly(true);
  window.folder_choices = {"F:\\Elsewhere"};
  ChooseExtractFolder();
  SetReadOnly(false);
  EXPECT_EQ(window.errors, std::vector<std::string>{WriteErrorText()});
  EXPECT_EQ(ReadExtractTo(1), "E:\\Games\\Chosen");
}

}  // namespace
