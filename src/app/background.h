#pragma once
// The one command that runs away from the dialog's thread (an install or an
// uninstall), and what the dialog may do while it runs.
#include <functional>

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
