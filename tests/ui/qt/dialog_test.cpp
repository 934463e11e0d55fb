// The Linux dialog driven through its real widgets, in the scenarios of the
// Windows end-to-end run, each in a fresh folder of its own. The offscreen
// platform stands in for a display; the choosers are answered by picks the
// dialog is given in place of the platform's dialogs, message boxes by
// clicking their OK button.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <deque>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/background.h"
#include "app/texts.h"
#include "engine/record.h"
#include "support/fault.h"
#include "support/messages.h"
#include "app/modlist.h"
#include "ui/qt/choosers_qt.h"
#include "ui/qt/dialog_qt.h"
#include "platform/profile.h"
#include "settings/settings.h"
#include "support/sandbox.h"
#include "app/window.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Reads a value of the settings file the way the program does.
std::string Setting(const std::string& ini, const char* section, const char* key) {
  return ProfileReadString(section, key, "<none>", 600, ini);
}

// What one message box showed: its caption, its buttons and its text.
QString Shown(const QString& caption, int buttons, const QString& text) {
  return QStringLiteral("%1 [%2 button(s)] %3").arg(caption).arg(buttons).arg(text);
}

// An error box as the program must show it: its caption and one OK button.
QString ErrorBox(const char* utf8_text, const std::string& more = std::string()) {
  return Shown(QString::fromUtf8(kErrorCaption), 1, QString::fromUtf8(utf8_text) + Q(more));
}

// Clicks OK on every message box as soon as it is open, and keeps what each
// one showed.
class MessageBoxes {
 public:
  MessageBoxes() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
    timer_.start(5);
  }
  // The boxes shown since the last call.
  QStringList Take() { return std::exchange(shown_, {}); }

 private:
  void Answer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      shown_ << Shown(box->windowTitle(), static_cast<int>(box->buttons().size()), box->text());
      QAbstractButton* ok = box->button(QMessageBox::Ok);
      if (ok != nullptr)
        ok->click();
      else
        box->close();
    }
  }
  QTimer timer_;
  QStringList shown_;
};

// The user at the choosers: the next answers, in order; none left is a
// cancel. Keeps the folder each chooser started in.
enum class Chooser { ArchiveFile, Folder };
struct ChooserScript {
  std::deque<QString> answers;
  std::vector<std::pair<Chooser, QString>> asked;
  QString operator()(Chooser chooser, const QString& start) {
    asked.emplace_back(chooser, start);
    if (answers.empty()) return QString();
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// Picks answered from `script`, in place of the platform's dialogs; the
// dialog checks what they return as it checks a real choice.
Pickers ScriptedPickers(const std::shared_ptr<ChooserScript>& script) {
  const auto pick = [script](Chooser chooser) {
    return [script, chooser](QWidget*, const QString& start) { return (*script)(chooser, start); };
  };
  return {pick(Chooser::ArchiveFile), pick(Chooser::Folder)};
}

// One start of the program on a settings folder, as main() makes it; the
// dialog ends with the exit status main() returns.
class RunningApp {
 public:
  RunningApp(const std::string& folder, const Pickers& pickers) : dialog(pickers) {
    ModCount = 0;  // as in a new process
    SetMainWindow(&dialog);
    started = StartUpIn(folder);
    dialog.open();
    exposed = QTest::qWaitForWindowExposed(&dialog);
  }
  ~RunningApp() { SetMainWindow(nullptr); }

  QWidget* Control(int id) const { return dialog.Control(id); }
  QListWidget* List() const { return static_cast<QListWidget*>(Control(ModList)); }
  QComboBox* FolderBox() const { return static_cast<QComboBox*>(Control(ExtractToBox)); }

  QStringList Rows() const {
    QStringList rows;
    for (int i = 0; i < List()->count(); ++i) rows << List()->item(i)->text();
    return rows;
  }
  int SelectedRow() { return dialog.SelectedRow(); }
  // A click on the row; on the selected row with Ctrl held for -1.
  void SelectRow(int row) {
    const int target = row < 0 ? SelectedRow() : row;
    if (target < 0) return;
    const QRect rect = List()->visualItemRect(List()->item(target));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton,
                      row < 0 ? Qt::ControlModifier : Qt::NoModifier, rect.center());
  }
  QString Text(int id) const {
    if (id == ExtractToBox) return FolderBox()->currentText();
    if (auto* label = qobject_cast<QLabel*>(Control(id))) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) return button->text();
    return QString();  // the list has no text of its own
  }
  bool IsEnabled(int id) const { return Control(id)->isEnabled(); }
  // Clicks a button and waits for a command it started to end.
  bool Click(int id) {
    QTest::mouseClick(Control(id), Qt::LeftButton);
    return WaitForCommand();
  }
  static bool WaitForCommand() {
    return QTest::qWaitFor([] { return !CommandRunning(); }, 20000);
  }
  // The dialog's result once it has ended, -1 while it is open.
  int Status() const { return dialog.isVisible() ? -1 : dialog.result(); }
  int PressEscape() {
    QTest::keyClick(&dialog, Qt::Key_Escape);
    return Status();
  }
  int CloseBox() {
    dialog.close();
    return Status();
  }

  MainDialog dialog;
  bool started = false;
  bool exposed = false;
};

}  // namespace

class QtDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Sandbox> root;
  std::unique_ptr<MessageBoxes> boxes;
  std::shared_ptr<ChooserScript> choosers;
  Pickers pickers;  // what each dialog started shows for its choosers

  std::string App() const { return root->Join("app"); }
  std::string Ini() const { return root->Join("app/Quorvantel.ini"); }
  std::string Game() const { return root->Join("game"); }
  std::string Mod(const std::string& name) const { return root->Join("mods/" + name); }

  // A copy of a fixture archive, which a scenario may delete.
  void CopyMod(const std::string& fixture, const std::string& name) const {
    std::ifstream in(FixturePath(fixture), std::ios::binary);
    root->WriteFile("mods/" + name, std::string(std::istreambuf_iterator<char>(in), {}));
  }
  // A game folder with the files mod_mixed.zip replaces, and one it leaves.
  void MakeGame() const {
    root->WriteFile("game/a.txt", "original a\n");
    root->WriteFile("game/data/b.dat", std::string("\0\1\2\3\xff", 5));
    root->WriteFile("game/README", "original readme");
    root->WriteFile("game/data/keep.bin", "kept");
  }
  // Adds a mod through the choosers and gives it `folder`.
  bool AddWithFolder(RunningApp& app, const std::string& mod, const std::string& folder) {
    choosers->answers = {Q(Mod(mod)), Q(folder)};
    app.Click(AddModButton);
    app.SelectRow(app.List()->count() - 1);
    app.Click(BrowseButton);
    return app.Text(ExtractToBox) == Q(folder) && boxes->Take().empty();
  }

 private slots:
  void init() {
    root = std::make_unique<Sandbox>();
    root->MakeDir("app");
    boxes = std::make_unique<MessageBoxes>();
    choosers = std::make_shared<ChooserScript>();
    pickers = ScriptedPickers(choosers);
  }

  void cleanup() {
    FailFileOperation(0);
    QCOMPARE(boxes->Take(), QStringList());  // every box shown was looked at
    boxes.reset();
    root.reset();
  }

  void firstStartCreatesSettingsAndShowsEmptyList() {
    QVERIFY(!root->Exists("app/Quorvantel.ini"));
    {
      RunningApp app(App(), pickers);
      QVERIFY(app.started && app.exposed);
      QVERIFY(app.Rows().isEmpty());
      QCOMPARE(app.SelectedRow(), -1);
      QCOMPARE(app.Text(InstallButton), QStringLiteral("Install"));
      QVERIFY(!app.IsEnabled(InstallButton));
      QCOMPARE(app.Text(ExtractToBox), QString());
      // Written at start, not only at close; the records live beside it.
      QVERIFY(Setting(Ini(), "Window", "Left") != "<none>");
      QVERIFY(Setting(Ini(), "Window", "Top") != "<none>");
      QCOMPARE(Q(RecordFolder()), Q(root->Join("app/Quorvantel.records/")));
      QCOMPARE(app.PressEscape(), 1);
    }
    RunningApp app(App(), pickers);
    QCOMPARE(app.CloseBox(), 1);
  }

  // The template: every control in its order, which is the tab order, with
  // its text and its place in dialog units of the dialog's font.
  void dialogHasEveryControlOfItsTemplate() {
    CopyMod("mod_over_a.zip", "a.zip");
    root->MakeDir("game");
    root->WriteFile("app/Quorvantel.ini",
                    "[FileNo0]\nFileName=" + Mod("a.zip") + "\nExtractTo=" + Game() + "\n");
    RunningApp app(App(), pickers);
    QCOMPARE(app.dialog.windowTitle(), QStringLiteral("Quorvantel Ver1.3"));
    QVERIFY(static_cast<QPushButton*>(app.Control(InstallButton))->isDefault());
    QVERIFY(app.dialog.windowIcon().availableSizes().contains(QSize(32, 32)));

    struct Expected {
      int id;
      const char* type;
      QString text;
      QRect units;
    };
    const Expected controls[] = {
        {ModList, "QListWidget", "", {0, 0, 110, 100}},
        {AddModButton, "QPushButton", "Add NewMod", {115, 5, 50, 15}},
        {InstallButton, "QPushButton", "Install", {115, 85, 50, 15}},
        {RemoveModButton, "QPushButton", "Remove Mod", {115, 25, 50, 15}},
        {ExtractToLabel, "QLabel", "Extract To", {0, 100, 100, 10}},
        {BrowseButton, "QPushButton", "Browse", {115, 110, 50, 15}},
        {ExtractToBox, "QComboBox", "", {0, 110, 110, 15}},
    };
    // The list box at (0, 0, 110, 100) sets the scale: dialog units as
    // Windows has them, a quarter of the font's average character width
    // across and an eighth of its height down.
    const QFontMetrics metrics(app.dialog.font());
    const double per_x = app.List()->width() / 110.0;
    const double per_y = app.List()->height() / 100.0;
    const double average =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
    QVERIFY2(qAbs(per_x * 4 - average) <= 0.6, qPrintable(QString::number(per_x)));
    QVERIFY2(qAbs(per_y * 8 - metrics.height()) <= 0.2, qPrintable(QString::number(per_y)));
    QVERIFY(qAbs(app.dialog.width() - 169 * per_x) <= 2);
    QVERIFY(qAbs(app.dialog.height() - 125 * per_y) <= 2);
    QList<QWidget*> children;
    for (QObject* child : app.dialog.children()) {
      if (child->isWidgetType()) children << static_cast<QWidget*>(child);
    }
    QCOMPARE(children.size(), 7);
    for (int i = 0; i < 7; ++i) {
      const Expected& want = controls[i];
      QWidget* control = children[i];
      QCOMPARE(control, app.Control(want.id));
      QCOMPARE(control->metaObject()->className(), want.type);
      QVERIFY(control->isVisible());
      QCOMPARE(app.Text(want.id), want.text);
      const QRect& u = want.units;
      const QRect at = control->geometry();
      const double edges[][2] = {{1.0 * at.left(), u.left() * per_x},
                                 {1.0 * at.top(), u.top() * per_y},
                                 {1.0 * at.left() + at.width(), (u.left() + u.width()) * per_x},
                                 {1.0 * at.top() + at.height(), (u.top() + u.height()) * per_y}};
      for (const auto& edge : edges)
        QVERIFY2(qAbs(edge[0] - edge[1]) <= 2, qPrintable(QString::number(want.id)));
    }
    QVERIFY(app.FolderBox()->isEditable());

    // With the button enabled, Tab visits every control but the label, in
    // template order, and comes round again.
    app.SelectRow(0);
    QVERIFY(app.IsEnabled(InstallButton));
    app.dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&app.dialog));
    app.List()->setFocus();
    QList<int> visited;
    for (int i = 0; i < 6; ++i) {
      QWidget* focus = QApplication::focusWidget();
      for (const int id : std::initializer_list<int>{ModList, AddModButton, InstallButton,
                                                      RemoveModButton, BrowseButton, ExtractToBox,
                                                      ExtractToLabel}) {
        if (focus == app.Control(id) || focus->parentWidget() == app.Control(id)) visited << id;
      }
      QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(visited, (QList<int>{ModList, AddModButton, InstallButton, RemoveModButton,
                                  BrowseButton, ExtractToBox}));
    QVERIFY(app.List()->hasFocus());
    QCOMPARE(app.CloseBox(), 1);
  }

  void addedModsAreListedByFileNameAndKept() {
    CopyMod("mod_over_a.zip", "Alpha Mod.zip");
    CopyMod("mod_txt_dat.zip", "beta.zip");
    // A name whose bytes are not UTF-8 reaches Qt with them replaced, and a
    // path longer than its record: neither can be stored as chosen.
    root->WriteFile("mods/\xff.zip", "PK");
    std::string long_name;
    while (Mod(long_name).size() <= kMaxFileName) long_name += std::string(100, 'd') + "/";
    long_name += "long.zip";
    root->WriteFile("mods/" + long_name, "PK");
    {
      RunningApp app(App(), pickers);
      choosers->answers = {Q(Mod("Alpha Mod.zip")), Q(Mod("beta.zip")),
                           QFile::decodeName(Mod("\xff.zip").c_str()), Q(Mod(long_name))};
      for (int i = 0; i < 4; ++i) app.Click(AddModButton);
      app.Click(AddModButton);  // a cancel changes nothing
      QCOMPARE(app.Rows(), (QStringList{"Alpha Mod.zip", "beta.zip"}));
      QCOMPARE(boxes->Take(),
               (QStringList{ErrorBox(kPathNotRepresentable, "\n" + Mod("\xEF\xBF\xBD.zip")),
                            ErrorBox(kPathTooLong, "\n" + Mod(long_name))}));
      // The open-file dialog starts in the settings folder.
      QVERIFY(choosers->asked.front() == std::make_pair(Chooser::ArchiveFile, Q(App() + "/")));
      // Adding selects nothing, so the button stays off.
      QCOMPARE(app.SelectedRow(), -1);
      QVERIFY(!app.IsEnabled(InstallButton));
      // A new mod has no folder yet.
      app.SelectRow(1);
      QCOMPARE(app.Text(InstallButton), QStringLiteral("ExtractTo?"));
      QVERIFY(!app.IsEnabled(InstallButton));
      QCOMPARE(app.CloseBox(), 1);
    }
    QCOMPARE(Q(Setting(Ini(), "FileNo0", "FileName")), Q(Mod("Alpha Mod.zip")));
    QCOMPARE(Q(Setting(Ini(), "FileNo1", "FileName")), Q(Mod("beta.zip")));
    QCOMPARE(Q(Setting(Ini(), "FileNo2", "FileName")), QStringLiteral("<none>"));
    RunningApp app(App(), pickers);
    QCOMPARE(app.Rows(), (QStringList{"Alpha Mod.zip", "beta.zip"}));
    QCOMPARE(app.CloseBox(), 1);
  }

  // The real dialogs, with no script: the archive dialog starts in the
  // settings folder and shows zip files, in either case, and nothing else;
  // the folder chooser has its title.
  void choosersAreThePlatformsDialogs() {
    pickers = Pickers();
    CopyMod("mod_over_a.zip", "lower.zip");
    CopyMod("mod_over_a.zip", "UPPER.ZIP");
    root->WriteFile("mods/notes.txt", "not a mod");
    root->MakeDir("game");
    RunningApp app(App(), pickers);
    QString title;
    QString start;
    QStringList listed;
    // Answers the next file dialog as a user would: looks into `folder`,
    // then picks `path`.
    const auto answer_with = [&](const QString& folder, const QString& path) {
      QTimer::singleShot(0, [&, folder, path] {
        QFileDialog* dialog = nullptr;
        const auto open = [&] {
          return (dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
        };
        if (!QTest::qWaitFor(open)) return;  // the checks after the click fail
        title = dialog->windowTitle();
        start = dialog->directory().absolutePath();
        dialog->setDirectory(folder);
        auto* files = dialog->findChild<QFileSystemModel*>();
        const QModelIndex shown = files->index(folder);
        // A small folder is read in one batch.
        if (!QTest::qWaitFor([&] { return files->rowCount(shown) > 0; })) {
          dialog->close();  // a cancel, which the checks after the click catch
          return;
        }
        listed.clear();
        for (int row = 0; row < files->rowCount(shown); ++row)
          listed << files->index(row, 0, shown).data().toString();
        listed.sort();
        // Typed into the name field, then Enter.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
      });
    };
    answer_with(Q(root->Join("mods")), Q(Mod("lower.zip")));
    app.Click(AddModButton);
    QCOMPARE(app.Rows(), QStringList{"lower.zip"});
    QCOMPARE(start, Q(App()));
    QCOMPARE(listed, (QStringList{"UPPER.ZIP", "lower.zip"}));

    app.SelectRow(0);
    answer_with(Q(root->path()), Q(Game()));
    app.Click(BrowseButton);
    QCOMPARE(title, QStringLiteral("Extract to"));
    QCOMPARE(app.Text(ExtractToBox), Q(Game()));
    QCOMPARE(Q(Setting(Ini(), "FileNo0", "ExtractTo")), Q(Game()));
    QCOMPARE(app.CloseBox(), 1);
  }

  void installThenUninstallRestoresFolderByteForByte() {
    MakeGame();
    CopyMod("mod_mixed.zip", "mixed.zip");
    const auto before = Snapshot(Game());
    {
      RunningApp app(App(), pickers);
      QVERIFY(AddWithFolder(app, "mixed.zip", Game()));
      QCOMPARE(app.Text(InstallButton), QStringLiteral("Install"));
      QVERIFY(app.IsEnabled(InstallButton));
      QVERIFY(app.Click(InstallButton));
      QCOMPARE(app.Text(InstallButton), QStringLiteral("UnInstall"));
      QCOMPARE(app.CloseBox(), 1);
    }
    const auto installed = Snapshot(Game());
    QCOMPARE(Q(installed.at("a.txt")), QStringLiteral("mod a\n"));
    QVERIFY(installed.at("a.qvs") == before.at("a.txt"));
    QVERIFY(installed.at("data/b.qvs") == before.at("data/b.dat"));
    QVERIFY(installed.at("READMEqvs") == before.at("README"));
    QVERIFY(installed.count("sub/deep/er/still/z.txt") == 1);
    QCOMPARE(Q(Setting(Ini(), "FileNo0", "Extracted")), QStringLiteral("1"));

    // The state survives a restart; uninstalling puts every byte back.
    RunningApp app(App(), pickers);
    app.SelectRow(0);
    QCOMPARE(app.Text(ExtractToBox), Q(Game()));
    QCOMPARE(app.Text(InstallButton), QStringLiteral("UnInstall"));
    QVERIFY(app.Click(InstallButton));
    QCOMPARE(app.Text(InstallButton), QStringLiteral("Install"));
    // Folders the mod made stay, empty.
    auto uninstalled = before;
    for (const auto& item : installed)
      if (item.second == "<dir>") uninstalled.insert(item);
    QVERIFY(Snapshot(Game()) == uninstalled);
    QCOMPARE(app.CloseBox(), 1);
    QCOMPARE(Q(Setting(Ini(), "FileNo0", "Extracted")), QStringLiteral("0"));
  }

  // Files dropped onto the list become the next rows, in order, a folder
  // passed over; a row's menu (the menu key) checks an installed mod's
  // files, and offers only what applies to a mod.
  void dropAddsArchivesInOrderAndTheMenuChecksFiles() {
    MakeGame();
    CopyMod("mod_mixed.zip", "mixed.zip");
    CopyMod("mod_txt_dat.zip", "second.zip");
    root->MakeDir("mods/folder.zip");
    RunningApp app(App(), pickers);
    QVERIFY(AddWithFolder(app, "mixed.zip", Game()));
    QVERIFY(app.Click(InstallButton));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(Q(Mod("second.zip"))),
                     QUrl::fromLocalFile(Q(Mod("folder.zip")))});
    const QPoint at = app.List()->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(app.List()->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(app.List()->viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(app.Rows(), (QStringList{"mixed.zip", "second.zip"}));
    QCOMPARE(app.SelectedRow(), 0);

    root->WriteFile("game/new.txt", "edited");
    const auto before = Snapshot(root->path());
    // Picks the menu's first item once it is open, noting which are enabled.
    QList<bool> enabled;
    const auto pick_first = [&] {
      QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        for (QAction* action : menu->actions()) enabled << action->isEnabled();
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
      });
      QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), app.List()->mapToGlobal(QPoint()));
      QApplication::sendEvent(app.List(), &key);
      QVERIFY(RunningApp::WaitForCommand());
    };
    pick_first();
    QCOMPARE(enabled, (QList<bool>{true, true, true}));
    const QStringList shown = boxes->Take();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(Q(kInfoBoxCaption)), qPrintable(shown[0]));
    QVERIFY2(shown[0].contains(Q(kCheckChangedMark) + "new.txt"), qPrintable(shown[0]));
    QVERIFY(Snapshot(root->path()) == before);

    // The dropped mod has no folder and no record.
    enabled.clear();
    app.SelectRow(1);
    pick_first();
    QCOMPARE(enabled, (QList<bool>{true, false, true}));
    QCOMPARE(boxes->Take(), (QStringList{Shown(Q(kInfoBoxCaption), 1, Q(kCheckNoRecord))}));
    QCOMPARE(app.CloseBox(), 1);
  }

  // The install runs off the dialog's thread: its controls are disabled
  // meanwhile, and a close asked for then waits for the install's end.
  void theDialogAnswersDuringAnInstallAndACloseWaitsForItsEnd() {
    MakeGame();
    CopyMod("mod_mixed.zip", "mixed.zip");
    RunningApp app(App(), pickers);
    QVERIFY(AddWithFolder(app, "mixed.zip", Game()));
    QTest::mouseClick(app.Control(InstallButton), Qt::LeftButton);
    QVERIFY(CommandRunning());
    QVERIFY(app.Text(InstallButton).startsWith(QStringLiteral("Processing...")));
    for (const int id : std::initializer_list<int>{ModList, AddModButton, InstallButton,
                                                    RemoveModButton, ExtractToBox, BrowseButton}) {
      QVERIFY2(!app.IsEnabled(id), qPrintable(QString::number(id)));
    }
    QCOMPARE(app.CloseBox(), -1);
    QCOMPARE(app.PressEscape(), -1);
    QVERIFY(RunningApp::WaitForCommand());
    QTRY_COMPARE(app.Status(), 1);
    // The install was finished, not cut short: a whole state.
    QCOMPARE(Q(Setting(Ini(), "FileNo0", "Extracted")), QStringLiteral("1"));
    QVERIFY(root->Exists("game/sub/deep/er/still/z.txt"));
    QVERIFY(root->Exists("game/a.qvs"));
  }

  // Every change on disk failing from some point on is what a crash looks
  // like to the folder: the next start puts it back as it was, and says so.
  void anInstallCrashedHalfWayIsUndoneAtTheNextStart() {
    MakeGame();
    CopyMod("mod_mixed.zip", "mixed.zip");
    const auto before = Snapshot(Game());
    {
      RunningApp app(App(), pickers);
      QVERIFY(AddWithFolder(app, "mixed.zip", Game()));
      FailFileOperation(15, true);  // among the extracted files
      QVERIFY(app.Click(InstallButton));
      FailFileOperation(0);
      // The file whose creation failed is named, with the seam's cause.
      const QStringList shown = boxes->Take();
      QCOMPARE(shown.size(), 1);
      QVERIFY(shown[0].startsWith(ErrorBox(kExtractionError, Below({}))));
      const std::string why = kProblemSeparator + std::string(FileCauseText(FileCause::Other));
      const QStringList lines = shown[0].split('\n');
      QVERIFY(lines.size() > 3);
      QVERIFY(lines[2].endsWith(Q(why)));
      // Nothing could be taken back either: the steps left are named too,
      // after every step that failed (the files are written side by side).
      QVERIFY(lines.mid(3).join('\n').contains(Q(kNotUndone)));
      QVERIFY(Snapshot(Game()) != before);
      QCOMPARE(app.CloseBox(), 1);
    }
    RunningApp app(App(), pickers);
    QCOMPARE(boxes->Take(), QStringList{ErrorBox(kRepairUndone, "\nmixed.zip")});
    QVERIFY(Snapshot(Game()) == before);
    app.SelectRow(0);
    QCOMPARE(app.Text(InstallButton), QStringLiteral("Install"));
    QCOMPARE(app.CloseBox(), 1);
  }

  void secondModOverTheSameFileIsRefusedAndChangesNothing() {
    root->WriteFile("game/data/a.txt", "original");
    CopyMod("mod_over_a.zip", "first.zip");
    CopyMod("mod_over_a_too.zip", "second.zip");
    RunningApp app(App(), pickers);
    QVERIFY(AddWithFolder(app, "first.zip", Game()));
    QVERIFY(AddWithFolder(app, "second.zip", Game()));
    app.SelectRow(0);
    app.Click(InstallButton);
    QCOMPARE(app.Text(InstallButton), QStringLiteral("UnInstall"));
    const auto with_first = Snapshot(Game());

    app.SelectRow(1);
    app.Click(InstallButton);
    QCOMPARE(boxes->Take(),
             QStringList{ErrorBox(kProcessingError,
                                  Below({ProblemLine("data/a.txt",
                                                     Fill(kBackupTakenByMod, "first.zip"))}))});
    QVERIFY(Snapshot(Game()) == with_first);
    QCOMPARE(app.Text(InstallButton), QStringLiteral("Install"));
    QCOMPARE(Q(Setting(Ini(), "FileNo1", "Extracted")), QStringLiteral("<none>"));
    app.SelectRow(0);
    QCOMPARE(app.Text(InstallButton), QStringLiteral("UnInstall"));
    QCOMPARE(app.CloseBox(), 1);
  }

  void removalRenumbersTheRest() {
    for (const std::string name : {"a", "b", "c"}) {
      CopyMod("mod_over_a.zip", name + ".zip");
      root->MakeDir("games/" + name);
    }
    {
      RunningApp app(App(), pickers);
      for (const std::string name : {"a", "b", "c"})
        QVERIFY(AddWithFolder(app, name + ".zip", root->Join("games/" + name)));
      app.SelectRow(1);
      app.Click(RemoveModButton);
      QCOMPARE(app.Rows(), (QStringList{"a.zip", "c.zip"}));
      // Nothing is selected after a removal.
      QCOMPARE(app.SelectedRow(), -1);
      QCOMPARE(app.Text(ExtractToBox), QString());
      QVERIFY(!app.IsEnabled(InstallButton));
      app.SelectRow(1);
      QCOMPARE(app.Text(ExtractToBox), Q(root->Join("games/c")));
      QCOMPARE(app.CloseBox(), 1);
    }
    QCOMPARE(Q(Setting(Ini(), "FileNo1", "FileName")), Q(Mod("c.zip")));
    QCOMPARE(Q(Setting(Ini(), "FileNo1", "ExtractTo")), Q(root->Join("games/c")));
    QCOMPARE(Q(Setting(Ini(), "FileNo2", "FileName")), QStringLiteral("<none>"));

    RunningApp app(App(), pickers);
    QCOMPARE(app.Rows(), (QStringList{"a.zip", "c.zip"}));
    app.SelectRow(0);
    QCOMPARE(app.Text(ExtractToBox), Q(root->Join("games/a")));
    QCOMPARE(app.Text(InstallButton), QStringLiteral("Install"));
    // An archive deleted meanwhile shows at the next click on its row.
    QVERIFY(std::remove(Mod("a.zip").c_str()) == 0);
    app.SelectRow(0);
    QCOMPARE(app.Text(InstallButton), QStringLiteral("FileNotFound!"));
    QVERIFY(!app.IsEnabled(InstallButton));
    QCOMPARE(app.CloseBox(), 1);
  }

  void windowPositionSurvivesRestart() {
    QSize first;
    {
      RunningApp app(App(), pickers);
      app.dialog.move(137, 91);
      QTRY_COMPARE(app.dialog.pos(), QPoint(137, 91));
      first = app.dialog.frameGeometry().size();
      QCOMPARE(app.CloseBox(), 1);
    }
    {
      RunningApp app(App(), pickers);
      QCOMPARE(app.dialog.pos(), QPoint(137, 91));
      QCOMPARE(app.dialog.frameGeometry().size(), first);
      QCOMPARE(app.PressEscape(), 1);
    }
    // A position no screen shows (a monitor since unplugged) is not used.
    QVERIFY(ProfileWriteString("Window", "Left", "-5000", Ini()));
    QVERIFY(ProfileWriteString("Window", "Top", "-5000", Ini()));
    RunningApp app(App(), pickers);
    QCOMPARE(app.dialog.pos(), QPoint(100, 100));
    QCOMPARE(app.CloseBox(), 1);
  }

  void folderBoxAlwaysShowsTheStoredFolder() {
    for (const std::string name : {"one", "two", "three"}) CopyMod("mod_over_a.zip", name + ".zip");
    root->MakeDir("games/one");
    root->MakeDir("games/two");
    const std::string three = "games/three, in a folder whose name is wider than the box";
    root->MakeDir(three);
    {
      RunningApp app(App(), pickers);
      QVERIFY(AddWithFolder(app, "one.zip", root->Join("games/one")));
      QVERIFY(AddWithFolder(app, "two.zip", root->Join("games/two")));
      QCOMPARE(app.CloseBox(), 1);
    }
    RunningApp app(App(), pickers);
    // The drop-down list holds the folders known at start; the field starts
    // empty all the same.
    QCOMPARE(app.FolderBox()->count(), 2);
    QCOMPARE(app.FolderBox()->itemText(0), Q(root->Join("games/one")));
    QCOMPARE(app.FolderBox()->itemText(1), Q(root->Join("games/two")));
    QCOMPARE(app.Text(ExtractToBox), QString());
    QVERIFY(AddWithFolder(app, "three.zip", root->Join(three)));

    // A pick from the drop-down list is not taken.
    app.FolderBox()->showPopup();
    QAbstractItemView* list = app.FolderBox()->view();
    QTRY_VERIFY(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    QTRY_COMPARE(app.Text(ExtractToBox), Q(root->Join(three)));

    // Nor is typing, at the end of the long path or over a selected text,
    // with a mod selected and with none.
    QLineEdit* edit = app.FolderBox()->lineEdit();
    for (const int row : {2, -1}) {
      app.SelectRow(row);
      const QString shown = row < 0 ? QString() : Q(root->Join(three));
      edit->end(false);
      QTest::keyClicks(edit, "the quick brown fox");
      edit->selectAll();
      QTest::keyClicks(edit, "typed over");
      QCOMPARE(app.Text(ExtractToBox), shown);
      QCOMPARE(app.FolderBox()->count(), 2);
    }
    QCOMPARE(app.CloseBox(), 1);
    QCOMPARE(Q(Setting(Ini(), "FileNo0", "ExtractTo")), Q(root->Join("games/one")));
    QCOMPARE(Q(Setting(Ini(), "FileNo2", "ExtractTo")), Q(root->Join(three)));
  }
};

QTEST_MAIN(QtDialogTest)
#include "dialog_test.moc"
