// The short-lived cache of the directory's answers: a MemberSource over another one that keeps
// each definitive answer for a while, so that a member who signs in again soon costs no search.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "lookupd/member_source.h"

namespace brisvane::lookupd {

struct CacheCounters {
    std::uint64_t hits = 0;       // lookups answered from the cache
    std::uint64_t misses = 0;     // lookups that asked the source
    std::uint64_t evictions = 0;  // answers dropped before their time to stay within the bound
    std::size_t entries = 0;      // answers held now (expired ones included until dropped)
    std::size_t bytes = 0;        // what they take, as counted against the bound
};

// Keeps the answers of `source` keyed by the exact username it was asked for: found, unknown,
// no home share and ambiguous; never "unavailable", which is asked again every time. An answer
// is served while it is younger than `ttl`, its age counted from the moment the source was
// asked, so a change in the directory is seen after at most `ttl`. At most `maxEntries`
// answers are held, taking at most `maxBytes` (their usernames and values, and kEntryOverhead
// each): a new one first drops the expired, then the oldest. An answer whose value is over
// kMaxCachedValueBytes is never kept. Thread-safe; the lock is never held while the source is
// asked. Holds usernames and share values only.
class CachedSource final : public MemberSource {
  public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    // What one answer takes besides its username and value: its list and index nodes, its
    // shared answer and the strings' own size.
    static constexpr std::size_t kEntryOverhead = 256;
    static constexpr std::size_t kMaxCachedValueBytes = 4096;

    // `source` must outlive the cache, and the cache every answer the source still owes it. `ttl`
    // more than zero, `maxEntries` at least 1.
    CachedSource(MemberSource& source, std::chrono::milliseconds ttl, std::size_t maxEntries,
                 std::size_t maxBytes, Now now = Clock::now);

    // Answers at once from the cache, else when the source answers.
    void Find(std::string_view username, AnswerCallback done) override;
    void CheckReady(ReadyCallback done) override { source_.CheckReady(std::move(done)); }
    void Reload() override { source_.Reload(); }
    SourceCounters Counters() const override { return source_.Counters(); }

    // Drops every answer; an answer the source is giving now, asked before, is not kept.
    void Clear();

    CacheCounters Counts() const;

  private:
    struct Entry {
        std::string username;
        std::shared_ptr<const MemberAnswer> answer;
        Clock::time_point asked;  // when the source was asked for it
        std::size_t Bytes() const;
    };
    using Entries = std::list<Entry>;

    // Keeps `entry` unless Clear() ran since `generation` or a newer answer is there; whatever
    // it drops goes into `dropped`, to be freed after the lock.
    void Store(Entries& entry, std::uint64_t generation, Entries& dropped);

    MemberSource& source_;
    const Clock::duration ttl_;
    const std::size_t maxEntries_;
    const std::size_t maxBytes_;
    const Now now_;

    mutable std::mutex mutex_;
    Entries order_;                                                  // oldest answer first
    std::size_t bytes_ = 0;                                          // of the answers held
    std::unordered_map<std::string_view, Entries::iterator> index_;  // keys view into order_
    std::uint64_t generation_ = 0;                                   // counts Clear()

    std::atomic<std::uint64_t> hits_{0};
    std::atomic<std::uint64_t> misses_{0};
    std::atomic<std::uint64_t> evictions_{0};
};

}  // namespace brisvane::lookupd
