#include "lookupd/metrics.h"

#include <array>
#include <charconv>
#include <string_view>

namespace brisvane::lookupd {

static_assert(static_cast<std::size_t>(Outcome::kNotAllowed) + 1 == kOutcomeCount);

namespace {

std::string Number(double value) {
    std::array<char, 32> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return {digits.data(), written.ptr};
}

// One metric without labels: its help, its type and its value.
std::string Single(std::string_view name, std::string_view type, std::string_view help,
                   std::uint64_t value) {
    const std::string metric(name);
    return "# HELP " + metric + " " + std::string(help) + "\n# TYPE " + metric + " " +
           std::string(type) + "\n" + metric + " " + std::to_string(value) + "\n";
}

}  // namespace

void Metrics::Record(Outcome outcome, std::chrono::nanoseconds elapsed) {
    outcomes_.at(static_cast<std::size_t>(outcome)).fetch_add(1, std::memory_order_relaxed);
    const double seconds = std::chrono::duration<double>(elapsed).count();
    for (std::size_t i = 0; i < kLatencyBuckets.size(); ++i) {
        if (seconds <= kLatencyBuckets.at(i)) {
            buckets_.at(i).fetch_add(1, std::memory_order_relaxed);
            break;
        }
    }
    count_.fetch_add(1, std::memory_order_relaxed);
    nanoseconds_.fetch_add(static_cast<std::uint64_t>(elapsed.count()), std::memory_order_relaxed);
}

Metrics::Snapshot Metrics::Read() const {
    Snapshot snapshot;
    for (std::size_t i = 0; i < kOutcomeCount; ++i) {
        snapshot.outcomes.at(i) = outcomes_.at(i).load(std::memory_order_relaxed);
    }
    for (std::size_t i = 0; i < kLatencyBuckets.size(); ++i) {
        snapshot.buckets.at(i) = buckets_.at(i).load(std::memory_order_relaxed);
    }
    snapshot.count = count_.load(std::memory_order_relaxed);
    snapshot.seconds =
        static_cast<double>(nanoseconds_.load(std::memory_order_relaxed)) / 1'000'000'000.0;
    return snapshot;
}

std::string RenderMetrics(const Metrics::Snapshot& metrics, const ServiceGauges& gauges) {
    std::string text =
        "# HELP brisvane_lookups_total Lookup requests answered, by outcome.\n"
        "# TYPE brisvane_lookups_total counter\n";
    for (std::size_t i = 0; i < kOutcomeCount; ++i) {
        text += "brisvane_lookups_total{outcome=\"" +
                std::string(OutcomeName(static_cast<Outcome>(i))) + "\"} " +
                std::to_string(metrics.outcomes.at(i)) + "\n";
    }
    text +=
        "# HELP brisvane_lookup_duration_seconds Time from a request's arrival to its answer.\n"
        "# TYPE brisvane_lookup_duration_seconds histogram\n";
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < kLatencyBuckets.size(); ++i) {
        cumulative += metrics.buckets.at(i);
        text += "brisvane_lookup_duration_seconds_bucket{le=\"" + Number(kLatencyBuckets.at(i)) +
                "\"} " + std::to_string(cumulative) + "\n";
    }
    text += "brisvane_lookup_duration_seconds_bucket{le=\"+Inf\"} " +
            std::to_string(metrics.count) + "\n";
    text += "brisvane_lookup_duration_seconds_sum " + Number(metrics.seconds) + "\n";
    text += "brisvane_lookup_duration_seconds_count " + std::to_string(metrics.count) + "\n";
    const ServerCounters& server = gauges.server;
    text += Single("brisvane_open_connections", "gauge", "Client connections open now.",
                   server.openConnections);
    text +=
        "# HELP brisvane_connections_refused_total Connections answered 503 over a connection "
        "cap.\n"
        "# TYPE brisvane_connections_refused_total counter\n"
        "brisvane_connections_refused_total{cap=\"per-address\"} " +
        std::to_string(server.refusedOverAddressCap) +
        "\n"
        "brisvane_connections_refused_total{cap=\"total\"} " +
        std::to_string(server.refusedOverTotalCap) + "\n";
    text += Single("brisvane_request_timeouts_total", "counter",
                   "Connections closed because a request did not arrive whole in time.",
                   server.requestTimeouts);
    text += Single("brisvane_overdue_answers_total", "counter",
                   "Requests answered 503 because their answer did not come in time.",
                   server.overdueAnswers);
    const SourceCounters& directory = gauges.directory;
    text += Single("brisvane_directory_reconnects_total", "counter",
                   "Connections made to the directory.", directory.reconnects);
    text += Single("brisvane_directory_errors_total", "counter",
                   "Directory operations that failed.", directory.errors);
    text += Single("brisvane_directory_timeouts_total", "counter",
                   "Lookups the directory did not answer within the time-out.", directory.timeouts);
    text += Single("brisvane_directory_queue_full_total", "counter",
                   "Lookups refused because the directory's queue was full.", directory.overflows);
    text += Single("brisvane_directory_lookups_in_flight", "gauge",
                   "Lookups asked of the directory and not answered yet.", directory.inFlight);
    if (gauges.cache) {
        text += Single("brisvane_cache_hits_total", "counter", "Lookups answered from the cache.",
                       gauges.cache->hits);
        text += Single("brisvane_cache_misses_total", "counter",
                       "Lookups the cache passed to the directory.", gauges.cache->misses);
        text += Single("brisvane_cache_evictions_total", "counter",
                       "Answers dropped before their time to stay within max_entries.",
                       gauges.cache->evictions);
        text += Single("brisvane_cache_entries", "gauge", "Answers held in the cache now.",
                       gauges.cache->entries);
    }
    return text;
}

}  // namespace brisvane::lookupd
