#pragma once

#include <QLockFile>
#include <QString>

namespace zub {

// One running program per user: a lock file in the user's runtime folder.
// A lock left behind by a process that no longer runs does not count, nor
// does a lock file that no process holds, whatever it holds, once it is a
// few seconds old.
class SingleInstance {
public:
  explicit SingleInstance(const QString &lockPath = DefaultLockPath());

  // True when no other instance holds the lock (this one holds it from now
  // on until it is destroyed). A lock file that cannot be made at all, for
  // example in a read-only folder, does not stop the program: true as well.
  bool acquire();

  // Gives the lock up now, for a way out that skips the destructor.
  void release() { lock_.unlock(); }

  static QString DefaultLockPath();

private:
  QLockFile lock_;
};

} // namespace zub
