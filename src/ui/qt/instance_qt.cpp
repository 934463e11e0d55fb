#include "ui/qt/instance_qt.h"

#include <pwd.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <cstdlib>

namespace {

// How long a second start waits for the first copy to answer.
constexpr qint64 kHandOverTimeoutMs = 10000;
constexpr int kConnectTimeoutMs = 200;

// `cmake --install` puts the program in <prefix>/bin and its desktop entry
// in <prefix>/share/applications.
bool IsInstalledCopy(const std::string& program_folder) {
  const std::string entry = program_folder + "/../share/applications/quorvantel.desktop";
  return access(entry.c_str(), F_OK) == 0;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* user = getpwuid(getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string SettingsFolderFor(const std::string& program_folder) {
  if (!program_folder.empty() && access(program_folder.c_str(), W_OK) == 0 &&
      !IsInstalledCopy(program_folder))
    return WithoutTrailingSeparators(program_folder);
  // XDG has a relative value ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string base = config != nullptr && config[0] == '/'
                               ? WithoutTrailingSeparators(config)
                               : WithoutTrailingSeparators(HomeFolder()) + "/.config";
  return (base == "/" ? std::string() : base) + "/quorvantel";
}

SingleInstance::SingleInstance(const std::string& settings_folder)
    : folder_(QFile::decodeName(settings_folder.c_str())),
      lock_(folder_ + QStringLiteral("/Quorvantel.lock")) {
  // Only a dead owner makes the lock stale: a copy left running for days
  // keeps its claim.
  lock_.setStaleLockTime(0);
  // Two spellings of one folder (a symbolic link) must find the same copy.
  const QString canonical = QFileInfo(folder_).canonicalFilePath();
  const QByteArray hash =
      QCryptographicHash::hash((canonical.isEmpty() ? folder_ : canonical).toUtf8(),
                               QCryptographicHash::Sha256)
          .toHex()
          .left(16);
  server_name_ = QStringLiteral("quorvantel-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
  // The user's runtime folder when there is one; Qt's temporary folder
  // otherwise.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && QFileInfo(QFile::decodeName(runtime)).isDir())
    server_name_ = QFile::decodeName(runtime) + '/' + server_name_;
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

bool SingleInstance::Claim() {
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    if (lock_.tryLock(0)) {
      server_ = std::make_unique<QLocalServer>();
      server_->setSocketOptions(QLocalServer::UserAccessOption);
      // A socket left by a copy that crashed: the lock says none runs now.
      QLocalServer::removeServer(server_name_);
      if (server_->listen(server_name_)) {
        QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
          while (QLocalSocket* caller = server_->nextPendingConnection()) {
            caller->disconnectFromServer();
            caller->deleteLater();
          }
          if (raise_) raise_();
        });
      }
      return true;
    }
    // Without the lock (a folder it cannot write) there is no way to
    // coordinate; running is better than refusing to start.
    if (lock_.error() != QLockFile::LockFailedError) return true;

    QLocalSocket first;
    first.connectToServer(server_name_);
    if (first.waitForConnected(kConnectTimeoutMs)) {
      first.disconnectFromServer();
      return false;
    }
    // The first copy is still starting, or is closing and will release the
    // lock: keep trying for a while, then give up quietly.
    if (waited.elapsed() > kHandOverTimeoutMs) return false;
    QThread::msleep(50);
  }
}

void SingleInstance::OnRaiseRequest(std::function<void()> raise) { raise_ = std::move(raise); }
