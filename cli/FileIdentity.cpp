#include "FileIdentity.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zub::cli {

namespace {

std::string BaseOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string &folder, const std::string &name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// The folder as the system will find it: every link resolved, and where
// it does not exist yet, the resolved folder it will be made in and its
// name.
std::string ResolvedFolder(const std::string &folder, int depth = 0) {
  if (char *real = ::realpath(folder.c_str(), nullptr)) {
    std::string resolved = real;
    std::free(real);
    return resolved;
  }
  std::string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.ends_with('/'))
    trimmed.pop_back();
  const std::string parent = FolderOf(trimmed);
  const std::string name = BaseOf(trimmed);
  if (parent == trimmed || depth > PATH_MAX / 2)
    return trimmed;
  const std::string above = ResolvedFolder(parent, depth + 1);
  if (name.empty() || name == ".")
    return above;
  if (name == "..")
    return FolderOf(above);
  return Join(above, name);
}

// The path a file named `name` in the resolved `folder` is made at: a
// dangling link there leads on to where it points.
std::string PathOnceMade(std::string folder, std::string name) {
  std::string path = Join(folder, name);
  // The kernel's own limit of links on one path.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
      return path;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link)
      return path;
    const std::string to(link, static_cast<std::size_t>(n));
    const std::string next = to.starts_with('/') ? to : Join(folder, to);
    folder = ResolvedFolder(FolderOf(next));
    name = BaseOf(next);
    path = Join(folder, name);
  }
  return path;
}

// FNV-1a: identities are compared by this first, and by their words only
// where two hashes agree. `h` carries on from the hash of a text before.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t Hash(std::string_view text, std::uint64_t h = kHashStart) {
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h;
}

} // namespace

std::string FolderOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
}

void FileIdentities::Enter(const std::string &folder) {
  if (folder == lastFolder_)
    return;
  lastFolder_ = folder;
  lastResolved_ = ResolvedFolder(folder);
  freshHash_ =
      Hash(lastResolved_.ends_with('/') ? lastResolved_ : lastResolved_ + "/", Hash("path "));
  // The folder's names, read once: asking for each of a million names
  // that are not there costs the system more than the whole listing.
  names_.clear();
  listed_ = false;
  if (DIR *list = ::opendir(lastResolved_.c_str())) {
    listed_ = true;
    while (const dirent *entry = ::readdir(list))
      names_.push_back(Hash(entry->d_name));
    ::closedir(list);
    std::sort(names_.begin(), names_.end());
  } else {
    // A folder that is not there yet holds nothing.
    listed_ = errno == ENOENT;
  }
}

bool FileIdentities::Fresh(std::string_view base) const {
  return listed_ && !std::binary_search(names_.begin(), names_.end(), Hash(base));
}

std::string FileIdentities::Of(const std::string &target) {
  Enter(FolderOf(target));
  const std::string base = BaseOf(target);
  const std::string fresh = "path " + Join(lastResolved_, base);
  if (Fresh(base))
    return fresh;
  const auto file = [](const struct stat &st) {
    return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  };
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0)
    return fresh;
  if (!S_ISLNK(st.st_mode))
    return file(st);
  if (::stat(target.c_str(), &st) == 0)
    return file(st);
  return "path " + PathOnceMade(lastResolved_, base);
}

std::uint64_t FileIdentities::HashOf(const std::string &target) {
  const auto slash = target.find_last_of('/');
  Enter(FolderOf(target));
  const std::string_view base = slash == std::string::npos
                                    ? std::string_view(target)
                                    : std::string_view(target).substr(slash + 1);
  // A file not there yet, as most are: its hash without its words.
  if (Fresh(base))
    return Hash(base, freshHash_);
  return Hash(Of(target));
}

} // namespace zub::cli
