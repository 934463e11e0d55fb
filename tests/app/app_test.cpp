// Dispatch, refresh, window position and start-up against a recording dialog
// and a real settings file.
#include "app/app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "modlist/modlist.h"
#include "settings/profile.h"
#include "settings/settings.h"
#include "support/recording_window.h"
#include "support/sandbox.h"
#include "window/window.h"

#ifdef _WIN32
#include <windows.h>
constexpr char kSep = '\\';
#else
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
constexpr char kSep = '/';
#endif

namespace {

using Rows = std::vector<std::pair<std::string, int>>;

// A WM_COMMAND wParam: notification code in the high word.
std::uintptr_t Command(int control, int notification) {
  return (static_cast<std::uintptr_t>(notification) << 16) | static_cast<std::uintptr_t>(control);
}
constexpr int kNotifySelChange = 1;   // LBN_SELCHANGE, also BN_* with a non-zero code
constexpr int kNotifyEditChange = 5;  // CBN_EDITCHANGE

void SetReadOnly(const std::string& path, bool read_only) {
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
  chmod(path.c_str(), read_only ? 0444 : 0644);
#endif
}

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
  DispatchCommand(Command(ExtractToBox, kNotifyEditChange));
  EXPECT_EQ(window.folder_text, "D:\\Stored");
  EXPECT_EQ(Ini(), before);
}

TEST_F(AppTest, DispatchMatchesTheWholeCommandValue) {
  Start("[FileNo0]\nFileName=a.zip\n[FileNo1]\nFileName=b.zip\nExtractTo=D:\\B\n");
  const std::string before = Ini();
  window.archive_choices = {"c.zip"};
  window.folder_choices = {"D:\\Chosen"};
  window.selected = 0;

  // The same low words with a notification code are not clicks.
  for (int control : {AddModButton, InstallButton, RemoveModButton, BrowseButton}) {
    DispatchCommand(Command(control, kNotifySelChange));
  }
  DispatchCommand(kCancelCommand);
  EXPECT_EQ(Ini(), before);
  EXPECT_EQ(window.rows, (Rows{{"a.zip", 0}, {"b.zip", 1}}));
  EXPECT_EQ(window.archive_choices.size(), 1u);
  EXPECT_EQ(window.folder_choices.size(), 1u);

  // A selection change only refreshes: the new row's folder and state show.
  window.selected = 1;
  DispatchCommand(Command(ModList, kNotifySelChange));
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

// StartUp takes the settings folder from the running executable. Each case
// below therefore runs a copy of this test program placed in a sandbox, with
// only that case selected and an environment variable that names the file
// where the copy reports what StartUp did to the dialog.
constexpr const char* kReportVariable = "QV_STARTUP_REPORT";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out;
}

// In the copy: runs StartUp and writes the report. True when this process is
// such a copy.
bool RunAsStartUpCopy() {
  const char* report = std::getenv(kReportVariable);
  if (report == nullptr || *report == '\0') return false;
  RecordingWindow window;
  ModCount = 0;
  const bool started = StartUp();
  std::ofstream out(report, std::ios::binary | std::ios::trunc);
  out << "started " << started << "\n";
  for (const std::string& e : window.errors) out << "error " << Escaped(e) << "\n";
  for (const auto& row : window.rows) out << "row " << row.second << " " << row.first << "\n";
  for (const auto& item : window.folder_items) {
    out << "folder " << item.second << " " << item.first << "\n";
  }
  out << "moves " << window.moves << "\n";
  out << "captions " << window.captions_seen.size() << "\n";
  return true;
}

// Copies this program to folder/name, runs the current case in it and
// returns its report; empty (with a failure recorded) when it could not run.
std::string RunStartUpCopy(const std::string& folder, const std::string& name,
                           const std::string& report) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  const std::string copy = folder + kSep + name;
  const std::string self = ExecutablePath();
  EXPECT_FALSE(self.empty());
#ifdef _WIN32
  EXPECT_TRUE(CopyFileA(self.c_str(), copy.c_str(), FALSE)) << copy;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE null_output = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = null_output;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::string command_line = "\"" + copy + "\" " + filter;
  PROCESS_INFORMATION process{};
  SetEnvironmentVariableA(kReportVariable, report.c_str());
  const BOOL created = CreateProcessA(copy.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kReportVariable, nullptr);
  CloseHandle(null_output);
  EXPECT_TRUE(created) << "cannot run " << copy;
  if (!created) return std::string();
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(status, 0u);
#else
  {
    std::ifstream in(self, std::ios::binary);
    std::ofstream out(copy, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    EXPECT_TRUE(out.good()) << copy;
  }
  chmod(copy.c_str(), 0755);
  const pid_t pid = fork();
  if (pid == 0) {
    setenv(kReportVariable, report.c_str(), 1);
    const int null_output = open("/dev/null", O_WRONLY);
    if (null_output >= 0) dup2(null_output, STDOUT_FILENO);
    execl(copy.c_str(), copy.c_str(), filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
#endif
  std::ifstream in(report, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_FALSE(text.str().empty()) << "the copy wrote no report";
  return text.str();
}

// The sandbox folder as the running program sees its own folder.
std::string SeenFolder(const Sandbox& box) {
#ifdef _WIN32
  return box.path();
#else
  char resolved[PATH_MAX];
  return realpath(box.path().c_str(), resolved) ? std::string(resolved) : box.path();
#endif
}

const char* const kProgramName =
#ifdef _WIN32
    "Quorvantel.exe";
#else
    "Quorvantel";
#endif

TEST(AppStartUp, ShowsTheSavedListAndPositionAndSavesThePosition) {
  if (RunAsStartUpCopy()) return;
  Sandbox box;
  box.WriteFile(kSettingsFileName,
                "[Window]\r\nLeft=30\r\nTop=40\r\n"
                "[FileNo0]\r\nFileName=C:\\mods\\a.zip\r\nExtractTo=D:\\A\r\n"
                "[FileNo1]\r\nFileName=b.zip\r\nExtractTo=D:\\A\r\nExtracted=1\r\n");
  const std::string report =
      RunStartUpCopy(box.path(), kProgramName, box.Join("report.txt"));
  // The refresh is not part of start-up: no caption is set.
  EXPECT_EQ(report,
            "started 1\n"
            "row 0 a.zip\nrow 1 b.zip\n"
            "folder 0 D:\\A\nfolder 1 D:\\A\n"
            "moves 1\ncaptions 0\n");

  // The first start writes the position at once, creating the file.
  Sandbox fresh;
  EXPECT_EQ(RunStartUpCopy(fresh.path(), kProgramName, fresh.Join("report.txt")),
            "started 1\nmoves 1\ncaptions 0\n");
  const std::string ini = fresh.ReadFile(kSettingsFileName);
  EXPECT_NE(ini.find("Left=100"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Top=100"), std::string::npos) << ini;
}

TEST(AppStartUp, AnUnwritableSettingsFileIsReportedOnceAndTheListStillLoads) {
  if (RunAsStartUpCopy()) return;
  Sandbox box;
  const std::string ini =
      "[Window]\r\nLeft=30\r\nTop=40\r\n"
      "[FileNo0]\r\nFileName=C:\\mods\\a.zip\r\nExtractTo=D:\\A\r\n";
  box.WriteFile(kSettingsFileName, ini);
  SetReadOnly(box.Join(kSettingsFileName), true);
  const std::string report =
      RunStartUpCopy(box.path(), kProgramName, box.Join("report.txt"));
  SetReadOnly(box.Join(kSettingsFileName), false);
  EXPECT_EQ(report, "started 1\nerror " + std::string(kSettingsWriteError) + "\\n" +
                        SeenFolder(box) + kSep + kSettingsFileName +
                        "\nrow 0 a.zip\nfolder 0 D:\\A\nmoves 1\ncaptions 0\n");
  EXPECT_EQ(box.ReadFile(kSettingsFileName), ini);
}

TEST(AppStartUp, RefusesToRunFromAFolderTooLongForItsSettingsFile) {
  if (RunAsStartUpCopy()) return;
  Sandbox box;
  // A folder of 246 characters plus its separator: one past the limit, and
  // short enough for the Windows calls that create and run the copy.
  const std::size_t length = kMaxProgramDirectory + 1;
  if (box.path().size() + 2 > length) GTEST_SKIP() << "temporary folder too deep";
  std::string relative;
  std::size_t remaining = length - box.path().size();
  while (remaining > 0) {
    std::size_t part = std::min<std::size_t>(remaining - 1, 100);
    if (remaining - (part + 1) == 1) --part;  // never leave room for only a separator
    relative += (relative.empty() ? "" : "/") + std::string(part, 'd');
    remaining -= part + 1;
  }
  box.MakeDir(relative);
  const std::string folder = box.Join(relative);
  ASSERT_EQ(folder.size(), length);
  const std::string report = RunStartUpCopy(folder, "q.exe", box.Join("report.txt"));
  EXPECT_EQ(report, "started 0\nerror " + std::string(kProgramDirectoryTooLong) + "\\n" +
                        SeenFolder(box) + folder.substr(box.path().size()) +
                        "\nmoves 0\ncaptions 0\n");
  EXPECT_FALSE(box.Exists(relative + "/" + kSettingsFileName));
}

}  // namespace
