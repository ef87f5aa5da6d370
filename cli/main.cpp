// zubqr: the encoder, the composition and a reader for scripts, without a
// window.
#include "Commands.h"

#include <QCoreApplication>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  using namespace zub::cli;
  GuardStandardStreams();
  // A reader that goes away is a failed write (EPIPE, exit 1), not a
  // silent death.
  std::signal(SIGPIPE, SIG_IGN);
  // Reading and writing pictures needs Qt's image plugins, never a display.
  QCoreApplication app(argc, argv);

  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << Usage();
    return kUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "encode")
    return Encode(args);
  if (command == "compose")
    return Compose(args);
  if (command == "read")
    return Read(args);
  if (command == "--help" || command == "-h" || command == "help")
    return PrintOrFail("zubqr", Usage());
  // Inside a command --version is the symbol's; alone it is the program's.
  if (command == "-V" || (command == "--version" && args.empty()))
    return PrintOrFail("zubqr", std::string(ProgramVersion()) + "\n");
  std::cerr << "zubqr: unknown command '" << command << "'\n" << Usage();
  return kUsage;
}
