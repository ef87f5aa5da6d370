// The stored window position under abuse: values that are empty, letters,
// huge, negative, not a number, and a settings file that is not one. The
// start always completes and the window lands where the user can reach it.

#include "DesktopActions.h"
#include "Support.h"
#include "WindowProbe.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zub::robust {
namespace {

class SettingsAbuse : public WindowTest {
protected:
  // The file of the position store, written byte for byte.
  QString StoreFile() const { return PositionStorePath(); }
  void WriteStore(const QByteArray &bytes) const {
    QFile::remove(StoreFile());
    QFile file(StoreFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  // Starts a fresh window on the current store and checks that the start
  // ran to its end and that the window can be reached: its title band, with
  // the buttons and the place to drag it by, lies on the screen.
  void ExpectReachableStart() {
    form.reset();
    instance.reset();
    Start();
    ASSERT_TRUE(form->isVisible());
    EXPECT_EQ(Probe(*form).optionLists()[3]->currentText(),
              QStringLiteral("UTF-8")); // the last step ran
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect titleBand(form->frameGeometry().topLeft(), QSize(form->width(), 40));
    const QRect visible = screen.intersected(titleBand);
    EXPECT_GE(visible.width(), 200) << form->pos().x() << "," << form->pos().y();
    EXPECT_GE(visible.height(), 20) << form->pos().x() << "," << form->pos().y();
  }
};

TEST_F(SettingsAbuse, AbusedValuesStillStartWithTheWindowOnScreen) {
  // The window's own size, so that Left and Top are used.
  const QByteArray width = "8310", height = "9015";
  const QByteArray values[] = {"",
                               " ",
                               "abc",
                               "12abc",
                               "1e30",
                               "-1e30",
                               "1e400",
                               "-60000",
                               "-1",
                               "nan",
                               "inf",
                               "-inf",
                               "32212252500", // about 2^31 pixels
                               "-32212252500",
                               "99999999999999999999999999999",
                               "0x1F4",
                               "1,5",
                               "@Rect(0 0 10 10)",
                               "@Invalid()",
                               "\"1500\""};
  for (const char *key : {"Left", "Top", "Width", "Height"})
    for (const QByteArray &value : values) {
      SCOPED_TRACE(std::string(key) + "=" + value.toStdString());
      QByteArray ini = "[Soft_Stat]\n";
      for (const auto &[k, normal] : {std::pair{"Left", QByteArray("1500")},
                                      {"Top", QByteArray("750")},
                                      {"Width", width},
                                      {"Height", height}})
        ini += QByteArray(k) + "=" + (qstrcmp(k, key) == 0 ? value : normal) + "\n";
      WriteStore(ini);
      ExpectReachableStart();
    }
}

TEST_F(SettingsAbuse, BrokenSettingsFileStillStartsAndIsWrittenAfresh) {
  QRandomGenerator random(6);
  QByteArray noise(4096, '\0');
  for (char &c : noise)
    c = static_cast<char>(random.bounded(256));
  const struct {
    const char *what;
    QByteArray bytes;
  } cases[] = {
      {"random bytes", noise},
      {"NUL bytes", QByteArray(1000, '\0')},
      {"not UTF-8", "[Soft_Stat]\nLeft=\xff\xfe\x80\nTop=\xc3\n"},
      {"unclosed section", "[Soft_Stat\nLeft=1500\nTop=750\n"},
      {"one endless line", "[Soft_Stat]\nLeft=" + QByteArray(4 << 20, '7')},
      {"keys without values", "[Soft_Stat]\nLeft\nTop\nWidth\nHeight\n"},
      // A string that claims two gigabytes, and a type that does not exist.
      {"serialised variants", "[Soft_Stat]\nLeft=@Variant(\\0\\0\\0\\n\\0\\x7f\\xff\\xff\\xf0)\n"
                              "Top=@Variant(\\x7f\\0\\0\\x7f\\0)\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    WriteStore(c.bytes);
    ExpectReachableStart();
    // A move over the background stores the position again, readably.
    form->move(100, 50);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(form->mapToGlobal(QPoint(5, 5))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Probe(*form).canvas(), &move);
    EXPECT_EQ(OpenPositionStore()->value(QStringLiteral("Left")).toString(),
              QStringLiteral("1500"));
    EXPECT_EQ(OpenPositionStore()->value(QStringLiteral("Top")).toString(), QStringLiteral("750"));
  }

  SCOPED_TRACE("a folder where the file belongs");
  QFile::remove(StoreFile());
  ASSERT_TRUE(QDir().mkpath(StoreFile()));
  ExpectReachableStart();
}

// A settings file that is not a regular file, nor a link the kernel would
// let this user follow to one: the window starts where it starts with
// nothing stored (centred), stores nothing, and leaves the node as it was.
// A FIFO would block the start in open(); a device behind a link would be
// replaced by a text file.
TEST_F(SettingsAbuse, NodesThatAreNotFilesAreNeitherOpenedNorReplaced) {
  const QByteArray store = QFile::encodeName(StoreFile());
  const QByteArray device = QFile::encodeName(File(QStringLiteral("device")));
  const QByteArray elsewhere = QFile::encodeName(File(QStringLiteral("elsewhere.ini")));
  const struct {
    const char *what;
    std::function<bool()> make;  // false: this user cannot make it here
    std::function<void()> check; // the node is still what it was
  } cases[] = {
      {"FIFO", [&] { return ::mkfifo(store.constData(), 0600) == 0; },
       [&] {
         struct stat st {};
         ASSERT_EQ(::lstat(store.constData(), &st), 0);
         EXPECT_TRUE(S_ISFIFO(st.st_mode));
       }},
      // A device node made in the test's own folder: only root may.
      {"link to a character device",
       [&] {
         return ::mknod(device.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0 &&
                ::symlink(device.constData(), store.constData()) == 0;
       },
       [&] {
         struct stat st {};
         ASSERT_EQ(::lstat(device.constData(), &st), 0);
         EXPECT_TRUE(S_ISCHR(st.st_mode));
         ASSERT_EQ(::lstat(store.constData(), &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
       }},
      {"dangling link", [&] { return ::symlink(elsewhere.constData(), store.constData()) == 0; },
       [&] {
         struct stat st {};
         EXPECT_NE(::stat(elsewhere.constData(), &st), 0); // its target was not made
         ASSERT_EQ(::lstat(store.constData(), &st), 0);
         EXPECT_TRUE(S_ISLNK(st.st_mode));
       }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ::unlink(store.constData());
    ::unlink(device.constData());
    if (!c.make()) {
      EXPECT_EQ(std::string(c.what), "link to a character device") << "could not make the node";
      continue;
    }
    // Should the window open the FIFO after all, a writer comes along after
    // a while and lets it go on, so that the fault fails the test instead of
    // hanging it.
    std::atomic<bool> done{false};
    std::atomic<int> rescued{0};
    std::thread rescuer([&] {
      const auto after = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (std::chrono::steady_clock::now() < after)
          continue;
        const int fd = ::open(store.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) { // only a reader waiting in open() lets this succeed
          ++rescued;
          ::close(fd);
        }
      }
    });
    ExpectReachableStart();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form->frameGeometry().topLeft(), CentredIn(screen, form->frameGeometry().size()));
    form->move(100, 50);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(form->mapToGlobal(QPoint(5, 5))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Probe(*form).canvas(), &move);
    done = true;
    rescuer.join();
    EXPECT_EQ(rescued, 0) << "the window waited in open() for a writer";
    c.check();
    EXPECT_EQ(OpenPositionStore(), nullptr);
  }
  ::unlink(store.constData());
  ::unlink(device.constData());
}

// A link to a regular file is followed where the kernel would follow it:
// here, in the user's own folder, the position is read through it and
// stored through it, and the link stays a link.
TEST_F(SettingsAbuse, LinkToARegularFileIsFollowed) {
  const QByteArray store = QFile::encodeName(StoreFile());
  const QString real = File(QStringLiteral("real.ini"));
  {
    QFile file(real);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Soft_Stat]\nLeft=1500\nTop=750\nWidth=8310\nHeight=9015\n");
  }
  ::unlink(store.constData());
  ASSERT_EQ(::symlink(QFile::encodeName(real).constData(), store.constData()), 0);
  ASSERT_NE(OpenPositionStore(), nullptr);
  EXPECT_EQ(OpenPositionStore()->value(QStringLiteral("Left")).toString(), QStringLiteral("1500"));
  ::unlink(store.constData());
}

// In a sticky folder that everyone may write, another user's link is not
// followed (the kernel's own rule for such folders); this user's is. Needs
// root to make a link owned by someone else.
TEST_F(SettingsAbuse, AnotherUsersLinkInAStickyFolderIsNotFollowed) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root can give a link to another user";
  const QString shared = File(QStringLiteral("shared"));
  ASSERT_TRUE(QDir().mkpath(shared));
  ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
  ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), 4242, 4242), 0); // not root's
  const QByteArray victim = QFile::encodeName(File(QStringLiteral("victim.ini")));
  {
    QFile file(QFile::decodeName(victim));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("thesis");
  }
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(shared));
  const QByteArray link = QFile::encodeName(PositionStorePath());
  ASSERT_EQ(::symlink(victim.constData(), link.constData()), 0);
  ASSERT_EQ(::lchown(link.constData(), 4343, 4343), 0); // a stranger's link
  EXPECT_EQ(OpenPositionStore(), nullptr);
  ASSERT_EQ(::lchown(link.constData(), 4242, 4242), 0); // the folder owner's
  EXPECT_NE(OpenPositionStore(), nullptr);
  ASSERT_EQ(::lchown(link.constData(), 0, 0), 0); // the writer's own
  EXPECT_NE(OpenPositionStore(), nullptr);
  ::unlink(link.constData());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
}

// Stored coordinates far outside the range of a screen become clamped pixel
// coordinates, never a wrapped or undefined int.
TEST(TwipsToPixelsRange, ClampsWhatNoScreenHas) {
  EXPECT_EQ(TwipsToPixels(1e30), kMaxPixelCoordinate);
  EXPECT_EQ(TwipsToPixels(-1e30), -kMaxPixelCoordinate);
  EXPECT_EQ(TwipsToPixels(32212252500.0), kMaxPixelCoordinate);
  EXPECT_EQ(TwipsToPixels(std::numeric_limits<double>::infinity()), kMaxPixelCoordinate);
  EXPECT_EQ(TwipsToPixels(std::nan("")), 0);
  EXPECT_EQ(TwipsToPixels(-4500), -300);
}

} // namespace
} // namespace zub::robust
