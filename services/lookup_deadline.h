// The time limits of one lookup: the deadline of the whole exchange and the time-outs of each
// blocking WinHTTP call, bounded by it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <chrono>

#include "services/http_share_lookup.h"
#include "services/lookup_errors.h"

namespace brisvane {

class WinHttpLibrary;

// How far an exchange has got: whether its current request has gone out. Written on the thread
// that runs the exchange (WinHTTP's notice that a request was sent among it), read by the caller
// that stops waiting at the deadline.
using Progress = std::atomic<Stage>;

// The failure of an exchange that has reached its deadline, by how far it got.
[[noreturn]] void ThrowDeadlinePassed(const Progress& progress);

// The end of the whole exchange. The caller stops waiting for the exchange there, whatever the
// server does; the exchange's own blocking calls wait at most for their stage's limit and at
// most until a second past it. So a call cut short by the deadline never decides the outcome
// before the caller does, and a call of an exchange left behind that waits on a silent server
// ends a second after the deadline.
class Deadline {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(std::chrono::milliseconds total) : end_(Clock::now() + total) {}

    Clock::time_point End() const noexcept { return end_; }

    // The time-out for the next blocking call of a stage whose own limit is `limit`; raises the
    // deadline's failure when the deadline has passed.
    std::chrono::milliseconds Bound(std::chrono::milliseconds limit,
                                    const Progress& progress) const;

  private:
    Clock::time_point end_;
};

// Sets the time-outs of the next blocking call on `handle` (a session or a request): each
// stage's own limit, bounded by the deadline.
void BoundNextCall(const WinHttpLibrary& http, HINTERNET handle, const LookupLimits& limits,
                   const Deadline& deadline, const Progress& progress);

}  // namespace brisvane
