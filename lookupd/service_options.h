// What the service's parts are given, made from the configuration read: the options of its two
// HTTP servers and of the lookup handler.
#pragma once

#include <chrono>

#include "lookupd/config.h"
#include "lookupd/http_server.h"
#include "lookupd/lookup_handler.h"

namespace brisvane::lookupd {

// The lookup server's: the listen address, TLS (the certificate and key files read now), the
// workers, limits and time-outs.
HttpServerOptions LookupServerOptions(const Config& config);

// The health and metrics server's, on [observe] address: a few clients (monitoring, balancers).
HttpServerOptions ObserveServerOptions(const Config& config);

LookupSettings LookupSettingsOf(const Config& config);

// How long the servers wait for a lookup's answer before they answer 503 themselves: the
// source answers within its own time-out, so this only catches a fault.
std::chrono::milliseconds AnswerTimeout(const Config& config);

}  // namespace brisvane::lookupd
