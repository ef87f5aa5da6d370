#include "Addresses.h"
#include "Form2.h"
#include "Support.h"
#include "WindowHelpers.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using zub::Form1;

namespace {

struct Placement {
  const char *name;
  QRect pixels; // in its container
};

// The layout in pixels: twips / 15, halves to even.
const Placement kPlacements[] = {
    {"Command2", {440, 98, 108, 25}},    {"Command1", {440, 72, 108, 25}},
    {"Text2", {656, 112, 193, 25}},      {"backPicture1", {1, 127, 552, 409}},
    {"LogoPic", {232, 152, 89, 89}},     {"sAVEPicture3", {872, 200, 105, 65}},
    {"WebBrowser1", {624, 144, 25, 25}}, {"Picture1", {776, 384, 561, 417}},
    {"Text1", {1, 72, 432, 53}},         {"Frame5", {624, 40, 225, 65}},
    {"cmb1(3)", {112, 40, 97, 20}},      {"cmb1(2)", {8, 40, 97, 20}},
    {"cmb1(1)", {112, 16, 97, 20}},      {"cmb1(0)", {8, 16, 97, 20}},
    {"Frame1", {712, 176, 145, 145}},    {"lstdirs", {168, 40, 89, 28}},
    {"Frame2", {16, 16, 113, 121}},      {"关闭3", {72, 80, 31, 31}},
    {"关闭2", {40, 80, 31, 31}},         {"关闭1", {8, 80, 31, 31}},
    {"菜单3", {72, 48, 31, 31}},         {"菜单2", {40, 48, 31, 31}},
    {"菜单1", {8, 48, 31, 31}},          {"最小3", {72, 16, 31, 31}},
    {"最小2", {40, 16, 31, 31}},         {"最小1", {8, 16, 31, 31}},
    {"ImageRND1", {872, 16, 105, 105}},  {"Image1", {784, 152, 557, 421}},
    {"最小0", {489, 0, 31, 31}},         {"菜单0", {457, 0, 31, 31}},
    {"关闭0", {523, 0, 31, 31}},
};

QWidget *Control(const Form1 &form, const char *name) {
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
  EXPECT_EQ(form->LogoPic->parentWidget(), form->backPicture1);
  EXPECT_EQ(form->cmb1[2]->parentWidget(), form->Frame5);
  EXPECT_EQ(form->Frame2->parentWidget(), form->Frame1);
  EXPECT_EQ(form->最小1->parentWidget(), form->Frame2);
}

TEST_F(LayoutTest, ControlsBeyondTheRightEdgeAreNeverVisible) {
  const QRect client = form->rect();
  for (const char *name : {"Frame5", "Frame1", "Text2", "Picture1", "sAVEPicture3", "Image1",
                           "ImageRND1", "WebBrowser1"}) {
    const QWidget *w = Control(*form, name);
    EXPECT_FALSE(client.intersects(w->geometry())) << name;
  }
  // The three buttons meet the right edge: the close button ends at 553.
  EXPECT_EQ(form->关闭0->geometry().right(), 553);
}

TEST_F(LayoutTest, CaptionsTooltipsAndPictures) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Zub二维码生成器"));
  EXPECT_EQ(form->Command1->text(), QStringLiteral("生成二维码"));
  EXPECT_EQ(form->Command2->text(), QStringLiteral("保存二维码"));
  EXPECT_EQ(form->Frame5->title(), QStringLiteral("编码方式"));
  EXPECT_EQ(form->Frame1->title(), QStringLiteral("插件"));
  EXPECT_EQ(form->Frame2->title(), QStringLiteral("状态按钮"));
  EXPECT_EQ(form->最小0->toolTip(), QStringLiteral("最小化"));
  EXPECT_EQ(form->菜单0->toolTip(), QStringLiteral("菜单"));
  EXPECT_EQ(form->关闭0->toolTip(), QStringLiteral("关闭"));
  EXPECT_EQ(form->Text1->toPlainText(), QString::fromLatin1(zub::kStudioAddress));
  EXPECT_TRUE(form->Text2->text().isEmpty());
  EXPECT_FALSE(form->windowIcon().isNull());

  EXPECT_EQ(form->backPicture1->backgroundPicture().size(), QSize(550, 407));
  EXPECT_EQ(form->LogoPic->backgroundPicture().size(), QSize(64, 64));
  EXPECT_FALSE(form->Image1->hasPicture());
  EXPECT_FALSE(form->ImageRND1->hasPicture());
  EXPECT_TRUE(form->Image1->stretch());
  // Button faces: 31 x 31, the title band's blue when idle.
  for (const zub::ImageControl *face : {form->最小0, form->最小1, form->菜单1, form->关闭1}) {
    EXPECT_EQ(face->picture().size(), QSize(31, 31));
    EXPECT_EQ(face->picture().pixelColor(1, 1), QColor(0x30, 0x91, 0xF2));
  }
  EXPECT_EQ(form->最小2->picture().pixelColor(1, 1), QColor(0x65, 0xB2, 0xF3));
  EXPECT_EQ(form->关闭2->picture().pixelColor(1, 1), QColor(0xF4, 0x4F, 0x34));
  EXPECT_EQ(form->菜单3->picture().pixelColor(1, 1), QColor(0x1B, 0x6A, 0xB9));
  EXPECT_EQ(form->关闭3->picture().pixelColor(1, 1), QColor(0x6C, 0x1B, 0x0D));
}

TEST_F(LayoutTest, TabOrderRunsThroughTheFocusableControls) {
  const QStringList expected = {
      "lstdirs", "Command2", "cmb1(0)",     "cmb1(1)",      "cmb1(2)",      "cmb1(3)", "Command1",
      "Text1",   "Picture1", "WebBrowser1", "sAVEPicture3", "backPicture1", "LogoPic", "Text2"};
  QStringList chain;
  QWidget *w = form->lstdirs;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w != form.get())
      chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w != form->lstdirs && chain.size() < 40);
  EXPECT_EQ(chain, expected);
  for (const QWidget *frame :
       {static_cast<QWidget *>(form->Frame1), static_cast<QWidget *>(form->Frame5),
        static_cast<QWidget *>(form->最小0), static_cast<QWidget *>(form->Image1)})
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
    const QComboBox *list = form->cmb1[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(list->count(), expected[i].count);
    EXPECT_EQ(list->currentText(), expected[i].selected);
    EXPECT_EQ(list->itemText(0), expected[i].first);
    EXPECT_EQ(list->itemText(list->count() - 1), expected[i].last);
    EXPECT_EQ(list->toolTip(), expected[i].tooltip);
    EXPECT_FALSE(list->isEditable());
  }
  EXPECT_EQ(form->cmb1[0]->itemText(1), QStringLiteral("1"));
  EXPECT_EQ(form->cmb1[1]->itemText(2), QStringLiteral("Q - 25%"));
  EXPECT_EQ(form->cmb1[2]->itemText(1), QStringLiteral("0"));
}

TEST_F(LayoutTest, MenuTree) {
  const zub::Form2 &menus = form->form2();
  EXPECT_EQ(menus.windowTitle(), QStringLiteral("Form2"));
  EXPECT_EQ(menus.size(), QSize(312, 206));
  EXPECT_FALSE(menus.isVisible());
  EXPECT_EQ(menus.Menus->title(), QStringLiteral("菜单"));
  EXPECT_EQ(VisibleEntries(menus.Menus),
            QStringList({QStringLiteral("二维码另存为..."), QStringLiteral("复制二维码"), "-",
                         QStringLiteral("生成二维码（不加Logo）"), QStringLiteral("选项"), "-",
                         QStringLiteral("关于")}));
  EXPECT_EQ(menus.Menus->actions().constLast(), menus.About->menuAction());
  EXPECT_EQ(
      VisibleEntries(menus.Options),
      QStringList({QStringLiteral("版本"), QStringLiteral("纠错等级"), QStringLiteral("掩码"),
                   QStringLiteral("文字编码"), "-", QStringLiteral("总是使用容易扫描的设置")}));
  EXPECT_EQ(VisibleEntries(menus.About),
            QStringList({QStringLiteral("关于软件"), "-", QStringLiteral("Zub软件工作室"), "-",
                         QStringLiteral("Morvi软件工作室")}));
  EXPECT_EQ(&form->form2(), &menus); // made once
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

  zub::进程处理::SetLayeredColorKey(&window, look, key);
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
  QFile good(form->skinPath);
  ASSERT_TRUE(good.open(QIODevice::WriteOnly));
  good.write(sheet);
  good.close();
  LoadAndShow();
  EXPECT_EQ(qApp->styleSheet(), QString::fromLatin1(sheet));
}

TEST_F(LayoutTest, StartsWithoutSkinAtItsPlace) {
  LoadAndShow(); // no she.she in the folder
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->WindowRect, QRectF(form->frameGeometry()));
}

TEST_F(LayoutTest, Text1SelectsItsWholeTextOnFocus) {
  LoadAndShow();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  const int length = static_cast<int>(form->Text1->toPlainText().size());

  form->Text1->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(form->Text1->textCursor().selectionStart(), 0);
  EXPECT_EQ(form->Text1->textCursor().selectionEnd(), length);

  form->lstdirs->setFocus(Qt::TabFocusReason);
  QTest::mouseClick(form->Text1->viewport(), Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_TRUE(form->Text1->hasFocus());
  EXPECT_EQ(form->Text1->textCursor().selectedText(), form->Text1->toPlainText());

  form->lstdirs->setFocus(Qt::TabFocusReason);
  form->Text1->clear();
  form->Text1->setFocus(Qt::TabFocusReason);
  EXPECT_FALSE(form->Text1->textCursor().hasSelection());
}

TEST_F(LayoutTest, BackgroundPageIsRequestedSilentlyAfterTheWindowIsUp) {
  EXPECT_EQ(form->WebBrowser1->requestedUrl(), QUrl());
  // Nothing listens on the discard port: the request fails at once.
  form->pageAddress = QUrl(QStringLiteral("http://127.0.0.1:9/"));
  instance = std::make_unique<zub::SingleInstance>(dir.filePath(QStringLiteral("lock")));
  ASSERT_TRUE(form->Form_Load(*instance));
  EXPECT_EQ(form->WebBrowser1->requestedUrl(), QUrl()); // not before it shows
  form->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->WebBrowser1->requestedUrl().isEmpty(); }));
  EXPECT_EQ(form->WebBrowser1->requestedUrl(), form->pageAddress);
  QTest::qWait(100);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(quits, 0);
}

TEST(Form1Defaults, PageIsTheSecondStudiosAddress) {
  Form1 form;
  EXPECT_EQ(form.pageAddress, QUrl(QString::fromLatin1(zub::kMorviAddress)));
  EXPECT_TRUE(form.skinPath.endsWith(QStringLiteral("/she.she")));
}
