// The running service: the source, the lookup server, the health and metrics server, and the
// signals that reload or stop them.
#pragma once

#include "lookupd/config.h"

namespace brisvane::lookupd {

// Runs the service of `config` in the foreground until SIGTERM or SIGINT, then stops
// gracefully (no new connections, open ones answered) and returns 0. SIGHUP reads the members
// file and the TLS certificate and key again. Throws ConfigError or std::runtime_error when it
// cannot start.
int RunService(const Config& config);

}  // namespace brisvane::lookupd
