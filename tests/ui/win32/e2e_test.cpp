// End-to-end scenarios: the real Quorvantel.exe, driven as a user would, each
// in a fresh folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <thread>

#include "driver.h"
#include "stored_zip.h"
#include "app/window.h"

namespace {

const wchar_t kProcessingError[] =
    L"処理中にエラーが発生しました。\n他のMODがファイルを使用している可能性があります。";
const wchar_t kUninstallError[] = L"アンインストール中にエラーが発生しました。";
const wchar_t kNotRepresentable[] =
    L"選択されたパスには、このシステムの文字コードで表せない文字が含まれているため、使用できません。";

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A command's message: its own text unchanged, then after an empty line the
// problems, each line starting with the file it is about.
::testing::AssertionResult NamesBelow(const std::wstring& message, const std::wstring& text,
                                      const std::wstring& file) {
  const std::wstring head = text + L"\n\n";
  if (message.compare(0, head.size(), head) == 0 &&
      message.find(L"\n" + file + L": ", head.size() - 1) != std::wstring::npos) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "no line for the file below the text";
}

// Reads a value of the program's settings file the way the program does.
std::string Setting(const std::string& ini, const char* section, const char* key) {
  char value[600] = "";
  GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, ini.c_str());
  return value;
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

// The polled condition of a posted refresh: a refresh that never comes fails
// after the deadline.
template <typename Predicate>
bool Eventually(Predicate done) {
  for (int i = 0; i < 100; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

// A program folder, a folder for mod archives and a game folder.
class Scenario : public ::testing::Test {
 protected:
  Scenario() { root.MakeDir("app"); }

  std::string App() const { return root.Join("app"); }
  std::string Ini() const { return root.Join("app/Quorvantel.ini"); }
  std::string Game() const { return root.Join("game"); }
  std::string Mod(const std::string& name) const { return root.Join("mods/" + name); }

  void WriteMod(const std::string& name, const std::vector<ZipEntry>& entries) const {
    root.Write("mods/" + name, StoredZip(entries));
  }

  // A game folder with an original that mods replace and files they leave.
  void MakeGame() const {
    root.Write("game/readme.txt", "original readme\r\n");
    root.Write("game/data/config.ini", "[video]\r\nwidth=640\r\n");
    root.Write("game/data/keep.bin", std::string("\0\1\2\3\xff", 5));
  }

  // A mod large enough that its install can be watched, closed and killed
  // half-way: 60 files of 2 MiB, after one that replaces an original.
  void WriteLargeMod() const {
    std::vector<ZipEntry> entries = {{"data/config.ini", "[video]\r\nwidth=1920\r\n"}};
    for (int i = 0; i < 60; ++i) {
      entries.push_back({"big/part" + std::to_string(i) + ".bin",
                         std::string(2 << 20, static_cast<char>('a' + i % 26))});
    }
    WriteMod("big.zip", entries);
  }

  // Adds a mod through the dialogs and gives it `folder`. Throws when a step
  // goes wrong, so that the scenario stops there.
  void AddWithFolder(RunningApp& app, const std::string& mod, const std::string& folder) const {
    if (app.AddMod(Wide(Mod(mod))) != L"") throw std::runtime_error("adding " + mod + " failed");
    const int row = static_cast<int>(app.Rows().size()) - 1;
    app.SelectRow(row);
    if (app.BrowseFolder(Wide(folder)) != L"" || app.Text(ExtractToBox) != folder)
      throw std::runtime_error("choosing " + folder + " failed; the box shows " +
                               app.Text(ExtractToBox));
  }

  TempFolder root;
};

TEST_F(Scenario, FirstStartCreatesSettingsAndShowsEmptyList) {
  ASSERT_FALSE(root.Exists("app/Quorvantel.ini"));
  RunningApp app(App());
  EXPECT_TRUE(app.Rows().empty());
  EXPECT_EQ(app.SelectedRow(), -1);
  EXPECT_EQ(app.Text(InstallButton), "Install");
  EXPECT_FALSE(app.IsEnabled(InstallButton));
  EXPECT_EQ(app.Text(ExtractToBox), "");
  // Written at start, not only at close.
  EXPECT_NE(Setting(Ini(), "Window", "Left"), "<none>");
  EXPECT_NE(Setting(Ini(), "Window", "Top"), "<none>");
  EXPECT_EQ(app.CloseBox(), 1u);
}

// The resource compiler decodes the script in a code page: without the right
// one the full-width font name comes out garbled, and Windows silently falls
// back to another font. Checked in the executable as built.
TEST(Resources, DialogFontAndIconAreAsDrawn) {
  const std::string exe = ProgramUnderTest();
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << exe;
  const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
  HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, "MAIN", japanese);
  ASSERT_NE(found, nullptr) << "no Japanese dialog MAIN";
  const auto* words = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
  ASSERT_EQ(words[1], 0xFFFF) << "not an extended template";
  const WORD* at = words + 13;  // past the fixed header
  auto skip_name = [&at] {
    if (*at == 0xFFFF) at += 2;
    else while (*at++ != 0) {}
  };
  skip_name();  // menu
  skip_name();  // class
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(at)), L"Quorvantel Ver1.3");
  skip_name();  // title
  EXPECT_EQ(at[0], 9) << "point size";
  EXPECT_EQ(reinterpret_cast<const BYTE*>(at)[5], 1) << "character set";
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(at + 3)),
            L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");  // ＭＳ Ｐゴシック

  HRSRC group = FindResourceExA(module, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */,
                                MAKEINTRESOURCEA(103), japanese);
  ASSERT_NE(group, nullptr) << "no icon 103";
  const auto* icons = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  EXPECT_EQ(icons[4], 1) << "one image";
  EXPECT_EQ(icons[6], 32) << "width";
  EXPECT_EQ(icons[7], 32) << "height";
  EXPECT_EQ(icons[8], 16) << "colours";
  FreeLibrary(module);
}

TEST_F(Scenario, ExitStatusIsOneForEscapeAndCloseBox) {
  {
    RunningApp app(App());
    EXPECT_EQ(app.PressEscape(), 1u);
  }
  RunningApp app(App());
  EXPECT_EQ(app.CloseBox(), 1u);
}

TEST_F(Scenario, AddedModsAreListedByFileNameAndKept) {
  WriteMod("Alpha Mod.zip", {{"a.txt", "a"}});
  WriteMod("beta.zip", {{"b.txt", "b"}});
  {
    RunningApp app(App());
    EXPECT_EQ(app.AddMod(Wide(Mod("Alpha Mod.zip"))), L"");
    EXPECT_EQ(app.AddMod(Wide(Mod("beta.zip"))), L"");
    EXPECT_EQ(app.Rows(), (std::vector<std::string>{"Alpha Mod.zip", "beta.zip"}));
    // Adding selects nothing, so the button stays off.
    EXPECT_EQ(app.SelectedRow(), -1);
    EXPECT_FALSE(app.IsEnabled(InstallButton));
    // A new mod has no folder yet.
    app.SelectRow(1);
    EXPECT_EQ(app.Text(InstallButton), "ExtractTo?");
    EXPECT_FALSE(app.IsEnabled(InstallButton));
    EXPECT_EQ(app.CloseBox(), 1u);
  }
  EXPECT_EQ(Setting(Ini(), "FileNo0", "FileName"), Mod("Alpha Mod.zip"));
  EXPECT_EQ(Setting(Ini(), "FileNo1", "FileName"), Mod("beta.zip"));
  RunningApp app(App());
  EXPECT_EQ(app.Rows(), (std::vector<std::string>{"Alpha Mod.zip", "beta.zip"}));
  EXPECT_EQ(app.CloseBox(), 1u);
}

TEST_F(Scenario, PathOutsideTheCodePageIsRefusedNotStored) {
  // Hangul is in neither code page 1252 nor 932.
  const std::wstring name = Wide(root.Join("mods")) + L"\\\xD55C\xAE00.zip";
  root.MakeDir("mods");
  HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  // Wine stores names in the host's locale: one that was never generated
  // (LC_ALL=ja_JP.UTF-8 without localedef) cannot hold Hangul.
  if (file == INVALID_HANDLE_VALUE) GTEST_SKIP() << "the file system cannot hold the name";
  CloseHandle(file);

  RunningApp app(App());
  const std::wstring message = app.AddMod(name);
  EXPECT_EQ(message.substr(0, message.find(L'\n')), kNotRepresentable);
  EXPECT_NE(message.find(name), std::wstring::npos) << "the box names the refused path";
  EXPECT_TRUE(app.Rows().empty());
  EXPECT_EQ(app.CloseBox(), 1u);
  EXPECT_EQ(Setting(Ini(), "FileNo0", "FileName"), "<none>");
}

TEST_F(Scenario, InstallThenUninstallRestoresFolderByteForByte) {
  MakeGame();
  WriteMod("hd.zip", {{"data/", ""},
                      {"data/config.ini", "[video]\r\nwidth=1920\r\n"},
                      {"data/hd.pak", std::string(3000, '\x5c')},
                      {"hd-readme.txt", "HD textures"},
                      // Beside the game's readme.txt, which it must never be taken for.
                      {" readme.txt", "the mod's readme"}});
  const auto before = Snapshot(Game());
  {
    RunningApp app(App());
    AddWithFolder(app, "hd.zip", Game());
    EXPECT_EQ(app.Text(InstallButton), "Install");
    ASSERT_TRUE(app.IsEnabled(InstallButton));
    app.Click(InstallButton);
    EXPECT_EQ(app.Text(InstallButton), "UnInstall");
    EXPECT_EQ(app.CloseBox(), 1u);
  }
  auto installed = before;
  installed["data/config.ini"] = "[video]\r\nwidth=1920\r\n";
  installed["data/config.qvs"] = before.at("data/config.ini");
  installed["data/hd.pak"] = std::string(3000, '\x5c');
  installed["hd-readme.txt"] = "HD textures";
  installed[" readme.txt"] = "the mod's readme";
  EXPECT_EQ(Snapshot(Game()), installed);
  EXPECT_EQ(Setting(Ini(), "FileNo0", "Extracted"), "1");

  // The state survives a restart; uninstalling puts every byte back.
  RunningApp app(App());
  app.SelectRow(0);
  EXPECT_EQ(app.Text(ExtractToBox), Game());
  EXPECT_EQ(app.Text(InstallButton), "UnInstall");
  app.Click(InstallButton);
  EXPECT_EQ(app.Text(InstallButton), "Install");
  EXPECT_EQ(Snapshot(Game()), before);
  EXPECT_EQ(app.CloseBox(), 1u);
  EXPECT_EQ(Setting(Ini(), "FileNo0", "Extracted"), "0");
}

// Paths past Windows' old limit of 260 characters: a mod whose folders go
// more than 300 characters deep, installed and taken back byte for byte, from
// an archive whose own path is longer than 260 (stored by hand: the
// open-file dialog is not what is under test).
TEST_F(Scenario, DeepModsAndLongArchivePathsRoundTrip) {
  MakeGame();
  std::string deep;
  for (char c = 'a'; c < 'g'; ++c) deep += std::string(52, c) + "/";
  std::string shelf;
  for (char c = 'p'; c < 'u'; ++c) shelf += std::string(55, c) + "/";
  const std::string name = shelf + "deep.zip";
  WriteMod(name, {{deep + "model.bin", std::string(5000, '\x7f')},
                  {deep + "readme.txt", "deep"},
                  {"data/config.ini", "[video]\r\nwidth=1920\r\n"}});
  ASSERT_GT(Mod(name).size(), 260u);
  ASSERT_GT(root.Join("game/" + deep).size(), 300u);
  ASSERT_TRUE(WritePrivateProfileStringA("FileNo0", "FileName", Mod(name).c_str(), Ini().c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("FileNo0", "ExtractTo", Game().c_str(), Ini().c_str()));
  const auto before = Snapshot(Game());
  RunningApp app(App());
  app.SelectRow(0);
  ASSERT_EQ(app.Text(InstallButton), "Install");
  app.Click(InstallButton);
  EXPECT_EQ(app.Text(InstallButton), "UnInstall");
  const auto installed = Snapshot(Game());
  EXPECT_EQ(installed.at(deep + "model.bin"), std::string(5000, '\x7f'));
  EXPECT_EQ(installed.at("data/config.qvs"), before.at("data/config.ini"));
  app.Click(InstallButton);
  EXPECT_EQ(app.Text(InstallButton), "Install");
  auto after = Snapshot(Game());
  for (auto item = after.begin(); item != after.end();) {  // the mod's folders stay
    item = item->second == "<dir>" && before.count(item->first) == 0 ? after.erase(item) : ++item;
  }
  EXPECT_EQ(after, before);
}

// The running game, or a virus scanner, holds an installed file without
// sharing it for a moment while the uninstall runs: the uninstall waits for
// it and takes back everything.
TEST_F(Scenario, AFileHeldForAMomentDuringTheUninstallIsWaitedFor) {
  MakeGame();
  WriteMod("hd.zip", {{"data/config.ini", "[video]\r\nwidth=1920\r\n"}, {"hd.txt", "hd"}});
  const auto before = Snapshot(Game());
  RunningApp app(App());
  AddWithFolder(app, "hd.zip", Game());
  app.Click(InstallButton);
  ASSERT_EQ(app.Text(InstallButton), "UnInstall");
  const HANDLE held = CreateFileA(root.Join("game/hd.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(500);
    CloseHandle(held);
  });
  app.Click(InstallButton);
  release.join();
  EXPECT_EQ(app.Text(InstallButton), "Install");
  EXPECT_EQ(Snapshot(Game()), before);
}

// Held for good, as by a game left running: the uninstall gives up after
// its retries, changes nothing, and names the file with the hint to close
// the game.
TEST_F(Scenario, AFileHeldForGoodFailsTheUninstallAndIsNamed) {
  MakeGame();
  WriteMod("hd.zip", {{"data/config.ini", "[video]\r\nwidth=1920\r\n"}, {"hd.txt", "hd"}});
  RunningApp app(App());
  AddWithFolder(app, "hd.zip", Game());
  app.Click(InstallButton);
  ASSERT_EQ(app.Text(InstallButton), "UnInstall");
  const auto installed = Snapshot(Game());
  const HANDLE held = CreateFileA(root.Join("game/hd.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::wstring message = app.ClickForMessage(InstallButton);
  CloseHandle(held);
  EXPECT_TRUE(NamesBelow(message, kUninstallError, L"hd.txt"));
  EXPECT_NE(message.find(L"ゲームを終了"), std::wstring::npos);
  EXPECT_EQ(app.Text(InstallButton), "UnInstall");
  EXPECT_EQ(Snapshot(Game()), installed);
  EXPECT_EQ(app.CloseBox(), 1u);
}

// A name that leaves the folder: refused before anything is touched, the
// entry named as stored.
TEST_F(Scenario, AHostileArchiveIsRefusedNamingItsEntry) {
  MakeGame();
  WriteMod("evil.zip", {{"fine.txt", "fine"}, {"../escape.txt", "out"}});
  const auto before = Snapshot(Game());
  RunningApp app(App());
  AddWithFolder(app, "evil.zip", Game());
  const std::wstring message = app.ClickForMessage(InstallButton);
  EXPECT_TRUE(NamesBelow(message, kProcessingError, L"../escape.txt"));
  EXPECT_EQ(Snapshot(Game()), before);
  EXPECT_FALSE(root.Exists("escape.txt"));
  EXPECT_EQ(app.Text(InstallButton), "Install");
  EXPECT_EQ(app.CloseBox(), 1u);
}

// Killed half-way through the extraction, as by a crash or Task Manager: the
// next start puts the folder back as it was before the click, and says so.
TEST_F(Scenario, AnInstallKilledHalfWayIsUndoneAtTheNextStart) {
  MakeGame();
  WriteLargeMod();
  const auto before = Snapshot(Game());
  {
    RunningApp app(App());
    AddWithFolder(app, "big.zip", Game());
    ASSERT_TRUE(app.ClickAndKillWhen(InstallButton, [&] { return root.Exists("game/big/part5.bin"); }))
        << "the install ended before it could be killed";
  }
  ASSERT_NE(Snapshot(Game()), before);
  RunningApp app(App());
  EXPECT_EQ(app.StartupMessage(), L"前回中断された処理を元に戻しました。\nbig.zip");
  EXPECT_EQ(Snapshot(Game()), before);
  app.SelectRow(0);
  EXPECT_EQ(app.Text(InstallButton), "Install");
  app.Click(InstallButton);
  EXPECT_EQ(app.Text(InstallButton), "UnInstall");
  EXPECT_TRUE(root.Exists("game/big/part59.bin"));
  EXPECT_EQ(app.CloseBox(), 1u);
}

// The install runs off the dialog's thread: the dialog answers throughout,
// its controls are disabled, the caption counts up, and a close asked for
// half-way waits for the install's end.
TEST_F(Scenario, TheDialogAnswersDuringAnInstallAndACloseWaitsForItsEnd) {
  MakeGame();
  WriteLargeMod();
  RunningApp app(App());
  AddWithFolder(app, "big.zip", Game());
  HWND install = app.Control(InstallButton);
  DWORD_PTR ignored = 0;
  ASSERT_NE(SendMessageTimeoutA(install, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored), 0);
  std::vector<int> percents;
  bool closed = false;
  DWORD slowest = 0;
  while (app.CommandRunning()) {
    const DWORD start = GetTickCount();
    if (SendMessageTimeoutA(app.dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored) == 0) {
      // Gone is fine: the install ended since the caption was read, and the
      // close asked for meanwhile closed the dialog.
      ASSERT_FALSE(IsWindow(app.dialog())) << "the dialog stopped answering";
      break;
    }
    slowest = std::max(slowest, GetTickCount() - start);
    int enabled = 0;
    for (const int id : std::initializer_list<int>{ModList, AddModButton, InstallButton,
                                                    RemoveModButton, ExtractToBox, BrowseButton}) {
      enabled += app.IsEnabled(id) ? 1 : 0;
    }
    // Read after the controls and without a message, which a dialog that
    // has just closed could not answer. Short of 100% the work is not done,
    // so the controls were disabled when read.
    char text[64] = "";
    GetWindowTextA(install, text, sizeof text);
    const std::string caption = text;
    if (caption.size() > 14 && caption.back() == '%') {
      const int percent = std::atoi(caption.c_str() + 14);  // "Processing... 42%"
      if (percents.empty() || percents.back() != percent) percents.push_back(percent);
      if (percent < 100) {
        EXPECT_EQ(enabled, 0) << "at " << percent << "%";
      }
    }
    if (!closed && !percents.empty() && percents.back() >= 20) {
      PostMessageA(app.dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
      closed = true;
    }
    Sleep(20);
  }
  EXPECT_LE(slowest, 100u) << "the slowest answer, in ms";
  EXPECT_TRUE(closed);
  EXPECT_GE(percents.size(), 2u);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(app.WaitForExit(), 1u);
  // The install was finished, not cut short: a whole state.
  EXPECT_EQ(Setting(Ini(), "FileNo0", "Extracted"), "1");
  EXPECT_TRUE(root.Exists("game/big/part59.bin"));
  EXPECT_TRUE(root.Exists("game/data/config.qvs"));
}

TEST_F(Scenario, SecondModOverTheSameFileIsRefusedAndChangesNothing) {
  MakeGame();
  WriteMod("first.zip", {{"data/config.ini", "first"}});
  WriteMod("second.zip", {{"data/config.ini", "second"}, {"second.txt", "2"}});
  RunningApp app(App());
  AddWithFolder(app, "first.zip", Game());
  AddWithFolder(app, "second.zip", Game());
  app.SelectRow(0);
  app.Click(InstallButton);
  ASSERT_EQ(app.Text(InstallButton), "UnInstall");
  const auto with_first = Snapshot(Game());

  app.SelectRow(1);
  // The file is named, and the mod whose backup it is, as the list shows it.
  const std::wstring message = app.ClickForMessage(InstallButton);
  EXPECT_TRUE(NamesBelow(message, kProcessingError, L"data\\config.ini"));
  EXPECT_NE(message.find(L"「first.zip」"), std::wstring::npos);
  EXPECT_EQ(Snapshot(Game()), with_first);
  EXPECT_EQ(app.Text(InstallButton), "Install");
  EXPECT_EQ(Setting(Ini(), "FileNo1", "Extracted"), "<none>");
  app.SelectRow(0);
  EXPECT_EQ(app.Text(InstallButton), "UnInstall");
  EXPECT_EQ(app.CloseBox(), 1u);
}

TEST_F(Scenario, MissingArchiveAndMissingFolderShowOnTheButton) {
  MakeGame();
  WriteMod("gone.zip", {{"x.txt", "x"}});
  WriteMod("nofolder.zip", {{"y.txt", "y"}});
  RunningApp app(App());
  AddWithFolder(app, "gone.zip", Game());
  ASSERT_EQ(app.AddMod(Wide(Mod("nofolder.zip"))), L"");
  ASSERT_TRUE(DeleteFileA(Mod("gone.zip").c_str()));

  app.SelectRow(0);
  EXPECT_EQ(app.Text(InstallButton), "FileNotFound!");
  EXPECT_FALSE(app.IsEnabled(InstallButton));
  app.SelectRow(1);
  EXPECT_EQ(app.Text(InstallButton), "ExtractTo?");
  EXPECT_FALSE(app.IsEnabled(InstallButton));
  EXPECT_EQ(app.Text(ExtractToBox), "");
  EXPECT_EQ(app.CloseBox(), 1u);
  EXPECT_EQ(Snapshot(Game()).count("x.txt"), 0u);
}

TEST_F(Scenario, RemovalRenumbersTheRest) {
  for (const char* name : {"a", "b", "c"}) {
    WriteMod(std::string(name) + ".zip", {{std::string(name) + ".txt", name}});
    root.MakeDir(std::string("games/") + name);
  }
  {
    RunningApp app(App());
    for (const char* name : {"a", "b", "c"})
      AddWithFolder(app, std::string(name) + ".zip", root.Join(std::string("games/") + name));
    app.SelectRow(1);
    // Only a click is a command: a button's number with a notification code
    // in the high word runs nothing.
    const auto before = Snapshot(root.path());
    for (const int id : {AddModButton, InstallButton, RemoveModButton, BrowseButton})
      app.Notify(WM_COMMAND, MAKEWPARAM(id, BN_DOUBLECLICKED));
    EXPECT_EQ(Snapshot(root.path()), before);
    EXPECT_EQ(app.Rows(), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
    app.Click(RemoveModButton);
    EXPECT_EQ(app.Rows(), (std::vector<std::string>{"a.zip", "c.zip"}));
    app.SelectRow(1);
    EXPECT_EQ(app.Text(ExtractToBox), root.Join("games/c"));
    EXPECT_EQ(app.CloseBox(), 1u);
  }
  EXPECT_EQ(Setting(Ini(), "FileNo1", "FileName"), Mod("c.zip"));
  EXPECT_EQ(Setting(Ini(), "FileNo1", "ExtractTo"), root.Join("games/c"));
  EXPECT_EQ(Setting(Ini(), "FileNo2", "FileName"), "<none>");

  RunningApp app(App());
  EXPECT_EQ(app.Rows(), (std::vector<std::string>{"a.zip", "c.zip"}));
  app.SelectRow(0);
  EXPECT_EQ(app.Text(ExtractToBox), root.Join("games/a"));
  EXPECT_EQ(app.CloseBox(), 1u);
}

TEST_F(Scenario, WindowPositionSurvivesRestart) {
  RECT first;
  {
    RunningApp app(App());
    ASSERT_TRUE(SetWindowPos(app.dialog(), nullptr, 137, 91, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    first = WindowRect(app.dialog());
    ASSERT_EQ(first.left, 137);
    EXPECT_EQ(app.CloseBox(), 1u);
  }
  {
    RunningApp app(App());
    const RECT again = WindowRect(app.dialog());
    EXPECT_EQ(again.left, 137);
    EXPECT_EQ(again.top, 91);
    EXPECT_EQ(again.right - again.left, first.right - first.left);
    EXPECT_EQ(again.bottom - again.top, first.bottom - first.top);
    EXPECT_EQ(app.PressEscape(), 1u);
  }
  // A position no monitor shows (a screen since unplugged) is not used.
  WritePrivateProfileStringA("Window", "Left", "-5000", Ini().c_str());
  WritePrivateProfileStringA("Window", "Top", "-5000", Ini().c_str());
  RunningApp app(App());
  const RECT shown = WindowRect(app.dialog());
  EXPECT_GE(shown.left, 0);
  EXPECT_GE(shown.top, 0);
  EXPECT_EQ(app.CloseBox(), 1u);
}

TEST_F(Scenario, FolderBoxAlwaysShowsTheStoredFolder) {
  for (const char* name : {"one", "two", "three"}) {
    WriteMod(std::string(name) + ".zip", {{std::string(name) + ".txt", name}});
  }
  root.MakeDir("games/one");
  root.MakeDir("games/two");
  // Wider than the box: typing at its end is what used to crash the edit.
  const std::string three = root.Join("games/three, in a folder whose name is wider than the box");
  root.MakeDir("games/three, in a folder whose name is wider than the box");
  {
    RunningApp app(App());
    AddWithFolder(app, "one.zip", root.Join("games/one"));
    AddWithFolder(app, "two.zip", root.Join("games/two"));
    EXPECT_EQ(app.CloseBox(), 1u);
  }
  RunningApp app(App());
  // The drop-down list holds the folders known at start; the third mod's
  // folder is chosen later, so no item matches it.
  ASSERT_EQ(app.FolderItems(),
            (std::vector<std::string>{root.Join("games/one"), root.Join("games/two")}));
  AddWithFolder(app, "three.zip", three);

  // A pick from the drop-down list, as the list inside the combo box reports
  // a click. The combo box rewrites its edit field only after it has
  // notified the dialog, so a refresh during the notification is undone.
  HWND box = app.Control(ExtractToBox);
  HWND list = app.DropDownList();
  HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageA(box, CB_SHOWDROPDOWN, TRUE, 0);
  SendMessageA(list, LB_SETCURSEL, 0, 0);
  SendMessageA(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  EXPECT_TRUE(Eventually([&] { return app.Text(ExtractToBox) == three; }))
      << "shows " << app.Text(ExtractToBox);

  // Typing is not taken either, and never brings the program down: whole
  // words, a key at a time, at the end of the long path and over a selected
  // text, with a mod selected and with none.
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, app.process_id());
  ASSERT_NE(process, nullptr);
  const auto type = [&](const char* words) {
    for (const char* c = words; *c != '\0'; ++c) {
      // A crash under Wine may leave the process alive in its debugger: an
      // answer to every key is what shows the program survived it.
      DWORD_PTR ignored = 0;
      const bool answered = SendMessageTimeoutA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1,
                                                SMTO_NORMAL, 5000, &ignored) != 0;
      ASSERT_TRUE(answered && WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
          << "the program died at '" << *c << "' of \"" << words << "\"";
    }
  };
  for (const int row : {2, -1}) {
    SCOPED_TRACE("selected row " + std::to_string(row));
    app.SelectRow(row);
    const std::string shown = row < 0 ? std::string() : three;
    const LRESULT end = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(end), end);  // the caret at the end
    type("the quick brown fox jumps over the lazy dog");
    SendMessageA(edit, EM_SETSEL, 0, -1);
    type("typed over");
    EXPECT_TRUE(Eventually([&] { return app.Text(ExtractToBox) == shown; }))
        << "shows " << app.Text(ExtractToBox);
  }
  CloseHandle(process);

  EXPECT_EQ(app.CloseBox(), 1u);
  EXPECT_EQ(Setting(Ini(), "FileNo0", "ExtractTo"), root.Join("games/one"));
  EXPECT_EQ(Setting(Ini(), "FileNo2", "ExtractTo"), three);
}

TEST_F(Scenario, SecondStartBringsTheFirstToTheFront) {
  TempFolder other;
  RunningApp first(App());
  // A copy beside another settings file is a program of its own: it runs,
  // and takes the front.
  RunningApp unrelated(other.path());
  ASSERT_TRUE(Eventually([&] { return GetForegroundWindow() == unrelated.dialog(); }));

  const std::string exe = App() + "\\Quorvantel.exe";
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION second = {};
  ASSERT_TRUE(CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &second));
  ASSERT_EQ(WaitForSingleObject(second.hProcess, 15000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(second.hProcess, &code);
  CloseHandle(second.hThread);
  CloseHandle(second.hProcess);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(MainDialogsOf(second.dwProcessId).empty());
  EXPECT_TRUE(Eventually([&] { return GetForegroundWindow() == first.dialog(); }));

  EXPECT_EQ(unrelated.CloseBox(), 1u);
  EXPECT_EQ(first.CloseBox(), 1u);
}

// A drop of two archives and a folder, as the file manager hands it over:
// the archives become the next rows, in order; the folder is passed over.
TEST_F(Scenario, DroppedArchivesAreAddedInOrder) {
  WriteMod("first.zip", {{"a.txt", "a"}});
  WriteMod("second.zip", {{"b.txt", "b"}});
  root.MakeDir("mods/folder.zip");
  RunningApp app(App());
  app.DropFiles({Wide(Mod("second.zip")), Wide(Mod("folder.zip")), Wide(Mod("first.zip"))});
  EXPECT_EQ(app.Rows(), (std::vector<std::string>{"second.zip", "first.zip"}));
  EXPECT_EQ(app.SelectedRow(), -1);
  EXPECT_EQ(app.CloseBox(), 1u);
  EXPECT_EQ(Setting(Ini(), "FileNo0", "FileName"), Mod("second.zip"));
  EXPECT_EQ(Setting(Ini(), "FileNo1", "FileName"), Mod("first.zip"));
}

// "Check Files" from the row's menu names a file changed since the install,
// and changes nothing.
TEST_F(Scenario, CheckFilesNamesAFileEditedSinceTheInstall) {
  MakeGame();
  WriteMod("hd.zip", {{"data/config.ini", "[video]\r\nwidth=1920\r\n"},
                      {"data/hd.pak", std::string(3000, '\x5c')}});
  RunningApp app(App());
  AddWithFolder(app, "hd.zip", Game());
  app.Click(InstallButton);
  ASSERT_EQ(app.Text(InstallButton), "UnInstall");
  root.Write("game/data/hd.pak", "edited");
  const auto before = Snapshot(Game());
  const auto settings = Snapshot(App());
  app.CloseMenu(app.OpenMenu());  // the menu key on the selected row
  const std::wstring text = app.PickFromMenu(app.OpenMenu(0), 0);  // a right click
  EXPECT_NE(text.find(L"data\\hd.pak"), std::wstring::npos);
  EXPECT_NE(text.find(L": 1\n"), std::wstring::npos);  // one as installed, one changed
  EXPECT_EQ(text.find(L"config.ini"), std::wstring::npos);
  EXPECT_EQ(Snapshot(Game()), before);
  EXPECT_EQ(Snapshot(App()), settings);  // the settings file and the record
  EXPECT_EQ(app.CloseBox(), 1u);
}

// Not a check: leaves the dialog on screen for the screenshot script, which
// sets QV_SCREENSHOT_DIR, captures the screen when "ready" appears there and
// answers with "done".
TEST_F(Scenario, HoldForScreenshot) {
  const char* dir = std::getenv("QV_SCREENSHOT_DIR");
  if (dir == nullptr) GTEST_SKIP() << "run by the screenshot script only";
  MakeGame();
  WriteMod("HD Textures.zip", {{"data/config.ini", "hd"}});
  WriteMod("Better Sounds.zip", {{"sound.txt", "s"}});
  RunningApp app(App());
  AddWithFolder(app, "HD Textures.zip", Game());
  AddWithFolder(app, "Better Sounds.zip", Game());
  app.SelectRow(0);
  app.Click(InstallButton);
  ASSERT_EQ(app.Text(InstallButton), "UnInstall");
  SetForegroundWindow(app.dialog());

  const std::string folder = WindowsPath(dir);
  // Tells the script where `window` is, and waits for its picture.
  const auto pose = [&folder](HWND window) {
    const RECT rect = WindowRect(window);
    {
      std::ofstream ready(folder + "\\ready.tmp");
      ready << (rect.right - rect.left) << ' ' << (rect.bottom - rect.top) << ' ' << rect.left
            << ' ' << rect.top << '\n';
    }
    MoveFileA((folder + "\\ready.tmp").c_str(), (folder + "\\ready").c_str());
    const std::string done = folder + "\\done";
    bool answered = false;
    for (int i = 0; i < 600 && !answered; ++i) {
      answered = GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES;
      if (!answered) Sleep(50);
    }
    return answered;
  };
  // With QV_SCREENSHOT_MESSAGE set, the picture is of the message that
  // refuses a second mod over the first one's file.
  if (std::getenv("QV_SCREENSHOT_MESSAGE") != nullptr) {
    WriteMod("HD Textures v2.zip", {{"data/config.ini", "hd2"}});
    AddWithFolder(app, "HD Textures v2.zip", Game());
    app.SelectRow(2);
    bool answered = false;
    app.ClickForMessage(InstallButton, [&](HWND box) { answered = pose(box); });
    ASSERT_TRUE(answered) << "no answer from the screenshot script";
    EXPECT_EQ(app.CloseBox(), 1u);
    return;
  }
  // With QV_SCREENSHOT_MENU set, the selected row's menu is open in it.
  HWND menu = std::getenv("QV_SCREENSHOT_MENU") != nullptr ? app.OpenMenu() : nullptr;
  const bool answered = pose(app.dialog());
  if (menu != nullptr) app.CloseMenu(menu);
  ASSERT_TRUE(answered) << "no answer from the screenshot script";
  EXPECT_EQ(app.CloseBox(), 1u);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s [gtest options] <Quorvantel.exe>\n", argv[0]);
    return 2;
  }
  SetProgramUnderTest(argv[1]);
  return RUN_ALL_TESTS();
}

// The dialog made from the template "MAIN": every control, in tab order,
// with its id, class, text, styles and place.
TEST_F(Scenario, DialogHasEveryControlOfItsTemplate) {
  RunningApp app(App());
  const HWND dialog = app.dialog();
  const LONG dialog_style = GetWindowLongA(dialog, GWL_STYLE);
  const LONG wanted_dialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  EXPECT_EQ(dialog_style & wanted_dialog, wanted_dialog);
  char caption[64] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, "Quorvantel Ver1.3");

  struct Expected {
    int id;
    const char* window_class;
    const char* text;
    RECT units;  // left, top, right, bottom in dialog units
    LONG styles;
  };
  const Expected controls[] = {
      // The list box trades WS_BORDER for a client edge, and both lists
      // drop WS_VSCROLL while they have nothing to scroll.
      {ModList, "ListBox", "", {0, 0, 110, 100}, WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY},
      {AddModButton, "Button", "Add NewMod", {115, 5, 165, 20}, WS_TABSTOP},
      {InstallButton, "Button", "Install", {115, 85, 165, 100},
       WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON},
      {RemoveModButton, "Button", "Remove Mod", {115, 25, 165, 40}, WS_TABSTOP},
      {ExtractToLabel, "Static", "Extract To", {0, 100, 100, 110}, WS_GROUP},
      {BrowseButton, "Button", "Browse", {115, 110, 165, 125}, WS_TABSTOP},
      {ExtractToBox, "ComboBox", "", {0, 110, 110, 125},
       WS_TABSTOP | CBS_DROPDOWN | CBS_NOINTEGRALHEIGHT | CBS_AUTOHSCROLL},
  };
  // Dialog units of the dialog's own font: MapDialogRect cannot tell them
  // from another process, so the list box at (0, 0, 110, 100) sets the scale.
  RECT list;
  GetWindowRect(GetDlgItem(dialog, ModList), &list);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&list), 2);
  const double per_x = (list.right - list.left) / 110.0;
  const double per_y = (list.bottom - list.top) / 100.0;
  EXPECT_GT(per_x, 1.0);
  EXPECT_GT(per_y, 1.0);
  HWND control = GetWindow(dialog, GW_CHILD);
  for (const Expected& want : controls) {
    SCOPED_TRACE(want.id);
    ASSERT_NE(control, nullptr) << "fewer controls than the template has";
    EXPECT_EQ(static_cast<short>(GetDlgCtrlID(control)), want.id);
    char name[32] = {};
    GetClassNameA(control, name, sizeof name);
    EXPECT_STREQ(name, want.window_class);
    char text[64] = {};
    GetWindowTextA(control, text, sizeof text);
    if (want.id != ExtractToBox) {
      EXPECT_STREQ(text, want.text);
    }
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    EXPECT_EQ(style & (want.styles | WS_VISIBLE | WS_CHILD), want.styles | WS_VISIBLE | WS_CHILD);
    RECT actual;
    GetWindowRect(control, &actual);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_NEAR(actual.left, want.units.left * per_x, 2);
    EXPECT_NEAR(actual.top, want.units.top * per_y, 2);
    EXPECT_NEAR(actual.right, want.units.right * per_x, 2);
    // A drop-down combo box sizes its closed height from its font.
    if (want.id != ExtractToBox) {
      EXPECT_NEAR(actual.bottom, want.units.bottom * per_y, 2);
    }
    control = GetWindow(control, GW_HWNDNEXT);
  }
  EXPECT_EQ(control, nullptr) << "more controls than the template has";
  EXPECT_EQ(app.CloseBox(), 1u);
}
