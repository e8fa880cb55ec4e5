// The small pieces of the service: the log's quoting, the rate limit.
#include <gtest/gtest.h>

#include <string>

#include "lookupd/rate_limiter.h"
#include "lookupd/request_log.h"

namespace brisvane::lookupd {
namespace {

TEST(RequestLogTest, EscapesWhatActsOnTheDisplayAndBytesThatAreNoCharacter) {
    struct Case {
        std::string_view text;
        std::string_view line;    // as an event line shows it
        std::string_view quoted;  // as a field's value
    };
    const Case cases[] = {
        {"alice", "alice", R"("alice")"},
        {R"(say "hi" a=b \ c)", R"(say "hi" a=b \ c)", R"("say \"hi\" a=b \\ c")"},
        {R"(\u{85})", R"(\u{85})", R"("\\u{85}")"},
        {"j\xC3\xBCrgen \xE4\xB8\xAD\xC2\xA0\xF0\x9F\x98\x80",
         "j\xC3\xBCrgen \xE4\xB8\xAD\xC2\xA0\xF0\x9F\x98\x80",
         "\"j\xC3\xBCrgen \xE4\xB8\xAD\xC2\xA0\xF0\x9F\x98\x80\""},
        // C0, DEL, C1 (U+0085 next line, U+009B the terminal's CSI)
        {std::string_view("a\0\n\r\t\x1B\x7F", 7), R"(a\u{0}\u{a}\u{d}\u{9}\u{1b}\u{7f})",
         R"("a\u{0}\u{a}\u{d}\u{9}\u{1b}\u{7f}")"},
        {"\xC2\x80\xC2\x85\xC2\x9B\xC2\x9F", R"(\u{80}\u{85}\u{9b}\u{9f})",
         R"("\u{80}\u{85}\u{9b}\u{9f}")"},
        // line and paragraph separators; bidirectional controls
        {"\xE2\x80\xA8\xE2\x80\xA9", R"(\u{2028}\u{2029})", R"("\u{2028}\u{2029}")"},
        {"x\xE2\x80\xAE\xE2\x81\xA6\xD8\x9C\xE2\x80\x8F", R"(x\u{202e}\u{2066}\u{61c}\u{200f})",
         R"("x\u{202e}\u{2066}\u{61c}\u{200f}")"},
        // invisible format characters
        {"\xC2\xAD\xE2\x80\x8B\xEF\xBB\xBF\xF3\xA0\x80\x81", R"(\u{ad}\u{200b}\u{feff}\u{e0001})",
         R"("\u{ad}\u{200b}\u{feff}\u{e0001}")"},
        // bytes outside well-formed UTF-8, each on its own: stray, truncated, overlong, surrogate
        {"a\xFF\x80z\xE2\x80", R"(a\xff\x80z\xe2\x80)", R"("a\xff\x80z\xe2\x80")"},
        {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", R"(\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80)",
         R"("\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapedLine(c.text), c.line) << c.quoted;
        EXPECT_EQ(Quoted(c.text), c.quoted) << c.quoted;
        // A line once escaped has nothing left to escape.
        EXPECT_EQ(EscapedLine(Quoted(c.text)), Quoted(c.text));
    }
}

TEST(RequestLogTest, OneRequestIsOneLineOfFieldsAndTheNameOnlyWhenAsked) {
    HttpResponse response;
    response.status = 200;
    response.outcome = Outcome::kFound;
    response.username = "eve\" client=192.0.2.66 x=\"\xC2\x85";
    response.warning = "two\nlines";
    EXPECT_EQ(FormatRequestLine(response, std::chrono::microseconds(1500), "127.0.0.1", false),
              R"(lookup status=200 outcome=found time=1.50ms client=127.0.0.1 )"
              R"(warning="two\u{a}lines")");
    EXPECT_EQ(FormatRequestLine(response, std::chrono::microseconds(1500), "127.0.0.1", true),
              R"(lookup status=200 outcome=found time=1.50ms client=127.0.0.1 )"
              R"(user="eve\" client=192.0.2.66 x=\"\u{85}" warning="two\u{a}lines")");
}

TEST(RateLimiterTest, AnAddressGetsItsBurstThenItsRate) {
    RateLimiter limiter(2, 3);  // 2 a second, 3 at once
    const auto start = RateLimiter::Clock::now();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(limiter.Allow("192.0.2.1", start)) << i;
    }
    EXPECT_FALSE(limiter.Allow("192.0.2.1", start));
    EXPECT_TRUE(limiter.Allow("192.0.2.2", start));  // another address has its own bucket
    EXPECT_FALSE(limiter.Allow("192.0.2.1", start + std::chrono::milliseconds(400)));
    EXPECT_TRUE(limiter.Allow("192.0.2.1", start + std::chrono::milliseconds(600)));
    EXPECT_FALSE(limiter.Allow("192.0.2.1", start + std::chrono::milliseconds(600)));
    // Refilled up to the burst, never beyond it.
    const auto later = start + std::chrono::seconds(60);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(limiter.Allow("192.0.2.1", later)) << i;
    }
    EXPECT_FALSE(limiter.Allow("192.0.2.1", later));
}

}  // namespace
}  // namespace brisvane::lookupd
