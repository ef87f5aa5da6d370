#pragma once

// A disk that fills half-way, for the file writer's seam: the first write
// takes half the bytes (and one more), the next finds no room.

#include "FileWrite.h"

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

} // namespace zub::test
