#include "FileWrite.h"

#include "FileWriteInternal.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zub {

namespace filewrite {

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

} // namespace

FileWriterCalls gCalls = RealFileWriterCalls();

std::atomic<bool> gDeferFlush = false;

std::string FolderOf(const std::string &path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

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

bool SyncChecked(int fd) {
  errno = 0;
  if (gCalls.fsync(fd) == 0)
    return true;
  if (errno == 0)
    errno = EIO;
  return false;
}

bool CloseChecked(int fd) {
  errno = 0;
  if (gCalls.close(fd) == 0)
    return true;
  if (errno == 0)
    errno = EIO;
  return false;
}

} // namespace filewrite

void DeferFlush(bool defer) {
  filewrite::gDeferFlush = defer;
}

FileWriterCalls RealFileWriterCalls() {
  using namespace filewrite;
  return {RealWrite, RealFsync, RealClose, true};
}

void SetFileWriterCallsForTesting(const FileWriterCalls *calls) {
  filewrite::gCalls = calls ? *calls : RealFileWriterCalls();
}

WriteResult WriteWholeFile(const std::string &path, std::string_view bytes,
                           const WriteOptions &options) {
  using namespace filewrite;
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
  std::string target;
  struct stat st {};
  bool exists = false;
  if (const WriteResult followed = FollowLinks(path, target, st, exists); !followed)
    return followed;

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
