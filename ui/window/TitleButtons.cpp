// The title-bar image buttons and the real mouse-leave: image controls have
// no leave event, so a timer puts the faces back to idle once the pointer is
// outside the window or another window is active. The timer runs only while
// a face is not idle; the buttons ask whether the window is active when the
// pointer moves over them. Dragging the background moves the window and
// stores its position.

#include "MainWindow.h"

#include "DesktopActions.h"
#include "WindowMenu.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

namespace zub {

void MainWindow::setFaces(Face minimise, Face menu, Face close) {
  auto pick = [](Face f, const std::array<ImageControl *, 3> &faces) {
    return faces[static_cast<std::size_t>(f)]->picture();
  };
  minimiseButton_->setPicture(pick(minimise, minimiseFaces_));
  menuButton_->setPicture(pick(menu, menuFaces_));
  closeButton_->setPicture(pick(close, closeFaces_));
  // The timer watches only while a face is hover or pressed, so an idle
  // window costs no wake-ups at all.
  if (!facesIdle() && !leaveTimer_->isActive() && !unloading_)
    leaveTimer_->start();
}

void MainWindow::refreshInactive() {
  inactive_ = !services.isForeground(this);
}

bool MainWindow::facesIdle() const {
  return minimiseButton_->picture().cacheKey() == minimiseFaces_[0]->picture().cacheKey() &&
         menuButton_->picture().cacheKey() == menuFaces_[0]->picture().cacheKey() &&
         closeButton_->picture().cacheKey() == closeFaces_[0]->picture().cacheKey();
}

void MainWindow::resetFaces() {
  if (titleButtonHeld_)
    return;
  setFaces(Face::Idle, Face::Idle, Face::Idle);
}

void MainWindow::recordFrame() {
  frameRect_ = QRectF(frameGeometry());
}

void MainWindow::checkPointerLeft() {
  if (!services.isForeground(this)) {
    inactive_ = true;
    resetFaces();
  } else {
    inactive_ = false;
    const QPoint p = services.cursorPos();
    // Strict on all four sides: the leftmost column and the top row count as
    // outside, the rightmost column and the bottom row as inside.
    const bool inside = frameRect_.left() < p.x() &&
                        p.x() < frameRect_.left() + frameRect_.width() &&
                        frameRect_.top() < p.y() && p.y() < frameRect_.top() + frameRect_.height();
    if (!inside)
      resetFaces();
  }
  // All faces idle: nothing left to put back until a face changes again.
  if (facesIdle())
    leaveTimer_->stop();
}

namespace {

// `face` for `button`, idle for the other two: minimise, menu, close.
template <typename Face, typename Button>
std::array<Face, 3> OnlyFor(Button button, Face face, Face idle) {
  std::array<Face, 3> faces{idle, idle, idle};
  faces[static_cast<std::size_t>(button)] = face;
  return faces;
}

} // namespace

// A press on any of the three buttons: that one pressed, the others idle.
// Qt keeps sending the moves and the release to the pressed button wherever
// the pointer goes, so its action runs on the release that ends the press.
void MainWindow::titleButtonPressed(TitleButton button) {
  titleButtonHeld_ = true;
  const auto faces = OnlyFor(button, Face::Pressed, Face::Idle);
  setFaces(faces[0], faces[1], faces[2]);
}

void MainWindow::titleButtonMoved(TitleButton button) {
  refreshInactive();
  if (inactive_) {
    resetFaces();
  } else if (!titleButtonHeld_) {
    const auto faces = OnlyFor(button, Face::Hover, Face::Idle);
    setFaces(faces[0], faces[1], faces[2]);
  }
}

void MainWindow::titleButtonReleased(TitleButton button) {
  titleButtonHeld_ = false;
  switch (button) {
  case TitleButton::Menu:
    popupMenu(false);
    setFaces(Face::Idle, Face::Idle, Face::Idle);
    return;
  case TitleButton::Minimise:
    setFaces(Face::Idle, Face::Idle, Face::Idle);
    showMinimized();
    return;
  case TitleButton::Close:
    setFaces(Face::Idle, Face::Idle, Face::Idle);
    unload();
    return;
  }
}

void MainWindow::popupMenu(bool withSave) {
  WindowMenu &menus = windowMenu();
  menus.saveAs->setVisible(withSave);
  menus.saveLarge->setVisible(withSave);
  menus.copy->setVisible(withSave);
  menus.pictureSeparator->setVisible(withSave);
  services.popup(menus.menu, services.cursorPos());
}

void MainWindow::dragFromBackground(const QMouseEvent &event) {
  resetFaces();
  desktop::DragMoveWindow(this, event);
  recordFrame();
  if (!isMinimized())
    desktop::SaveWindowPosition(this);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event) {
  // Moves that a control under the pointer passed on are not the
  // background's.
  if (childAt(event->position().toPoint()))
    return;
  dragFromBackground(*event);
}

} // namespace zub
