#include "Trust.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zub {

namespace {

bool OursOrRoot(const struct stat &st) {
  return st.st_uid == ::geteuid() || st.st_uid == 0;
}

bool OthersMayWrite(const struct stat &st) {
  return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string Parent(const std::string &path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0)
    return "/";
  return path.substr(0, slash);
}

} // namespace

TrustCheck ModuleTrust(const std::string &file, std::string &real) {
  real.clear();
  char *resolved = ::realpath(file.c_str(), nullptr);
  if (!resolved)
    return {Distrust::Missing, file};
  real = resolved;
  std::free(resolved);
  struct stat st {};
  if (::stat(real.c_str(), &st) != 0)
    return {Distrust::Missing, real};
  if (!OursOrRoot(st))
    return {Distrust::ForeignOwner, real};
  if (OthersMayWrite(st))
    return {Distrust::OthersMayWrite, real};
  // Every folder up to the root: whoever may change one may put another
  // module, or another folder, in its place.
  bool own = true; // the module's own folder
  for (std::string folder = Parent(real);; folder = Parent(folder), own = false) {
    if (::stat(folder.c_str(), &st) != 0)
      return {Distrust::Missing, folder};
    if (!OursOrRoot(st))
      return {Distrust::ForeignOwner, folder};
    if (OthersMayWrite(st) && (own || (st.st_mode & S_ISVTX) == 0))
      return {Distrust::OthersMayWrite, folder};
    if (folder == "/")
      break;
  }
  return {};
}

TrustCheck OwnFolder(const std::string &folder) {
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0)
    return {Distrust::Missing, folder};
  if (!S_ISDIR(st.st_mode))
    return {Distrust::NotFolder, folder};
  if (st.st_uid != ::geteuid())
    return {Distrust::ForeignOwner, folder};
  if (OthersMayWrite(st))
    return {Distrust::OthersMayWrite, folder};
  if ((st.st_mode & 077) != 0)
    return {Distrust::OthersMayEnter, folder};
  return {};
}

TrustCheck MakeOwnFolder(const std::string &folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return {Distrust::Missing, folder};
  TrustCheck check = OwnFolder(folder);
  if (check.why != Distrust::OthersMayWrite && check.why != Distrust::OthersMayEnter)
    return check;
  // Ours, but made under a wider umask or by hand: narrowed through the
  // folder itself, never a link put in its place.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return check;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && ::fchmod(fd, 0700) == 0)
    check = OwnFolder(folder);
  ::close(fd);
  return check;
}

} // namespace zub
