#include "Dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <QTranslator>

#include <algorithm>
#include <cstring>

namespace zub {

namespace {

// What Qt's Chinese translation leaves in English in the file dialog: the
// kinds of entries its list names without a file type of their own.
class MissingQtTexts : public QTranslator {
public:
  bool isEmpty() const override { return false; }
  QString translate(const char *context, const char *source, const char *, int) const override {
    if (std::strcmp(context, "QAbstractFileIconProvider") != 0)
      return {};
    static const struct {
      const char *english, *chinese;
    } texts[] = {{"Folder", "文件夹"},     {"File Folder", "文件夹"}, {"Drive", "驱动器"},
                 {"Shortcut", "快捷方式"}, {"Alias", "替身"},         {"Unknown", "未知"}};
    for (const auto &t : texts)
      if (std::strcmp(source, t.english) == 0)
        return QString::fromUtf8(t.chinese);
    return {};
  }
};

} // namespace

void InstallQtTranslations() {
  static MissingQtTexts ours;
  static QTranslator qt;
  // The translator installed last is asked first: Qt's own wins where it
  // has a text.
  QCoreApplication::installTranslator(&ours);
  if (qt.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qt);
}

QStringList QtNameFilters(const QString &filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString &p : patterns)
      p = p.trimmed();
    // Qt reads the patterns from the last parentheses, so a description
    // that holds parentheses of its own ("图片文件(*.JPG)") is left intact.
    out << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
  }
  return out;
}

void SetUpFileDialog(QFileDialog &dialog, const FileDialogRequest &request, bool save) {
  dialog.setWindowTitle(request.title);
  if (!request.startFolder.isEmpty())
    dialog.setDirectory(request.startFolder);
  // Qt's own dialog: the desktop's may match patterns case-sensitively.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = QtNameFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  if (save) {
    // A name typed without a suffix gets the chosen filter's; the dialog
    // asks before replacing a file under the final name.
    const QStringList parts = request.filter.split(QLatin1Char('|'));
    // The dialog names a filter in full or, with its details hidden, by its
    // description alone.
    auto suffixOf = [parts, filters](const QString &filter) {
      for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filter != filters[i] && filter != parts[2 * i])
          continue;
        const QString first = parts[2 * i + 1].split(QLatin1Char(';')).constFirst().trimmed();
        if (first.startsWith(QStringLiteral("*.")) && !first.mid(2).contains(QLatin1Char('*')))
          return first.mid(2);
      }
      return QString();
    };
    dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog, suffixOf](const QString &filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
  }
  if (!request.fileName.isEmpty())
    dialog.selectFile(request.fileName);
}

namespace {

std::optional<QString> runFileDialog(QWidget *parent, const FileDialogRequest &request, bool save) {
  QFileDialog dialog(parent);
  SetUpFileDialog(dialog, request, save);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

// The message box names its details button in the toolkit's English unless
// a translation is loaded; the window speaks Chinese whatever the desktop's
// language, so it says these two itself while a warning is open.
class DetailsButtonWords : public QTranslator {
public:
  QString translate(const char *context, const char *sourceText, const char *, int) const override {
    if (qstrcmp(context, "QMessageBox") != 0)
      return {};
    if (qstrcmp(sourceText, "Show Details...") == 0)
      return QStringLiteral("显示详细信息");
    if (qstrcmp(sourceText, "Hide Details...") == 0)
      return QStringLiteral("隐藏详细信息");
    return {};
  }
  bool isEmpty() const override { return false; }
};

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
  case MessageIcon::Information:
    return QMessageBox::Information;
  case MessageIcon::Exclamation:
    return QMessageBox::Warning;
  case MessageIcon::Critical:
    return QMessageBox::Critical;
  case MessageIcon::Question:
    break;
  }
  return QMessageBox::Question;
}

// The real message box, named so that Warn can tell it from a replacement.
struct QtMessageBox {
  QPointer<QWidget> owner;
  MessageAnswer operator()(MessageIcon icon, MessageButtons buttons, const QString &title,
                           const QString &text) const {
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(BoxIcon(icon));
    if (buttons == MessageButtons::YesNo) {
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
      box.button(QMessageBox::No)->setText(QStringLiteral("否"));
      return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
    return MessageAnswer::Ok;
  }
};

MessageAnswer ShowWarningBox(QWidget *owner, const WarningRequest &request) {
  DetailsButtonWords words;
  QCoreApplication::installTranslator(&words);
  QMessageBox box(owner);
  box.setWindowTitle(request.title);
  box.setIcon(BoxIcon(request.icon));
  box.setText(request.text);
  if (!request.details.isEmpty()) {
    box.setDetailedText(request.details);
    // The details pane as wide as its widest line (within the screen), so
    // that each cause reads as one whole line instead of breaking inside a
    // figure or a name.
    if (auto *pane = box.findChild<QTextEdit *>()) {
      const QFontMetrics metrics(pane->font());
      int widest = 0;
      for (const QString &line : request.details.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
      const int frame =
          2 * (pane->frameWidth() + static_cast<int>(pane->document()->documentMargin())) +
          pane->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
      const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
      // At most what a box beside the window leaves room for on a small
      // screen: the box grows to the right when its details open.
      const int most = std::min(640, screen ? screen->availableGeometry().width() / 2 : 640);
      pane->setMinimumWidth(std::min(widest + frame, most));
    }
  }
  QPushButton *accept = nullptr;
  if (request.accept.isEmpty()) {
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  } else {
    accept = box.addButton(request.accept, QMessageBox::AcceptRole);
    QPushButton *keep = box.addButton(request.keep, QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.setEscapeButton(keep);
  }
  box.exec();
  QCoreApplication::removeTranslator(&words);
  if (!accept)
    return MessageAnswer::Ok;
  return box.clickedButton() == accept ? MessageAnswer::Yes : MessageAnswer::No;
}

} // namespace

MessageAnswer Dialogs::Warn(const WarningRequest &request) const {
  if (warning)
    return warning(request);
  // The real message box can show the details folded and name the buttons.
  if (const QtMessageBox *real = message.target<QtMessageBox>())
    return ShowWarningBox(real->owner, request);
  if (!message)
    return request.accept.isEmpty() ? MessageAnswer::Ok : MessageAnswer::No;
  QString text = request.text;
  if (!request.details.isEmpty())
    text += QStringLiteral("\n\n") + request.details;
  return message(request.icon,
                 request.accept.isEmpty() ? MessageButtons::Ok : MessageButtons::YesNo,
                 request.title, text);
}

Dialogs Dialogs::Qt(QWidget *parent) {
  QPointer<QWidget> owner(parent);
  Dialogs d;
  d.message = QtMessageBox{owner};
  d.openFile = [owner](const FileDialogRequest &r) { return runFileDialog(owner, r, false); };
  d.saveFile = [owner](const FileDialogRequest &r) { return runFileDialog(owner, r, true); };
  d.choose = [owner](const ChoiceRequest &r) -> std::optional<int> {
    bool ok = false;
    const QString item =
        QInputDialog::getItem(owner, r.title, r.label, r.items, r.current, false, &ok);
    if (!ok)
      return std::nullopt;
    const auto index = r.items.indexOf(item);
    return index < 0 ? std::nullopt : std::optional<int>(static_cast<int>(index));
  };
  return d;
}

FileDialogRequest FileDialogState::request() const {
  return {DialogTitle, Filter, FilterIndex, FileName, InitDir};
}

std::optional<QString> FileDialogState::ShowOpen(const Dialogs &dialogs) {
  std::optional<QString> chosen = dialogs.openFile ? dialogs.openFile(request()) : std::nullopt;
  if (chosen)
    FileName = *chosen;
  return chosen;
}

std::optional<QString> FileDialogState::ShowSave(const Dialogs &dialogs) {
  std::optional<QString> chosen = dialogs.saveFile ? dialogs.saveFile(request()) : std::nullopt;
  if (chosen)
    FileName = *chosen;
  return chosen;
}

} // namespace zub
