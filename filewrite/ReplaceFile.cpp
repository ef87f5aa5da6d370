#include "FileWriteInternal.h"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zub::filewrite {

namespace {

// The target's owner, group and mode given to the new file `fd`: owner and
// group where this user may set them (root, or a group of one's own), and
// the special bits only where both are kept.
bool KeepOwnerAndMode(int fd, const struct stat &old) {
  struct stat now {};
  if (::fstat(fd, &now) != 0)
    return false;
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
      ::fchown(fd, static_cast<uid_t>(-1), old.st_gid); // the group alone, where allowed
    if (::fstat(fd, &now) != 0)
      return false;
  }
  mode_t mode = old.st_mode & 07777;
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid)
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID | S_ISVTX);
  return ::fchmod(fd, mode) == 0;
}

// Fills the open new file `fd`, gives it the old file's owner and mode when
// there is one, and has the disk hold every byte.
bool Fill(int fd, std::string_view bytes, const struct stat *old) {
  if (!WriteAll(fd, bytes))
    return false;
  if (old && !KeepOwnerAndMode(fd, *old))
    return false;
  if (gDeferFlush)
    return true;
  return SyncChecked(fd);
}

void SyncFolder(int folder) {
  if (gDeferFlush)
    return;
  // Some file systems cannot sync a folder, which is no failure of the file.
  if (const int dir = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// Why a temporary file could not be made in the folder, which exists: the
// walk to it found it.
WriteResult FolderFailure(int error) {
  // These say more than the permission bits: a read-only disk also makes
  // its folders unwritable.
  if (error == ENOSPC || error == EDQUOT || error == EROFS || error == ENAMETOOLONG)
    return SystemFailure(error);
  if (error == EACCES || error == EPERM)
    return Fail(WriteFailure::FolderReadOnly, error);
  return SystemFailure(error);
}

// The new file by a named temporary file: made, filled, renamed over the
// target.
WriteResult ReplaceByNamedTemporary(const Place &place, std::string_view bytes,
                                    const struct stat *old) {
  const int folder = place.folder.get();
  TemporaryName guard;
  std::string name;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    name = NewTemporaryName();
    if (!guard.Begin(folder, name))
      return SystemFailure(EINTR);
    // 0666 less the umask, as any new file gets.
    fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    const int error = errno;
    guard.Made();
    if (fd < 0) {
      guard.Release();
      if (error != EEXIST)
        return FolderFailure(error);
    }
  }
  if (fd < 0)
    return SystemFailure(EEXIST);
  bool ok = Fill(fd, bytes, old);
  int error = errno;
  if (!CloseChecked(fd) && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::renameat(folder, name.c_str(), folder, place.name.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok)
    ::unlinkat(folder, name.c_str(), 0);
  guard.Release();
  if (!ok)
    return SystemFailure(error);
  SyncFolder(folder);
  return {};
}

// The new file by an unnamed temporary file, which nothing can leave
// behind: it gets a name only when complete, and keeps that name for the
// instant before it replaces the target. Unsupported (an old kernel, a file
// system without it, no /proc) is EOPNOTSUPP: try the named way.
WriteResult ReplaceByUnnamedTemporary(const Place &place, std::string_view bytes,
                                      const struct stat *old) {
#ifdef O_TMPFILE
  const int folder = place.folder.get();
  const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT)
      return SystemFailure(EOPNOTSUPP);
    return FolderFailure(error);
  }
  if (!Fill(fd, bytes, old)) {
    const int error = errno;
    ::close(fd);
    return SystemFailure(error);
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  TemporaryName guard;
  std::string name;
  bool linked = false;
  if (!old) {
    // A new file takes its name at once; only if one appeared meanwhile
    // does it go the way of a replacement.
    linked = ::linkat(AT_FDCWD, self.c_str(), folder, place.name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (!linked && errno != EEXIST) {
      ::close(fd);
      return SystemFailure(EOPNOTSUPP);
    }
  }
  if (!linked) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      name = NewTemporaryName();
      if (!guard.Begin(folder, name)) {
        ::close(fd);
        return SystemFailure(EINTR);
      }
      const bool made =
          ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
      const int error = errno;
      guard.Made();
      if (made)
        break;
      guard.Release();
      name.clear();
      if (error != EEXIST) {
        ::close(fd);
        return SystemFailure(EOPNOTSUPP);
      }
    }
    if (name.empty()) {
      ::close(fd);
      return SystemFailure(EEXIST);
    }
  }
  bool ok = CloseChecked(fd);
  int error = errno;
  if (ok && !linked && ::renameat(folder, name.c_str(), folder, place.name.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok)
    ::unlinkat(folder, linked ? place.name.c_str() : name.c_str(), 0);
  guard.Release();
  if (!ok)
    return SystemFailure(error);
  SyncFolder(folder);
  return {};
#else
  (void)place, (void)bytes, (void)old;
  return SystemFailure(EOPNOTSUPP);
#endif
}

} // namespace

WriteResult Replace(const Place &place, std::string_view bytes, const struct stat *old) {
  if (gCalls.unnamedTemporary) {
    const WriteResult unnamed = ReplaceByUnnamedTemporary(place, bytes, old);
    if (unnamed.failure != WriteFailure::System || unnamed.error != EOPNOTSUPP)
      return unnamed;
  }
  return ReplaceByNamedTemporary(place, bytes, old);
}

} // namespace zub::filewrite
