#include "SingleInstance.h"
#include "Trust.h"

#include <QFile>
#include <QObject>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zub {

namespace {

// A starting instance creates the lock file and takes its native lock a
// moment later; a file younger than this may be one caught in between.
constexpr std::chrono::seconds kAbandonedAfter{3};

// QLockFile counts a lock as stale only when the file names a process that
// is gone. A file that names nobody (its writer was killed between creating
// and writing it, or the disk filled up) or a process of a host name the
// machine no longer has would keep every later start out. The running
// instance holds the file's native lock for its whole life, so a file that
// nobody holds, and that is not brand new, is abandoned whatever it says:
// it is removed here. True when it was removed or is gone.
bool RemoveAbandonedLock(const QString &path) {
  // The guard QLockFile's own stale-lock removal takes: one remover at a
  // time, so nobody removes the lock a remover has just made anew.
  QLockFile guard(path + QStringLiteral(".rmlock"));
  if (!guard.tryLock(0))
    return false;
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT;
  bool removed = false;
  struct stat opened {};
  struct stat named {};
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
      ::stat(name.constData(), &named) == 0 && opened.st_dev == named.st_dev &&
      opened.st_ino == named.st_ino) {
    const auto modified = std::chrono::seconds(opened.st_mtim.tv_sec) +
                          std::chrono::nanoseconds(opened.st_mtim.tv_nsec);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    if (now - modified > kAbandonedAfter)
      removed = ::unlink(name.constData()) == 0;
  }
  ::close(fd); // also drops the native lock
  return removed;
}

// The socket beside the lock file: zubqr-gui.lock gives zubqr-gui.socket.
QString SocketPathFor(const QString &lockPath) {
  QString base = lockPath;
  if (base.endsWith(QLatin1String(".lock")))
    base.chop(5);
  return base + QStringLiteral(".socket");
}

// True when `path` is there and is not a file of this user's: another
// user's lock or socket, or a link, planted where the lock should be.
bool Foreign(const QString &path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
         (st.st_uid != ::geteuid() || S_ISLNK(st.st_mode));
}

// An absolute path from the variable `name`, or nothing.
std::string AbsoluteFrom(const char *name) {
  const char *value = std::getenv(name);
  return value && value[0] == '/' ? value : "";
}

std::string HomeFolder() {
  std::string home = AbsoluteFrom("HOME");
  if (home.empty())
    if (const passwd *user = ::getpwuid(::geteuid()); user && user->pw_dir)
      home = user->pw_dir;
  return home;
}

// False when the path does not fit a socket address.
bool SocketAddress(const QString &path, sockaddr_un &address, socklen_t &length) {
  const QByteArray name = QFile::encodeName(path);
  if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof(address.sun_path))
    return false;
  address = {};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                  static_cast<std::size_t>(name.size()) + 1);
  return true;
}

} // namespace

SingleInstance::SingleInstance(const QString &lockPath)
    : lock_(lockPath), usable_(!lockPath.isEmpty()), socketPath_(SocketPathFor(lockPath)) {
  // Only a dead owner makes a lock stale, never its age: the first instance
  // may run for days.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  stopListening(); // while the lock is still held: the socket is still ours
}

void SingleInstance::release() {
  stopListening();
  lock_.unlock();
}

void SingleInstance::listenForRaise(QObject *context, std::function<void()> raise) {
  if (!usable_ || listener_ >= 0 || !lock_.isLocked())
    return;
  sockaddr_un address{};
  socklen_t length = 0;
  if (!SocketAddress(socketPath_, address, length))
    return;
  // A socket that an instance killed before it could remove it is left
  // over; the lock says nobody listens on it. Anything else there is not
  // ours to remove.
  const QByteArray name = QFile::encodeName(socketPath_);
  struct stat there {};
  if (::lstat(name.constData(), &there) == 0) {
    if (!S_ISSOCK(there.st_mode) || ::unlink(name.constData()) != 0)
      return;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return;
  if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0 ||
      ::listen(fd, 8) != 0) {
    ::close(fd);
    return;
  }
  listener_ = fd;
  notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(
      notifier_.get(), &QSocketNotifier::activated, context, [this, raise = std::move(raise)] {
        bool asked = false;
        for (;;) {
          const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
          if (peer < 0) {
            // Out of descriptors: stop listening rather than
            // wake up for the same request for ever.
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
              notifier_->setEnabled(false);
            if (errno != EINTR && errno != ECONNABORTED)
              break;
            continue;
          }
          // Where the socket lies in a shared folder, another
          // user's process could connect: only the user's own
          // starts count.
          ucred who{};
          socklen_t size = sizeof who;
          if (::getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &who, &size) == 0 &&
              who.uid == ::geteuid())
            asked = true;
          ::close(peer);
        }
        if (asked)
          raise();
      });
}

bool SingleInstance::askToRaise() const {
  sockaddr_un address{};
  socklen_t length = 0;
  if (!usable_ || !SocketAddress(socketPath_, address, length))
    return false;
  // Another user's socket would learn of every start, and keep the window
  // from showing: only the user's own is asked.
  struct stat st {};
  if (::lstat(QFile::encodeName(socketPath_).constData(), &st) != 0 || !S_ISSOCK(st.st_mode) ||
      st.st_uid != ::geteuid())
    return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  // Non-blocking: a full queue or a holder that hangs never keeps this start
  // from ending. The connection is the request; nothing is sent.
  bool asked = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
  // The socket may be the user's and the listener not: a socket another
  // user bound and the user's own start renamed into place cannot be, but
  // the listener is asked who it is all the same.
  ucred who{};
  socklen_t size = sizeof who;
  if (asked &&
      (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &who, &size) != 0 || who.uid != ::geteuid()))
    asked = false;
  ::close(fd);
  return asked;
}

void SingleInstance::stopListening() {
  notifier_.reset();
  if (listener_ < 0)
    return;
  ::close(listener_);
  listener_ = -1;
  ::unlink(QFile::encodeName(socketPath_).constData());
}

bool SingleInstance::acquire() {
  if (!usable_ || lock_.isLocked() || lock_.tryLock(0))
    return true;
  if (lock_.error() != QLockFile::LockFailedError)
    return true;
  if (Foreign(lock_.fileName())) {
    // Not the user's lock: removed where the folder lets the user, and
    // never obeyed. Where it cannot be removed the program runs unlocked.
    ::unlink(QFile::encodeName(lock_.fileName()).constData());
    if (lock_.tryLock(0))
      return true;
    // The user's own start may have taken it in between; another user's
    // lock is still not obeyed.
    return lock_.error() != QLockFile::LockFailedError || Foreign(lock_.fileName());
  }
  if (!RemoveAbandonedLock(lock_.fileName()))
    return false;
  return lock_.tryLock(0) || lock_.error() != QLockFile::LockFailedError;
}

QString SingleInstance::DefaultLockPath() {
  std::string folder = AbsoluteFrom("XDG_RUNTIME_DIR");
  if (folder.empty() || !OwnFolder(folder)) {
    std::string temporary = AbsoluteFrom("TMPDIR");
    if (temporary.empty())
      temporary = "/tmp";
    folder = temporary + "/zubqr-gui-" + std::to_string(::geteuid());
    if (!MakeOwnFolder(folder)) {
      std::string cache = AbsoluteFrom("XDG_CACHE_HOME");
      if (cache.empty() && !HomeFolder().empty())
        cache = HomeFolder() + "/.cache";
      // The cache folder is made as the other programs of the desktop make
      // it, with the folders above it that are missing.
      for (std::size_t slash = cache.find('/', 1); !cache.empty();
           slash = cache.find('/', slash + 1)) {
        ::mkdir(cache.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos)
          break;
      }
      folder = cache.empty() ? "" : cache + "/zubqr-gui-instance";
      if (folder.empty() || !MakeOwnFolder(folder))
        return {};
    }
  }
  return QFile::decodeName(QByteArray::fromStdString(folder)) + QStringLiteral("/zubqr-gui.lock");
}

} // namespace zub
