#include "FileWriteInternal.h"

#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace zub::filewrite {

namespace {

constexpr int kMostLinks = 40;              // as many as the kernel follows in one name
constexpr long kProcessFileSystem = 0x9fa0; // PROC_SUPER_MAGIC

// Adds the parts of `text` to the parts still to walk, `todo`, a stack
// whose top is walked next. A text that ends in "/" names a folder: its
// last part is then ".", so that it is never taken for a file's name.
void PushParts(const std::string &text, std::vector<std::string> &todo) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('/', start);
    if (end == std::string::npos)
      end = text.size();
    if (end > start)
      parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (!text.empty() && text.back() == '/')
    parts.emplace_back(".");
  todo.insert(todo.end(), parts.rbegin(), parts.rend());
}

// `name` in the folder `at`, opened as a path only: nothing is read or
// written through it, a pipe does not wait, and a link is not followed.
Descriptor OpenPart(int at, const char *name) {
  int fd;
  do
    fd = ::openat(at, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  return Descriptor(fd);
}

// /proc's links to open files (/dev/stdout leads there, bash's >(…) names
// one) have a text that names no file when the file is a pipe or a socket;
// only the kernel can follow them. They stand in a folder of one process.
bool OnProcessFileSystem(int folder) {
  struct statfs fs {};
  return ::fstatfs(folder, &fs) == 0 && fs.f_type == kProcessFileSystem;
}

WriteResult Settle(Place &place, Descriptor folder, const std::string &name) {
  if (::fstat(folder.get(), &place.folderStat) != 0)
    return SystemFailure(errno);
  place.folder = std::move(folder);
  place.name = name;
  return {};
}

} // namespace

WriteResult FindPlace(const std::string &path, Place &place) {
  std::vector<std::string> todo;
  PushParts(path, todo);
  if (todo.empty())
    return Fail(WriteFailure::NoName);
  Descriptor here = OpenPart(AT_FDCWD, path.front() == '/' ? "/" : ".");
  if (!here)
    return SystemFailure(errno);
  int links = 0;
  // The last part came from a link's text: missing, it is a link to nothing.
  bool lastFromLink = false;
  while (!todo.empty()) {
    const std::string part = std::move(todo.back());
    todo.pop_back();
    const bool last = todo.empty();
    Descriptor next = OpenPart(here.get(), part.c_str());
    if (!next) {
      const int error = errno;
      if (error == ENOENT && last) {
        if (lastFromLink)
          return Fail(WriteFailure::DanglingLink);
        place.exists = false;
        return Settle(place, std::move(here), part);
      }
      if (error == ENOENT)
        return Fail(WriteFailure::FolderMissing);
      // A folder this user may not enter, a part longer than the system takes.
      return SystemFailure(error);
    }
    struct stat st {};
    if (::fstat(next.get(), &st) != 0)
      return SystemFailure(errno);

    if (S_ISLNK(st.st_mode)) {
      if (++links > kMostLinks)
        return Fail(WriteFailure::LinkLoop);
      struct stat folder {};
      if (::fstat(here.get(), &folder) != 0)
        return SystemFailure(errno);
      if (PlantedByAnother(st, folder))
        return Fail(last ? WriteFailure::UnsafeLink : WriteFailure::UnsafeFolderLink);
      if (last && OnProcessFileSystem(here.get())) {
        struct stat led {};
        if (::fstatat(here.get(), part.c_str(), &led, 0) == 0 &&
            (S_ISFIFO(led.st_mode) || S_ISCHR(led.st_mode) || S_ISSOCK(led.st_mode))) {
          place.exists = true;
          place.processLink = true;
          place.st = led;
          return Settle(place, std::move(here), part);
        }
      }
      // The text of the very link judged above, not of one put in its place.
      std::string text(PATH_MAX, '\0');
      const ssize_t n = ::readlinkat(next.get(), "", text.data(), text.size());
      if (n < 0 || static_cast<std::size_t>(n) >= text.size())
        return SystemFailure(n < 0 ? errno : ENAMETOOLONG);
      if (n == 0)
        return Fail(last ? WriteFailure::DanglingLink : WriteFailure::FolderMissing);
      text.resize(static_cast<std::size_t>(n));
      if (text.front() == '/') {
        here = OpenPart(AT_FDCWD, "/");
        if (!here)
          return SystemFailure(errno);
      }
      lastFromLink = lastFromLink || last;
      PushParts(text, todo);
      continue;
    }

    if (last) {
      place.exists = true;
      place.st = st;
      return Settle(place, std::move(here), part);
    }
    if (!S_ISDIR(st.st_mode))
      return Fail(WriteFailure::FolderNotFolder);
    here = std::move(next);
  }
  return Fail(WriteFailure::NoName); // not reached: the last part returns
}

} // namespace zub::filewrite
