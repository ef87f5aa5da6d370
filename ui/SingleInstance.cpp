#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace zub {

SingleInstance::SingleInstance(const QString &lockPath) : lock_(lockPath) {
  // Only a dead owner makes a lock stale, never its age: the first instance
  // may run for days.
  lock_.setStaleLockTime(0);
}

bool SingleInstance::acquire() {
  if (lock_.isLocked() || lock_.tryLock(0))
    return true;
  return lock_.error() != QLockFile::LockFailedError;
}

QString SingleInstance::DefaultLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty())
    folder = QDir::tempPath();
  return folder + QStringLiteral("/zubqr-gui.lock");
}

} // namespace zub
