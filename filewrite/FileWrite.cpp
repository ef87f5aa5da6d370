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
// The blocks for the whole file, past its end too, without changing its
// size: a reservation that fails half-way leaves no end of zeros.
int RealReserve(int fd, off_t size) {
  return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0 ? 0 : errno;
}

} // namespace

FileWriterCalls gCalls = RealFileWriterCalls();

std::atomic<bool> gDeferFlush = false;

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
  return {RealWrite, RealFsync, RealClose, true, RealReserve};
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

  // The name is walked one part at a time, so that each link on the way is
  // judged as the kernel would judge it, and what is there is seen before
  // anything is opened; the links themselves stay.
  Place place;
  if (const WriteResult found = FindPlace(path, place); !found)
    return found;
  const struct stat &st = place.st;
  if (!place.exists)
    return Replace(place, bytes, nullptr);
  if (S_ISDIR(st.st_mode))
    return Fail(WriteFailure::IsFolder);
  // Opened without O_CREAT, a pipe or a file of another user's in a shared
  // folder passes the kernel's own check; it is made here.
  if (PlantedByAnother(st, place.folderStat))
    return Fail(WriteFailure::OthersFile);
  if ((S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) && options.intoSpecialFiles)
    return WriteInto(place, bytes);
  if (!S_ISREG(st.st_mode))
    return Fail(WriteFailure::NotRegular);
  const int folder = place.folder.get();
  if (::faccessat(folder, place.name.c_str(), W_OK, AT_EACCESS) != 0) {
    // A read-only disk is no fault of the file.
    const int error = errno;
    if (error == EROFS)
      return SystemFailure(EROFS);
    // Where the folder is closed too, that is what the user must change.
    if (::faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0 && errno == EACCES)
      return Fail(WriteFailure::FolderReadOnly, EACCES);
    return Fail(WriteFailure::ReadOnlyFile, error);
  }
  if (st.st_nlink > 1)
    return UpdateSharedFile(place, bytes);
  return Replace(place, bytes, &st);
}

} // namespace zub
