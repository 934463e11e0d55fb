#pragma once
// The main dialog on Linux: the template's controls laid out in dialog units
// of the dialog's font, their user actions routed into the core's dispatch as
// the Windows dialog procedure routes them, and the control operations of
// window.h over them.
#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>

#include "app/background.h"
#include "app/window.h"
#include "ui/qt/choosers_qt.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

class MainDialog final : public QDialog, public Window {
 public:
  // The template's size in dialog units.
  static constexpr int kWidthUnits = 169;
  static constexpr int kHeightUnits = 125;

  // `pickers` stand for the user at the two choosers; what they pick is
  // checked as a choice in the platform's dialogs is.
  explicit MainDialog(Pickers pickers = Pickers());

  // The control with this id (window.h), null for an unknown id.
  QWidget* Control(int id) const;
  // Brings the dialog, or the message box or chooser open over it, to the
  // front: a second start asks for this.
  void BringToFront();

  int SelectedRow() override;
  void AppendRow(const std::string& text, int data) override;
  void ClearRows() override;
  void AppendFolderItem(const std::string& text, int data) override;
  void SetFolderText(const std::string& text) override;
  void SetInstallCaption(const std::string& text) override;
  void EnableInstall(bool enabled) override;
  void ShowError(const std::string& utf8_text) override;
  void ShowInfo(const std::string& utf8_text) override;
  bool OpenInFileManager(const std::string& folder) override;
  bool ShowFileInFileManager(const std::string& file) override;
  bool ChooseArchiveFile(std::string& path) override;
  bool BrowseForFolder(std::string& folder) override;
  bool GetPosition(int& left, int& top) override;
  void GetBaseUnits(int& horizontal, int& vertical) override;
  bool IsOnScreen(int left, int top, int width, int height) override;
  void MoveTo(int left, int top, int width, int height) override;
  void RunInBackground(std::function<void()> work, std::function<void()> done) override;
  void ReportProgress(int percent) override;
  void EnableControls(bool enabled) override;
  void EndDialog(int status) override;

 protected:
  // Escape, and through QDialog's close handling the close box too.
  void reject() override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Drops of files and the menu of a row, on the list.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The constructor's steps, in order.
  void MeasureFont();
  void CreateControls();
  void LayOutControls();
  void SetUpControls();
  void SetTabOrder();
  // Turns the user's actions into the core's commands.
  void ConnectCommands();
  // The menu of row `row` at `global` (screen coordinates).
  void ShowRowMenu(int row, const QPoint& global);

  // Dialog units to pixels of the dialog's font, as Windows maps them.
  QRect FromUnits(int x, int y, int width, int height) const;
  QSize TemplateSize() const;

  Pickers pickers_;

  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* install_ = nullptr;
  QPushButton* remove_ = nullptr;
  QLabel* label_ = nullptr;
  QPushButton* browse_ = nullptr;
  QComboBox* folder_box_ = nullptr;

  int base_horizontal_ = 0;  // average character width of the dialog's font
  int base_vertical_ = 0;    // its line height

  // Waits for a running command when the dialog goes: the process must not
  // end half-way through one.
  BackgroundThread background_;
  // Where the keyboard was before a command disabled the controls.
  QPointer<QWidget> focus_before_command_;
};
