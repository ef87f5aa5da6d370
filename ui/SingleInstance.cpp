#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

} // namespace

SingleInstance::SingleInstance(const QString &lockPath) : lock_(lockPath) {
  // Only a dead owner makes a lock stale, never its age: the first instance
  // may run for days.
  lock_.setStaleLockTime(0);
}

bool SingleInstance::acquire() {
  if (lock_.isLocked() || lock_.tryLock(0))
    return true;
  if (lock_.error() != QLockFile::LockFailedError)
    return true;
  if (!RemoveAbandonedLock(lock_.fileName()))
    return false;
  return lock_.tryLock(0) || lock_.error() != QLockFile::LockFailedError;
}

QString SingleInstance::DefaultLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty())
    folder = QDir::tempPath();
  return folder + QStringLiteral("/zubqr-gui.lock");
}

} // namespace zub
