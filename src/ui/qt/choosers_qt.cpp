#include "ui/qt/choosers_qt.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "app/texts.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "app/window.h"

namespace {

// Each entry shows the text before its last parenthesis (the details are
// hidden, as on Windows) and matches by the patterns inside it. Both cases
// of the extension: a name filter of a native dialog may tell them apart.
// "*" and not "*.*": on Linux many files have no dot, and all of them are
// meant.
QStringList ArchiveFilters() {
  return {QString::fromUtf8("圧縮済みModファイル(*.zip) (*.ZIP *.zip)"),
          QString::fromUtf8("すべてのファイル (*.*) (*)")};
}

void RefusePath(QWidget* owner, const char* reason, const QString& path) {
  ShowErrorBox(owner, QString::fromUtf8(reason) + "\n" + path);
}

// Turns a chosen path into bytes and checks they still name it and fit its
// record; refuses otherwise.
bool AcceptPath(QWidget* owner, const QString& chosen, bool folder, std::size_t max_bytes,
                std::string& out) {
  const QByteArray encoded = QFile::encodeName(chosen);
  std::string path(encoded.constData(), static_cast<std::size_t>(encoded.size()));
  struct stat st;
  const bool found =
      stat(path.c_str(), &st) == 0 && (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
  if (!found) {
    // A name whose bytes on disk are not UTF-8 reaches us with them
    // replaced: what we could store would name no file, or another one.
    if (chosen.contains(QChar::ReplacementCharacter) || !IsValidUtf8(path))
      RefusePath(owner, kPathNotRepresentable, chosen);
    return false;  // otherwise it went away since it was chosen
  }
  if (path.size() > max_bytes) {
    RefusePath(owner, kPathTooLong, chosen);
    return false;
  }
  out.swap(path);
  return true;
}

QString FromBytes(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

}  // namespace

QString PickArchiveFile(QWidget* owner, const QString& start_folder) {
  const QStringList filters = ArchiveFilters();
  QString selected = filters.front();
  return QFileDialog::getOpenFileName(owner, QString(), start_folder, filters.join(";;"),
                                      &selected, QFileDialog::HideNameFilterDetails);
}

QString PickFolder(QWidget* owner, const QString& start_folder) {
  return QFileDialog::getExistingDirectory(owner, QStringLiteral("Extract to"), start_folder,
                                           QFileDialog::ShowDirsOnly);
}

bool ChooseArchiveFileDialog(QWidget* owner, const std::string& start_folder, const Pick& pick,
                             std::string& path) {
  const QString chosen = pick(owner, FromBytes(start_folder));
  if (chosen.isEmpty()) return false;
  return AcceptPath(owner, chosen, false, kMaxFileName, path);
}

bool BrowseForFolderDialog(QWidget* owner, const std::string& start_folder, const Pick& pick,
                           std::string& folder) {
  const QString chosen =
      pick(owner, start_folder.empty() ? QDir::homePath() : FromBytes(start_folder));
  if (chosen.isEmpty()) return false;
  return AcceptPath(owner, chosen, true, kMaxExtractTo, folder);
}

bool AcceptDroppedPath(QWidget* owner, const QString& dropped, std::string& path) {
  return AcceptPath(owner, dropped, false, kMaxFileName, path);
}

namespace {
void ShowBox(QWidget* owner, const char* caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(caption), text, QMessageBox::Ok, owner);
  // Paths may hold '<' and '&': they are shown as they are.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}
}  // namespace

void ShowErrorBox(QWidget* owner, const QString& text) { ShowBox(owner, kErrorCaption, text); }

void ShowInfoBox(QWidget* owner, const QString& text) { ShowBox(owner, kInfoBoxCaption, text); }
