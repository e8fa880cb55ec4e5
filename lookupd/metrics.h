// What the service counts, and its Prometheus text form for /metrics.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "lookupd/cached_source.h"
#include "lookupd/http_message.h"
#include "lookupd/member_source.h"

namespace brisvane::lookupd {

inline constexpr std::size_t kOutcomeCount = 10;  // the values of Outcome

// Upper bounds of the latency histogram's buckets, in seconds (+Inf is implied).
inline constexpr std::array<double, 12> kLatencyBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                           0.1,   0.25,   0.5,   1,    2.5,   5};

// Counters shared by the worker threads; every member is updated without a lock.
class Metrics {
  public:
    void Record(Outcome outcome, std::chrono::nanoseconds elapsed);

    struct Snapshot {
        std::array<std::uint64_t, kOutcomeCount> outcomes{};
        std::array<std::uint64_t, kLatencyBuckets.size()> buckets{};  // not cumulative
        std::uint64_t count = 0;
        double seconds = 0;
    };
    Snapshot Read() const;

  private:
    std::array<std::atomic<std::uint64_t>, kOutcomeCount> outcomes_{};
    std::array<std::atomic<std::uint64_t>, kLatencyBuckets.size()> buckets_{};
    std::atomic<std::uint64_t> count_{0};
    std::atomic<std::uint64_t> nanoseconds_{0};
};

struct ServiceGauges {
    ServerCounters server;
    SourceCounters directory;
    std::optional<CacheCounters> cache;  // when the cache is on
};

// The Prometheus text exposition (version 0.0.4) of `metrics` and `gauges`:
// brisvane_lookups_total{outcome="..."}, brisvane_lookup_duration_seconds (a histogram),
// the connections (brisvane_open_connections, brisvane_connections_refused_total{cap="..."},
// brisvane_request_timeouts_total, brisvane_overdue_answers_total), the directory
// (brisvane_directory_reconnects_total, brisvane_directory_errors_total,
// brisvane_directory_timeouts_total, brisvane_directory_queue_full_total,
// brisvane_directory_lookups_in_flight) and, with the cache on, brisvane_cache_hits_total,
// brisvane_cache_misses_total, brisvane_cache_evictions_total and brisvane_cache_entries.
std::string RenderMetrics(const Metrics::Snapshot& metrics, const ServiceGauges& gauges);

}  // namespace brisvane::lookupd
