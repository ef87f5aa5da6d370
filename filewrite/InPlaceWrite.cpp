#include "FileWriteInternal.h"

#include <algorithm>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zub::filewrite {

namespace {

bool SameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The first `size` bytes of `fd` into `bytes`. False with errno set.
bool ReadStart(int fd, std::string &bytes, std::size_t size) {
  bytes.assign(size, '\0');
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd, bytes.data() + got, size - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    if (n == 0)
      break; // shorter than it was a moment ago: what is there is kept
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return true;
}

// Puts the old start `start` back and gives the file its old `size` again,
// as well as the disk lets it. By the real calls: the fault may have been
// one a test made.
void PutBack(int fd, std::string_view start, off_t size) {
  std::size_t done = 0;
  while (done < start.size()) {
    const ssize_t n =
        ::pwrite(fd, start.data() + done, start.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  [[maybe_unused]] const int cut = ::ftruncate(fd, size);
  ::fsync(fd);
}

} // namespace

// Every name of a file with several sees the new bytes: they go into the
// file itself, complete or not at all.
//
// Of the old content only the part the new picture covers is kept, in
// memory: at most as many bytes as the picture, which is in memory already,
// however large the file (a sparse terabyte is no more trouble than a
// kilobyte). The part beyond stays on the disk, untouched until the file
// is cut to its new size, the last change, made only once the disk holds
// the new bytes. Space is reserved first, without growing the file, so a
// full disk mostly fails before a byte changes; any failure after puts the
// old start and size back. A signal that ends the program waits until the
// file is whole (InPlaceUpdate).
WriteResult UpdateSharedFile(const Place &place, std::string_view bytes) {
  // Not waiting on a pipe put in its place meanwhile: it is opened without
  // blocking, and used only once it is known to be the file found.
  Descriptor file(::openat(place.folder.get(), place.name.c_str(),
                           O_RDWR | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!file)
    return SystemFailure(errno);
  const int fd = file.get();
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return SystemFailure(errno);
  if (!S_ISREG(st.st_mode))
    return Fail(WriteFailure::NotRegular);
  if (!SameFile(st, place.st))
    return SystemFailure(EAGAIN); // swapped under the name this instant
  if (const int flags = ::fcntl(fd, F_GETFL);
      flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    return SystemFailure(errno);

  const off_t oldSize = st.st_size;
  const std::size_t newSize = bytes.size();
  const bool grows = static_cast<off_t>(newSize) > oldSize;
  const bool shrinks = static_cast<off_t>(newSize) < oldSize;
  std::string saved;
  if (!ReadStart(fd, saved, std::min(newSize, static_cast<std::size_t>(oldSize))))
    return SystemFailure(errno);
  if (grows && gCalls.reserve) {
    const int reserved = gCalls.reserve(fd, static_cast<off_t>(newSize));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != ENOSYS && reserved != EINVAL) {
      // A reservation by writing may have grown the file before it failed.
      [[maybe_unused]] const int cut = ::ftruncate(fd, oldSize);
      return SystemFailure(reserved);
    }
  }

  InPlaceUpdate update;
  if (!update.Begin())
    return SystemFailure(EINTR);
  bool ok = ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, bytes);
  bool cut = false;
  if (ok && shrinks) {
    // The disk holds the new bytes before the old end goes: a disk that
    // fails is found while the old picture can still be put back.
    ok = gDeferFlush || SyncChecked(fd);
    if (ok) {
      ok = ::ftruncate(fd, static_cast<off_t>(newSize)) == 0;
      cut = ok;
    }
  }
  if (ok && !gDeferFlush)
    ok = SyncChecked(fd);
  int error = errno;
  // Once cut, the new picture is whole in the file: a flush failing then
  // is reported, and leaves it so.
  if (!ok && !cut)
    PutBack(fd, saved, oldSize);
  update.End();
  if (!CloseChecked(file.Release()) && ok) {
    ok = false;
    error = errno;
  }
  return ok ? WriteResult{} : SystemFailure(error);
}

// Writes into a pipe, a character device or a terminal where it is.
WriteResult WriteInto(const Place &place, std::string_view bytes) {
  // A link of /proc's is followed by the kernel, which alone can; any
  // other link was followed by the walk.
  const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | (place.processLink ? 0 : O_NOFOLLOW);
  int fd;
  do
    fd = ::openat(place.folder.get(), place.name.c_str(), flags);
  while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return SystemFailure(errno);
  Descriptor file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)))
    return Fail(WriteFailure::NotRegular);
  if (!SameFile(st, place.st))
    return SystemFailure(EAGAIN);
  bool ok = WriteAll(fd, bytes);
  int error = errno;
  if (!CloseChecked(file.Release()) && ok) {
    ok = false;
    error = errno;
  }
  return ok ? WriteResult{} : SystemFailure(error);
}

} // namespace zub::filewrite
