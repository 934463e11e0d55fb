#pragma once
// The one command that runs away from the dialog's thread (an install or an
// uninstall), what the dialog may do while it runs, and the worker thread
// behind each front-end's Window::RunInBackground.
#include <functional>
#include <thread>

// A command in two halves: `work` runs away from the dialog's thread, then
// `report` on it tells the user what the work found.
struct BackgroundCommand {
  std::function<void()> work;
  std::function<void()> report;
};

// Runs `command` in the background with the controls disabled and
// "Processing..." on the install button. Once its work is over, on the
// dialog's thread: its report, the controls back, `then` (the refresh), and
// last a close asked for meanwhile. Every command and refresh in between is
// ignored.
void RunCommandInBackground(BackgroundCommand command, std::function<void()> then);
bool CommandRunning();
// "Processing... 42%" on the install button; nothing once the command is over.
void ShowProgress(int percent);
// While a command runs: keeps `close` to run once the command is over, and
// returns true; the dialog never ends half-way through a command. False when
// none runs (`close` is dropped).
bool CloseWhenCommandIsOver(std::function<void()> close);

// The worker thread of a front-end's RunInBackground: the front-end supplies
// only the way back onto its dialog's thread.
class BackgroundThread {
 public:
  BackgroundThread() = default;
  BackgroundThread(const BackgroundThread&) = delete;
  BackgroundThread& operator=(const BackgroundThread&) = delete;
  // Waits for a running worker: the process must not end half-way through
  // a command.
  ~BackgroundThread();

  // Runs `work` on a thread of its own, then, still there, `hand_over`, which
  // has Finish called on the dialog's thread.
  void Start(std::function<void()> work, std::function<void()> done,
             std::function<void()> hand_over);
  // On the dialog's thread once handed over: joins the worker and runs the
  // `done` it was started with. Nothing when no worker ran.
  void Finish();
  // Blocks until the worker is over (the session is ending); its `done` is
  // not run. False when none ran.
  bool Wait();

 private:
  std::thread worker_;
  std::function<void()> done_;
};
