// The optional per-address request-rate limit: a token bucket per client address.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace brisvane::lookupd {

class RateLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    // `perSecond` requests a second on average, up to `burst` at once.
    RateLimiter(unsigned perSecond, unsigned burst);

    // True when `address` may send a request at `now`; the request is counted.
    bool Allow(const std::string& address, Clock::time_point now);

  private:
    struct Bucket {
        double tokens = 0;
        Clock::time_point updated;
    };
    void ForgetFullBuckets(Clock::time_point now);

    double perSecond_;
    double burst_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
    Clock::time_point lastSweep_{};
};

}  // namespace brisvane::lookupd
