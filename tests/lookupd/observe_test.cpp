#include "lookupd/observe.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "lookupd/metrics.h"

namespace brisvane::lookupd {
namespace {

TEST(ObserveTest, AnswersHealthReadinessAndMetrics) {
    struct Case {
        std::string_view method;
        std::string_view path;
        bool ready;
        unsigned status;
    };
    const Case cases[] = {
        {"GET", "/healthz", false, 200},  // the process answers, whatever the directory does
        {"GET", "/readyz", true, 200},
        {"GET", "/readyz", false, 503},
        {"HEAD", "/readyz", true, 200},
        {"GET", "/metrics", false, 200},
        {"POST", "/healthz", true, 405},
        {"GET", "/", true, 404},
        {"GET", "/cs/servers/serversearch.asp", true, 404},
    };
    for (const Case& c : cases) {
        const HttpRequest request{c.method, c.path, "", "", false};
        std::optional<HttpResponse> response;
        HandleObserve(
            request, [&](const std::function<void(bool)>& done) { done(c.ready); },
            [] { return std::string("m"); },
            [&response](HttpResponse given) { response = std::move(given); });
        ASSERT_TRUE(response.has_value()) << c.method << " " << c.path;
        EXPECT_EQ(response->status, c.status) << c.method << " " << c.path;
    }
}

TEST(MetricsTest, CountsOutcomesAndAccumulatesTheHistogram) {
    Metrics metrics;
    metrics.Record(Outcome::kFound, std::chrono::microseconds(500));  // <= 0.001
    metrics.Record(Outcome::kFound, std::chrono::milliseconds(20));   // <= 0.025
    metrics.Record(Outcome::kUnavailable, std::chrono::seconds(3));   // <= 5
    metrics.Record(Outcome::kUnavailable, std::chrono::seconds(30));  // +Inf only
    const std::string text =
        RenderMetrics(metrics.Read(),
                      ServiceGauges{ServerCounters{6, 7, 8, 9, 3, 0},
                                    SourceCounters{2, 1, 11, 12, 13}, CacheCounters{40, 9, 5, 4}});
    const std::string_view lines[] = {
        "brisvane_lookups_total{outcome=\"found\"} 2\n",
        "brisvane_lookups_total{outcome=\"directory-unavailable\"} 2\n",
        "brisvane_lookups_total{outcome=\"unknown\"} 0\n",
        "brisvane_lookup_duration_seconds_bucket{le=\"0.001\"} 1\n",
        "brisvane_lookup_duration_seconds_bucket{le=\"0.01\"} 1\n",
        "brisvane_lookup_duration_seconds_bucket{le=\"0.025\"} 2\n",
        "brisvane_lookup_duration_seconds_bucket{le=\"5\"} 3\n",
        "brisvane_lookup_duration_seconds_bucket{le=\"+Inf\"} 4\n",
        "brisvane_lookup_duration_seconds_count 4\n",
        "brisvane_lookup_duration_seconds_sum 33.0205\n",
        "brisvane_directory_reconnects_total 2\n",
        "brisvane_directory_errors_total 1\n",
        "brisvane_directory_timeouts_total 11\n",
        "brisvane_directory_queue_full_total 12\n",
        "# TYPE brisvane_directory_lookups_in_flight gauge\nbrisvane_directory_lookups_in_flight "
        "13\n",
        "brisvane_connections_refused_total{cap=\"per-address\"} 6\n",
        "brisvane_connections_refused_total{cap=\"total\"} 7\n",
        "brisvane_request_timeouts_total 8\n",
        "brisvane_overdue_answers_total 9\n",
        "# TYPE brisvane_open_connections gauge\nbrisvane_open_connections 3\n",
        "# TYPE brisvane_cache_hits_total counter\nbrisvane_cache_hits_total 40\n",
        "brisvane_cache_misses_total 9\n",
        "brisvane_cache_evictions_total 5\n",
        "brisvane_cache_entries 4\n",
    };
    for (const std::string_view line : lines) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "in:\n" << text;
    }
    const std::string uncached = RenderMetrics(metrics.Read(), ServiceGauges{});
    EXPECT_EQ(uncached.find("brisvane_cache_"), std::string::npos) << "no cache, no cache lines";
}

}  // namespace
}  // namespace brisvane::lookupd
