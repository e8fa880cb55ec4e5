#include "lookupd/cached_source.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "answer_now.h"

namespace brisvane::lookupd {
namespace {

using namespace std::chrono_literals;
using Kind = MemberAnswer::Kind;

constexpr std::string_view kAliceShare = "\\\\files1.campus.example\\homes\\alice";
constexpr std::string_view kAliceMoved = "\\\\files2.campus.example\\homes\\alice";

// A value too long to be kept.
const std::string& HugeShare() {
    static const std::string kHuge(CachedSource::kMaxCachedValueBytes + 1, 'x');
    return kHuge;
}

// Answers from a table, counts how often it was asked for each name, and runs `during` while
// it answers (a slow directory, a clear that arrives meanwhile).
class CountingSource final : public MemberSource {
  public:
    void Find(std::string_view username, AnswerCallback done) override {
        ++asked[std::string(username)];
        if (during) {
            during();
        }
        const auto found = answers.find(std::string(username));
        done(found != answers.end() ? found->second : MemberAnswer{Kind::kUnknown, {}, {}});
    }
    std::map<std::string, MemberAnswer> answers = {
        {"alice", {Kind::kFound, std::string(kAliceShare), {}}},
        {"nohome", {Kind::kNoHomeShare, {}, {}}},
        {"twin", {Kind::kAmbiguous, {}, "two entries"}},
        {"down", {Kind::kUnavailable, {}, "directory: Can't contact LDAP server"}},
        {"huge", {Kind::kFound, HugeShare(), {}}},
    };
    std::map<std::string, int> asked;
    std::function<void()> during;
};

// Steps that are not lookups.
constexpr std::string_view kClear = "(clear)";
constexpr std::string_view kMoveAlice = "(alice's share moves in the directory)";

struct Step {
    std::chrono::milliseconds at;  // the clock when the step runs
    std::string_view name;         // looked up, or kClear or kMoveAlice
    Kind kind = Kind::kUnknown;    // the answer expected
    std::string_view value = {};
    int asked = 0;  // how often the source has been asked for `name` after the step
};

constexpr auto kTtl = 10s;  // every case's

struct Case {
    std::string_view what;
    std::size_t maxEntries;
    std::vector<Step> steps;
    CacheCounters counts;  // at the end; `entries` is not compared
    // The clock moves this much while the source answers.
    std::chrono::milliseconds answerTakes = 0ms;
    bool clearWhileAnswering = false;  // Clear() while the source answers the first lookup
    std::size_t maxBytes = std::size_t{1} << 30U;
};

TEST(CachedSourceTest, ServesDefinitiveAnswersForTheirTimeWithinTheBound) {
    const Case cases[] = {
        {"an answer is served while younger than the TTL, then asked again",
         100,
         {{0s, "alice", Kind::kFound, kAliceShare, 1},
          {5s, kMoveAlice},
          {9999ms, "alice", Kind::kFound, kAliceShare, 1},
          {10s, "alice", Kind::kFound, kAliceMoved, 2},
          {11s, "alice", Kind::kFound, kAliceMoved, 2}},
         {2, 2, 0, 0}},
        {"unknown, no home share and ambiguous are cached; unavailable never",
         100,
         {{0s, "nobody", Kind::kUnknown, {}, 1},
          {1s, "nobody", Kind::kUnknown, {}, 1},
          {2s, "nohome", Kind::kNoHomeShare, {}, 1},
          {3s, "nohome", Kind::kNoHomeShare, {}, 1},
          {4s, "twin", Kind::kAmbiguous, {}, 1},
          {5s, "twin", Kind::kAmbiguous, {}, 1},
          {6s, "down", Kind::kUnavailable, {}, 1},
          {7s, "down", Kind::kUnavailable, {}, 2}},
         {3, 5, 0, 0}},
        {"at the bound the oldest answer goes",
         2,
         {{0s, "alice", Kind::kFound, kAliceShare, 1},
          {1s, "nobody", Kind::kUnknown, {}, 1},
          {2s, "nohome", Kind::kNoHomeShare, {}, 1},
          {3s, "nohome", Kind::kNoHomeShare, {}, 1},
          {3s, "alice", Kind::kFound, kAliceShare, 2},
          {4s, "nohome", Kind::kNoHomeShare, {}, 1}},
         {2, 4, 2, 0}},
        {"at the bound an expired answer goes before a live one, and is no eviction",
         2,
         {{0s, "alice", Kind::kFound, kAliceShare, 1},
          {8s, "nobody", Kind::kUnknown, {}, 1},
          {12s, "nohome", Kind::kNoHomeShare, {}, 1},
          {13s, "nobody", Kind::kUnknown, {}, 1},
          {13s, "nohome", Kind::kNoHomeShare, {}, 1}},
         {2, 3, 0, 0}},
        {"a clear drops every answer",
         100,
         {{0s, "alice", Kind::kFound, kAliceShare, 1},
          {0s, "nobody", Kind::kUnknown, {}, 1},
          {1s, kClear},
          {2s, "alice", Kind::kFound, kAliceShare, 2},
          {2s, "nobody", Kind::kUnknown, {}, 2}},
         {0, 4, 0, 0}},
        {"an answer asked before a clear and given after it is not kept",
         100,
         {{0s, "alice", Kind::kFound, kAliceShare, 1},
          {1s, "alice", Kind::kFound, kAliceShare, 2},
          {2s, "alice", Kind::kFound, kAliceShare, 2}},
         {1, 2, 0, 0},
         0ms,
         true},
        {"a slow answer's age counts from when the source was asked",
         100,
         {{0s, "alice", Kind::kFound, kAliceShare, 1},
          {9s, "alice", Kind::kFound, kAliceShare, 1},
          {10s, "alice", Kind::kFound, kAliceShare, 2}},
         {1, 2, 0, 0},
         4s},
        {"at the byte bound the oldest answer goes; a value over its bound is never kept",
         100,
         {{0s, "alice", Kind::kFound, kAliceShare, 1},
          {1s, "nobody", Kind::kUnknown, {}, 1},
          {2s, "nohome", Kind::kNoHomeShare, {}, 1},  // alice goes: three would take 820 bytes
          {3s, "nobody", Kind::kUnknown, {}, 1},
          {4s, "alice", Kind::kFound, kAliceShare, 2},  // nobody goes
          {5s, "huge", Kind::kFound, HugeShare(), 1},
          {6s, "huge", Kind::kFound, HugeShare(), 2}},
         {1, 6, 2, 0},
         0ms,
         false,
         600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CountingSource source;
        CachedSource::Clock::time_point now{};
        CachedSource cache(source, kTtl, c.maxEntries, c.maxBytes, [&] { return now; });
        bool cleared = false;
        source.during = [&] {
            now += c.answerTakes;
            if (c.clearWhileAnswering && !cleared) {
                cleared = true;
                cache.Clear();
            }
        };
        for (const Step& step : c.steps) {
            SCOPED_TRACE(std::string(step.name) + " at " + std::to_string(step.at.count()) + " ms");
            now = CachedSource::Clock::time_point(step.at);
            if (step.name == kClear) {
                cache.Clear();
                EXPECT_EQ(cache.Counts().entries, 0U);
                continue;
            }
            if (step.name == kMoveAlice) {
                source.answers["alice"].value = std::string(kAliceMoved);
                continue;
            }
            const MemberAnswer answer = AnswerNow(cache, step.name);
            EXPECT_EQ(answer.kind, step.kind);
            EXPECT_EQ(answer.value, step.value);
            EXPECT_EQ(source.asked[std::string(step.name)], step.asked);
            EXPECT_LE(cache.Counts().entries, c.maxEntries);
            EXPECT_LE(cache.Counts().bytes, c.maxBytes);
        }
        const CacheCounters counts = cache.Counts();
        EXPECT_EQ(counts.hits, c.counts.hits);
        EXPECT_EQ(counts.misses, c.counts.misses);
        EXPECT_EQ(counts.evictions, c.counts.evictions);
    }
}

}  // namespace
}  // namespace brisvane::lookupd
