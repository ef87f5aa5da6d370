// The readers linked into the program: the command line, the tests and the
// benchmarks link this object library, and with it its registration.
#include "Readers.h"

namespace zub {

const ReaderCalls *LinkedReaders() {
  return zub_reader_calls();
}

const ReadersProblem &ReadersLoadProblem() {
  static const ReadersProblem none;
  return none;
}

namespace {

const bool registeredLinked = (RegisterReaders(&LinkedReaders), true);

} // namespace

} // namespace zub
