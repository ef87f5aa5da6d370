#include "FileWrite.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace zub {

namespace {

ssize_t RealWrite(int fd, const void *data, size_t size) {
  return ::write(fd, data, size);
}
int RealFsync(int fd) {
  return ::fsync(fd);
}
int RealClose(int fd) {
  return ::close(fd);
}

FileWriterCalls gCalls = RealFileWriterCalls();

WriteResult Fail(WriteFailure failure, int error = 0) {
  return {failure, error};
}

WriteResult SystemFailure(int error) {
  return {WriteFailure::System, error != 0 ? error : EIO};
}

std::string FolderOf(const std::string &path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Hands every byte to `fd`. False with errno set on failure.
bool WriteAll(int fd, std::string_view bytes) {
  const char *data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    errno = 0;
    const ssize_t n = gCalls.write(fd, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      if (errno == 0)
        errno = EIO;
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// Flushing each file of a batch and its folder to the disk would cost more
// than making it; the batch flushes them all at once instead.
std::atomic<bool> gDeferFlush = false;

// The named temporary files that exist right now, so that an interrupt or
// a termination (Ctrl-C in a long batch) removes them instead of leaving
// hidden files behind. Fixed slots: a signal handler may only read memory
// that is there.
struct InFlight {
  std::atomic<int> state = 0; // 0 free, 1 being filled in, 2 names a temporary file
  char path[PATH_MAX] = {};
};
constexpr int kInFlightSlots = 512; // more than a batch's threads
InFlight gInFlight[kInFlightSlots];

// Files being created right now: the handler waits for them, as another
// thread may be between naming its file and creating it; once the program
// is ending, no thread creates one.
std::atomic<int> gCreating = 0;
std::atomic<bool> gEnding = false;

extern "C" void RemoveTemporariesAndDie(int signal) {
  gEnding = true;
  // At most about 100 ms: a creation is a single open() or link().
  for (int wait = 0; wait < 1000 && gCreating.load() > 0; ++wait) {
    const timespec tenth{0, 100000};
    ::nanosleep(&tenth, nullptr);
  }
  for (InFlight &slot : gInFlight)
    if (slot.state.load() == 2)
      ::unlink(slot.path);
  // The usual death by this signal, so the parent sees what happened.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Installs the handler for the signals that end a program, where nobody
// else handles or ignores them.
void CatchEndingSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction now {};
      if (::sigaction(signal, nullptr, &now) != 0 || now.sa_handler != SIG_DFL ||
          (now.sa_flags & SA_SIGINFO))
        continue;
      struct sigaction ours {};
      ours.sa_handler = RemoveTemporariesAndDie;
      sigemptyset(&ours.sa_mask);
      ::sigaction(signal, &ours, nullptr);
    }
  });
}

// A named temporary file from just before it is made until it is gone or
// has become the target.
class TemporaryName {
public:
  TemporaryName() = default;
  TemporaryName(const TemporaryName &) = delete;
  TemporaryName &operator=(const TemporaryName &) = delete;
  ~TemporaryName() { Release(); }

  // Call right before the system call that makes `name`; Made() right
  // after. False (errno EINTR) when the program is ending.
  bool Begin(const std::string &name) {
    CatchEndingSignals();
    ++gCreating;
    if (gEnding) {
      --gCreating;
      errno = EINTR;
      return false;
    }
    if (name.size() < PATH_MAX) {
      for (InFlight &slot : gInFlight) {
        int expected = 0;
        if (slot.state.compare_exchange_strong(expected, 1)) {
          std::memcpy(slot.path, name.c_str(), name.size() + 1);
          slot.state.store(2);
          slot_ = &slot;
          break;
        }
      }
    }
    return true;
  }
  void Made() { --gCreating; }
  void Release() {
    if (slot_)
      slot_->state.store(0);
    slot_ = nullptr;
  }

private:
  InFlight *slot_ = nullptr;
};

// A hidden name in `folder` of our own, short so that a target name as long
// as the system allows leaves room for it.
std::string TemporaryNameIn(const std::string &folder) {
  static std::atomic<unsigned> counter = 0;
  return folder + "/.zubqr-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) +
         ".tmp";
}

// The target's owner, group and mode given to the new file `fd`: owner and
// group where this user may set them (root, or a group of one's own), and
// the special bits only where both are kept.
bool KeepOwnerAndMode(int fd, const struct stat &old) {
  struct stat now {};
  if (::fstat(fd, &now) != 0)
    return false;
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
      ::fchown(fd, static_cast<uid_t>(-1), old.st_gid); // the group alone, where allowed
    if (::fstat(fd, &now) != 0)
      return false;
  }
  mode_t mode = old.st_mode & 07777;
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid)
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID | S_ISVTX);
  return ::fchmod(fd, mode) == 0;
}

// Fills the open new file `fd`, gives it the old file's owner and mode when
// there is one, and has the disk hold every byte.
bool Fill(int fd, std::string_view bytes, const struct stat *old) {
  if (!WriteAll(fd, bytes))
    return false;
  if (old && !KeepOwnerAndMode(fd, *old))
    return false;
  if (gDeferFlush)
    return true;
  errno = 0;
  if (gCalls.fsync(fd) != 0) {
    if (errno == 0)
      errno = EIO;
    return false;
  }
  return true;
}

bool CloseChecked(int fd) {
  errno = 0;
  if (gCalls.close(fd) == 0)
    return true;
  if (errno == 0)
    errno = EIO;
  return false;
}

void SyncFolder(const std::string &folder) {
  if (gDeferFlush)
    return;
  // Some file systems cannot sync a folder, which is no failure of the file.
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// Why a temporary file could not be made in `folder`.
WriteResult FolderFailure(const std::string &folder, int error) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0)
    return errno == ENOENT ? Fail(WriteFailure::FolderMissing) : SystemFailure(error);
  if (!S_ISDIR(st.st_mode))
    return Fail(WriteFailure::FolderNotFolder);
  // These say more than the permission bits: a read-only disk also makes
  // its folders unwritable.
  if (error == ENOSPC || error == EDQUOT || error == EROFS || error == ENAMETOOLONG)
    return SystemFailure(error);
  if (error == EACCES || error == EPERM)
    return Fail(WriteFailure::FolderReadOnly, error);
  return SystemFailure(error);
}

// The new file by a named temporary file: made, filled, renamed over
// `target`.
WriteResult ReplaceByNamedTemporary(const std::string &target, const std::string &folder,
                                    std::string_view bytes, const struct stat *old) {
  TemporaryName guard;
  std::string name;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    name = TemporaryNameIn(folder);
    if (!guard.Begin(name))
      return SystemFailure(EINTR);
    // 0666 less the umask, as any new file gets.
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int error = errno;
    guard.Made();
    if (fd < 0) {
      guard.Release();
      if (error != EEXIST)
        return FolderFailure(folder, error);
    }
  }
  if (fd < 0)
    return SystemFailure(EEXIST);
  bool ok = Fill(fd, bytes, old);
  int error = errno;
  if (!CloseChecked(fd) && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(name.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok)
    ::unlink(name.c_str());
  guard.Release();
  if (!ok)
    return SystemFailure(error);
  SyncFolder(folder);
  return {};
}

// The new file by an unnamed temporary file, which nothing can leave
// behind: it gets a name only when complete, and keeps that name for the
// instant before it replaces the target. Unsupported (an old kernel, a file
// system without it, no /proc) is EOPNOTSUPP: try the named way.
WriteResult ReplaceByUnnamedTemporary(const std::string &target, const std::string &folder,
                                      std::string_view bytes, const struct stat *old) {
#ifdef O_TMPFILE
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT)
      return SystemFailure(EOPNOTSUPP);
    return FolderFailure(folder, error);
  }
  if (!Fill(fd, bytes, old)) {
    const int error = errno;
    ::close(fd);
    return SystemFailure(error);
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  TemporaryName guard;
  std::string name;
  bool linked = false;
  if (!old) {
    // A new file takes its name at once; only if one appeared meanwhile
    // does it go the way of a replacement.
    linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (!linked && errno != EEXIST) {
      ::close(fd);
      return SystemFailure(EOPNOTSUPP);
    }
  }
  if (!linked) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      name = TemporaryNameIn(folder);
      if (!guard.Begin(name)) {
        ::close(fd);
        return SystemFailure(EINTR);
      }
      const bool made =
          ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
      const int error = errno;
      guard.Made();
      if (made)
        break;
      guard.Release();
      name.clear();
      if (error != EEXIST) {
        ::close(fd);
        return SystemFailure(EOPNOTSUPP);
      }
    }
    if (name.empty()) {
      ::close(fd);
      return SystemFailure(EEXIST);
    }
  }
  bool ok = CloseChecked(fd);
  int error = errno;
  if (ok && !linked && ::rename(name.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok)
    ::unlink(linked ? target.c_str() : name.c_str());
  guard.Release();
  if (!ok)
    return SystemFailure(error);
  SyncFolder(folder);
  return {};
#else
  (void)target, (void)folder, (void)bytes, (void)old;
  return SystemFailure(EOPNOTSUPP);
#endif
}

WriteResult Replace(const std::string &target, std::string_view bytes, const struct stat *old) {
  const std::string folder = FolderOf(target);
  if (gCalls.unnamedTemporary) {
    const WriteResult unnamed = ReplaceByUnnamedTemporary(target, folder, bytes, old);
    if (unnamed.failure != WriteFailure::System || unnamed.error != EOPNOTSUPP)
      return unnamed;
  }
  return ReplaceByNamedTemporary(target, folder, bytes, old);
}

// Every name of a file with several sees the new bytes: they go into the
// file itself. The space is reserved first, where the file system can,
// so a full disk fails before a byte changes; should a write fail even so,
// the old bytes go back.
WriteResult UpdateSharedFile(const std::string &target, std::string_view bytes) {
  const int fd = ::open(target.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0)
    return SystemFailure(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Fail(WriteFailure::NotRegular);
  }
  std::string saved(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < saved.size()) {
    const ssize_t n = ::pread(fd, saved.data() + got, saved.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  saved.resize(got);
  if (bytes.size() > saved.size()) {
    const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
      ::close(fd);
      return SystemFailure(reserved);
    }
  }
  const auto put = [fd](std::string_view content) {
    if (::lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, content))
      return false;
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0)
      return false;
    errno = 0;
    if (gCalls.fsync(fd) != 0) {
      if (errno == 0)
        errno = EIO;
      return false;
    }
    return true;
  };
  bool ok = put(bytes);
  int error = errno;
  if (!ok) {
    // Put back by the real calls: the fault may have been one a test made.
    const FileWriterCalls faulty = gCalls;
    gCalls = RealFileWriterCalls();
    put(saved);
    gCalls = faulty;
  }
  if (!CloseChecked(fd) && ok) {
    ok = false;
    error = errno;
  }
  return ok ? WriteResult{} : SystemFailure(error);
}

// Writes into a pipe, a character device or a terminal where it is.
WriteResult WriteInto(const std::string &target, std::string_view bytes) {
  int fd;
  do
    fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return SystemFailure(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
    ::close(fd);
    return Fail(WriteFailure::NotRegular);
  }
  bool ok = WriteAll(fd, bytes);
  int error = errno;
  if (!CloseChecked(fd) && ok) {
    ok = false;
    error = errno;
  }
  return ok ? WriteResult{} : SystemFailure(error);
}

} // namespace

void DeferFlush(bool defer) {
  gDeferFlush = defer;
}

FileWriterCalls RealFileWriterCalls() {
  return {RealWrite, RealFsync, RealClose, true};
}

void SetFileWriterCallsForTesting(const FileWriterCalls *calls) {
  gCalls = calls ? *calls : RealFileWriterCalls();
}

WriteResult WriteFileAtomically(const std::string &path, std::string_view bytes,
                                const WriteOptions &options) {
  if (path.empty() || path.back() == '/')
    return Fail(WriteFailure::NoName);
  if (path.find('\0') != std::string::npos)
    return Fail(WriteFailure::NulInName);

  // A pipe or a device is opened by the name given, so that the kernel
  // follows links as it would for any program: bash's >(…) names a pipe by
  // /dev/fd/N, a link to a link whose text is no path at all.
  if (struct stat followed{}; options.intoSpecialFiles && ::stat(path.c_str(), &followed) == 0 &&
                              (S_ISFIFO(followed.st_mode) || S_ISCHR(followed.st_mode)))
    return WriteInto(path, bytes);

  // A link is followed, one step at a time, so that each step can be
  // judged as the kernel would judge it; the link itself stays.
  std::string target = path;
  struct stat st {};
  bool exists = false;
  int hops = 0;
  for (;; ++hops) {
    if (::lstat(target.c_str(), &st) != 0) {
      const int error = errno;
      if (error == ENOENT && hops > 0)
        return Fail(WriteFailure::DanglingLink);
      if (error == ENOENT || error == ENOTDIR)
        break; // the folder is judged when the file is made
      if (error == ELOOP)
        return Fail(WriteFailure::LinkLoop);
      return SystemFailure(error);
    }
    if (!S_ISLNK(st.st_mode)) {
      exists = true;
      break;
    }
    if (hops >= 40)
      return Fail(WriteFailure::LinkLoop);
    const std::string folder = FolderOf(target);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH) &&
        st.st_uid != ::geteuid() && st.st_uid != dir.st_uid)
      return Fail(WriteFailure::UnsafeLink);
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size())
      return SystemFailure(n < 0 ? errno : ENAMETOOLONG);
    link.resize(static_cast<std::size_t>(n));
    target = link.front() == '/' ? link : folder + "/" + link;
  }

  if (exists && S_ISDIR(st.st_mode))
    return Fail(WriteFailure::IsFolder);
  if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) && options.intoSpecialFiles)
    return WriteInto(target, bytes);
  if (exists && !S_ISREG(st.st_mode))
    return Fail(WriteFailure::NotRegular);
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    // A read-only disk is no fault of the file.
    const int error = errno;
    if (error == EROFS)
      return SystemFailure(EROFS);
    // Where the folder is closed too, that is what the user must change.
    if (::faccessat(AT_FDCWD, FolderOf(target).c_str(), W_OK | X_OK, AT_EACCESS) != 0 &&
        errno == EACCES)
      return Fail(WriteFailure::FolderReadOnly, EACCES);
    return Fail(WriteFailure::ReadOnlyFile, error);
  }
  if (exists && st.st_nlink > 1)
    return UpdateSharedFile(target, bytes);
  return Replace(target, bytes, exists ? &st : nullptr);
}

} // namespace zub
