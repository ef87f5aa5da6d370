// zubqr: the encoder and the composition for scripts, without a window.
#include "Commands.h"

#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  using namespace zub::cli;
  GuardStandardStreams();
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
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << Usage();
    return kOk;
  }
  std::cerr << "zubqr: unknown command '" << command << "'\n" << Usage();
  return kUsage;
}
