#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace zub {

enum class MessageIcon { Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// Qt's own texts (the file dialog's buttons, labels and columns, standard
// buttons) in Chinese, like the window's: Qt's translations where the
// installed package has them, and ours for the few it lacks ("Folder" in
// the file list). Call once, after the application object exists.
void InstallQtTranslations();

// What a file dialog is asked to show. `filter` is a list of description and
// pattern-list pairs, all parts separated by "|", the patterns of one list by
// ";" ("图片文件(*.JPG)|*.JPG;*.bmp"). `filterIndex` counts from 1; 0 leaves
// the choice to the dialog.
struct FileDialogRequest {
  QString title;
  QString filter;
  int filterIndex = 0;
  QString fileName;
  QString startFolder;
};

// A warning whose first lines say what happens and what the program advises,
// with the technical causes folded under "显示详细信息" and buttons that name
// their actions.
struct WarningRequest {
  MessageIcon icon = MessageIcon::Exclamation;
  QString title;
  QString text;    // the plain lines shown first
  QString details; // folded; empty: no details
  // The button that takes the offer ("改用推荐设置"), answered Yes; empty:
  // one "确定" button, answered Ok.
  QString accept;
  // The button that keeps things as they are ("保留当前二维码"), also the
  // Esc key and closing the box: answered No.
  QString keep;
};

// A choice of one item from a list, the `current` one chosen at first.
struct ChoiceRequest {
  QString title;
  QString label;
  QStringList items;
  int current = 0;
};

// The modal dialogs the windows use. Tests replace the functions with
// scripted answers; Dialogs::Qt() gives the real ones.
struct Dialogs {
  std::function<MessageAnswer(MessageIcon, MessageButtons, const QString &title,
                              const QString &text)>
      message;
  // The chosen path, or nothing when the user cancels.
  std::function<std::optional<QString>(const FileDialogRequest &)> openFile;
  std::function<std::optional<QString>(const FileDialogRequest &)> saveFile;
  // A warning with details and named buttons; tests set it. Where it is not
  // set, Warn shows the real box while `message` is Qt's own, and else the
  // request through `message` (a test's): the text, a blank line and the
  // details, with 是 and 否 for the two buttons.
  std::function<MessageAnswer(const WarningRequest &)> warning;
  // The index of the item chosen, or nothing when the user cancels (also
  // where it is not set).
  std::function<std::optional<int>(const ChoiceRequest &)> choose;

  MessageAnswer Warn(const WarningRequest &request) const;

  // Qt's message boxes and Qt's own file dialogs (not the desktop's: their
  // patterns match regardless of case, "*.JPG" also finds "photo.jpg").
  static Dialogs Qt(QWidget *parent);
};

// The "|"-separated filter as Qt name filters, one per pair, for example
// "图片文件(*.JPG) (*.JPG *.bmp)". An odd trailing description is dropped.
QStringList QtNameFilters(const QString &filter);

// Sets up a Qt file dialog for `request`: Qt's own dialog (patterns match
// regardless of case). When saving, a name typed without a suffix gets the
// selected filter's first pattern's ("*.png": ".png"), and replacing an
// existing file is asked about.
void SetUpFileDialog(QFileDialog &dialog, const FileDialogRequest &request, bool save);

// The shared file dialog of the main window. Settings one command does not
// make stay as the last command left them, and FileName receives the chosen
// path, so after a save the logo dialog opens with the saved name.
struct FileDialogState {
  QString DialogTitle;
  QString Filter;
  int FilterIndex = 0;
  QString FileName;
  QString InitDir;

  // Show the dialog through `dialogs`; the chosen path (also left in
  // FileName), or nothing on cancel.
  std::optional<QString> ShowOpen(const Dialogs &dialogs);
  std::optional<QString> ShowSave(const Dialogs &dialogs);

private:
  FileDialogRequest request() const;
};

} // namespace zub
