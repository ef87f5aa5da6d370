#pragma once

#include <cstddef>
#include <string>

namespace zub::cli {

// Writes `size` bytes at `data` to the file `path` so that it appears
// complete or not at all, without any toolkit: the bytes go to a temporary
// file beside the target; every write and the final flush to the disk are
// checked, and only then does the temporary file replace the target, which
// keeps its permission bits. On any failure the temporary file is removed
// and an existing file keeps every byte. A symbolic link is followed and the
// file it names is replaced; an existing target that is not a regular file
// (a folder, a device, a pipe) is refused and left alone. False with
// `reason` one English sentence on failure.
bool WriteFileAtomically(const std::string &path, const void *data, std::size_t size,
                         std::string &reason);

} // namespace zub::cli
