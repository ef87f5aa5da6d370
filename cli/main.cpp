// zubqr: the encoder, the composition and a reader for scripts, without a
// window. `encode` draws and writes on the standard library, libpng and
// libjpeg alone, so a script that makes one code after another does not
// wait for a toolkit to load; compose, read and --readable load the module
// that holds the toolkit and the readers (Module.h) when first asked.
#include "Commands.h"
#include "Messages.h"
#include "Module.h"
#include "StandardStreams.h"
#include "Usage.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

int InModule(const char *command, const std::vector<std::string> &args) {
  using namespace zub::cli;
  std::string error;
  const ModuleCalls *module = Module(error);
  if (!module) {
    std::cerr << "zubqr " << command << ": " << error << "\n";
    return kFailed;
  }
  module->shareStreams(StandardInputClosed(), StandardOutputClosed());
  return std::string_view(command) == "read" ? module->read(args) : module->compose(args);
}

} // namespace

int main(int argc, char **argv) {
  using namespace zub::cli;
  GuardStandardStreams();
  // A reader that goes away is a failed write (EPIPE, exit 1), not a
  // silent death; so is a file that reaches the size limit (ulimit -f):
  // the write fails with EFBIG, reported like any other failed file, and
  // a batch goes on with its other lines and says how many were written.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);

  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty())
    return UsageError("", Say("没有给出命令（encode、compose 或 read）",
                              "no command given (encode, compose or read)"));
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "encode")
    return Encode(args);
  if (command == "compose" || command == "read")
    return InModule(command.c_str(), args);
  if (command == "--help" || command == "-h" || command == "help")
    return PrintOrFail("zubqr", Usage());
  // Inside a command --version is the symbol's; alone it is the program's.
  if (command == "-V" || (command == "--version" && args.empty()))
    return PrintOrFail("zubqr", std::string(ProgramVersion()) + "\n");
  return UsageError("", Say("未知的命令", "unknown command ") + Quoted(command));
}
