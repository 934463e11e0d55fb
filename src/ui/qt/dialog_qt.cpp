#include "ui/qt/dialog_qt.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QUrl>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/background.h"
#include "app/mod_menu.h"
#include "app/texts.h"
#include "settings/settings.h"

namespace {

constexpr char kCaption[] = "Quorvantel Ver1.3";

// Windows rounds a dialog unit's pixels to the nearest (MulDiv).
int Scale(int units, int base, int divisor) { return (2 * units * base + divisor) / (2 * divisor); }

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QIcon ProgramIcon() {
  QIcon drawn;
  for (const char* size : {"32", "64", "128"})
    drawn.addFile(QStringLiteral(":/icons/quorvantel-%1.png").arg(QLatin1String(size)));
  // An installed copy's theme may draw it anew; the built-in one otherwise.
  return QIcon::fromTheme(QStringLiteral("quorvantel"), drawn);
}

}  // namespace

MainDialog::MainDialog(Pickers pickers)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      pickers_(std::move(pickers)) {
  setWindowTitle(QString::fromUtf8(kCaption));
  setWindowIcon(ProgramIcon());
  MeasureFont();
  CreateControls();
  LayOutControls();
  SetUpControls();
  SetTabOrder();
  ConnectCommands();
}

void MainDialog::MeasureFont() {
  // Dialog base units of the dialog's font, as Windows derives them: the
  // average width of the 52 letters, and the line height.
  const QFontMetrics metrics(font());
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_horizontal_ = (letters / 26 + 1) / 2;
  base_vertical_ = metrics.height();
}

void MainDialog::CreateControls() {
  // The template's controls, in its order, which is also the tab order.
  list_ = new QListWidget(this);
  add_ = new QPushButton(QStringLiteral("Add NewMod"), this);
  install_ = new QPushButton(QString::fromUtf8(kInstallCaption), this);
  remove_ = new QPushButton(QStringLiteral("Remove Mod"), this);
  label_ = new QLabel(QStringLiteral("Extract To"), this);
  browse_ = new QPushButton(QStringLiteral("Browse"), this);
  folder_box_ = new QComboBox(this);
}

void MainDialog::LayOutControls() {
  list_->setGeometry(FromUnits(0, 0, 110, 100));
  add_->setGeometry(FromUnits(115, 5, 50, 15));
  install_->setGeometry(FromUnits(115, 85, 50, 15));
  remove_->setGeometry(FromUnits(115, 25, 50, 15));
  label_->setGeometry(FromUnits(0, 100, 100, 10));
  browse_->setGeometry(FromUnits(115, 110, 50, 15));
  folder_box_->setGeometry(FromUnits(0, 110, 110, 15));
  setFixedSize(TemplateSize());
}

void MainDialog::SetUpControls() {
  // Rows stay in mod-number order; a long name is cut, not scrolled to.
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  install_->setDefault(true);
  install_->setEnabled(false);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The box shows a folder and takes nothing from the user: what is typed,
  // completed, entered or dropped is never kept.
  folder_box_->setEditable(true);
  folder_box_->setInsertPolicy(QComboBox::NoInsert);
  folder_box_->setCompleter(nullptr);
  folder_box_->setMaxVisibleItems(8);
  folder_box_->setAcceptDrops(false);
  folder_box_->lineEdit()->setAcceptDrops(false);
  // Archives dropped onto the list are added as mods; a right click or the
  // menu key opens a row's menu. The list's own drag and drop (moving rows)
  // stays off: a row's place is its mod's number.
  list_->setDragDropMode(QAbstractItemView::NoDragDrop);
  list_->viewport()->setAcceptDrops(true);
  list_->viewport()->installEventFilter(this);
  list_->installEventFilter(this);
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_ && watched != list_->viewport()) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (!drag->mimeData()->hasUrls() || CommandRunning()) return false;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!drop->mimeData()->hasUrls()) return false;
      drop->acceptProposedAction();
      // In the order the file manager lists them; what is not a local file
      // (a web address) is no archive on this disk.
      std::vector<std::string> paths;
      for (const QUrl& url : drop->mimeData()->urls()) {
        std::string path;
        if (url.isLocalFile() && AcceptDroppedPath(this, url.toLocalFile(), path))
          paths.push_back(path);
      }
      DropFiles(paths);
      return true;
    }
    case QEvent::ContextMenu: {
      auto* menu = static_cast<QContextMenuEvent*>(event);
      if (CommandRunning()) return true;
      if (menu->reason() == QContextMenuEvent::Keyboard) {
        const int row = SelectedRow();
        if (row < 0) return true;
        const QRect item = list_->visualItemRect(list_->item(row));
        ShowRowMenu(row, list_->viewport()->mapToGlobal(item.bottomLeft()));
        return true;
      }
      const QPoint at = list_->viewport()->mapFromGlobal(menu->globalPos());
      const QModelIndex index = list_->indexAt(at);
      if (index.isValid()) ShowRowMenu(index.row(), menu->globalPos());
      return true;
    }
    default:
      return false;
  }
}

void MainDialog::ShowRowMenu(int row, const QPoint& global) {
  const MenuState state = MenuStateFor(row);
  QMenu menu(this);
  QAction* check = menu.addAction(QString::fromUtf8(kMenuCheckFiles));
  QAction* open = menu.addAction(QString::fromUtf8(kMenuOpenFolder));
  QAction* show = menu.addAction(QString::fromUtf8(kMenuShowArchive));
  check->setEnabled(state.check_files);
  open->setEnabled(state.open_folder);
  show->setEnabled(state.show_archive);
  QAction* picked = menu.exec(global);
  if (picked == check) RunMenuItem(row, MenuItem::CheckFiles);
  if (picked == open) RunMenuItem(row, MenuItem::OpenFolder);
  if (picked == show) RunMenuItem(row, MenuItem::ShowArchive);
}

void MainDialog::SetTabOrder() {
  setTabOrder(list_, add_);
  setTabOrder(add_, install_);
  setTabOrder(install_, remove_);
  setTabOrder(remove_, browse_);
  setTabOrder(browse_, folder_box_);
  list_->setFocus();
}

void MainDialog::ConnectCommands() {
  const auto dispatch = [](Command command) { return [command] { DispatchCommand(command); }; };
  connect(add_, &QPushButton::clicked, this, dispatch(AddModButton));
  connect(install_, &QPushButton::clicked, this, dispatch(InstallButton));
  connect(remove_, &QPushButton::clicked, this, dispatch(RemoveModButton));
  connect(browse_, &QPushButton::clicked, this, dispatch(BrowseButton));
  // Every other action only refreshes. Only the user's own changes count:
  // the program changes the list with its signals blocked, and textEdited
  // is never sent for text set by the program.
  connect(list_, &QListWidget::itemSelectionChanged, this, dispatch(kRefreshOnly));
  // A Windows list box notifies every click on a row, also on the selected
  // one: clicking a mod again shows what became of its archive meanwhile.
  connect(list_, &QListWidget::clicked, this, dispatch(kRefreshOnly));
  connect(folder_box_->lineEdit(), &QLineEdit::textEdited, this, dispatch(kRefreshOnly));
  // The box has written a picked item into its field before it tells us, so
  // the refresh puts the stored folder back (on Windows it writes after, and
  // a refresh is posted).
  connect(folder_box_, &QComboBox::activated, this, dispatch(kRefreshOnly));
}

QRect MainDialog::FromUnits(int x, int y, int width, int height) const {
  const int left = Scale(x, base_horizontal_, 4);
  const int top = Scale(y, base_vertical_, 8);
  const int right = Scale(x + width, base_horizontal_, 4);
  const int bottom = Scale(y + height, base_vertical_, 8);
  return QRect(left, top, right - left, bottom - top);
}

QSize MainDialog::TemplateSize() const { return FromUnits(0, 0, kWidthUnits, kHeightUnits).size(); }

QWidget* MainDialog::Control(int id) const {
  switch (id) {
    case ModList:
      return list_;
    case AddModButton:
      return add_;
    case InstallButton:
      return install_;
    case RemoveModButton:
      return remove_;
    case ExtractToLabel:
      return label_;
    case BrowseButton:
      return browse_;
    case ExtractToBox:
      return folder_box_;
    default:
      return nullptr;
  }
}

void MainDialog::BringToFront() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  // A message box or chooser open over the dialog is what the user must see.
  QWidget* front = QApplication::activeModalWidget();
  if (front == nullptr) front = this;
  front->raise();
  front->activateWindow();
}

int MainDialog::SelectedRow() {
  const QModelIndexList rows = list_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void MainDialog::AppendRow(const std::string& text, int data) {
  const QSignalBlocker program_change(list_);
  auto* item = new QListWidgetItem(FromUtf8(text));
  item->setData(Qt::UserRole, data);
  list_->addItem(item);
}

void MainDialog::ClearRows() {
  const QSignalBlocker program_change(list_);
  list_->clear();
}

void MainDialog::AppendFolderItem(const std::string& text, int data) {
  const QSignalBlocker program_change(folder_box_);
  const QString shown = folder_box_->currentText();
  folder_box_->addItem(FromUtf8(text), data);
  // The first item added becomes the current one and fills the field; the
  // field keeps what it showed, as a Windows combo box's does.
  folder_box_->setCurrentIndex(-1);
  folder_box_->setEditText(shown);
}

void MainDialog::SetFolderText(const std::string& text) {
  folder_box_->setEditText(FromUtf8(text));
  // The start of a long path, as Windows shows it.
  folder_box_->lineEdit()->setCursorPosition(0);
}

void MainDialog::SetInstallCaption(const std::string& text) { install_->setText(FromUtf8(text)); }

void MainDialog::EnableInstall(bool enabled) { install_->setEnabled(enabled); }

void MainDialog::ShowError(const std::string& utf8_text) {
  ShowErrorBox(this, FromUtf8(utf8_text));
}

void MainDialog::ShowInfo(const std::string& utf8_text) { ShowInfoBox(this, FromUtf8(utf8_text)); }

bool MainDialog::OpenInFileManager(const std::string& folder) {
  const QString path =
      QFile::decodeName(QByteArray(folder.data(), static_cast<qsizetype>(folder.size())));
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool MainDialog::ShowFileInFileManager(const std::string& file) {
  // No desktop-independent way selects a file in its folder: the folder.
  const QString path =
      QFile::decodeName(QByteArray(file.data(), static_cast<qsizetype>(file.size())));
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

bool MainDialog::ChooseArchiveFile(std::string& path) {
  return ChooseArchiveFileDialog(this, ProgramDirectory, pickers_.archive_file, path);
}

bool MainDialog::BrowseForFolder(std::string& folder) {
  // The refresh shows the selected mod's folder in the box: start there.
  const QByteArray shown = QFile::encodeName(folder_box_->currentText());
  return BrowseForFolderDialog(this, shown.toStdString(), pickers_.folder, folder);
}

bool MainDialog::GetPosition(int& left, int& top) {
  // A minimised window's place is not where it will come back. Wayland
  // tells no program where its windows are: nothing worth keeping.
  if (isMinimized() || QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
    return false;
  left = x();
  top = y();
  return true;
}

void MainDialog::GetBaseUnits(int& horizontal, int& vertical) {
  horizontal = base_horizontal_;
  vertical = base_vertical_;
}

bool MainDialog::IsOnScreen(int left, int top, int width, int height) {
  const QRect rect(left, top, width, height);
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().intersects(rect)) return true;
  }
  return false;
}

void MainDialog::MoveTo(int left, int top, int width, int height) {
  // The size asked for is the window's outer size; the controls need the
  // template's size in this font, which a small system font can undercut.
  const QSize frame = frameGeometry().size() - size();
  setFixedSize(TemplateSize().expandedTo(QSize(width, height) - frame));
  move(left, top);
}

void MainDialog::RunInBackground(std::function<void()> work, std::function<void()> done) {
  background_.Start(std::move(work), std::move(done), [this] {
    QMetaObject::invokeMethod(
        this, [this] { background_.Finish(); }, Qt::QueuedConnection);
  });
}

void MainDialog::ReportProgress(int percent) {
  // Posted: the worker never touches a widget.
  QMetaObject::invokeMethod(
      this, [percent] { ShowProgress(percent); }, Qt::QueuedConnection);
}

void MainDialog::EnableControls(bool enabled) {
  if (!enabled) {
    QWidget* focused = focusWidget();
    focus_before_command_ = focused == folder_box_->lineEdit() ? folder_box_ : focused;
  }
  for (QWidget* control :
       std::initializer_list<QWidget*>{list_, add_, install_, remove_, folder_box_, browse_}) {
    control->setEnabled(enabled);
  }
  // Disabling took the keyboard away; give it back where it was.
  if (enabled && focus_before_command_ && focus_before_command_->isEnabled())
    focus_before_command_->setFocus();
}

void MainDialog::EndDialog(int status) { done(status); }

void MainDialog::reject() {
  // While a command runs the close is remembered, and the dialog ends once
  // the command is over: never half-way through one.
  if (RequestClose()) done(kExitStatus);
}

void MainDialog::mouseReleaseEvent(QMouseEvent* event) {
  // As on Windows, a click on the dialog itself refreshes: an archive
  // deleted meanwhile shows on the button.
  if (event->button() == Qt::LeftButton) DispatchCommand(kRefreshOnly);
  QDialog::mouseReleaseEvent(event);
}
