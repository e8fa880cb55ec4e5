// The small pieces of the service: strict UTF-8, the log's quoting, the rate limit.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "lookupd/rate_limiter.h"
#include "lookupd/request_log.h"
#include "lookupd/utf8.h"

namespace brisvane::lookupd {
namespace {

TEST(Utf8Test, AcceptsOnlyWellFormedUtf8) {
    struct Case {
        std::string_view bytes;
        std::optional<Text> text;
    };
    const Case cases[] = {
        {"alice", u"alice"},
        {"j\xC3\xBCrgen", u"j\u00FCrgen"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},  // a surrogate pair
        {"", u""},
        {"\xFF", std::nullopt},
        {"\x80", std::nullopt},              // a stray continuation byte
        {"\xC3", std::nullopt},              // truncated
        {"\xC0\xAF", std::nullopt},          // overlong "/"
        {"\xE0\x80\xAF", std::nullopt},      // overlong "/"
        {"\xED\xA0\x80", std::nullopt},      // a surrogate
        {"\xF4\x90\x80\x80", std::nullopt},  // above U+10FFFF
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToText(c.bytes), c.text);
    }
    EXPECT_EQ(CharacterCount(u"j\u00FCrgen\U0001F600"), 7U);
}

TEST(RequestLogTest, OneRequestIsOneLineAndTheNameOnlyWhenAsked) {
    HttpResponse response;
    response.status = 200;
    response.outcome = Outcome::kFound;
    response.username = "eve\n\"x\" \\";
    response.warning = "two\nlines";
    const std::string without =
        FormatRequestLine(response, std::chrono::microseconds(1500), "127.0.0.1", false);
    EXPECT_EQ(without,
              "lookup status=200 outcome=found time=1.50ms client=127.0.0.1 "
              "warning=\"two\\x0alines\"");
    const std::string with =
        FormatRequestLine(response, std::chrono::microseconds(1500), "127.0.0.1", true);
    EXPECT_NE(with.find(" user=\"eve\\x0a\\\"x\\\" \\\\\""), std::string::npos) << with;
    EXPECT_EQ(with.find('\n'), std::string::npos);
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
