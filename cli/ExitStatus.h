#pragma once

namespace zub::cli {

// Exit statuses of every command.
// kUnreadable: --readable found no options whose code both readers read
// back exactly; nothing was written.
enum Exit : int { kOk = 0, kFailed = 1, kUsage = 2, kUnreadable = 3 };

} // namespace zub::cli
