#include "FileWriteInternal.h"

#include <climits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zub::filewrite {

WriteResult FollowLinks(const std::string &path, std::string &target, struct stat &st,
                        bool &exists) {
  target = path;
  exists = false;
  int hops = 0;
  for (;; ++hops) {
    if (::lstat(target.c_str(), &st) != 0) {
      const int error = errno;
      if (error == ENOENT && hops > 0)
        return Fail(WriteFailure::DanglingLink);
      if (error == ENOENT || error == ENOTDIR)
        break; // the folder is judged when the file is made
      if (error == ELOOP)
        return Fail(WriteFailure::LinkLoop);
      return SystemFailure(error);
    }
    if (!S_ISLNK(st.st_mode)) {
      exists = true;
      break;
    }
    if (hops >= 40)
      return Fail(WriteFailure::LinkLoop);
    const std::string folder = FolderOf(target);
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH) &&
        st.st_uid != ::geteuid() && st.st_uid != dir.st_uid)
      return Fail(WriteFailure::UnsafeLink);
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size())
      return SystemFailure(n < 0 ? errno : ENAMETOOLONG);
    link.resize(static_cast<std::size_t>(n));
    target = link.front() == '/' ? link : folder + "/" + link;
  }
  return {};
}

} // namespace zub::filewrite
