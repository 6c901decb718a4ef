// SIGTERM, SIGINT and SIGHUP as a normal close: the handler only writes to a
// pipe, and the GUI thread runs the close when it reads it.
#pragma once

#include <functional>

namespace vortaq {

// Installs the handlers; close runs on the GUI thread at each signal.
void RouteCloseSignals(std::function<void()> close);

}  // namespace vortaq
