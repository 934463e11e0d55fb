#include "app/background.h"

#include <string>
#include <utility>

#include "app/texts.h"
#include "app/window.h"

namespace {
bool g_command_running = false;         // an install or uninstall runs in the background
std::function<void()> g_pending_close;  // the user closed the dialog while it ran
}  // namespace

void RunCommandInBackground(BackgroundCommand command, std::function<void()> then) {
  Window& window = MainWindow();
  window.SetInstallCaption(kProcessingCaption);
  g_command_running = true;
  window.EnableControls(false);
  window.RunInBackground(std::move(command.work),
                         [report = std::move(command.report), then = std::move(then)] {
                           // Messages only once the command is over, then the
                           // state it left.
                           report();
                           g_command_running = false;
                           MainWindow().EnableControls(true);
                           then();
                           if (std::function<void()> close = std::exchange(g_pending_close, {}))
                             close();
                         });
}

bool CommandRunning() { return g_command_running; }

void ShowProgress(int percent) {
  if (!g_command_running) return;  // a late report of a command already over
  MainWindow().SetInstallCaption(std::string(kProcessingCaption) + " " +
                                 std::to_string(percent) + "%");
}

bool CloseWhenCommandIsOver(std::function<void()> close) {
  if (!g_command_running) return false;
  g_pending_close = std::move(close);
  return true;
}

BackgroundThread::~BackgroundThread() { Wait(); }

void BackgroundThread::Start(std::function<void()> work, std::function<void()> done,
                             std::function<void()> hand_over) {
  done_ = std::move(done);
  worker_ = std::thread([work = std::move(work), hand_over = std::move(hand_over)] {
    work();
    hand_over();
  });
}

void BackgroundThread::Finish() {
  if (!worker_.joinable()) return;
  worker_.join();
  if (std::function<void()> done = std::exchange(done_, {})) done();
}

bool BackgroundThread::Wait() {
  if (!worker_.joinable()) return false;
  worker_.join();
  done_ = nullptr;
  return true;
}
