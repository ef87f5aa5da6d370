#pragma once

#include "MadeCode.h"

#include <QWidget>

#include <array>

class QAction;
class QMenu;

namespace zub {

class MainWindow;

// The menu that pops up over the main window (the title bar's ▼ and a right
// click on the code), owned by a widget that is never shown:
//   "菜单"
//     saveAs "二维码另存为...", saveLarge "保存高清二维码…" (the composite
//     drawn larger for print), copy "复制二维码", pictureSeparator,
//     insertForm "插入…" (the dialog of forms: Wi-Fi, contact card...),
//     noLogo "生成二维码（不加Logo）",
//     options "选项" > 版本, 纠错等级, 掩码, 文字编码 (the four option lists),
//                      separator, alwaysReadable "总是使用容易扫描的设置",
//     optionsSeparator,
//     about "关于" > aboutSoftware "关于软件", separator,
//                   studioLink1 "Zub软件工作室", separator,
//                   studioLink2 "Morvi软件工作室"
// Whoever pops it up sets whether saveAs, saveLarge, copy and pictureSeparator are
// visible (the picture menu) or not (the title-bar menu). Each option
// submenu holds the items of its list, the window's option checked;
// choosing an entry changes the window's options.
class WindowMenu : public QWidget {
  Q_OBJECT

public:
  explicit WindowMenu(MainWindow &owner);

  QMenu *menu = nullptr;
  QAction *saveAs = nullptr;
  QAction *saveLarge = nullptr;
  QAction *copy = nullptr;
  QAction *pictureSeparator = nullptr;
  QAction *insertForm = nullptr;
  QAction *noLogo = nullptr;
  QMenu *options = nullptr;
  std::array<QMenu *, 4> optionMenus{}; // version, level, mask, text encoding
  QAction *alwaysReadable = nullptr;    // "总是使用容易扫描的设置", checkable
  QAction *optionsSeparator = nullptr;
  QMenu *about = nullptr;
  QAction *aboutSoftware = nullptr;
  QAction *studioLink1 = nullptr;
  QAction *studioLink2 = nullptr;

  // Checks the entries of `chosen` in the option submenus.
  void showOptions(const CodeOptions &chosen);

  // The About message: six lines, the fifth empty, ending with the address.
  static QString AboutText();

private:
  void showAbout();

  MainWindow &owner_;
};

} // namespace zub
