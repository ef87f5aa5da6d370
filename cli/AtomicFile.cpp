#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace zub::cli {

namespace {

std::atomic<bool> gDeferFlush = false;

// A sentence of our own for the failures a user can do something about,
// else the system's description.
std::string ErrorText(int error) {
  switch (error) {
  case ENOSPC:
    return "the disk is full";
  case EDQUOT:
    return "the disk quota is used up";
  case EROFS:
    return "the disk is read-only";
  case ENAMETOOLONG:
    return "the file name is too long";
  case EACCES:
  case EPERM:
    return "permission denied";
  case EFBIG:
    return "the file is larger than allowed";
  case EIO:
    return "the disk reported an input/output error";
  default:
    break;
  }
  const char *description = error != 0 ? strerrordesc_np(error) : nullptr;
  return std::string("writing failed: ") + (description ? description : "unknown error");
}

std::string FolderOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The most telling reason for a failed write into `folder`; `error` is
// errno right after the failing call.
std::string WriteFailureReason(const std::string &folder, int error) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0)
    return "the folder does not exist";
  if (!S_ISDIR(st.st_mode))
    return "what should be its folder is not a folder";
  // These say more than the permission bits below: a read-only disk also
  // makes its folders unwritable.
  if (error == ENOSPC || error == EDQUOT || error == EROFS || error == ENAMETOOLONG)
    return ErrorText(error);
  if (::access(folder.c_str(), W_OK) != 0)
    return "no permission to write in the folder";
  return ErrorText(error);
}

pid_t Pid() {
  static const pid_t pid = ::getpid();
  return pid;
}

// The temporary files being written, so that an interrupt or a termination
// (Ctrl-C in a long batch) removes them instead of leaving hidden files
// behind. Fixed slots: a signal handler may only read memory that is there.
struct InFlight {
  std::atomic<int> state = 0; // 0 free, 1 being filled in, 2 names a temporary file
  char path[PATH_MAX] = {};
};
constexpr int kInFlightSlots = 512; // more than a batch's threads
InFlight gInFlight[kInFlightSlots];

// Files being created right now: the handler waits for them, as another
// thread may be between naming its file and creating it.
std::atomic<int> gCreating = 0;
std::atomic<bool> gEnding = false;

extern "C" void RemoveTemporariesAndDie(int signal) {
  gEnding = true;
  // At most about 100 ms: a creation is a single open().
  for (int wait = 0; wait < 1000 && gCreating.load() > 0; ++wait) {
    const timespec tenth{0, 100000};
    ::nanosleep(&tenth, nullptr);
  }
  for (InFlight &slot : gInFlight)
    if (slot.state.load() == 2)
      ::unlink(slot.path);
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
      if (::sigaction(signal, nullptr, &now) != 0 || now.sa_handler != SIG_DFL)
        continue;
      struct sigaction ours {};
      ours.sa_handler = RemoveTemporariesAndDie;
      sigemptyset(&ours.sa_mask);
      ::sigaction(signal, &ours, nullptr);
    }
  });
}

// The slot that names `path` until Forget(); nothing when all are taken.
InFlight *Remember(const std::string &path) {
  if (path.size() >= PATH_MAX)
    return nullptr;
  CatchEndingSignals();
  for (InFlight &slot : gInFlight) {
    int expected = 0;
    if (slot.state.compare_exchange_strong(expected, 1)) {
      std::memcpy(slot.path, path.c_str(), path.size() + 1);
      slot.state.store(2);
      return &slot;
    }
  }
  return nullptr;
}

void Forget(InFlight *slot) {
  if (slot)
    slot->state.store(0);
}

// A new, empty file in `folder` under a short name of its own, so that a
// target name as long as the system allows leaves room for it.
// The name is remembered before the file exists, so that no moment leaves
// a file the signal handler does not know.
int CreateTemporary(const std::string &folder, std::string &name, InFlight *&slot) {
  static std::atomic<int> counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + "/.zubqr-" + std::to_string(Pid()) + "-" + std::to_string(++counter) + ".tmp";
    ++gCreating;
    if (gEnding) { // the program is ending: no new file
      --gCreating;
      errno = EINTR;
      return -1;
    }
    slot = Remember(name);
    // 0666 less the umask, as any new file gets.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    --gCreating;
    if (fd >= 0)
      return fd;
    const int error = errno;
    Forget(slot);
    slot = nullptr;
    errno = error;
    if (error != EEXIST)
      return -1;
  }
  return -1;
}

bool FillAndSync(int fd, const char *data, std::size_t size, bool keepMode, mode_t mode) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      if (n == 0)
        errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  if (keepMode && ::fchmod(fd, mode) != 0)
    return false;
  return gDeferFlush || ::fsync(fd) == 0;
}

} // namespace

bool WriteFileAtomically(const std::string &path, const void *data, std::size_t size,
                         std::string &reason) {
  if (path.empty() || path.back() == '/') {
    reason = "no file name was given";
    return false;
  }
  // The system cuts a name at its first NUL and would write another file.
  if (path.find('\0') != std::string::npos) {
    reason = "the file name holds a NUL character";
    return false;
  }
  std::string target = path;
  // A link is followed: the file it names is replaced, the link stays.
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char *real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    reason = "a folder of that name is in the way";
    return false;
  }
  if (exists && !S_ISREG(existing.st_mode)) {
    reason = "it is not a regular file (a device, a pipe or a socket), and is left alone";
    return false;
  }
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    reason = "the file there is read-only, and is left alone";
    return false;
  }

  const std::string folder = FolderOf(target);
  std::string temporary;
  InFlight *slot = nullptr;
  const int fd = CreateTemporary(folder, temporary, slot);
  if (fd < 0) {
    reason = WriteFailureReason(FolderOf(path), errno);
    return false;
  }
  bool ok =
      FillAndSync(fd, static_cast<const char *>(data), size, exists, existing.st_mode & 07777);
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok)
    ::unlink(temporary.c_str());
  Forget(slot);
  if (!ok) {
    reason = WriteFailureReason(FolderOf(path), error);
    return false;
  }
  // The new name itself lives in the folder; have the disk hold it too.
  // Some file systems cannot sync a folder, which is no failure of the file.
  if (gDeferFlush) {
    reason.clear();
    return true;
  }
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  reason.clear();
  return true;
}

void DeferFlush(bool defer) {
  gDeferFlush = defer;
}

bool FlushDeferred(const std::string &folder, std::string &reason) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::string("cannot open the folder to flush it: ") + strerrordesc_np(errno);
    return false;
  }
  const bool ok = ::syncfs(fd) == 0;
  if (!ok)
    reason = "the disk did not take the files: " + ErrorText(errno);
  ::close(fd);
  return ok;
}

} // namespace zub::cli
