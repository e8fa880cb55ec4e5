#include "lookupd/cached_source.h"

#include <utility>

namespace brisvane::lookupd {

CachedSource::CachedSource(MemberSource& source, std::chrono::milliseconds ttl,
                           std::size_t maxEntries, std::size_t maxBytes, Now now)
    : source_(source),
      ttl_(ttl),
      maxEntries_(maxEntries),
      maxBytes_(maxBytes),
      now_(std::move(now)) {}

std::size_t CachedSource::Entry::Bytes() const {
    return kEntryOverhead + username.size() + answer->value.size() + answer->detail.size();
}

void CachedSource::Find(std::string_view username, AnswerCallback done) {
    const Clock::time_point asked = now_();
    std::uint64_t generation = 0;
    {
        std::shared_ptr<const MemberAnswer> cached;
        {
            const std::lock_guard lock(mutex_);
            const auto found = index_.find(username);
            if (found != index_.end() && asked - found->second->asked < ttl_) {
                cached = found->second->answer;
            }
            generation = generation_;
        }
        if (cached) {
            hits_.fetch_add(1, std::memory_order_relaxed);
            done(*cached);
            return;
        }
    }
    misses_.fetch_add(1, std::memory_order_relaxed);
    source_.Find(username, [this, name = std::string(username), asked, generation,
                            done = std::move(done)](MemberAnswer answer) mutable {
        if (answer.kind != MemberAnswer::Kind::kUnavailable &&
            answer.value.size() <= kMaxCachedValueBytes) {
            // The entry is built before the lock and spliced in under it; what it replaces or
            // drops is freed after it.
            Entries entry;
            entry.push_back(
                Entry{std::move(name), std::make_shared<const MemberAnswer>(answer), asked});
            Entries dropped;
            Store(entry, generation, dropped);
        }
        done(std::move(answer));
    });
}

void CachedSource::Store(Entries& entry, std::uint64_t generation, Entries& dropped) {
    const std::lock_guard lock(mutex_);
    if (generation != generation_) {
        return;  // asked before a Clear(): may be what the clear was for
    }
    Entry& fresh = entry.front();
    const auto found = index_.find(fresh.username);
    if (found != index_.end()) {
        Entry& held = *found->second;
        if (held.asked <= fresh.asked) {
            bytes_ -= held.Bytes();
            std::swap(held.answer, fresh.answer);
            held.asked = fresh.asked;
            bytes_ += held.Bytes();
            order_.splice(order_.end(), order_, found->second);
        }
        return;
    }
    // The oldest answers are at the front: drop those expired, then the oldest if still full.
    const auto dropFront = [&] {
        bytes_ -= order_.front().Bytes();
        index_.erase(order_.front().username);
        dropped.splice(dropped.end(), order_, order_.begin());
    };
    while (!order_.empty() && fresh.asked - order_.front().asked >= ttl_) {
        dropFront();
    }
    const std::size_t size = fresh.Bytes();
    if (size > maxBytes_) {
        return;
    }
    while (order_.size() >= maxEntries_ || bytes_ + size > maxBytes_) {
        dropFront();
        evictions_.fetch_add(1, std::memory_order_relaxed);
    }
    bytes_ += size;
    order_.splice(order_.end(), entry);
    index_.emplace(order_.back().username, std::prev(order_.end()));
}

void CachedSource::Clear() {
    Entries dropped;
    const std::lock_guard lock(mutex_);
    ++generation_;
    index_.clear();
    dropped.swap(order_);
    bytes_ = 0;
}

CacheCounters CachedSource::Counts() const {
    CacheCounters counters;
    counters.hits = hits_.load(std::memory_order_relaxed);
    counters.misses = misses_.load(std::memory_order_relaxed);
    counters.evictions = evictions_.load(std::memory_order_relaxed);
    const std::lock_guard lock(mutex_);
    counters.entries = order_.size();
    counters.bytes = bytes_;
    return counters;
}

}  // namespace brisvane::lookupd
