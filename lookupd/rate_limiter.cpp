#include "lookupd/rate_limiter.h"

#include <algorithm>

namespace brisvane::lookupd {

namespace {

constexpr std::size_t kSweepAbove = 4096;  // addresses remembered before full buckets are dropped

}  // namespace

RateLimiter::RateLimiter(unsigned perSecond, unsigned burst)
    : perSecond_(perSecond), burst_(std::max(1U, burst)) {}

void RateLimiter::ForgetFullBuckets(Clock::time_point now) {
    // A bucket that has filled up again says nothing an absent one would not.
    std::erase_if(buckets_, [&](const auto& entry) {
        const std::chrono::duration<double> idle = now - entry.second.updated;
        return entry.second.tokens + idle.count() * perSecond_ >= burst_;
    });
    lastSweep_ = now;
}

bool RateLimiter::Allow(const std::string& address, Clock::time_point now) {
    const std::lock_guard lock(mutex_);
    if (buckets_.size() > kSweepAbove && now - lastSweep_ > std::chrono::seconds(1)) {
        ForgetFullBuckets(now);
    }
    auto [entry, added] = buckets_.try_emplace(address, Bucket{burst_, now});
    Bucket& bucket = entry->second;
    if (!added) {
        const std::chrono::duration<double> elapsed = now - bucket.updated;
        bucket.tokens = std::min(burst_, bucket.tokens + elapsed.count() * perSecond_);
        bucket.updated = now;
    }
    if (bucket.tokens < 1.0) {
        return false;
    }
    bucket.tokens -= 1.0;
    return true;
}

}  // namespace brisvane::lookupd
