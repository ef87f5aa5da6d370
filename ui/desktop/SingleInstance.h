#pragma once

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QObject;
class QSocketNotifier;

namespace zub {

// One running program per user: a lock file in a folder of the user's own
// (DefaultLockPath). A lock left behind by a process that no longer runs
// does not count, nor does a lock file that no process holds, whatever it
// holds, once it is a few seconds old, nor one that belongs to another
// user: where the lock lies in a folder others can write, another user's
// lock file or socket is never obeyed.
class SingleInstance {
public:
  explicit SingleInstance(const QString &lockPath = DefaultLockPath());
  ~SingleInstance();

  // True when no other instance holds the lock (this one holds it from now
  // on until it is destroyed). A lock file that cannot be made at all, for
  // example in a read-only folder, does not stop the program: true as well.
  bool acquire();

  // Gives the lock up now, for a way out that skips the destructor.
  void release();

  // A later start asks the running instance to come to the front through a
  // socket beside the lock file. The holder of the lock listens: each request
  // of a process of the same user runs `raise` (on the thread of `context`,
  // and never after `context` is gone). Nothing is read from the caller, so
  // no request can keep the window waiting. Without a socket (a path too
  // long, a folder that cannot take one) the program runs all the same.
  void listenForRaise(QObject *context, std::function<void()> raise);
  // The start that did not get the lock asks the holder to come to the
  // front; returns at once whatever happens. False when nobody listens, or
  // the socket or its listener is another user's.
  bool askToRaise() const;

  // zubqr-gui.lock in a folder that is the user's own, owned by the user
  // and closed to everyone else (OwnFolder): XDG_RUNTIME_DIR when it is
  // such a folder; else zubqr-gui-UID in TMPDIR (or /tmp), made so, unless
  // another user got there first; else zubqr-gui-instance in the user's
  // cache folder (XDG_CACHE_HOME, or ~/.cache). Empty when there is none:
  // the program then runs without a lock.
  static QString DefaultLockPath();

private:
  void stopListening();

  QLockFile lock_;
  bool usable_; // a lock path was given
  QString socketPath_;
  int listener_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace zub
