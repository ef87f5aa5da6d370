#pragma once

// Disks that misbehave, for the file writer's seam. One fills half-way: the
// first write takes half the bytes (and one more), the next finds no room.
// The other takes a part of every write and says so, as a pipe, a network
// disk or a write cut short by a signal may: nothing fails, a writer must
// carry on from where each write stopped.

#include "FileWrite.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace zub::test {

inline ssize_t WriteUntilDiskFull(int fd, const void *data, size_t size) {
  if (::lseek(fd, 0, SEEK_CUR) > 0) {
    errno = ENOSPC;
    return -1;
  }
  return ::write(fd, data, size / 2 + 1);
}

inline const FileWriterCalls kDiskFills = [] {
  FileWriterCalls calls = RealFileWriterCalls();
  calls.write = WriteUntilDiskFull;
  return calls;
}();

// A third of what is asked, at least one byte and at most 1000: even a
// small file takes several writes.
inline ssize_t WritePartOfEach(int fd, const void *data, size_t size) {
  return ::write(fd, data, std::min<size_t>(1000, std::max<size_t>(1, size / 3)));
}

inline const FileWriterCalls kShortWrites = [] {
  FileWriterCalls calls = RealFileWriterCalls();
  calls.write = WritePartOfEach;
  return calls;
}();

} // namespace zub::test
