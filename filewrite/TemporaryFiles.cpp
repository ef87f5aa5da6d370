#include "FileWriteInternal.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <time.h>
#include <unistd.h>

namespace zub::filewrite {

// The named temporary files that exist right now, so that an interrupt or
// a termination (Ctrl-C in a long batch) removes them instead of leaving
// hidden files behind. Fixed slots: a signal handler may only read memory
// that is there.
struct InFlight {
  std::atomic<int> state = 0; // 0 free, 1 being filled in, 2 names a temporary file
  char path[PATH_MAX] = {};
};

namespace {

constexpr int kInFlightSlots = 512; // more than a batch's threads
InFlight gInFlight[kInFlightSlots];

// Files being created right now: the handler waits for them, as another
// thread may be between naming its file and creating it; once the program
// is ending, no thread creates one.
std::atomic<int> gCreating = 0;
std::atomic<bool> gEnding = false;

extern "C" void RemoveTemporariesAndDie(int signal) {
  gEnding = true;
  // At most about 100 ms: a creation is a single open() or link().
  for (int wait = 0; wait < 1000 && gCreating.load() > 0; ++wait) {
    const timespec tenth{0, 100000};
    ::nanosleep(&tenth, nullptr);
  }
  for (InFlight &slot : gInFlight)
    if (slot.state.load() == 2)
      ::unlink(slot.path);
  // The usual death by this signal, so the parent sees what happened.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Installs the handler for the signals that end a program, where nobody
// else handles or ignores them.
void CatchEndingSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction now {};
      if (::sigaction(signal, nullptr, &now) != 0 || now.sa_handler != SIG_DFL ||
          (now.sa_flags & SA_SIGINFO))
        continue;
      struct sigaction ours {};
      ours.sa_handler = RemoveTemporariesAndDie;
      sigemptyset(&ours.sa_mask);
      ::sigaction(signal, &ours, nullptr);
    }
  });
}

} // namespace

bool TemporaryName::Begin(const std::string &name) {
  CatchEndingSignals();
  ++gCreating;
  if (gEnding) {
    --gCreating;
    errno = EINTR;
    return false;
  }
  if (name.size() < PATH_MAX) {
    for (InFlight &slot : gInFlight) {
      int expected = 0;
      if (slot.state.compare_exchange_strong(expected, 1)) {
        std::memcpy(slot.path, name.c_str(), name.size() + 1);
        slot.state.store(2);
        slot_ = &slot;
        break;
      }
    }
  }
  return true;
}

void TemporaryName::Made() {
  --gCreating;
}

void TemporaryName::Release() {
  if (slot_)
    slot_->state.store(0);
  slot_ = nullptr;
}

std::string TemporaryNameIn(const std::string &folder) {
  static std::atomic<unsigned> counter = 0;
  return folder + "/.zubqr-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) +
         ".tmp";
}

} // namespace zub::filewrite
