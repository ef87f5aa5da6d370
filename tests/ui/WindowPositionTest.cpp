#include "Support.h"
#include "WindowProbe.h"

#include "DesktopActions.h"
#include <QApplication>
#include <QComboBox>
#include <QPushButton>

#include <QGuiApplication>
#include <QScreen>

using WindowPositionTest = FormTest;

namespace {

// Centred on the primary screen, in pixels (halves of twips to even).
QPoint Centred() {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  return {screen.left() + zub::TwipsToPixels((screen.width() - 554) * 15.0 / 2),
          screen.top() + zub::TwipsToPixels((screen.height() - 601) * 15.0 / 2)};
}

const QPoint kDesigned(318, 147);

} // namespace

TEST(TwipsToPixels, RoundsHalvesToEven) {
  EXPECT_EQ(zub::TwipsToPixels(1900), 127);   // 126.67
  EXPECT_EQ(zub::TwipsToPixels(7330), 489);   // 488.67
  EXPECT_EQ(zub::TwipsToPixels(2392.5), 160); // 159.5
  EXPECT_EQ(zub::TwipsToPixels(757.5), 50);   // 50.5
  EXPECT_EQ(zub::TwipsToPixels(-7.5), 0);     // -0.5
}

TEST(CentredIn, KeepsTheTitleBandOnTheScreen) {
  const QSize window(554, 601);
  const struct {
    const char *what;
    QRect area;
    QPoint expected;
  } rows[] = {
      {"room enough", {0, 0, 1280, 1024}, {363, 212}},
      {"a second screen", {1280, 0, 1280, 1024}, {1643, 212}},
      // 1600 x 1000 at scale factor 2: the window is taller than the screen.
      {"scale factor 2", {0, 0, 800, 500}, {123, 0}},
      {"below another screen", {0, 1024, 800, 500}, {123, 1024}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(zub::CentredIn(row.area, window), row.expected);
  }
}

TEST_F(WindowPositionTest, LoadRules) {
  const QString w = QStringLiteral("8310"), h = QStringLiteral("9015");
  const struct {
    const char *what;
    std::vector<std::pair<const char *, QString>> stored;
    QPoint expected;
  } rows[] = {
      {"first start", {}, Centred()},
      {"only left and top", {{"Left", "1500"}, {"Top", "750"}}, kDesigned},
      {"left without top", {{"Left", "1500"}, {"Width", w}, {"Height", h}}, Centred()},
      {"top without left", {{"Top", "750"}, {"Width", w}, {"Height", h}}, Centred()},
      {"empty top", {{"Left", "1500"}, {"Top", ""}, {"Width", w}, {"Height", h}}, Centred()},
      {"all four, same size",
       {{"Left", "1500"}, {"Top", "750"}, {"Width", w}, {"Height", h}},
       {100, 50}},
      {"halves", {{"Left", "2392.5"}, {"Top", "757.5"}, {"Width", w}, {"Height", h}}, {160, 50}},
      {"other width",
       {{"Left", "1500"}, {"Top", "750"}, {"Width", "8311"}, {"Height", h}},
       Centred()},
      {"other height",
       {{"Left", "1500"}, {"Top", "750"}, {"Width", w}, {"Height", "9000"}},
       Centred()},
      {"letters in width",
       {{"Left", "1500"}, {"Top", "750"}, {"Width", "abc"}, {"Height", h}},
       kDesigned},
      {"letters in left", {{"Left", "x"}, {"Top", "750"}, {"Width", w}, {"Height", h}}, kDesigned},
      {"off every screen",
       {{"Left", "-60000"}, {"Top", "750"}, {"Width", w}, {"Height", h}},
       Centred()},
      {"partly off screen",
       {{"Left", "-3000"}, {"Top", "750"}, {"Width", w}, {"Height", h}},
       {-200, 50}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.what);
    zub::OpenPositionStore()->remove(QString()); // the whole section
    store(row.stored);
    form->move(kDesigned);
    zub::desktop::LoadWindowPosition(form.get());
    EXPECT_EQ(form->pos(), row.expected);
    EXPECT_EQ(form->size(), QSize(554, 601));
  }
}

TEST_F(WindowPositionTest, StartsAtTheStoredPositionAndRecordsIt) {
  store({{"Left", "1500"}, {"Top", "750"}, {"Width", "8310"}, {"Height", "9015"}});
  LoadAndShow();
  EXPECT_EQ(form->pos(), QPoint(100, 50));
  EXPECT_EQ(Probe(*form).frameRect(), QRectF(100, 50, 554, 601));
}

TEST_F(WindowPositionTest, BrokenStoreStillStarts) {
  store({{"Left", "1500"}, {"Top", "750"}, {"Width", "abc"}, {"Height", "9015"}});
  LoadAndShow();
  EXPECT_EQ(form->pos(), kDesigned);
  EXPECT_EQ(Probe(*form).optionLists()[3]->currentText(),
            QStringLiteral("UTF-8")); // the rest of the start ran
}

TEST_F(WindowPositionTest, EveryBackgroundMoveStoresThePositionInTwips) {
  LoadAndShow();
  form->move(101, 50);
  SendMouse(Probe(*form).canvas(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(stored("Left"), QStringLiteral("1515"));
  EXPECT_EQ(stored("Top"), QStringLiteral("750"));
  EXPECT_EQ(stored("Width"), QStringLiteral("8310"));
  EXPECT_EQ(stored("Height"), QStringLiteral("9015"));
  EXPECT_EQ(Probe(*form).frameRect(), QRectF(101, 50, 554, 601));

  form->move(7, 9);
  SendMouse(form.get(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(300, 30));
  EXPECT_EQ(stored("Left"), QStringLiteral("105"));
  SendMouse(Probe(*form).logoBox(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(stored("Top"), QStringLiteral("135"));

  // A move over a control that is not background stores nothing.
  form->move(20, 20);
  SendMouse(Probe(*form).generateButton(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(stored("Left"), QStringLiteral("105"));

  // Minimised: nothing is stored.
  form->setWindowState(Qt::WindowMinimized);
  SendMouse(Probe(*form).canvas(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(stored("Left"), QStringLiteral("105"));
}

TEST_F(WindowPositionTest, DraggingTheBackgroundMovesTheWindowOnlyWhileTheButtonIsHeld) {
  LoadAndShow();
  form->move(100, 100);
  SendMouse(Probe(*form).canvas(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, {50, 50});
  EXPECT_EQ(form->pos(), QPoint(100, 100));

  auto dragTo = [&](QPoint global) {
    const QPoint local = Probe(*form).canvas()->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(global), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Probe(*form).canvas(), &move);
  };
  const QPoint start = Probe(*form).canvas()->mapToGlobal(QPoint(50, 50));
  dragTo(start);
  dragTo(start + QPoint(30, 20));
  EXPECT_EQ(form->pos(), QPoint(130, 120));
  EXPECT_EQ(stored("Left"), QStringLiteral("1950"));
  EXPECT_EQ(Probe(*form).frameRect().topLeft(), QPointF(130, 120));

  SendMouse(Probe(*form).canvas(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, {60, 60});
  EXPECT_EQ(form->pos(), QPoint(130, 120));

  // A new press elsewhere, right after a release: no jump, the window
  // follows from where this drag starts.
  dragTo(Probe(*form).canvas()->mapToGlobal(QPoint(60, 60)));
  dragTo(Probe(*form).canvas()->mapToGlobal(QPoint(70, 70)));
  EXPECT_EQ(form->pos(), QPoint(140, 130));
  SendMouse(Probe(*form).canvas(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
  const QPoint again = Probe(*form).canvas()->mapToGlobal(QPoint(200, 200));
  dragTo(again);
  dragTo(again + QPoint(5, 5));
  EXPECT_EQ(form->pos(), QPoint(145, 135));
}
