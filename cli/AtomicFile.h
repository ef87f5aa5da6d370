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
// (a folder, a device, a pipe) is refused and left alone. SIGINT, SIGTERM
// or SIGHUP during the write (where the program leaves them at their
// default) removes the temporary file before the program ends. False with
// `reason` one English sentence on failure.
bool WriteFileAtomically(const std::string &path, const void *data, std::size_t size,
                         std::string &reason);

// A batch writes thousands of files: flushing each one and its folder to the
// disk would cost more than making it. With the flush deferred, each file
// still appears complete or not at all (the rename is atomic), and
// FlushDeferred has the disk hold all of them at once (syncfs) before the
// batch reports them written. Applies to every thread.
void DeferFlush(bool defer);

// Has the disk hold everything written to the file system of `folder`.
// False with `reason` one English sentence when it cannot.
bool FlushDeferred(const std::string &folder, std::string &reason);

} // namespace zub::cli
