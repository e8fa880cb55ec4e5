// Health and metrics for load balancers and monitoring, on a listen address of their own.
#pragma once

#include <functional>
#include <string>

#include "lookupd/lookup_handler.h"

namespace brisvane::lookupd {

// GET (or HEAD) /healthz: 200 while the process answers. /readyz: 200 when `ready` says the
// source can answer, 503 otherwise. /metrics: `metrics` in Prometheus' text format. Any other
// path 404, any other method 405.
HttpResponse HandleObserve(const HttpRequest& request, const std::function<bool()>& ready,
                           const std::function<std::string()>& metrics);

}  // namespace brisvane::lookupd
