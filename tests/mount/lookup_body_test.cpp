#include "mount/lookup_body.h"

#include <gtest/gtest.h>

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
    }
}

}  // namespace
}  // namespace brisvane
