// The main window's life: load, the background, select-all in Text1 and the
// one way out.

#include "Form1.h"

#include "Addresses.h"
#include "Form2.h"
#include "SingleInstance.h"
#include "WindowHelpers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QStringDecoder>
#include <QTimer>

namespace zub {

Form1::~Form1() {
  // The work of a running generation uses the encoder; its report is
  // dropped with the window.
  generation_.waitForFinished();
  if (generating_)
    QGuiApplication::restoreOverrideCursor();
}

void Form1::setAlwaysReadable(bool on) {
  if (on == alwaysReadable_)
    return;
  alwaysReadable_ = on;
  SaveAlwaysReadable(on);
}

Form2 &Form1::form2() {
  if (!form2_)
    form2_ = std::make_unique<Form2>(*this);
  return *form2_;
}

bool ApplySkinFile(const QString &path) {
  // A style sheet is a few kilobytes; anything much larger is not one.
  constexpr qint64 kMaxSkinBytes = 1 << 20;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSkinBytes)
    return false;
  const QByteArray bytes = file.readAll();
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  if (utf8.hasError() || text.contains(QChar(0)))
    return false;
  if (text != qApp->styleSheet()) // set again, every control would be styled anew
    qApp->setStyleSheet(text);
  return true;
}

bool Form1::Form_Load(SingleInstance &instance) {
  WebBrowser1->Silent = true;
  // Decided before anything is shown or stored. The running instance is
  // asked to come to the front, since whoever starts the program again is
  // looking for its window.
  if (!instance.acquire()) {
    instance.askToRaise();
    Form_Unload();
    return false;
  }
  instance.listenForRaise(this, [this] { ComeToFront(); });
  进程处理::LoadWindowPosition(this);
  进程处理::SetLayeredColorKey(this, background_, kColourKey);
  获取鼠标坐标(this); // after the restore, so the timer sees the real place
  ApplySkinFile(skinPath);
  // The dialogs, menus and tooltips keep the desktop theme's colours, made
  // readable where a pair of them is not (a selection's pale blue under
  // white letters, in light and dark themes alike).
  MakeThemeReadable();
  FillOptionLists();
  alwaysReadable_ = LoadAlwaysReadable();
  // Keys typed after the start go into the text box (the tab order still
  // starts at the plug-in list).
  Text1->setFocus();
  // The background page is requested once the window has been painted.
  pageRequestPending_ = true;
  return true;
}

void Form1::FillOptionLists() {
  QStringList versions{QStringLiteral("Automatic")};
  for (int v = 1; v <= 40; ++v)
    versions << QString::number(v);
  QStringList masks{QStringLiteral("Automatic")};
  for (int m = 0; m <= 7; ++m)
    masks << QString::number(m);
  // "UTF-8（注明编码）" is UTF-8 whose symbol names its character set (ECI 26),
  // which readers otherwise guess; the scan check offers it when they guess
  // wrong.
  const struct {
    QStringList items;
    int selected;
  } lists[] = {
      {versions, 0},
      {{QStringLiteral("L - 7%"), QStringLiteral("M - 15%"), QStringLiteral("Q - 25%"),
        QStringLiteral("H - 30%")},
       1},
      {masks, 0},
      {{QStringLiteral("ANSI"), QStringLiteral("UTF-8"), QStringLiteral("UTF-8（注明编码）")}, 1}};
  for (std::size_t i = 0; i < cmb1.size(); ++i) {
    cmb1[i]->addItems(lists[i].items);
    cmb1[i]->setCurrentIndex(lists[i].selected);
  }
}

void Form1::Form_Unload() {
  unloading_ = true;
  cancelSearch_ = true;
  TimerId->stop();
  // Gone from the screen at once, even while a generation still runs.
  hide();
  // The program ends with exit code 0 by every way out.
  services.quit();
}

void Form1::ComeToFront() {
  if (unloading_)
    return;
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void Form1::Text1_GotFocus() {
  Text1->selectAll();
}

void Form1::paintEvent(QPaintEvent *) {
  QPainter p(this);
  // The bottom row keeps the key colour and so is transparent.
  p.fillRect(rect(), QColor::fromRgb(kColourKey));
  p.drawImage(0, 0, background_);
  if (pageRequestPending_) {
    pageRequestPending_ = false;
    if (!pageAddress.isEmpty())
      QTimer::singleShot(0, WebBrowser1, [this] { WebBrowser1->Navigate2(pageAddress); });
  }
}

bool Form1::eventFilter(QObject *watched, QEvent *event) {
  // A single local file dropped on the canvas is taken as the logo.
  if (watched == backPicture1 &&
      (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
       event->type() == QEvent::Drop)) {
    auto *drop = static_cast<QDropEvent *>(event);
    const QList<QUrl> urls = drop->mimeData()->hasUrls() ? drop->mimeData()->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls[0].isLocalFile()) {
      drop->ignore();
      return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
      // After the drop has been answered: the source is not kept waiting.
      QTimer::singleShot(0, this, [this, path = urls[0].toLocalFile()] { GenerateWithLogo(path); });
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent *event) {
  // A close request of the window system (Alt+F4, Close of the taskbar
  // button's menu) ends the program like the close button.
  TimerId->stop();
  event->accept();
  Form_Unload();
}

} // namespace zub
