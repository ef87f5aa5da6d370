#pragma once
// Inside the file writer, shared by its parts; not for use outside this
// folder. WriteWholeFile (FileWrite.cpp) judges the name and what is there
// and picks the way to write:
//   LinkPolicy.cpp      walks the name one folder and one link at a time,
//                       refusing the links the kernel would not follow for
//                       us, and ends in the folder the file is in, open;
//   ReplaceFile.cpp     a new file by an unnamed or a named temporary file,
//                       renamed over the target;
//   TemporaryFiles.cpp  the named temporaries that exist right now, removed
//                       when a signal ends the program, and the in-place
//                       updates such a signal waits for;
//   InPlaceWrite.cpp    a file with several names, a pipe or a device,
//                       written where it is.
// Every call after the walk is made relative to the folder it opened, so
// that no one can swap a folder or a link under the name meanwhile.

#include "FileWrite.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zub::filewrite {

// The calls tests may make fail (SetFileWriterCallsForTesting).
extern FileWriterCalls gCalls;

// Flushing each file of a batch and its folder to the disk would cost more
// than making it; the batch flushes them all at once instead (DeferFlush).
extern std::atomic<bool> gDeferFlush;

inline WriteResult Fail(WriteFailure failure, int error = 0) {
  return {failure, error};
}

inline WriteResult SystemFailure(int error) {
  return {WriteFailure::System, error != 0 ? error : EIO};
}

// An open descriptor, closed when this goes.
class Descriptor {
public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor &operator=(Descriptor &&other) noexcept {
    if (this != &other)
      Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  ~Descriptor() { Reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Hands the descriptor over; this one no longer closes it.
  int Release() { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = fd;
  }

private:
  int fd_ = -1;
};

// In a folder with the sticky bit that everyone may write (/tmp), what
// belongs to neither this user nor the folder's owner was put there by
// someone else: the kernel follows no such link (protected_symlinks) and
// opens no such pipe or file for a writer that would create it
// (protected_fifos, protected_regular).
inline bool PlantedByAnother(const struct stat &thing, const struct stat &folder) {
  return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && thing.st_uid != ::geteuid() &&
         thing.st_uid != folder.st_uid;
}

// Where a name leads.
struct Place {
  Descriptor folder;         // the folder the file is in, opened as a path
  struct stat folderStat {}; // what that folder is
  std::string name;          // the file's name in it, a single part
  bool exists = false;       // something is there under that name
  struct stat st {};         // what is there; not a link, except:
  bool processLink = false;  // a link of /proc to an open pipe, device or
                             // socket, which the kernel alone can open; `st`
                             // is then what it leads to
};

// Walks `path` one part at a time from the root or the working folder:
// each folder is opened without following a link, and each link, whether
// it stands for a folder or for the file, is judged as the kernel would
// judge it before its text is followed. Refuses a dangling link, a loop, a
// missing folder or one that is no folder, and in a sticky world-writable
// folder a link owned by neither the writer nor the folder's owner.
WriteResult FindPlace(const std::string &path, Place &place);

// Hands every byte to `fd`, carrying on where a write stopped short. False
// with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

// Closes `fd`. False with errno set when the close reports a failure (a
// network file system reports a failed write only then).
bool CloseChecked(int fd);

// Flushes `fd` to the disk. False with errno set (EIO when the call gave
// none) when the flush fails.
bool SyncChecked(int fd);

// Writes the regular file at `place` anew, by an unnamed temporary file
// where the file system has them, else a named one; `old` is the file
// replaced, whose owner and mode the new one keeps, or null for a new file.
WriteResult Replace(const Place &place, std::string_view bytes, const struct stat *old);

// Writes `bytes` into the existing regular file at `place` itself, so that
// every name of a file with several sees them.
WriteResult UpdateSharedFile(const Place &place, std::string_view bytes);

// Writes into the pipe, character device or terminal at `place` where it is.
WriteResult WriteInto(const Place &place, std::string_view bytes);

// Installs, once, the handler that removes the named temporary files and
// waits for the in-place updates when a signal ends the program (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT), where nobody else handles or ignores it.
void CatchEndingSignals();

// The signals that handler catches.
sigset_t EndingSignals();

struct InFlight;

// A named temporary file from just before it is made until it is gone or
// has become the target: while it is held, a signal that ends the program
// removes the file.
class TemporaryName {
public:
  TemporaryName() = default;
  TemporaryName(const TemporaryName &) = delete;
  TemporaryName &operator=(const TemporaryName &) = delete;
  ~TemporaryName() { Release(); }

  // Call right before the system call that makes `name` in the open
  // folder `folder`; Made() right after. False (errno EINTR) when the
  // program is ending.
  bool Begin(int folder, const std::string &name);
  void Made();
  void Release();

private:
  InFlight *slot_ = nullptr;
};

// An update of a file in place, from its first changed byte until the file
// is whole again: the new picture complete, or the old one put back. A
// signal that ends the program waits for it, on this thread by being held
// back, on any other in the handler.
class InPlaceUpdate {
public:
  InPlaceUpdate() = default;
  InPlaceUpdate(const InPlaceUpdate &) = delete;
  InPlaceUpdate &operator=(const InPlaceUpdate &) = delete;
  ~InPlaceUpdate() { End(); }

  // False (errno EINTR) when the program is ending: change nothing then.
  bool Begin();
  void End();

private:
  bool active_ = false;
  sigset_t before_{};
};

// A hidden name of our own for a temporary file, short so that a target
// name as long as the system allows leaves room for it.
std::string NewTemporaryName();

} // namespace zub::filewrite
