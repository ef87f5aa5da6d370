#pragma once

#include <string>

namespace zub::cli {

// A batch defers each file's flush (DeferFlush in FileWrite.h): each file
// still appears complete or not at all (the rename is atomic), and this has
// the disk hold all of them at once (syncfs) before the batch reports them
// written. Has the disk hold everything written to the file system of
// `folder`. False with `reason` one sentence in the locale's language when
// it cannot.
bool FlushDeferred(const std::string &folder, std::string &reason);

} // namespace zub::cli
