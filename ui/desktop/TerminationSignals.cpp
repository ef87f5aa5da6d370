#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zub {
namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  // Only async-signal-safe work here: wake the event loop.
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

void RouteTerminationSignals(QObject *context, std::function<void()> handler) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
    return;
  auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [handler = std::move(handler)] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
    handler();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP})
    ::sigaction(sig, &action, nullptr);
}

} // namespace zub
