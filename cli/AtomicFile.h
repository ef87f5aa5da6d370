#pragma once

#include <cstddef>
#include <string>

namespace zub::cli {

// Writes `size` bytes at `data` to the file `path` by the writer of
// FileWrite.h, without any toolkit: the file appears complete or not at
// all. With `intoSpecialFiles`, a pipe, a character device or a terminal
// of that name is written into where it is. False with `reason` one
// English sentence on failure.
bool WriteFileAtomically(const std::string &path, const void *data, std::size_t size,
                         std::string &reason, bool intoSpecialFiles = false);

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
