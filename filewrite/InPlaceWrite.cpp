#include "FileWriteInternal.h"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zub::filewrite {

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
    return SyncChecked(fd);
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

} // namespace zub::filewrite
