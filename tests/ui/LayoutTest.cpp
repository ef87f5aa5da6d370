#include "Addresses.h"
#include "DesktopActions.h"
#include "Support.h"
#include "Theme.h"
#include "WindowMenu.h"
#include "WindowProbe.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using zub::MainWindow;

namespace {

struct Placement {
  const char *name;
  QRect pixels; // in its container
};

// The layout in pixels: twips / 15, halves to even.
const Placement kPlacements[] = {
    {"Command2", {440, 98, 108, 25}},
    {"Command1", {440, 72, 108, 25}},
    {"backPicture1", {1, 127, 552, 409}},
    {"LogoPic", {232, 152, 89, 89}},
    {"sAVEPicture3", {872, 200, 105, 65}},
    {"Picture1", {776, 384, 561, 417}},
    {"Text1", {1, 72, 432, 53}},
    {"Frame5", {624, 40, 225, 65}},
    {"cmb1(3)", {112, 40, 97, 20}},
    {"cmb1(2)", {8, 40, 97, 20}},
    {"cmb1(1)", {112, 16, 97, 20}},
    {"cmb1(0)", {8, 16, 97, 20}},
    {"Frame1", {712, 176, 145, 145}},
    {"Frame2", {16, 16, 113, 121}},
    {"关闭3", {72, 80, 31, 31}},
    {"关闭2", {40, 80, 31, 31}},
    {"关闭1", {8, 80, 31, 31}},
    {"菜单3", {72, 48, 31, 31}},
    {"菜单2", {40, 48, 31, 31}},
    {"菜单1", {8, 48, 31, 31}},
    {"最小3", {72, 16, 31, 31}},
    {"最小2", {40, 16, 31, 31}},
    {"最小1", {8, 16, 31, 31}},
    {"ImageRND1", {872, 16, 105, 105}},
    {"Image1", {784, 152, 557, 421}},
    {"最小0", {489, 0, 31, 31}},
    {"菜单0", {457, 0, 31, 31}},
    {"关闭0", {523, 0, 31, 31}},
};

QWidget *Control(const MainWindow &form, const char *name) {
  return form.findChild<QWidget *>(QString::fromUtf8(name));
}

} // namespace

using LayoutTest = FormTest;

TEST_F(LayoutTest, EveryControlHasItsPlaceAndSize) {
  EXPECT_EQ(form->size(), QSize(554, 601));
  EXPECT_EQ(form->pos(), QPoint(318, 147)); // designed position, before load
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  for (const Placement &p : kPlacements) {
    const QWidget *w = Control(*form, p.name);
    ASSERT_NE(w, nullptr) << p.name;
    EXPECT_EQ(w->geometry(), p.pixels) << p.name;
  }
  EXPECT_EQ(Probe(*form).logoBox()->parentWidget(), Probe(*form).canvas());
  EXPECT_EQ(Probe(*form).optionLists()[2]->parentWidget(), Probe(*form).optionGroup());
  EXPECT_EQ(Probe(*form).faceHolders()->parentWidget(), Probe(*form).faceGroup());
  EXPECT_EQ(Probe(*form).minimiseFaces()[0]->parentWidget(), Probe(*form).faceHolders());
}

TEST_F(LayoutTest, ControlsBeyondTheRightEdgeAreNeverVisible) {
  const QRect client = form->rect();
  for (const char *name : {"Frame5", "Frame1", "Picture1", "sAVEPicture3", "Image1", "ImageRND1"}) {
    const QWidget *w = Control(*form, name);
    EXPECT_FALSE(client.intersects(w->geometry())) << name;
  }
  // The three buttons meet the right edge: the close button ends at 553.
  EXPECT_EQ(Probe(*form).closeButton()->geometry().right(), 553);
}

TEST_F(LayoutTest, CaptionsTooltipsAndPictures) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Zub二维码生成器"));
  EXPECT_EQ(Probe(*form).generateButton()->text(), QStringLiteral("生成二维码"));
  EXPECT_EQ(Probe(*form).saveButton()->text(), QStringLiteral("保存二维码"));
  EXPECT_EQ(Probe(*form).optionGroup()->title(), QStringLiteral("编码方式"));
  EXPECT_EQ(Probe(*form).faceGroup()->title(), QStringLiteral("插件"));
  EXPECT_EQ(Probe(*form).faceHolders()->title(), QStringLiteral("状态按钮"));
  EXPECT_EQ(Probe(*form).minimiseButton()->toolTip(), QStringLiteral("最小化"));
  EXPECT_EQ(Probe(*form).menuButton()->toolTip(), QStringLiteral("菜单"));
  EXPECT_EQ(Probe(*form).closeButton()->toolTip(), QStringLiteral("关闭"));
  EXPECT_EQ(Probe(*form).messageEdit()->toPlainText(), QString::fromLatin1(zub::kStudioAddress));
  EXPECT_FALSE(form->windowIcon().isNull());

  EXPECT_EQ(Probe(*form).canvas()->backgroundPicture().size(), QSize(550, 407));
  EXPECT_EQ(Probe(*form).logoBox()->backgroundPicture().size(), QSize(64, 64));
  EXPECT_FALSE(Probe(*form).symbolHolder()->hasPicture());
  EXPECT_FALSE(Probe(*form).logoHolder()->hasPicture());
  EXPECT_TRUE(Probe(*form).symbolHolder()->stretch());
  // Button faces: 31 x 31, the title band's blue when idle.
  for (const zub::ImageControl *face :
       {Probe(*form).minimiseButton(), Probe(*form).minimiseFaces()[0], Probe(*form).menuFaces()[0],
        Probe(*form).closeFaces()[0]}) {
    EXPECT_EQ(face->picture().size(), QSize(31, 31));
    EXPECT_EQ(face->picture().pixelColor(1, 1), QColor(0x30, 0x91, 0xF2));
  }
  EXPECT_EQ(Probe(*form).minimiseFaces()[1]->picture().pixelColor(1, 1), QColor(0x65, 0xB2, 0xF3));
  EXPECT_EQ(Probe(*form).closeFaces()[1]->picture().pixelColor(1, 1), QColor(0xF4, 0x4F, 0x34));
  EXPECT_EQ(Probe(*form).menuFaces()[2]->picture().pixelColor(1, 1), QColor(0x1B, 0x6A, 0xB9));
  EXPECT_EQ(Probe(*form).closeFaces()[2]->picture().pixelColor(1, 1), QColor(0x6C, 0x1B, 0x0D));
}

TEST_F(LayoutTest, TabOrderRunsThroughTheFocusableControls) {
  const QStringList expected = {"Command2",     "cmb1(0)",      "cmb1(1)", "cmb1(2)",
                                "cmb1(3)",      "Command1",     "Text1",   "Picture1",
                                "sAVEPicture3", "backPicture1", "LogoPic"};
  QStringList chain;
  QWidget *w = Probe(*form).saveButton();
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w != form.get())
      chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w != Probe(*form).saveButton() && chain.size() < 40);
  EXPECT_EQ(chain, expected);
  for (const QWidget *frame : {static_cast<QWidget *>(Probe(*form).faceGroup()),
                               static_cast<QWidget *>(Probe(*form).optionGroup()),
                               static_cast<QWidget *>(Probe(*form).minimiseButton()),
                               static_cast<QWidget *>(Probe(*form).symbolHolder())})
    EXPECT_EQ(frame->focusPolicy(), Qt::NoFocus) << frame->objectName().toStdString();
}

TEST_F(LayoutTest, OptionListsAfterLoad) {
  LoadAndShow();
  const struct {
    int count;
    QString selected, first, last, tooltip;
  } expected[] = {{41, "Automatic", "Automatic", "40", "Version"},
                  {4, "M - 15%", "L - 7%", "H - 30%", "Error correction level"},
                  {9, "Automatic", "Automatic", "7", "Mask type"},
                  // The third, UTF-8 naming its character set (ECI 26), is what
                  // the scan check offers when readers guess the set wrong.
                  {3, "UTF-8", "ANSI", "UTF-8（注明编码）", "Text encoding"}};
  for (std::size_t i = 0; i < 4; ++i) {
    const QComboBox *list = Probe(*form).optionLists()[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(list->count(), expected[i].count);
    EXPECT_EQ(list->currentText(), expected[i].selected);
    EXPECT_EQ(list->itemText(0), expected[i].first);
    EXPECT_EQ(list->itemText(list->count() - 1), expected[i].last);
    EXPECT_EQ(list->toolTip(), expected[i].tooltip);
    EXPECT_FALSE(list->isEditable());
  }
  EXPECT_EQ(Probe(*form).optionLists()[0]->itemText(1), QStringLiteral("1"));
  EXPECT_EQ(Probe(*form).optionLists()[1]->itemText(2), QStringLiteral("Q - 25%"));
  EXPECT_EQ(Probe(*form).optionLists()[2]->itemText(1), QStringLiteral("0"));
}

TEST_F(LayoutTest, MenuTree) {
  const zub::WindowMenu &menus = form->windowMenu();
  EXPECT_EQ(menus.windowTitle(), QStringLiteral("Form2"));
  EXPECT_EQ(menus.size(), QSize(312, 206));
  EXPECT_FALSE(menus.isVisible());
  EXPECT_EQ(menus.menu->title(), QStringLiteral("菜单"));
  EXPECT_EQ(VisibleEntries(menus.menu),
            QStringList({QStringLiteral("二维码另存为..."), QStringLiteral("保存高清二维码…"),
                         QStringLiteral("复制二维码"), "-", QStringLiteral("插入…"),
                         QStringLiteral("生成二维码（不加Logo）"), QStringLiteral("选项"), "-",
                         QStringLiteral("关于")}));
  EXPECT_EQ(menus.menu->actions().constLast(), menus.about->menuAction());
  EXPECT_EQ(
      VisibleEntries(menus.options),
      QStringList({QStringLiteral("版本"), QStringLiteral("纠错等级"), QStringLiteral("掩码"),
                   QStringLiteral("文字编码"), "-", QStringLiteral("总是使用容易扫描的设置")}));
  EXPECT_EQ(VisibleEntries(menus.about),
            QStringList({QStringLiteral("关于软件"), "-", QStringLiteral("Zub软件工作室"), "-",
                         QStringLiteral("Morvi软件工作室")}));
  EXPECT_EQ(&form->windowMenu(), &menus); // made once
}

TEST_F(LayoutTest, ColourKeyMakesOnlyTheBareBackgroundTransparent) {
  LoadAndShow();
  const QRegion opaque = form->mask();
  EXPECT_TRUE(opaque.contains(QPoint(0, 0)));
  EXPECT_TRUE(opaque.contains(QPoint(553, 599)));
  EXPECT_TRUE(opaque.contains(QPoint(300, 300))); // the canvas
  EXPECT_FALSE(opaque.contains(QPoint(0, 600)));  // the bottom row shows the key
  EXPECT_FALSE(opaque.contains(QPoint(553, 600)));
  EXPECT_EQ(form->grab().toImage().pixel(10, 600), zub::kColourKey);
}

TEST(ColourKeyTest, KeyPixelsOfTheOwnLookAreCutOutUnlessAControlCoversThem) {
  constexpr QRgb key = zub::kColourKey;
  QWidget window;
  window.resize(40, 30);
  // The look ends at row 20: below it the window shows the key. A key
  // block at the top left, a key column at x = 30, a half-transparent
  // pixel that shows the key through it only in part.
  QImage look(40, 20, QImage::Format_ARGB32);
  look.fill(qRgb(0xF0, 0xF0, 0xF0));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      look.setPixel(x, y, key);
  for (int y = 0; y < 20; ++y)
    look.setPixel(30, y, key);
  look.setPixel(20, 10, qRgba(0, 0, 0, 128));
  look.setPixel(21, 10, key & 0x00FFFFFFu); // fully transparent: the key shows
  auto *control = new QWidget(&window);
  control->setGeometry(0, 0, 3, 3);
  auto *hidden = new QWidget(&window);
  hidden->setGeometry(30, 0, 1, 5);
  hidden->hide();

  zub::desktop::ApplyColourKey(&window, look, key);
  const QRegion opaque = window.mask();
  const struct {
    QPoint at;
    bool shown;
  } cases[] = {{{1, 1}, true},   {{4, 4}, false},   {{5, 0}, false},   {{6, 6}, true},
               {{30, 2}, false}, {{30, 19}, false}, {{29, 19}, true},  {{31, 0}, true},
               {{20, 10}, true}, {{21, 10}, false}, {{10, 20}, false}, {{39, 29}, false}};
  for (const auto &c : cases)
    EXPECT_EQ(opaque.contains(c.at), c.shown) << c.at.x() << "," << c.at.y();
}

TEST_F(LayoutTest, SkinFileIsAppliedOnlyWhenReadable) {
  EXPECT_FALSE(zub::ApplySkinFile(dir.filePath(QStringLiteral("missing.she"))));
  EXPECT_TRUE(qApp->styleSheet().isEmpty());

  QFile broken(dir.filePath(QStringLiteral("broken.she")));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  QByteArray garbage("QPushButton { color: ");
  garbage.append("\xff\xfe", 2).append('\0').append(" red; }");
  broken.write(garbage);
  broken.close();
  EXPECT_FALSE(zub::ApplySkinFile(broken.fileName()));
  EXPECT_TRUE(qApp->styleSheet().isEmpty());

  const QByteArray sheet = "QPushButton { color: red; }";
  QFile good(form->services.skinPath);
  ASSERT_TRUE(good.open(QIODevice::WriteOnly));
  good.write(sheet);
  good.close();
  LoadAndShow();
  EXPECT_EQ(qApp->styleSheet(), QString::fromLatin1(sheet));
}

// A skin selects controls by the object names the first skins knew, whatever
// the code calls them: each name reaches the control it always meant.
TEST_F(LayoutTest, SkinSelectsControlsByTheirHistoricNames) {
  const struct {
    const char *selector;
    QWidget *control;
  } cases[] = {
      {"QPushButton#Command1", Probe(*form).generateButton()},
      {"QPushButton#Command2", Probe(*form).saveButton()},
      {"QPlainTextEdit#Text1", Probe(*form).messageEdit()},
      {"QComboBox#cmb1\\(1\\)", Probe(*form).optionLists()[1]},
      {"QGroupBox#Frame5", Probe(*form).optionGroup()},
  };
  QByteArray sheet;
  for (const auto &c : cases)
    sheet += QByteArray(c.selector) + " { background-color: rgb(1, 2, 3); border: none; }\n";
  QFile skin(form->services.skinPath);
  ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
  skin.write(sheet);
  skin.close();
  LoadAndShow();
  // Painted with the skin's colour: a good part of the control's face.
  auto skinned = [](QWidget *control) {
    const QImage look = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    qsizetype hits = 0;
    for (int y = 0; y < look.height(); ++y)
      for (int x = 0; x < look.width(); ++x)
        hits += look.pixel(x, y) == qRgb(1, 2, 3) ? 1 : 0;
    return hits * 4 > qsizetype{look.width()} * look.height();
  };
  for (const auto &c : cases)
    EXPECT_TRUE(skinned(c.control)) << c.selector;
  // A control of the same kind under another name keeps its own look.
  EXPECT_FALSE(skinned(Probe(*form).optionLists()[0]));
}

TEST_F(LayoutTest, StartsWithoutSkinAtItsPlace) {
  LoadAndShow(); // no she.she in the folder
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Probe(*form).frameRect(), QRectF(form->frameGeometry()));
}

TEST_F(LayoutTest, Text1SelectsItsWholeTextOnFocus) {
  LoadAndShow();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  const int length = static_cast<int>(Probe(*form).messageEdit()->toPlainText().size());

  Probe(*form).messageEdit()->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Probe(*form).messageEdit()->textCursor().selectionStart(), 0);
  EXPECT_EQ(Probe(*form).messageEdit()->textCursor().selectionEnd(), length);

  Probe(*form).saveButton()->setFocus(Qt::TabFocusReason);
  QTest::mouseClick(Probe(*form).messageEdit()->viewport(), Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_TRUE(Probe(*form).messageEdit()->hasFocus());
  EXPECT_EQ(Probe(*form).messageEdit()->textCursor().selectedText(),
            Probe(*form).messageEdit()->toPlainText());

  Probe(*form).saveButton()->setFocus(Qt::TabFocusReason);
  Probe(*form).messageEdit()->clear();
  Probe(*form).messageEdit()->setFocus(Qt::TabFocusReason);
  EXPECT_FALSE(Probe(*form).messageEdit()->textCursor().hasSelection());
}

TEST_F(LayoutTest, BackgroundPageIsRequestedSilentlyAfterTheWindowIsUp) {
  EXPECT_EQ(Probe(*form).pageFetcher()->requestedUrl(), QUrl());
  // Nothing listens on the discard port: the request fails at once.
  form->services.pageAddress = QUrl(QStringLiteral("http://127.0.0.1:9/"));
  instance = std::make_unique<zub::SingleInstance>(dir.filePath(QStringLiteral("lock")));
  ASSERT_TRUE(form->load(*instance));
  EXPECT_EQ(Probe(*form).pageFetcher()->requestedUrl(), QUrl()); // not before it shows
  form->show();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !Probe(*form).pageFetcher()->requestedUrl().isEmpty(); }));
  EXPECT_EQ(Probe(*form).pageFetcher()->requestedUrl(), form->services.pageAddress);
  QTest::qWait(100);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(quits, 0);
}

TEST(Form1Defaults, PageIsTheSecondStudiosAddress) {
  MainWindow form;
  EXPECT_EQ(form.services.pageAddress, QUrl(QString::fromLatin1(zub::kMorviAddress)));
  EXPECT_TRUE(form.services.skinPath.endsWith(QStringLiteral("/she.she")));
}
