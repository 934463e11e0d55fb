// Entry point of the Linux program: finds the settings folder, makes sure no
// other copy runs with it, and runs the main dialog. Installs and uninstalls
// run on a worker thread that reports back through queued calls.
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <string>

#include "app/app.h"
#include "platform/text.h"
#include "ui/qt/dialog_qt.h"
#include "ui/qt/instance_qt.h"
#include "platform/executable.h"
#include "platform/profile.h"
#include "app/window.h"

namespace {

int g_signal_pipe[2] = {-1, -1};  // the signal handler's end, and the dialog's

void OnTerminationSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; the dialog reads the byte.
  [[maybe_unused]] const ssize_t written = write(g_signal_pipe[0], &byte, 1);
}

// SIGTERM (the session ending, kill), SIGINT (Ctrl+C in the terminal that
// started it) and SIGHUP (that terminal closed) close the dialog as its close
// box does: a chooser or message box open over it is cancelled first, and a
// running command is finished, never cut off half-way.
void CloseOnTerminationSignals(MainDialog& dialog) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[1], QSocketNotifier::Read, &dialog);
  QObject::connect(notifier, &QSocketNotifier::activated, &dialog, [&dialog] {
    char byte;
    [[maybe_unused]] const ssize_t read_count = read(g_signal_pipe[1], &byte, 1);
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (modal == &dialog || !modal->close()) break;
    }
    dialog.close();
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP})
    sigaction(signal_number, &action, nullptr);
}

std::string ProgramFolder() {
  const std::string executable = ExecutablePath();
  const std::size_t cut = FindLastSeparator(executable);
  return cut == std::string::npos ? std::string() : executable.substr(0, cut);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvantel"));
  // Names the window after the desktop entry, for the taskbar's icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("quorvantel"));

  const std::string folder = SettingsFolderFor(ProgramFolder());
  // A folder that cannot be made shows as a settings file that cannot be
  // written, which start-up reports.
  QDir().mkpath(QFile::decodeName(folder.c_str()));
  SingleInstance instance(folder);
  if (!instance.Claim()) return 0;

  MainDialog dialog;
  SetMainWindow(&dialog);
  instance.OnRaiseRequest([&dialog] { dialog.BringToFront(); });
  CloseOnTerminationSignals(dialog);
  int status = kExitStatus;
  if (StartUpIn(folder)) status = dialog.exec();
  SetMainWindow(nullptr);
  return status;
}
