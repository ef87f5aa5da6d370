// Starting the program a second time, as two real processes under a real
// window manager: the second start ends with exit code 0 and the window of
// the first comes to the front, restored when it was minimised. The state is
// read from the window manager (_NET_WM_STATE, WM_STATE, _NET_ACTIVE_WINDOW)
// before and after.

#include "Desktop.h"
#include "ProgramProcess.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

namespace zub {
namespace {

using test::TheDesktop;
using test::Xdo;

// Runs an X tool on the desktop and returns what it printed.
QString Ask(const QString &program, const QStringList &args) {
  QProcess tool;
  tool.start(program, args);
  if (!tool.waitForFinished(20000) || tool.exitCode() != 0)
    return {};
  return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

class SecondStartTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!TheDesktop().installed)
      GTEST_SKIP() << TheDesktop().why.toStdString();
    ASSERT_TRUE(TheDesktop().ready) << TheDesktop().why.toStdString();
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
      GTEST_SKIP() << "xprop is not installed";
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0700), 0);
    env = test::ProgramEnvironment(dir, QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), TheDesktop().display);
    env.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
  }

  void TearDown() override {
    if (first && first->state() != QProcess::NotRunning) {
      first->terminate();
      first->waitForFinished(20000);
    }
  }

  std::unique_ptr<QProcess> Start() {
    return test::StartProgram(env, QStringLiteral(ZUB_GUI_EXECUTABLE));
  }

  // The visible window of `p`, once openbox manages it.
  QString WindowOf(const QProcess &p) {
    QString id;
    (void)QTest::qWaitFor(
        [&] {
          id = Ask(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(p.processId())})
                   .section(QLatin1Char('\n'), 0, 0);
          return !id.isEmpty() && !State(id).contains(QLatin1String("Withdrawn")) &&
                 State(id).contains(QLatin1String("Normal"));
        },
        30000);
    return id;
  }

  // _NET_WM_STATE and WM_STATE of a window, as xprop prints them.
  static QString State(const QString &id) {
    return Ask(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_STATE"),
                                         QStringLiteral("WM_STATE")});
  }
  static bool Hidden(const QString &id) {
    const QString state = State(id);
    return state.contains(QLatin1String("_NET_WM_STATE_HIDDEN")) ||
           state.contains(QLatin1String("Iconic"));
  }
  static QString ActiveWindow() {
    return Ask(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
  }
  // The managed window on top of the stack.
  static QString TopWindow() {
    const QString stacking =
        Ask(QStringLiteral("xprop"),
            {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    const QString last = stacking.section(QLatin1Char(','), -1).trimmed();
    return QString::number(last.section(QLatin1Char('#'), -1).trimmed().toULongLong(nullptr, 16));
  }

  // A second start: it ends at once with exit code 0.
  void StartAgain() {
    auto second = Start();
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
  }

  QTemporaryDir dir;
  QProcessEnvironment env;
  std::unique_ptr<QProcess> first;
};

TEST_F(SecondStartTest, MinimisedWindowIsRestoredAndActivated) {
  first = Start();
  const QString window = WindowOf(*first);
  ASSERT_FALSE(window.isEmpty()) << "the first start shows no window";
  ASSERT_TRUE(Xdo({QStringLiteral("windowminimize"), window}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Hidden(window); }, 20000))
      << State(window).toStdString();
  ASSERT_NE(ActiveWindow(), window);

  StartAgain();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Hidden(window); }, 20000))
      << State(window).toStdString();
  EXPECT_TRUE(State(window).contains(QLatin1String("Normal"))) << State(window).toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ActiveWindow() == window; }, 20000));
  EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SecondStartTest, WindowBehindAnotherComesOnTop) {
  first = Start();
  const QString window = WindowOf(*first);
  ASSERT_FALSE(window.isEmpty()) << "the first start shows no window";
  // Another program's window over it, and active.
  QWidget other;
  other.setWindowTitle(QStringLiteral("other"));
  other.setGeometry(0, 0, 1280, 1024);
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other, 20000));
  const QString otherId = QString::number(other.winId());
  ASSERT_TRUE(Xdo({QStringLiteral("windowactivate"), otherId}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ActiveWindow() == otherId; }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return TopWindow() == otherId; }, 20000));

  StartAgain();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ActiveWindow() == window; }, 20000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return TopWindow() == window; }, 20000));
  EXPECT_FALSE(Hidden(window));
}

} // namespace
} // namespace zub
