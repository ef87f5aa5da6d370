#pragma once
// Inside the file writer, shared by its parts; not for use outside this
// folder. WriteWholeFile (FileWrite.cpp) judges the name and what is there
// and picks the way to write:
//   LinkPolicy.cpp      follows symbolic links one step at a time, refusing
//                       the ones the kernel would not follow for us;
//   ReplaceFile.cpp     a new file by an unnamed or a named temporary file,
//                       renamed over the target;
//   TemporaryFiles.cpp  the named temporaries that exist right now, removed
//                       when a signal ends the program;
//   InPlaceWrite.cpp    a file with several names, a pipe or a device,
//                       written where it is.

#include "FileWrite.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <string_view>
#include <sys/stat.h>

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

// The folder `path` is in: "." for a bare name, "/" for one at the root.
std::string FolderOf(const std::string &path);

// Hands every byte to `fd`. False with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

// Closes `fd`. False with errno set when the close reports a failure (a
// network file system reports a failed write only then).
bool CloseChecked(int fd);

// Flushes `fd` to the disk. False with errno set (EIO when the call gave
// none) when the flush fails.
bool SyncChecked(int fd);

// Follows the links from `path` one step at a time, each step judged as
// the kernel would judge it. On success `target` is the name reached,
// `exists` says whether something is there, and `st` what it is (lstat).
// Refuses a dangling link, a loop, and in a sticky world-writable folder a
// link owned by neither the writer nor the folder's owner.
WriteResult FollowLinks(const std::string &path, std::string &target, struct stat &st,
                        bool &exists);

// Writes the regular file `target` anew, by an unnamed temporary file where
// the file system has them, else a named one; `old` is the file replaced,
// whose owner and mode the new one keeps, or null for a new file.
WriteResult Replace(const std::string &target, std::string_view bytes, const struct stat *old);

// Writes `bytes` into the existing regular file `target` itself, so that
// every name of a file with several sees them.
WriteResult UpdateSharedFile(const std::string &target, std::string_view bytes);

// Writes into a pipe, a character device or a terminal where it is.
WriteResult WriteInto(const std::string &target, std::string_view bytes);

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

  // Call right before the system call that makes `name`; Made() right
  // after. False (errno EINTR) when the program is ending.
  bool Begin(const std::string &name);
  void Made();
  void Release();

private:
  InFlight *slot_ = nullptr;
};

// A hidden name in `folder` of our own, short so that a target name as long
// as the system allows leaves room for it.
std::string TemporaryNameIn(const std::string &folder);

} // namespace zub::filewrite
