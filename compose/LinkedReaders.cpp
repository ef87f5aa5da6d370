// The readers linked into the program. A program that defines Readers()
// itself (the window, which loads them on first use) never pulls this in,
// nor the readers' libraries with it.
#include "Readers.h"

namespace zub {

const ReaderCalls *Readers() {
  return zub_reader_calls();
}

const ReadersProblem &ReadersLoadProblem() {
  static const ReadersProblem none;
  return none;
}

} // namespace zub
