#pragma once

// The seam between the lean `zubqr` and its toolkit part. `zubqr encode`
// draws and writes with the standard library, libpng and libjpeg alone; what
// needs Qt and the two readers (compose, read, the --readable search) lives
// in the module zubqr-compose.so, loaded on first use.
#include "ExitStatus.h"
#include "MessageInput.h"
#include "Options.h"
#include "Picture.h"

#include <string>
#include <vector>

namespace zub::cli {

// What --readable makes of a message for `encode`: kOk with the symbol to
// write (the one asked for when it scans, else the first candidate that
// does, `note` then saying what changed), or kUnreadable (kFailed where the
// message does not fit or the readers cannot be run) with `note` saying why.
// `note` is one line, without the "zubqr encode: " prefix.
struct ReadableSymbol {
  int status = kOk;
  Picture symbol;
  std::string note;
};

struct ModuleCalls {
  // Tells the module which standard streams the program was started without
  // (GuardStandardStreams); call before the commands.
  void (*shareStreams)(bool inputClosed, bool outputClosed);
  int (*compose)(const std::vector<std::string> &args);
  int (*read)(const std::vector<std::string> &args);
  ReadableSymbol (*readableSymbol)(const EncodeOptions &options, const Message &message);
  // Bounds the scan check's threads: `threads` in all (--threads), of which
  // `callers` call it at once (BoundCheckThreads in CodeSupport.h).
  void (*boundCheckThreads)(int threads, int callers);
};

// The module's calls, loaded once by whichever thread asks first: beside the
// program in the build tree, under lib/zubqr-gui/ once installed; the first
// of the two places that has it counts. It is loaded only where no one but
// the user and root can change it or its folders (ModuleTrust). Null when
// it cannot be loaded; `error` then names what was tried and why it failed,
// in the locale's language.
const ModuleCalls *Module(std::string &error);

} // namespace zub::cli

// The one symbol the module exports.
extern "C" const zub::cli::ModuleCalls *zubqr_module_calls();
