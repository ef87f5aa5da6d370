#pragma once

// The standard streams the program was started with, or without, and
// writing a text to standard output at once.
#include <string_view>

namespace zub::cli {

// Call first thing: a standard stream the program was started without
// would otherwise be the number of the next file anyone opens, and message
// bytes would be read from it, or the picture written into it. Each closed
// one is held by /dev/null; a closed standard input is remembered, so
// reading the message from it fails; so is a closed standard output, and
// writing the picture to it fails (StandardOutputClosed).
void GuardStandardStreams();
bool StandardOutputClosed();
bool StandardInputClosed();
// What GuardStandardStreams found, handed to the toolkit module.
void SetStandardStreamsClosed(bool input, bool output);

// Writes `text` to standard output at once (help, the version). Returns
// kOk, or kFailed with "`who`: cannot write standard output: why" on
// standard error when it could not (a full disk, a closed pipe).
int PrintOrFail(const char *who, std::string_view text);

} // namespace zub::cli
