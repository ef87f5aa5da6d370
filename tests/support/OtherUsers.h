#pragma once
// Two ordinary users for the tests of shared folders: the writer and
// another one who plants links, pipes and files where the writer writes.
// Only root can be both (CI runs as root): it gives the other user's
// things to that user by chown and runs the writer's part in a child
// process that has become the writer, with no privilege left.

#include <QProcess>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zub::test {

constexpr uid_t kWriterUid = 65534; // nobody
constexpr uid_t kOtherUid = 65533;  // any number serves: no account is needed

inline bool CanPlayTwoUsers() {
  return ::geteuid() == 0;
}

// Makes the calling process `uid` (its group the same number, and no other
// group) for good. False when it could not.
inline bool BecomeUser(uid_t uid) {
  return ::setgroups(0, nullptr) == 0 && ::setresgid(uid, uid, uid) == 0 &&
         ::setresuid(uid, uid, uid) == 0;
}

// Runs `job` in a child process as `uid`; the child's exit status, or 128
// plus the signal that ended it (99 when it could not become `uid`).
inline int AsUser(uid_t uid, const std::function<int()> &job) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (!BecomeUser(uid))
      ::_exit(99);
    ::_exit(job());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Has `process`, when started, run as `uid`.
inline void StartAsUser(QProcess &process, uid_t uid) {
  process.setChildProcessModifier([uid] {
    if (!BecomeUser(uid))
      ::_exit(99);
  });
}

// Gives `path` (a link itself, not what it names) to `uid`, with `mode`
// unless it is a link.
inline bool GiveTo(const char *path, uid_t uid, mode_t mode = 0) {
  struct stat st {};
  if (::lstat(path, &st) != 0 || ::lchown(path, uid, uid) != 0)
    return false;
  return S_ISLNK(st.st_mode) || ::chmod(path, mode) == 0;
}

} // namespace zub::test
