#pragma once

#include <QWidget>

#include <array>
#include <cstddef>

class QAction;
class QMenu;

namespace zub {

class Form1;

// The menu window: never shown, it owns the menu that pops up over the main
// window and the handlers of its entries.
//   Menus "菜单"
//     Saves "二维码另存为...", Copy "复制二维码", linea (separator),
//     NoLogo "生成二维码（不加Logo）",
//     Options "选项" > 版本, 纠错等级, 掩码, 文字编码 (the four option lists),
//                      separator, AlwaysReadable "总是使用容易扫描的设置",
//     optionsLine (separator),
//     About "关于" > Aboutsoft "关于软件", ling, AboutURL1 "Zub软件工作室", LL,
//                   morvi "Morvi软件工作室"
// Whoever pops it up sets whether Saves, Copy and linea are visible (the
// picture menu) or not (the title-bar menu). Each option submenu holds the
// items of its list, the current one checked; choosing an entry sets the
// list, and a change of the list moves the check.
class Form2 : public QWidget {
  Q_OBJECT

public:
  explicit Form2(Form1 &owner);

  QMenu *Menus = nullptr;
  QAction *Saves = nullptr;
  QAction *Copy = nullptr;
  QAction *linea = nullptr;
  QAction *NoLogo = nullptr;
  QMenu *Options = nullptr;
  std::array<QMenu *, 4> optionMenus{}; // in the order of the lists cmb1
  QAction *AlwaysReadable = nullptr;    // "总是使用容易扫描的设置", checkable
  QAction *optionsLine = nullptr;
  QMenu *About = nullptr;
  QAction *Aboutsoft = nullptr;
  QAction *ling = nullptr;
  QAction *AboutURL1 = nullptr;
  QAction *LL = nullptr;
  QAction *morvi = nullptr;

  void Saves_Click();
  void Aboutsoft_Click();
  void AboutURL1_Click();
  void morvi_Click();

  // The About message: six lines, the fifth empty, ending with the address.
  static QString AboutText();

private:
  // Makes submenu `i` hold the items of list i with its current one checked.
  void SyncOptionMenu(std::size_t i);

  Form1 &owner_;
};

} // namespace zub
