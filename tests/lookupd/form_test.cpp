#include "lookupd/form.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace brisvane::lookupd {
namespace {

TEST(FormTest, TakesTheOneUserFieldAsTheClientEncodesIt) {
    using namespace std::string_literals;
    struct Case {
        std::string_view body;
        std::optional<std::string> user;
    };
    const Case cases[] = {
        {"user=alice", "alice"},
        {"user=j%C3%BCrgen", "j\xC3\xBCrgen"},  // UTF-8, percent-encoded
        {"user=j%c3%bcrgen", "j\xC3\xBCrgen"},  // lower-case hex digits
        {"user=a+b", "a b"},
        {"user=a%2Bb%26c%3Dd", "a+b&c=d"},  // "&" and "=" inside the name add no field
        {"user=a%00b", "a\0b"s},            // NUL decoded; the handler refuses it
        {"user=", ""},
        {"user", ""},
        {"lang=en&user=bob&x", "bob"},  // other fields ignored
        {"us%65r=bob", "bob"},          // the field name is decoded too
        {"", std::nullopt},
        {"name=alice", std::nullopt},           // no user field
        {"user=alice&user=bob", std::nullopt},  // which one?
        {"user=a%2", std::nullopt},             // truncated escape
        {"user=a%zz", std::nullopt},            // not hexadecimal
        {"user=a%", std::nullopt},
        {"x=%G0&user=bob", std::nullopt},  // a malformed field anywhere
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UserFromForm(c.body), c.user) << c.body;
    }
}

}  // namespace
}  // namespace brisvane::lookupd
