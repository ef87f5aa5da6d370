#include "Readers.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace zub {

namespace {

// Constant-initialised, so a registration made while other objects are
// being constructed before main() finds it ready.
constinit std::atomic<ReaderSource> registered{nullptr};

} // namespace

void RegisterReaders(ReaderSource source) {
  ReaderSource none = nullptr;
  if (!registered.compare_exchange_strong(none, source) && none != source) {
    std::fputs("zubqr: two sources of readers are linked into one program\n", stderr);
    std::abort();
  }
}

const ReaderCalls *Readers() {
  const ReaderSource source = registered.load();
  return source ? source() : nullptr;
}

} // namespace zub
