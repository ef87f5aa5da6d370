// Dragging the window by its canvas under a real window manager: the window
// follows the pointer while the button is held, stays where it was left once
// the button is up, and the stored position says where that is.

#include "Desktop.h"
#include "DesktopActions.h"
#include "MainWindow.h"
#include "SingleInstance.h"
#include "WindowProbe.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace zub {
namespace {

using test::MovePointer;
using test::TheDesktop;
using test::Xdo;

// What the program hears of the pointer: where the last movement reached it,
// and how many presses arrived.
class PointerLog : public QObject {
public:
  PointerLog() { qApp->installEventFilter(this); }
  ~PointerLog() override { qApp->removeEventFilter(this); }

  QPoint lastMove{-1, -1};
  int presses = 0;

protected:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::MouseMove)
      lastMove = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
    else if (event->type() == QEvent::MouseButtonPress)
      ++presses;
    return false;
  }
};

class DragTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!TheDesktop().installed)
      GTEST_SKIP() << TheDesktop().why.toStdString();
    ASSERT_TRUE(TheDesktop().ready) << TheDesktop().why.toStdString();
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    form = std::make_unique<MainWindow>();
    form->services.skinPath = dir.filePath(QStringLiteral("she.she"));
    form->services.pageAddress = QUrl();
    form->services.quit = [] {};
    instance = std::make_unique<SingleInstance>(dir.filePath(QStringLiteral("lock")));
    ASSERT_TRUE(form->load(*instance));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), 20000));
    // openbox places the window and reports where; wait until the window
    // and the server agree.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ServerPos() == form->pos(); }, 20000));
  }

  void TearDown() override {
    form.reset();
    instance.reset();
  }

  // Where the X server has the window, read with xdotool.
  QPoint ServerPos() const {
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"),
              {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
               QString::number(form->winId())});
    if (!xdo.waitForFinished(20000))
      return {-1, -1};
    QPoint at(-1, -1);
    for (const QByteArray &line : xdo.readAllStandardOutput().split('\n')) {
      if (line.startsWith("X="))
        at.setX(line.mid(2).toInt());
      else if (line.startsWith("Y="))
        at.setY(line.mid(2).toInt());
    }
    return at;
  }

  // Warps the pointer and waits until the program heard of it, or (when a
  // move loop of the window manager holds the pointer) the window moved.
  bool PointerTo(QPoint at, QPoint windowAt) {
    if (!MovePointer(at))
      return false;
    return QTest::qWaitFor([&] { return log.lastMove == at || form->pos() != windowAt; }, 10000);
  }

  // Presses on the canvas at `grab`, moves by `by` in steps, releases, and
  // waits until the pointer belongs to the program again. The window's
  // place after the drag.
  QPoint Drag(QPoint grab, QPoint by) {
    const QPoint before = form->pos();
    EXPECT_TRUE(PointerTo(grab, before));
    const int presses = log.presses;
    EXPECT_TRUE(Xdo({QStringLiteral("mousedown"), QStringLiteral("1")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.presses > presses; }, 10000));
    // The first movement with the button held hands the drag to openbox; the
    // window follows the later ones (the program hears of its new place only
    // when the move loop ends).
    for (int step = 1; step <= 10 && ServerPos() == before; ++step) {
      EXPECT_TRUE(MovePointer(grab + by * step / 10));
      (void)QTest::qWaitFor([&] { return ServerPos() != before; }, 500);
    }
    EXPECT_TRUE(MovePointer(grab + by));
    // A busy machine may be slow to move it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ServerPos() != before; }, 10000));
    EXPECT_TRUE(Xdo({QStringLiteral("mouseup"), QStringLiteral("1")}));
    // Once openbox has let go of the pointer, movements reach the program
    // again; the window's last move arrived before them.
    const QPoint released = grab + by;
    for (int step = 1; step <= 20; ++step) {
      const QPoint nudge = released + QPoint(step % 2, 0);
      EXPECT_TRUE(MovePointer(nudge));
      if (QTest::qWaitFor([&] { return log.lastMove == nudge; }, 500))
        break;
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->pos() == ServerPos(); }, 10000));
    return form->pos();
  }

  QTemporaryDir dir;
  std::unique_ptr<MainWindow> form;
  std::unique_ptr<SingleInstance> instance;
  PointerLog log;
};

TEST_F(DragTest, WindowStaysWhereTheDragEndedAndItsPlaceIsStored) {
  const QPoint start = form->pos();
  const QPoint grab = Probe(*form).canvas()->mapToGlobal(QPoint(100, 60));
  const QPoint first = Drag(grab, QPoint(60, 40));
  ASSERT_NE(first, start) << "the window did not follow the drag";
  EXPECT_EQ(ServerPos(), first);

  // No button is held now: the window stays put wherever the pointer goes
  // over it (outside, the program hears of no movement).
  for (const QPoint on : {QPoint(400, 300), QPoint(20, 380), QPoint(250, 10)})
    ASSERT_TRUE(PointerTo(Probe(*form).canvas()->mapToGlobal(on), first))
        << "the pointer no longer reaches the program: a move loop holds it";
  EXPECT_EQ(form->pos(), first);
  EXPECT_EQ(ServerPos(), first);

  const std::unique_ptr<QSettings> stored = OpenPositionStore();
  EXPECT_EQ(stored->value(QStringLiteral("Left")).toString(), QString::number(first.x() * 15));
  EXPECT_EQ(stored->value(QStringLiteral("Top")).toString(), QString::number(first.y() * 15));

  // The next press drags again, once more by the window manager.
  const QPoint grabAgain = Probe(*form).canvas()->mapToGlobal(QPoint(300, 200));
  const QPoint second = Drag(grabAgain, QPoint(-50, -70));
  EXPECT_NE(second, first);
  EXPECT_TRUE(PointerTo(Probe(*form).canvas()->mapToGlobal(QPoint(450, 100)), second));
  EXPECT_EQ(form->pos(), second);
  EXPECT_EQ(ServerPos(), second);
  EXPECT_EQ(OpenPositionStore()->value(QStringLiteral("Left")).toString(),
            QString::number(second.x() * 15));
}

} // namespace
} // namespace zub
