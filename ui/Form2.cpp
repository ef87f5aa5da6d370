#include "Form2.h"

#include "Addresses.h"
#include "Form1.h"
#include "WindowHelpers.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QMenu>

namespace zub {

Form2::Form2(Form1 &owner) : QWidget(nullptr), owner_(owner) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Form2"));
  setWindowIcon(ApplicationIcon());
  resize(312, 206);

  Menus = new QMenu(QStringLiteral("菜单"), this);
  Menus->setObjectName(QStringLiteral("Menus"));
  Saves = Menus->addAction(QStringLiteral("二维码另存为..."));
  Saves->setObjectName(QStringLiteral("Saves"));
  Copy = Menus->addAction(QStringLiteral("复制二维码"));
  Copy->setObjectName(QStringLiteral("Copy"));
  linea = Menus->addSeparator();
  linea->setObjectName(QStringLiteral("linea"));
  NoLogo = Menus->addAction(QStringLiteral("生成二维码（不加Logo）"));
  NoLogo->setObjectName(QStringLiteral("NoLogo"));
  Options = Menus->addMenu(QStringLiteral("选项"));
  Options->setObjectName(QStringLiteral("Options"));
  const char *const optionNames[] = {"版本", "纠错等级", "掩码", "文字编码"};
  for (std::size_t i = 0; i < optionMenus.size(); ++i) {
    QMenu *menu = Options->addMenu(QString::fromUtf8(optionNames[i]));
    optionMenus[i] = menu;
    SyncOptionMenu(i);
    connect(owner_.cmb1[i], &QComboBox::currentIndexChanged, this,
            [this, i] { SyncOptionMenu(i); });
    // Items may have been added since the last look.
    connect(menu, &QMenu::aboutToShow, this, [this, i] { SyncOptionMenu(i); });
  }
  Options->addSeparator();
  AlwaysReadable = Options->addAction(QStringLiteral("总是使用容易扫描的设置"));
  AlwaysReadable->setObjectName(QStringLiteral("AlwaysReadable"));
  AlwaysReadable->setCheckable(true);
  AlwaysReadable->setChecked(owner_.alwaysReadable());
  connect(AlwaysReadable, &QAction::toggled, &owner_, &Form1::setAlwaysReadable);
  optionsLine = Menus->addSeparator();
  optionsLine->setObjectName(QStringLiteral("optionsLine"));
  About = Menus->addMenu(QStringLiteral("关于"));
  About->setObjectName(QStringLiteral("About"));
  Aboutsoft = About->addAction(QStringLiteral("关于软件"));
  Aboutsoft->setObjectName(QStringLiteral("Aboutsoft"));
  ling = About->addSeparator();
  ling->setObjectName(QStringLiteral("ling"));
  AboutURL1 = About->addAction(QStringLiteral("Zub软件工作室"));
  AboutURL1->setObjectName(QStringLiteral("AboutURL1"));
  LL = About->addSeparator();
  LL->setObjectName(QStringLiteral("LL"));
  morvi = About->addAction(QStringLiteral("Morvi软件工作室"));
  morvi->setObjectName(QStringLiteral("morvi"));

  connect(Saves, &QAction::triggered, this, &Form2::Saves_Click);
  connect(Copy, &QAction::triggered, &owner_, &Form1::CopyPicture);
  connect(NoLogo, &QAction::triggered, &owner_, &Form1::GenerateWithoutLogo);
  connect(Aboutsoft, &QAction::triggered, this, &Form2::Aboutsoft_Click);
  connect(AboutURL1, &QAction::triggered, this, &Form2::AboutURL1_Click);
  connect(morvi, &QAction::triggered, this, &Form2::morvi_Click);
}

void Form2::SyncOptionMenu(std::size_t i) {
  const QComboBox *list = owner_.cmb1[i];
  QMenu *menu = optionMenus[i];
  QStringList items;
  for (int k = 0; k < list->count(); ++k)
    items << OptionShownText(list->itemText(k));
  QStringList shown;
  for (const QAction *a : menu->actions())
    shown << a->text();
  if (shown != items) {
    menu->clear();
    auto *group = new QActionGroup(menu);
    for (int k = 0; k < items.size(); ++k) {
      QAction *entry = menu->addAction(items[k]);
      entry->setCheckable(true);
      group->addAction(entry);
      connect(entry, &QAction::triggered, this,
              [this, i, k] { owner_.cmb1[i]->setCurrentIndex(k); });
    }
  }
  const QList<QAction *> entries = menu->actions();
  for (qsizetype k = 0; k < entries.size(); ++k)
    entries[k]->setChecked(k == list->currentIndex());
}

void Form2::Saves_Click() {
  owner_.Command2_Click();
}

QString Form2::AboutText() {
  const QString crlf = QStringLiteral("\r\n");
  return QStringLiteral("感谢您使用本软件!") + crlf + QStringLiteral("我们唯一的QQ群：") +
         QString::fromLatin1(kGroupNumber) + crlf + QStringLiteral("欢迎您的加入交流") + crlf +
         QStringLiteral("请记住我们唯一的官方网址：") + crlf + crlf +
         QString::fromLatin1(kMorviAddress);
}

void Form2::Aboutsoft_Click() {
  owner_.按钮恢复(); // the title-bar faces stay idle while the message is open
  owner_.services.dialogs.message(MessageIcon::Information, MessageButtons::Ok,
                                  QStringLiteral("关于"), AboutText());
}

void Form2::AboutURL1_Click() {
  进程处理::ShellOpen(QString::fromLatin1(kStudioAddress));
}

void Form2::morvi_Click() {
  进程处理::ShellOpen(QString::fromLatin1(kMorviAddress));
}

} // namespace zub
