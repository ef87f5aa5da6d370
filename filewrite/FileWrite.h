#pragma once
// Writing a file so that it appears complete or not at all, in plain POSIX:
// the command line may use it before, or without, loading Qt. This is the
// one writer of the program's files: the command line calls it directly,
// the window through the picture files (ImageFile.h). It offers the write
// itself (WriteWholeFile), why one failed (WriteResult), the batch's
// deferred flush, and the calls tests may make fail.

#include <string>
#include <string_view>
#include <sys/types.h>

namespace zub {

// Why a write failed; System carries the system's error number.
enum class WriteFailure {
  None,
  NoName,           // empty, or a name that ends in "/"
  NulInName,        // the system would cut the name at the NUL
  FolderMissing,    // the folder it should go in does not exist
  FolderNotFolder,  // what should be its folder is something else
  FolderReadOnly,   // no permission to make a file in the folder
  IsFolder,         // a folder of that name is in the way
  NotRegular,       // a device, pipe or socket that is not written into
  ReadOnlyFile,     // an existing file this user may not write
  DanglingLink,     // a symbolic link to nothing
  LinkLoop,         // symbolic links that lead round in a circle
  UnsafeLink,       // another user's link in a shared sticky folder
  UnsafeFolderLink, // the same, standing for a folder on the way
  OthersFile,       // another user's file or pipe in a shared sticky folder
  System,           // anything else: see `error`
  NothingToWrite,   // no bytes were made (a picture the format cannot hold)
};

struct WriteResult {
  WriteFailure failure = WriteFailure::None;
  int error = 0; // errno of the failing call, where there was one
  explicit operator bool() const { return failure == WriteFailure::None; }
};

struct WriteOptions {
  // A pipe, a character device or a terminal of that name is written into
  // where it is, as a shell's ">" would; otherwise it is refused. The
  // command line wants this; the window must never wait on a pipe.
  bool intoSpecialFiles = false;
};

// Writes `bytes` to `path`.
//
// A regular file (new or existing) is written to an unnamed temporary file
// beside it, or where the file system has none, a hidden named one removed
// again on SIGINT, SIGTERM, SIGHUP and SIGQUIT; every write and the flush to
// the disk are checked, and only then does it take the target's name. An
// existing file keeps its mode and, where the writer may, its owner and
// group; the set-user-ID, set-group-ID and sticky bits are dropped when the
// owner cannot be kept. A file with several names (hard links) is updated in
// place, so every name sees the new picture, as cp does: the space is
// reserved first, only the old bytes the picture covers are kept aside, a
// failure puts them and the old size back, and a signal that ends the
// program waits until the file is whole.
// The name is walked one part at a time and each symbolic link on the way,
// a folder's or the file's, is followed and stays, except a dangling link,
// a loop, and in a sticky world-writable folder a link owned by neither the
// writer nor the folder's owner (the kernel's protected-symlinks rule).
// There, too, an existing file, pipe or device of such another user is
// refused (the protected-FIFO and protected-regular rules), before anything
// is opened. A folder is refused.
WriteResult WriteWholeFile(const std::string &path, std::string_view bytes,
                           const WriteOptions &options = {});

// A batch writes thousands of files: flushing each one and its folder to
// the disk would cost more than making it. With the flush deferred, each
// file still appears complete or not at all (the rename is atomic), and the
// batch has the disk hold all of them at once (syncfs) before it reports
// them written. Applies to every thread.
void DeferFlush(bool defer);

// The system calls the writer makes on the file, for tests to make them
// fail. `unnamedTemporary` false makes the writer use a named temporary
// file even where the file system offers an unnamed one.
struct FileWriterCalls {
  ssize_t (*write)(int fd, const void *data, size_t size);
  int (*fsync)(int fd);
  int (*close)(int fd);
  bool unnamedTemporary = true;
  // Reserves the disk space for `size` bytes of the file, before a file of
  // several names is written in place: 0, or the error number.
  int (*reserve)(int fd, off_t size) = nullptr;
};
// The real calls.
FileWriterCalls RealFileWriterCalls();
// nullptr restores the real calls.
void SetFileWriterCallsForTesting(const FileWriterCalls *calls);

} // namespace zub
