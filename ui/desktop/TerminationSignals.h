#pragma once

#include <functional>

class QObject;

namespace zub {

// Runs `handler` on the event loop of `context`'s thread when the process
// receives SIGTERM, SIGINT or SIGHUP (a session that ends, Ctrl+C in a
// terminal), so that these ends go the program's own way out. Call once.
void RouteTerminationSignals(QObject *context, std::function<void()> handler);

} // namespace zub
