#pragma once

// Which file a path reaches, whatever links lead there: what a batch
// compares its lines' files by.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zub::cli {

// The folder a file goes in: "a/b.png" -> "a", "b.png" -> ".", "/b" -> "/".
std::string FolderOf(const std::string &path);

// What tells the files that batch lines write apart: two targets that reach
// one file get one identity, whether by one name, two hard links of one
// file, or a symbolic link to the other. A file that exists is known by its
// device and inode (links followed); one that does not yet exist by the
// path it will be made at, its folders' links resolved and a dangling link
// followed to where it points. Remembers the last folder it resolved and
// the names in it, since a batch's files mostly share one.
class FileIdentities {
public:
  std::string Of(const std::string &target);
  // The hash of Of(target), without its words where the file is not there.
  std::uint64_t HashOf(const std::string &target);

private:
  void Enter(const std::string &folder);
  bool Fresh(std::string_view base) const;

  std::string lastFolder_, lastResolved_;
  std::uint64_t freshHash_ = 0;      // the hash of a new file's words up to its name
  bool listed_ = false;              // the last folder's names were read
  std::vector<std::uint64_t> names_; // their hashes, sorted
};

} // namespace zub::cli
