#pragma once
// Where this copy of the program keeps its settings, and whether it may run:
// one running copy per settings file.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

// The folder of the settings file, the install records and the lock, without
// a trailing separator, for an executable in `program_folder`:
// - that folder itself for a portable copy: one run from a folder the user
//   may write to, other than where an installation puts it (a bin folder
//   beside share/applications/quorvantel.desktop, such as ~/.local/bin);
// - otherwise $XDG_CONFIG_HOME/quorvantel, or ~/.config/quorvantel when that
//   variable is unset or not an absolute path.
// Does not create it.
std::string SettingsFolderFor(const std::string& program_folder);

// The first copy for a settings folder holds a lock file there and listens
// on a local socket named after the folder; a later copy finds the lock
// taken, asks the first over the socket to come to the front, and leaves.
class SingleInstance {
 public:
  explicit SingleInstance(const std::string& settings_folder);
  ~SingleInstance();

  // True when this process may run the dialog. False when another copy runs
  // with the same settings; it has been asked to come to the front (or did
  // not answer in time).
  bool Claim();
  // Runs `raise` on the GUI thread whenever a later copy asks.
  void OnRaiseRequest(std::function<void()> raise);

 private:
  QString folder_;
  QString server_name_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
  std::function<void()> raise_;
};
