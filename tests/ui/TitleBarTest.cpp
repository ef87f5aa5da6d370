#include "DesktopActions.h"
#include "Support.h"
#include "WindowMenu.h"
#include "WindowProbe.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using TitleBarTest = FormTest;

namespace {

enum class Button { Minimise, Menu, Close };

// The title-bar menu; the picture menu has save and copy above it.
const QStringList kTitleBarMenu = {QStringLiteral("插入…"),
                                   QStringLiteral("生成二维码（不加Logo）"), QStringLiteral("选项"),
                                   "-", QStringLiteral("关于")};

zub::ImageControl *Face(zub::MainWindow &form, Button b) {
  return b == Button::Minimise ? Probe(form).minimiseButton()
         : b == Button::Menu   ? Probe(form).menuButton()
                               : Probe(form).closeButton();
}

} // namespace

// The button table, one row at a time, with mouse events sent to the
// buttons themselves.
TEST_F(TitleBarTest, PressShowsThatButtonPressedAndTheOthersIdle) {
  LoadAndShow();
  const struct {
    Button button;
    const char *faces;
  } rows[] = {{Button::Minimise, "pressed/idle/idle"},
              {Button::Menu, "idle/pressed/idle"},
              {Button::Close, "idle/idle/pressed"}};
  for (const auto &row : rows) {
    Probe(*form).titleButtonHeld() = false;
    SendMouse(Face(*form, row.button), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(Probe(*form).titleButtonHeld());
    EXPECT_EQ(faces(), QString::fromLatin1(row.faces));
  }
}

TEST_F(TitleBarTest, MovesOverAButton) {
  LoadAndShow();
  const struct {
    bool inactive, pressed;
    Button over;
    const char *before, *after;
  } rows[] = {
      // Window not active: faces go idle, unless a button is held.
      {true, false, Button::Menu, "hover/idle/idle", "idle/idle/idle"},
      {true, true, Button::Menu, "pressed/idle/idle", "pressed/idle/idle"},
      // Active with a button held: nothing changes.
      {false, true, Button::Close, "pressed/idle/idle", "pressed/idle/idle"},
      // Active, nothing held: that button hovers, the others are idle.
      {false, false, Button::Minimise, "idle/idle/hover", "hover/idle/idle"},
      {false, false, Button::Menu, "hover/idle/idle", "idle/hover/idle"},
      {false, false, Button::Close, "idle/idle/idle", "idle/idle/hover"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.before);
    // Bring the faces into the row's starting state.
    Probe(*form).titleButtonHeld() = false;
    Probe(*form).inactive() = false;
    const QString before = QString::fromLatin1(row.before);
    if (before.startsWith(QLatin1String("pressed")))
      Probe(*form).titleButtonPressed(zub::test::WindowProbe::kMinimise);
    else if (before.startsWith(QLatin1String("hover")))
      Probe(*form).titleButtonMoved(zub::test::WindowProbe::kMinimise);
    else if (before.endsWith(QLatin1String("hover")))
      Probe(*form).titleButtonMoved(zub::test::WindowProbe::kClose);
    else
      Probe(*form).resetFaces();
    ASSERT_EQ(faces(), before);
    Probe(*form).titleButtonHeld() = row.pressed;
    foreground = !row.inactive;

    SendMouse(Face(*form, row.over), QEvent::MouseMove, Qt::NoButton,
              row.pressed ? Qt::LeftButton : Qt::NoButton);
    EXPECT_EQ(faces(), QString::fromLatin1(row.after));
  }
}

TEST_F(TitleBarTest, ReleaseOnMenuPopsUpTheMenuWithoutSaveThenIdles) {
  LoadAndShow();
  QString facesDuringPopup;
  duringPopup = [&](QMenu *) { facesDuringPopup = faces(); };
  SendMouse(Probe(*form).menuButton(), QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton);
  SendMouse(Probe(*form).menuButton(), QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton);
  EXPECT_FALSE(Probe(*form).titleButtonHeld());
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(popups[0], kTitleBarMenu);
  EXPECT_EQ(facesDuringPopup, QStringLiteral("idle/pressed/idle"));
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/idle"));
}

TEST_F(TitleBarTest, ReleaseOnMinimiseMinimisesWithAnyButton) {
  LoadAndShow();
  SendMouse(Probe(*form).minimiseButton(), QEvent::MouseButtonPress, Qt::RightButton,
            Qt::RightButton);
  SendMouse(Probe(*form).minimiseButton(), QEvent::MouseButtonRelease, Qt::RightButton,
            Qt::NoButton);
  EXPECT_FALSE(Probe(*form).titleButtonHeld());
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/idle"));
  EXPECT_TRUE(form->isMinimized());
  EXPECT_EQ(quits, 0);
}

TEST_F(TitleBarTest, ReleaseOnCloseEndsTheProgram) {
  LoadAndShow();
  SendMouse(Probe(*form).closeButton(), QEvent::MouseButtonPress, Qt::MiddleButton,
            Qt::MiddleButton);
  SendMouse(Probe(*form).closeButton(), QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton);
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/idle"));
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(Probe(*form).leaveTimer()->isActive());
}

// The press captures the mouse: the release far outside the window still
// belongs to the close button. Events go through the window, as the window
// system delivers them.
TEST_F(TitleBarTest, PressOnCloseThenReleaseOutsideTheWindowEndsTheProgram) {
  LoadAndShow();
  QWindow *window = form->windowHandle();
  const QPoint onClose = Probe(*form).closeButton()->geometry().center();
  QTest::mousePress(window, Qt::LeftButton, {}, onClose);
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/pressed"));
  QTest::mouseMove(window, QPoint(900, 700));
  foreground = false; // the pointer left and another window took the front
  Probe(*form).checkPointerLeft();
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/pressed"));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(900, 700));
  EXPECT_EQ(quits, 1);
}

TEST_F(TitleBarTest, TimerTellsInsideFromOutsideAtTheWindowEdges) {
  LoadAndShow();
  form->move(100, 50);
  Probe(*form).recordFrame();
  ASSERT_EQ(Probe(*form).frameRect(), QRectF(100, 50, 554, 601));
  const struct {
    QPoint pointer;
    bool inside;
  } rows[] = {
      {{100, 300}, false},                     // leftmost column
      {{101, 300}, true},  {{653, 300}, true}, // rightmost column
      {{654, 300}, false}, {{300, 50}, false}, // top row
      {{300, 51}, true},   {{300, 650}, true}, // bottom row
      {{300, 651}, false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.pointer.x() * 1000 + row.pointer.y());
    Probe(*form).inactive() = false;
    Probe(*form).titleButtonMoved(zub::test::WindowProbe::kMenu);
    ASSERT_EQ(faces(), QStringLiteral("idle/hover/idle"));
    cursor = row.pointer;
    Probe(*form).checkPointerLeft();
    EXPECT_FALSE(Probe(*form).inactive());
    EXPECT_EQ(faces(),
              row.inside ? QStringLiteral("idle/hover/idle") : QStringLiteral("idle/idle/idle"));
  }
}

TEST_F(TitleBarTest, TimerIdlesTheFacesWhenAnotherWindowIsActive) {
  LoadAndShow();
  Probe(*form).titleButtonMoved(zub::test::WindowProbe::kMenu);
  cursor = Probe(*form).menuButton()->mapToGlobal(QPoint(5, 5));
  foreground = false;
  Probe(*form).checkPointerLeft();
  EXPECT_TRUE(Probe(*form).inactive());
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/idle"));
  // Moving over a button of an inactive window leaves every face idle.
  SendMouse(Probe(*form).minimiseButton(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/idle"));
}

TEST_F(TitleBarTest, BeforeTheRectangleIsRecordedThePointerIsOutside) {
  // load has not run: the rectangle is all zeros.
  EXPECT_EQ(Probe(*form).frameRect(), QRectF());
  Probe(*form).titleButtonMoved(zub::test::WindowProbe::kMenu);
  cursor = QPoint(0, 0);
  Probe(*form).checkPointerLeft();
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/idle"));
}

TEST_F(TitleBarTest, TimerRunsOnlyWhileAFaceIsNotIdle) {
  LoadAndShow();
  Probe(*form).resetFaces();
  EXPECT_FALSE(Probe(*form).leaveTimer()->isActive());
  Probe(*form).titleButtonMoved(zub::test::WindowProbe::kMenu);
  EXPECT_TRUE(Probe(*form).leaveTimer()->isActive());
  EXPECT_EQ(Probe(*form).leaveTimer()->interval(), 10);
  // The pointer leaves: the next real tick idles the faces and rests.
  cursor = QPoint(-5, -5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Probe(*form).leaveTimer()->isActive(); }, 2000));
  EXPECT_EQ(faces(), QStringLiteral("idle/idle/idle"));
}

TEST_F(TitleBarTest, IdleTicksDoNotRepaintTheButtons) {
  LoadAndShow();
  Probe(*form).resetFaces();
  QTest::qWait(50);
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override {
      paints += e->type() == QEvent::Paint;
      return false;
    }
  } counter;
  for (QWidget *w :
       {Probe(*form).minimiseButton(), Probe(*form).menuButton(), Probe(*form).closeButton()})
    w->installEventFilter(&counter);
  foreground = false;
  for (int i = 0; i < 20; ++i) {
    Probe(*form).checkPointerLeft();
    QApplication::processEvents();
  }
  EXPECT_EQ(counter.paints, 0);
}

TEST_F(TitleBarTest, RightClickOnThePictureOffersSaveOnlyOnceACodeExists) {
  LoadAndShow();
  SendMouse(Probe(*form).canvas(), QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton);
  EXPECT_TRUE(popups.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("当前尚未生成二维码信息哦！"));
  EXPECT_EQ(messages[0].title, QStringLiteral("无效"));
  EXPECT_EQ(messages[0].icon, zub::MessageIcon::Exclamation);
  EXPECT_EQ(messages[0].buttons, zub::MessageButtons::Ok);

  zub::test::FinishGeneration(*form, [&] { form->generateWithoutLogo(); });
  messages.clear();
  const QStringList withSave =
      QStringList{QStringLiteral("二维码另存为..."), QStringLiteral("保存高清二维码…"),
                  QStringLiteral("复制二维码"), "-"} +
      kTitleBarMenu;
  SendMouse(Probe(*form).canvas(), QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton);
  SendMouse(Probe(*form).menuButton(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Probe(*form).menuButton(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
  SendMouse(Probe(*form).logoBox(), QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton);
  ASSERT_EQ(popups.size(), 3u);
  EXPECT_EQ(popups[0], withSave);
  EXPECT_EQ(popups[1], kTitleBarMenu);
  EXPECT_EQ(popups[2], withSave);

  // Left and middle releases do nothing.
  for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton}) {
    SendMouse(Probe(*form).canvas(), QEvent::MouseButtonRelease, b, Qt::NoButton);
    SendMouse(Probe(*form).logoBox(), QEvent::MouseButtonRelease, b, Qt::NoButton);
  }
  EXPECT_EQ(popups.size(), 3u);
  EXPECT_TRUE(messages.empty());
}

TEST_F(TitleBarTest, AboutMessageIdlesTheButtonsFirst) {
  LoadAndShow();
  Probe(*form).titleButtonMoved(zub::test::WindowProbe::kClose);
  QString facesWhileOpen;
  form->services.dialogs.message = [&](zub::MessageIcon icon, zub::MessageButtons buttons,
                                       const QString &title, const QString &text) {
    facesWhileOpen = faces();
    messages.push_back({icon, buttons, title, text});
    return zub::MessageAnswer::Ok;
  };
  duringPopup = [](QMenu *menu) {
    auto *about = menu->findChild<QMenu *>(QStringLiteral("About"));
    about->findChild<QAction *>(QStringLiteral("Aboutsoft"))->trigger();
  };
  Probe(*form).titleButtonReleased(zub::test::WindowProbe::kMenu);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(facesWhileOpen, QStringLiteral("idle/idle/idle"));
  EXPECT_EQ(messages[0].title, QStringLiteral("关于"));
  EXPECT_EQ(messages[0].icon, zub::MessageIcon::Information);
  EXPECT_EQ(messages[0].buttons, zub::MessageButtons::Ok);
  const QStringList lines = messages[0].text.split(QStringLiteral("\r\n"));
  EXPECT_EQ(
      lines,
      QStringList({QStringLiteral("Zub二维码生成器 ") + QStringLiteral(ZUB_PROJECT_VERSION),
                   QString(), QStringLiteral("感谢您使用本软件！"),
                   QStringLiteral("我们唯一的QQ群：10000001"), QStringLiteral("欢迎您的加入交流"),
                   QStringLiteral("请记住我们唯一的官方网址："), QString(),
                   QStringLiteral("http://www.morvi.example/")}));
  EXPECT_TRUE(messages[0].text.endsWith(QStringLiteral("/"))); // no line break after it
}

TEST_F(TitleBarTest, SecondInstanceUnloadsBeforeAnythingIsShownOrStored) {
  zub::SingleInstance first(dir.filePath(QStringLiteral("lock")));
  ASSERT_TRUE(first.acquire());
  zub::SingleInstance second(dir.filePath(QStringLiteral("lock")));
  EXPECT_FALSE(form->load(second));
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->pos(), QPoint(318, 147));
  EXPECT_EQ(Probe(*form).optionLists()[0]->count(), 0);
  EXPECT_FALSE(QFile::exists(zub::OpenPositionStore()->fileName()));
}

TEST(SingleInstance, LockIsHeldUntilItsOwnerEnds) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("lock"));
  {
    zub::SingleInstance first(path);
    EXPECT_TRUE(first.acquire());
    EXPECT_TRUE(first.acquire()); // asking again changes nothing
    zub::SingleInstance second(path);
    EXPECT_FALSE(second.acquire());
  }
  zub::SingleInstance third(path);
  EXPECT_TRUE(third.acquire());
}

// A later start asks the running window to come to the front: minimised,
// it is restored. The request goes through a socket beside the lock.
TEST_F(TitleBarTest, SecondStartBringsTheRunningWindowToTheFront) {
  LoadAndShow();
  form->showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->isMinimized(); }, 5000));
  zub::MainWindow second;
  second.services.quit = [] {};
  zub::SingleInstance secondLock(dir.filePath(QStringLiteral("lock")));
  EXPECT_FALSE(second.load(secondLock));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isMinimized(); }, 5000));
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(second.isVisible());
}

TEST(SingleInstance, RaiseRequestReachesTheHolderOnly) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("zubqr-gui.lock"));
  const QString socket = dir.filePath(QStringLiteral("zubqr-gui.socket"));
  QObject context;
  int raised = 0;
  {
    zub::SingleInstance nobody(path);
    EXPECT_FALSE(nobody.askToRaise()); // no running window: nothing happens
  }
  {
    zub::SingleInstance first(path);
    ASSERT_TRUE(first.acquire());
    first.listenForRaise(&context, [&] { ++raised; });
    ASSERT_TRUE(QFileInfo(socket).exists());
    zub::SingleInstance second(path);
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(second.askToRaise());
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 5000));
    EXPECT_TRUE(second.askToRaise());
    EXPECT_TRUE(second.askToRaise());
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised >= 2; }, 5000));
  }
  // Gone with its holder: a later start finds nobody to ask.
  EXPECT_FALSE(QFileInfo::exists(socket));
  zub::SingleInstance late(path);
  EXPECT_FALSE(late.askToRaise());
}

// A socket left by a killed instance is replaced; a file of another kind at
// its place is left alone, and the program runs without the request.
TEST(SingleInstance, LeftOverSocketIsReplacedAndOtherFilesKept) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("zubqr-gui.lock"));
  const QByteArray socket = QFile::encodeName(dir.filePath(QStringLiteral("zubqr-gui.socket")));
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socket.constData());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd); // the file stays, nobody listens
  }
  QObject context;
  int raised = 0;
  {
    zub::SingleInstance first(path);
    ASSERT_TRUE(first.acquire());
    first.listenForRaise(&context, [&] { ++raised; });
    zub::SingleInstance second(path);
    EXPECT_TRUE(second.askToRaise());
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 5000));
  }
  QFile other(QFile::decodeName(socket));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.write("mine");
  other.close();
  {
    zub::SingleInstance first(path);
    ASSERT_TRUE(first.acquire());
    first.listenForRaise(&context, [&] { ++raised; });
    EXPECT_FALSE(zub::SingleInstance(path).askToRaise());
  }
  ASSERT_TRUE(other.open(QIODevice::ReadOnly));
  EXPECT_EQ(other.readAll(), QByteArray("mine"));
}

// After the listener's owner is gone, a request raises nothing.
TEST(SingleInstance, NoRequestOutlivesTheWindow) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("zubqr-gui.lock"));
  zub::SingleInstance first(path);
  ASSERT_TRUE(first.acquire());
  int raised = 0;
  {
    QObject context;
    first.listenForRaise(&context, [&] { ++raised; });
  }
  EXPECT_TRUE(zub::SingleInstance(path).askToRaise());
  QTest::qWait(100);
  EXPECT_EQ(raised, 0);
}

TEST(SingleInstance, LockThatCannotBeMadeDoesNotStopTheProgram) {
  zub::SingleInstance nowhere(QStringLiteral("/nonexistent-folder/zub/lock"));
  EXPECT_TRUE(nowhere.acquire());
}

// Every way out through the real end: the event loop stops and the program
// returns 0.
struct WayOut {
  const char *name;
  std::function<void(zub::MainWindow &)> take;
};

void PrintTo(const WayOut &way, std::ostream *out) {
  *out << way.name;
}

class WayOutTest : public FormTest, public ::testing::WithParamInterface<WayOut> {};

TEST_P(WayOutTest, EndsTheEventLoopWithExitCodeZero) {
  LoadAndShow();
  form->services.quit = [] { QCoreApplication::exit(0); };
  QTimer::singleShot(0, form.get(), [this] { GetParam().take(*form); });
  QTimer::singleShot(5000, [] { QCoreApplication::exit(99); }); // a way out that failed
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(Probe(*form).leaveTimer()->isActive());
}

INSTANTIATE_TEST_SUITE_P(
    WaysOut, WayOutTest,
    ::testing::Values(WayOut{"CloseButton",
                             [](zub::MainWindow &f) {
                               const QPoint at = Probe(f).closeButton()->geometry().center();
                               QTest::mousePress(f.windowHandle(), Qt::LeftButton, {}, at);
                               QTest::mouseRelease(f.windowHandle(), Qt::LeftButton, {}, at);
                             }},
                      // A close request of the window system: Alt+F4, Close of the taskbar
                      // button's menu.
                      WayOut{"WindowSystemClose",
                             [](zub::MainWindow &f) { f.windowHandle()->close(); }},
                      WayOut{"WidgetClose", [](zub::MainWindow &f) { f.close(); }}),
    [](const ::testing::TestParamInfo<WayOut> &way) { return std::string(way.param.name); });
