#include "Desktop.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace zub::test {
namespace {

Desktop desktop;
std::vector<pid_t> started;

// The X server compiles its keymap with xkbcomp into a folder fixed when it
// was built (Debian's /var/lib/xkb) whenever it may write there, as root
// may. So the server gets a view of the file system of its own in which that
// folder is the run's: a mount namespace, made with the rights root has or,
// failing them, in a user namespace of its own.
constexpr char kKeymapOutput[] = "/var/lib/xkb";

struct PrivateKeymaps {
  QByteArray folder; // the run's folder, shown at kKeymapOutput
  QByteArray uidMap, gidMap;
};

bool WriteAll(const char *path, const char *text, qsizetype size) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool written = ::write(fd, text, static_cast<size_t>(size)) == size;
  ::close(fd);
  return written;
}

// In the child, before exec: only system calls. A machine without the folder
// has nothing to hide.
bool ShowKeymapsFolder(const PrivateKeymaps &keymaps) {
  if (::access(kKeymapOutput, F_OK) != 0)
    return true;
  if (::unshare(CLONE_NEWNS) != 0) {
    static constexpr char kDeny[] = "deny";
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
        !WriteAll("/proc/self/setgroups", kDeny, sizeof kDeny - 1) ||
        !WriteAll("/proc/self/uid_map", keymaps.uidMap.constData(), keymaps.uidMap.size()) ||
        !WriteAll("/proc/self/gid_map", keymaps.gidMap.constData(), keymaps.gidMap.size()))
      return false;
  }
  // Private first, so that the folder shown does not spread to the
  // machine's own view.
  return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount(keymaps.folder.constData(), kKeymapOutput, nullptr, MS_BIND, nullptr) == 0;
}

// Starts `program` with `args`; the child is ended with this process (asked
// to end, so that an X server removes its lock and socket from /tmp), so a
// crashed test leaves no server behind. `keepFd` stays open in the child.
pid_t Spawn(const QString &program, const QStringList &args, int keepFd = -1,
            const PrivateKeymaps *keymaps = nullptr) {
  std::vector<QByteArray> storage;
  storage.push_back(program.toLocal8Bit());
  for (const QString &a : args)
    storage.push_back(a.toLocal8Bit());
  std::vector<char *> argv;
  for (QByteArray &s : storage)
    argv.push_back(s.data());
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0)
    return pid;
  if (keymaps != nullptr && !ShowKeymapsFolder(*keymaps)) {
    static constexpr char kNote[] = "Xvfb runs without a mount namespace of its own: it may "
                                    "compile its keymap into /var/lib/xkb\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
  }
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent)
    ::_exit(127);
  const int devNull = ::open("/dev/null", O_RDWR);
  ::dup2(devNull, STDIN_FILENO);
  ::dup2(devNull, STDOUT_FILENO);
  ::dup2(devNull, STDERR_FILENO);
  if (keepFd >= 0)
    ::fcntl(keepFd, F_SETFD, 0);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// The display number Xvfb writes once it accepts connections.
QString ReadDisplay(int fd) {
  QByteArray text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!text.endsWith('\n') && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0)
      continue;
    char c = 0;
    if (::read(fd, &c, 1) != 1)
      break;
    text += c;
  }
  return text.endsWith('\n') ? QStringLiteral(":") + QString::fromLatin1(text.trimmed())
                             : QString();
}

} // namespace

const Desktop &TheDesktop() {
  return desktop;
}

namespace {

// One attempt: Xvfb on a display it picks, then openbox on it.
bool TryStart(const QString &xvfb, const QString &openbox, const PrivateKeymaps &keymaps) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    desktop.why = QStringLiteral("no pipe for Xvfb");
    return false;
  }
  started.push_back(
      Spawn(xvfb,
            {QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"),
             QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
             QStringLiteral("tcp")},
            fds[1], &keymaps));
  ::close(fds[1]);
  desktop.display = ReadDisplay(fds[0]);
  ::close(fds[0]);
  if (desktop.display.isEmpty()) {
    desktop.why = QStringLiteral("Xvfb did not report a display within 30 s");
    return false;
  }
  qputenv("DISPLAY", desktop.display.toLocal8Bit());
  started.push_back(Spawn(openbox, {QStringLiteral("--sm-disable")}));
  // openbox names the current desktop on the root window once it manages it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Xdo({QStringLiteral("get_desktop")})) {
    if (std::chrono::steady_clock::now() > deadline) {
      desktop.why =
          QStringLiteral("openbox did not manage display %1 within 30 s").arg(desktop.display);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

} // namespace

void StartDesktop(const QString &scratch) {
  const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
  const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
  const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
  if (xvfb.isEmpty() || openbox.isEmpty() || xdotool.isEmpty()) {
    desktop.why = QStringLiteral("Xvfb, openbox or xdotool is not installed");
    return;
  }
  desktop.installed = true;
  const QString keymapFolder = scratch + QStringLiteral("/keymaps");
  if (!QDir().mkpath(keymapFolder)) {
    desktop.why = QStringLiteral("no folder for the X server's keymaps in ") + scratch;
    return;
  }
  const PrivateKeymaps keymaps{QFile::encodeName(keymapFolder),
                               "0 " + QByteArray::number(::getuid()) + " 1",
                               "0 " + QByteArray::number(::getgid()) + " 1"};
  for (int attempt = 0; attempt < 3 && !desktop.ready; ++attempt) {
    StopDesktop();
    desktop.ready = TryStart(xvfb, openbox, keymaps);
  }
  if (desktop.ready)
    qputenv("QT_QPA_PLATFORM", "xcb");
}

void StopDesktop() {
  // openbox first, then the server it runs on.
  for (auto it = started.rbegin(); it != started.rend(); ++it) {
    ::kill(*it, SIGTERM);
    ::waitpid(*it, nullptr, 0);
  }
  started.clear();
}

int RunOnTheDesktop(int argc, char **argv, const QString &scratch, void (*started)()) {
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
  if (!listing)
    StartDesktop(scratch);
  int status = 0;
  {
    QApplication app(argc, argv);
    if (started)
      started();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch));
    ::testing::InitGoogleTest(&argc, argv);
    status = RUN_ALL_TESTS();
  }
  StopDesktop();
  return status;
}

bool Xdo(const QStringList &args) {
  QProcess xdo;
  xdo.start(QStringLiteral("xdotool"), args);
  return xdo.waitForFinished(20000) && xdo.exitStatus() == QProcess::NormalExit &&
         xdo.exitCode() == 0;
}

bool MovePointer(QPoint at) {
  return Xdo({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
}

} // namespace zub::test
