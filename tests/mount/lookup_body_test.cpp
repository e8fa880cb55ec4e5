#include "mount/lookup_body.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane {
namespace {

TEST(LookupRequestBodyTest, FormEncodesTheUsername) {
    struct Case {
        TextView username;
        const char* body;
    };
    const Case cases[] = {
        {u"user1", "user=user1"},
        {u"Jo.Smith-2_x*", "user=Jo.Smith-2_x*"},
        {u"a b", "user=a+b"},
        {u"a&user=other", "user=a%26user%3Dother"},
        {u"50%+1", "user=50%25%2B1"},
        {u"J\u00f6rg", "user=J%C3%B6rg"},
        {u"~!/\\", "user=%7E%21%2F%5C"},
        {TextView(u"a\0b", 3), "user=a%00b"},
        {u"\xD800", "user=%EF%BF%BD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LookupRequestBody(c.username), c.body);
        // The page's reading gives back the username's UTF-8 bytes, the one value of "user".
        EXPECT_EQ(FormValues(c.body, "user"), std::vector<std::string>{ToUtf8(c.username)})
            << c.body;
    }
}

TEST(FormValuesTest, DecodesEveryFieldAndRefusesABadEscapeAnywhere) {
    using Values = std::vector<std::string>;
    struct Case {
        std::string_view body;
        std::optional<Values> users;
    };
    const Case cases[] = {
        {"user=j%c3%bcrgen", Values{"j\xC3\xBCrgen"}},  // lower-case hex digits
        {"us%65r=a+b&x&user", Values{"a b", ""}},       // names decoded; in order; no "="
        {"a=b=c&=&&", Values{}},
        {"", Values{}},
        {"user=a%2", std::nullopt},
        {"user=a%", std::nullopt},
        {"x=%G0&user=bob", std::nullopt},
        {"user=bob&%zz", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormValues(c.body, "user"), c.users) << c.body;
    }
    EXPECT_EQ(FormValues("a=b=c", "a"), Values{"b=c"});  // a value holds every later "="
}

}  // namespace
}  // namespace brisvane
