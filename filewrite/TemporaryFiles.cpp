#include "FileWriteInternal.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

namespace zub::filewrite {

// The named temporary files that exist right now, so that an interrupt or
// a termination (Ctrl-C in a long batch) removes them instead of leaving
// hidden files behind. Fixed slots: a signal handler may only read memory
// that is there.
struct InFlight {
  std::atomic<int> state = 0; // 0 free, 1 being filled in, 2 names a temporary file
  int folder = -1;            // the open folder it is in
  char name[NAME_MAX + 1] = {};
};

namespace {

constexpr int kInFlightSlots = 512; // more than a batch's threads
InFlight gInFlight[kInFlightSlots];

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Files being created right now: the handler waits for them, as another
// thread may be between naming its file and creating it; once the program
// is ending, no thread creates one.
std::atomic<int> gCreating = 0;
std::atomic<bool> gEnding = false;
// Files being updated in place right now: the handler waits until each is
// whole again. Their threads hold the ending signals back meanwhile, so the
// handler never runs on one of them.
std::atomic<int> gUpdating = 0;

void Nap(long nanoseconds) {
  const timespec pause{0, nanoseconds};
  ::nanosleep(&pause, nullptr);
}

extern "C" void RemoveTemporariesAndDie(int signal) {
  gEnding = true;
  // At most about 100 ms: a creation is a single open() or link().
  for (int wait = 0; wait < 1000 && gCreating.load() > 0; ++wait)
    Nap(100000);
  // As long as the writes take: a file left half-updated would be neither
  // picture.
  while (gUpdating.load() > 0)
    Nap(1000000);
  for (InFlight &slot : gInFlight)
    if (slot.state.load() == 2)
      ::unlinkat(slot.folder, slot.name, 0);
  // The usual death by this signal, so the parent sees what happened.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

} // namespace

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kEndingSignals)
    sigaddset(&set, signal);
  return set;
}

void CatchEndingSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int signal : kEndingSignals) {
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

bool TemporaryName::Begin(int folder, const std::string &name) {
  CatchEndingSignals();
  ++gCreating;
  if (gEnding) {
    --gCreating;
    errno = EINTR;
    return false;
  }
  if (name.size() <= NAME_MAX) {
    for (InFlight &slot : gInFlight) {
      int expected = 0;
      if (slot.state.compare_exchange_strong(expected, 1)) {
        slot.folder = folder;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
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

bool InPlaceUpdate::Begin() {
  CatchEndingSignals();
  const sigset_t ending = EndingSignals();
  ::pthread_sigmask(SIG_BLOCK, &ending, &before_);
  ++gUpdating;
  active_ = true;
  if (gEnding) {
    End();
    errno = EINTR;
    return false;
  }
  return true;
}

void InPlaceUpdate::End() {
  if (!active_)
    return;
  active_ = false;
  --gUpdating;
  // A signal held back arrives now, with the file whole.
  ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

std::string NewTemporaryName() {
  static std::atomic<unsigned> counter = 0;
  return ".zubqr-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
}

} // namespace zub::filewrite
