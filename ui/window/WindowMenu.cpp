#include "WindowMenu.h"

#include "Addresses.h"
#include "DesktopActions.h"
#include "MainWindow.h"
#include "OptionWords.h"
#include "Theme.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>

namespace zub {

namespace {

// A check box as `menu`'s style draws one, ticked when `on`.
QIcon CheckBoxIcon(const QWidget &menu, bool on) {
  QStyle *style = menu.style();
  const int size = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &menu);
  const qreal ratio = menu.devicePixelRatioF();
  QPixmap box(QSize(size, size) * ratio);
  box.setDevicePixelRatio(ratio);
  box.fill(Qt::transparent);
  QStyleOptionButton option;
  option.initFrom(&menu);
  option.rect = QRect(0, 0, size, size);
  option.state = QStyle::State_Enabled | (on ? QStyle::State_On : QStyle::State_Off);
  QPainter painter(&box);
  style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, &menu);
  return QIcon(box);
}

} // namespace

WindowMenu::WindowMenu(MainWindow &owner) : QWidget(nullptr), owner_(owner) {
  // The object names are the skin's to select.
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Form2"));
  setWindowIcon(ApplicationIcon());
  resize(312, 206);

  auto named = [](auto *item, const char *name) {
    item->setObjectName(QString::fromLatin1(name));
    return item;
  };
  menu = named(new QMenu(QStringLiteral("菜单"), this), "Menus");
  saveAs = named(menu->addAction(QStringLiteral("二维码另存为...")), "Saves");
  saveLarge = named(menu->addAction(QStringLiteral("保存高清二维码…")), "SaveLarge");
  copy = named(menu->addAction(QStringLiteral("复制二维码")), "Copy");
  pictureSeparator = named(menu->addSeparator(), "linea");
  insertForm = named(menu->addAction(QStringLiteral("插入…")), "InsertForm");
  noLogo = named(menu->addAction(QStringLiteral("生成二维码（不加Logo）")), "NoLogo");
  options = named(menu->addMenu(QStringLiteral("选项")), "Options");
  for (std::size_t i = 0; i < optionMenus.size(); ++i) {
    const OptionList kind = kOptionLists[i];
    QMenu *submenu = options->addMenu(OptionListName(kind));
    optionMenus[i] = submenu;
    auto *group = new QActionGroup(submenu);
    const QStringList items = OptionListItems(kind);
    for (int k = 0; k < items.size(); ++k) {
      QAction *entry = submenu->addAction(OptionShownText(items[k]));
      entry->setCheckable(true);
      group->addAction(entry);
      connect(entry, &QAction::triggered, this, [this, kind, k] {
        owner_.setOptions(WithOptionListIndex(owner_.options(), kind, k));
      });
    }
  }
  showOptions(owner_.options());
  options->addSeparator();
  alwaysReadable =
      named(options->addAction(QStringLiteral("总是使用容易扫描的设置")), "AlwaysReadable");
  alwaysReadable->setCheckable(true);
  alwaysReadable->setChecked(owner_.alwaysReadable());
  connect(alwaysReadable, &QAction::toggled, &owner_, &MainWindow::setAlwaysReadable);
  // The window's style draws no box beside an unchecked entry of this kind,
  // so that off it reads as a plain command: a box drawn by the style, as
  // its icon, shows the setting either way. Drawn as the menu opens, with
  // the state and in the colours it has then (a theme may give the menu
  // its own after this).
  connect(options, &QMenu::aboutToShow, this,
          [this] { alwaysReadable->setIcon(CheckBoxIcon(*options, alwaysReadable->isChecked())); });
  optionsSeparator = named(menu->addSeparator(), "optionsLine");
  about = named(menu->addMenu(QStringLiteral("关于")), "About");
  aboutSoftware = named(about->addAction(QStringLiteral("关于软件")), "Aboutsoft");
  named(about->addSeparator(), "ling");
  studioLink1 = named(about->addAction(QStringLiteral("Zub软件工作室")), "AboutURL1");
  named(about->addSeparator(), "LL");
  studioLink2 = named(about->addAction(QStringLiteral("Morvi软件工作室")), "morvi");

  connect(saveAs, &QAction::triggered, &owner_, &MainWindow::save);
  connect(saveLarge, &QAction::triggered, &owner_, &MainWindow::saveLarge);
  connect(copy, &QAction::triggered, &owner_, &MainWindow::copyPicture);
  connect(insertForm, &QAction::triggered, &owner_, &MainWindow::insertForm);
  connect(noLogo, &QAction::triggered, &owner_, &MainWindow::generateWithoutLogo);
  connect(aboutSoftware, &QAction::triggered, this, &WindowMenu::showAbout);
  connect(studioLink1, &QAction::triggered, this,
          [] { desktop::OpenUrl(QString::fromLatin1(kStudioAddress)); });
  connect(studioLink2, &QAction::triggered, this,
          [] { desktop::OpenUrl(QString::fromLatin1(kMorviAddress)); });
}

void WindowMenu::showOptions(const CodeOptions &chosen) {
  for (std::size_t i = 0; i < optionMenus.size(); ++i) {
    const int index = OptionListIndex(kOptionLists[i], chosen);
    const QList<QAction *> entries = optionMenus[i]->actions();
    for (qsizetype k = 0; k < entries.size(); ++k)
      entries[k]->setChecked(k == index);
  }
}

QString WindowMenu::AboutText() {
  const QString crlf = QStringLiteral("\r\n");
  return QStringLiteral("Zub二维码生成器 %1").arg(QStringLiteral(ZUB_VERSION)) + crlf + crlf +
         QStringLiteral("感谢您使用本软件！") + crlf + QStringLiteral("我们唯一的QQ群：") +
         QString::fromLatin1(kGroupNumber) + crlf + QStringLiteral("欢迎您的加入交流") + crlf +
         QStringLiteral("请记住我们唯一的官方网址：") + crlf + crlf +
         QString::fromLatin1(kMorviAddress);
}

void WindowMenu::showAbout() {
  owner_.resetFaces(); // the title-bar faces stay idle while the message is open
  owner_.services.dialogs.message(MessageIcon::Information, MessageButtons::Ok,
                                  QStringLiteral("关于"), AboutText());
}

} // namespace zub
