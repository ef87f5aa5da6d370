// The main window's life: load, the options it holds, the background, the
// dropped logo and the one way out.

#include "MainWindow.h"

#include "DesktopActions.h"
#include "OptionWords.h"
#include "SingleInstance.h"
#include "Theme.h"
#include "WindowMenu.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QSignalBlocker>
#include <QTimer>

namespace zub {

MainWindow::~MainWindow() {
  // The work of a running generation uses the encoder; its report is
  // dropped with the window.
  generation_.waitForFinished();
  saveWork_.waitForFinished();
  if (generating_ || saving_)
    QGuiApplication::restoreOverrideCursor();
}

void MainWindow::setAlwaysReadable(bool on) {
  if (on == alwaysReadable_)
    return;
  alwaysReadable_ = on;
  SaveAlwaysReadable(on);
}

WindowMenu &MainWindow::windowMenu() {
  if (!windowMenu_)
    windowMenu_ = std::make_unique<WindowMenu>(*this);
  return *windowMenu_;
}

bool MainWindow::load(SingleInstance &instance) {
  // Decided before anything is shown or stored. The running instance is
  // asked to come to the front, since whoever starts the program again is
  // looking for its window.
  if (!instance.acquire()) {
    instance.askToRaise();
    unload();
    return false;
  }
  instance.listenForRaise(this, [this] { comeToFront(); });
  desktop::LoadWindowPosition(this);
  desktop::ApplyColourKey(this, background_, kColourKey);
  recordFrame(); // after the restore, so the timer sees the real place
  ApplySkinFile(services.skinPath);
  // The dialogs, menus and tooltips keep the desktop theme's colours, made
  // readable where a pair of them is not (a selection's pale blue under
  // white letters, in light and dark themes alike).
  MakeThemeReadable();
  fillOptionLists();
  loaded_ = true;
  alwaysReadable_ = LoadAlwaysReadable();
  // Keys typed after the start go into the text box (the tab order starts
  // at the save button).
  messageEdit_->setFocus();
  // The background page is requested once the window has been painted.
  pageRequestPending_ = true;
  return true;
}

void MainWindow::fillOptionLists() {
  // Filling a list makes its first item current, which is no choice of the
  // user's: the lists are quiet until they show the options.
  for (OptionList kind : kOptionLists) {
    const QSignalBlocker quiet(optionList(kind));
    optionList(kind)->addItems(OptionListItems(kind));
  }
  setOptions(options_);
}

QComboBox *MainWindow::optionList(OptionList kind) const {
  switch (kind) {
  case OptionList::Version:
    return versionList_;
  case OptionList::Level:
    return levelList_;
  case OptionList::Mask:
    return maskList_;
  case OptionList::Encoding:
    break;
  }
  return encodingList_;
}

void MainWindow::setOptions(const CodeOptions &options) {
  options_ = options;
  // Shown, not heard back: a list's own signal would set the value again.
  for (OptionList kind : kOptionLists) {
    QComboBox *list = optionList(kind);
    const QSignalBlocker quiet(list);
    if (list->count() > 0)
      list->setCurrentIndex(OptionListIndex(kind, options_));
  }
  if (windowMenu_)
    windowMenu_->showOptions(options_);
  updateOptionsTooltip();
  updateCanvasMark();
}

void MainWindow::unload() {
  unloading_ = true;
  cancelSearch_ = true;
  leaveTimer_->stop();
  // Gone from the screen at once, even while a generation still runs.
  hide();
  // The program ends with exit code 0 by every way out.
  services.quit();
}

void MainWindow::comeToFront() {
  if (unloading_)
    return;
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void MainWindow::paintEvent(QPaintEvent *) {
  QPainter p(this);
  // The bottom row keeps the key colour and so is transparent.
  p.fillRect(rect(), QColor::fromRgb(kColourKey));
  p.drawImage(0, 0, background_);
  if (pageRequestPending_) {
    pageRequestPending_ = false;
    if (!services.pageAddress.isEmpty())
      QTimer::singleShot(0, pageFetcher_, [this] { pageFetcher_->fetch(services.pageAddress); });
  }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
  // A single local file dropped on the canvas is taken as the logo.
  if (watched == canvas_ && (event->type() == QEvent::DragEnter ||
                             event->type() == QEvent::DragMove || event->type() == QEvent::Drop)) {
    auto *drop = static_cast<QDropEvent *>(event);
    const QList<QUrl> urls = drop->mimeData()->hasUrls() ? drop->mimeData()->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls[0].isLocalFile()) {
      drop->ignore();
      return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
      // After the drop has been answered: the source is not kept waiting.
      QTimer::singleShot(0, this, [this, path = urls[0].toLocalFile()] { generateWithLogo(path); });
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent *event) {
  // A close request of the window system (Alt+F4, Close of the taskbar
  // button's menu) ends the program like the close button.
  leaveTimer_->stop();
  event->accept();
  unload();
}

} // namespace zub
