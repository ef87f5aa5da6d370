#pragma once
// The tests' way into the main window: its controls and its title-bar state,
// which the program itself reaches only through the window's own functions.

#include "MainWindow.h"

#include <QComboBox>

#include <array>

namespace zub::test {

struct WindowProbe {
  MainWindow &w;

  static constexpr auto kMinimise = MainWindow::TitleButton::Minimise;
  static constexpr auto kMenu = MainWindow::TitleButton::Menu;
  static constexpr auto kClose = MainWindow::TitleButton::Close;

  auto &canvas() const { return w.canvas_; }
  auto &logoBox() const { return w.logoBox_; }
  auto &compositeBox() const { return w.compositeBox_; }
  auto &saveBox() const { return w.saveBox_; }
  auto &symbolHolder() const { return w.symbolHolder_; }
  auto &logoHolder() const { return w.logoHolder_; }
  auto &messageEdit() const { return w.messageEdit_; }
  auto &generateButton() const { return w.generateButton_; }
  auto &saveButton() const { return w.saveButton_; }
  auto &optionGroup() const { return w.optionGroup_; }
  // Version, level, mask and text encoding, in the order the menus list them.
  std::array<QComboBox *, 4> optionLists() const {
    return {w.versionList_, w.levelList_, w.maskList_, w.encodingList_};
  }
  auto &faceGroup() const { return w.faceGroup_; }
  auto &faceHolders() const { return w.faceHolders_; }
  auto &minimiseButton() const { return w.minimiseButton_; }
  auto &menuButton() const { return w.menuButton_; }
  auto &closeButton() const { return w.closeButton_; }
  auto &minimiseFaces() const { return w.minimiseFaces_; }
  auto &menuFaces() const { return w.menuFaces_; }
  auto &closeFaces() const { return w.closeFaces_; }
  auto &canvasMark() const { return w.canvasMark_; }
  auto &changeNoteLabel() const { return w.changeNoteLabel_; }
  auto &pageFetcher() const { return w.pageFetcher_; }
  auto &fileDialog() const { return w.fileDialog_; }
  auto &leaveTimer() const { return w.leaveTimer_; }
  auto &titleButtonHeld() const { return w.titleButtonHeld_; }
  auto &inactive() const { return w.inactive_; }
  auto &frameRect() const { return w.frameRect_; }

  void titleButtonPressed(MainWindow::TitleButton b) const { w.titleButtonPressed(b); }
  void titleButtonMoved(MainWindow::TitleButton b) const { w.titleButtonMoved(b); }
  void titleButtonReleased(MainWindow::TitleButton b) const { w.titleButtonReleased(b); }
  void resetFaces() const { w.resetFaces(); }
  void recordFrame() const { w.recordFrame(); }
  void checkPointerLeft() const { w.checkPointerLeft(); }
  QString askForLogo() const { return w.askForLogo(); }
};

inline WindowProbe Probe(MainWindow &window) {
  return {window};
}

} // namespace zub::test

// The tests outside the namespace reach the window the same way.
using zub::test::Probe;
