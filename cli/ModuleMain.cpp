// The toolkit part of zubqr, loaded on first use: compose, read and the
// --readable search of encode. Its one export hands out the calls.
#include "CodeSupport.h"
#include "Commands.h"
#include "Module.h"
#include "StandardStreams.h"

#include <QCoreApplication>
#include <QString>

namespace zub::cli {

namespace {

// Reading and writing pictures needs Qt's image plugins, never a display.
template <int (*Command)(const std::vector<std::string> &)>
int WithApplication(const std::vector<std::string> &args) {
  if (QCoreApplication::instance())
    return Command(args);
  static int argc = 1;
  static char name[] = "zubqr";
  static char *argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  return Command(args);
}

const ModuleCalls kCalls = {SetStandardStreamsClosed, WithApplication<Compose>,
                            WithApplication<Read>, ReadableSymbolFor, BoundCheckThreads};

} // namespace

} // namespace zub::cli

extern "C" __attribute__((visibility("default"))) const zub::cli::ModuleCalls *
zubqr_module_calls() {
  return &zub::cli::kCalls;
}
