// The title-bar image buttons and the real mouse-leave: image controls have
// no leave event, so a timer puts the faces back to idle once the pointer is
// outside the window or another window is active. The timer runs only while
// a face is not idle; the buttons ask whether the window is active when the
// pointer moves over them. Dragging the background
// moves the window and stores its position.

#include "Form1.h"
#include "Form2.h"
#include "WindowHelpers.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

namespace zub {

void Form1::SetFaces(Face minimise, Face menu, Face close) {
  auto pick = [](Face f, ImageControl *idle, ImageControl *hover, ImageControl *pressed) {
    return (f == Face::Idle ? idle : f == Face::Hover ? hover : pressed)->picture();
  };
  最小0->setPicture(pick(minimise, 最小1, 最小2, 最小3));
  菜单0->setPicture(pick(menu, 菜单1, 菜单2, 菜单3));
  关闭0->setPicture(pick(close, 关闭1, 关闭2, 关闭3));
  // The timer watches only while a face is hover or pressed, so an idle
  // window costs no wake-ups at all.
  if (!FacesIdle() && !TimerId->isActive() && !unloading_)
    TimerId->start();
}

void Form1::RefreshWindowInactive() {
  WindowInactive = !services.isForeground(this);
}

bool Form1::FacesIdle() const {
  return 最小0->picture().cacheKey() == 最小1->picture().cacheKey() &&
         菜单0->picture().cacheKey() == 菜单1->picture().cacheKey() &&
         关闭0->picture().cacheKey() == 关闭1->picture().cacheKey();
}

void Form1::按钮恢复() {
  if (ButtonPressed)
    return;
  SetFaces(Face::Idle, Face::Idle, Face::Idle);
}

void Form1::获取鼠标坐标(const QWidget *window) {
  WindowRect = QRectF(window->frameGeometry());
}

void Form1::MouseLeaveTimerProc() {
  if (!services.isForeground(this)) {
    WindowInactive = true;
    按钮恢复();
  } else {
    WindowInactive = false;
    const QPoint p = services.cursorPos();
    // Strict on all four sides: the leftmost column and the top row count as
    // outside, the rightmost column and the bottom row as inside.
    const bool inside = WindowRect.left() < p.x() &&
                        p.x() < WindowRect.left() + WindowRect.width() &&
                        WindowRect.top() < p.y() && p.y() < WindowRect.top() + WindowRect.height();
    if (!inside)
      按钮恢复();
  }
  // All faces idle: nothing left to put back until a face changes again.
  if (FacesIdle())
    TimerId->stop();
}

// A press on any of the three buttons: that one pressed, the others idle.
// Qt keeps sending the moves and the release to the pressed button wherever
// the pointer goes, so its action runs on the release that ends the press.
void Form1::最小0_MouseDown() {
  ButtonPressed = true;
  SetFaces(Face::Pressed, Face::Idle, Face::Idle);
}

void Form1::菜单0_MouseDown() {
  ButtonPressed = true;
  SetFaces(Face::Idle, Face::Pressed, Face::Idle);
}

void Form1::关闭0_MouseDown() {
  ButtonPressed = true;
  SetFaces(Face::Idle, Face::Idle, Face::Pressed);
}

void Form1::最小0_MouseMove() {
  RefreshWindowInactive();
  if (WindowInactive)
    按钮恢复();
  else if (!ButtonPressed)
    SetFaces(Face::Hover, Face::Idle, Face::Idle);
}

void Form1::菜单0_MouseMove() {
  RefreshWindowInactive();
  if (WindowInactive)
    按钮恢复();
  else if (!ButtonPressed)
    SetFaces(Face::Idle, Face::Hover, Face::Idle);
}

void Form1::关闭0_MouseMove() {
  RefreshWindowInactive();
  if (WindowInactive)
    按钮恢复();
  else if (!ButtonPressed)
    SetFaces(Face::Idle, Face::Idle, Face::Hover);
}

void Form1::菜单0_MouseUp() {
  ButtonPressed = false;
  PopupMenus(false);
  SetFaces(Face::Idle, Face::Idle, Face::Idle);
}

void Form1::最小0_MouseUp() {
  ButtonPressed = false;
  SetFaces(Face::Idle, Face::Idle, Face::Idle);
  showMinimized();
}

void Form1::关闭0_MouseUp() {
  ButtonPressed = false;
  SetFaces(Face::Idle, Face::Idle, Face::Idle);
  Form_Unload();
}

void Form1::PopupMenus(bool withSave) {
  Form2 &menus = form2();
  menus.Saves->setVisible(withSave);
  menus.Copy->setVisible(withSave);
  menus.linea->setVisible(withSave);
  services.popup(menus.Menus, services.cursorPos());
}

void Form1::BackgroundMouseMove(const QMouseEvent &event) {
  按钮恢复();
  进程处理::DragMoveWindow(this, event);
  获取鼠标坐标(this);
  if (!isMinimized())
    进程处理::SaveWindowPosition(this);
}

void Form1::Form_MouseMove(const QMouseEvent &event) {
  BackgroundMouseMove(event);
}
void Form1::backPicture1_MouseMove(const QMouseEvent &event) {
  BackgroundMouseMove(event);
}
void Form1::LogoPic_MouseMove(const QMouseEvent &event) {
  BackgroundMouseMove(event);
}
void Form1::Picture1_MouseMove(const QMouseEvent &event) {
  BackgroundMouseMove(event);
}
void Form1::Image1_MouseMove(const QMouseEvent &event) {
  BackgroundMouseMove(event);
}

void Form1::mouseMoveEvent(QMouseEvent *event) {
  // Moves that a control under the pointer passed on are not the
  // background's.
  if (childAt(event->position().toPoint()))
    return;
  Form_MouseMove(*event);
}

} // namespace zub
