#pragma once
// A Window that records what the core does to the dialog and answers the
// choosers and the user's selection from a script.
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/background.h"
#include "app/texts.h"
#include "app/window.h"
#include "support/messages.h"

class RecordingWindow : public Window {
 public:
  RecordingWindow() { SetMainWindow(this); }
  ~RecordingWindow() override { SetMainWindow(nullptr); }

  // What the dialog shows.
  std::vector<std::pair<std::string, int>> rows;
  std::vector<std::pair<std::string, int>> folder_items;
  int selected = -1;
  std::string folder_text;
  std::string install_caption = kInstallCaption;
  bool install_enabled = false;
  std::vector<std::string> errors;          // texts of the message boxes, in order
  std::vector<std::string> captions_seen;   // every caption set, in order
  std::vector<std::string> notices;         // texts of the informational boxes, in order
  std::vector<std::string> shell_calls;     // "open <folder>" / "show <file>", in order
  bool shell_answer = true;                 // whether the file manager could be started

  // Scripted answers: empty queue means the user cancels.
  std::deque<std::string> archive_choices;
  std::deque<std::string> folder_choices;

  // Window geometry.
  int left = 0, top = 0;
  int width = 0, height = 0;
  bool minimised = false;
  bool on_screen = true;
  int base_horizontal = 8, base_vertical = 16;
  int moves = 0;

  int SelectedRow() override { return selected; }
  void AppendRow(const std::string& text, int data) override { rows.emplace_back(text, data); }
  void ClearRows() override {
    rows.clear();
    selected = -1;
  }
  void AppendFolderItem(const std::string& text, int data) override {
    folder_items.emplace_back(text, data);
  }
  void SetFolderText(const std::string& text) override { folder_text = text; }
  void SetInstallCaption(const std::string& text) override {
    install_caption = text;
    captions_seen.push_back(text);
  }
  void EnableInstall(bool enabled) override { install_enabled = enabled; }
  void ShowError(const std::string& utf8_text) override { errors.push_back(utf8_text); }
  void ShowInfo(const std::string& utf8_text) override { notices.push_back(utf8_text); }
  bool OpenInFileManager(const std::string& folder) override {
    shell_calls.push_back("open " + folder);
    return shell_answer;
  }
  bool ShowFileInFileManager(const std::string& file) override {
    shell_calls.push_back("show " + file);
    return shell_answer;
  }
  bool ChooseArchiveFile(std::string& path) override { return Take(archive_choices, path); }
  bool BrowseForFolder(std::string& folder) override { return Take(folder_choices, folder); }
  bool GetPosition(int& l, int& t) override {
    if (minimised) return false;
    l = left;
    t = top;
    return true;
  }
  void GetBaseUnits(int& h, int& v) override {
    h = base_horizontal;
    v = base_vertical;
  }
  bool IsOnScreen(int, int, int, int) override { return on_screen; }
  void MoveTo(int l, int t, int w, int h) override {
    left = l;
    top = t;
    width = w;
    height = h;
    ++moves;
  }

  // Background work runs at once, as if the dialog had waited for it,
  // unless a test holds it back to act while it "runs".
  bool hold_background = false;
  std::function<void()> held_work, held_done;
  std::vector<int> progress_seen;
  bool controls_enabled = true;
  int ended_with = -1;
  void RunInBackground(std::function<void()> work, std::function<void()> done) override {
    if (hold_background) {
      held_work = std::move(work);
      held_done = std::move(done);
      return;
    }
    work();
    done();
  }
  void ReportProgress(int percent) override {
    progress_seen.push_back(percent);
    ShowProgress(percent);
  }
  void EnableControls(bool enabled) override { controls_enabled = enabled; }
  void EndDialog(int status) override { ended_with = status; }

 private:
  static bool Take(std::deque<std::string>& queue, std::string& out) {
    if (queue.empty()) return false;
    out = queue.front();
    queue.pop_front();
    return true;
  }
};
