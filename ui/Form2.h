#pragma once

#include <QWidget>

class QAction;
class QMenu;

namespace zub {

class Form1;

// The menu window: never shown, it owns the menu that pops up over the main
// window and the handlers of its entries.
//   Menus "菜单"
//     Saves "二维码另存为...", linea (separator),
//     About "关于" > Aboutsoft "关于软件", ling, AboutURL1 "Zub软件工作室", LL,
//                   morvi "Morvi软件工作室"
// Whoever pops it up sets whether Saves and linea are visible.
class Form2 : public QWidget {
  Q_OBJECT

public:
  explicit Form2(Form1 &owner);

  QMenu *Menus = nullptr;
  QAction *Saves = nullptr;
  QAction *linea = nullptr;
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
  Form1 &owner_;
};

} // namespace zub
