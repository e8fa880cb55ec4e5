// Health and metrics for load balancers and monitoring, on a listen address of their own.
#pragma once

#include <functional>
#include <string>

#include "lookupd/http_message.h"

namespace brisvane::lookupd {

// Asks whether the source can answer now and hands the verdict to its argument, at once or
// later from another thread.
using CheckReadiness = std::function<void(std::function<void(bool)>)>;

// GET (or HEAD) /healthz: 200 while the process answers. /readyz: 200 when `checkReady` says the
// source can answer, 503 otherwise; answered when it says so. /metrics: `metrics` in Prometheus'
// text format. Any other path 404, any other method 405. Everything but /readyz is answered
// before this returns.
void HandleObserve(const HttpRequest& request, const CheckReadiness& checkReady,
                   const std::function<std::string()>& metrics, Respond respond);

}  // namespace brisvane::lookupd
