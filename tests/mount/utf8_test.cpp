#include "mount/utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace brisvane {
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

// What follows the first character is left alone, and a byte that starts nothing well-formed
// is skipped on its own, so that a reader can go on with the next one.
TEST(Utf8Test, ReadsOneCharacterAndItsLength) {
    struct Case {
        std::string_view bytes;
        std::optional<char32_t> codePoint;
        std::size_t length;
    };
    const Case cases[] = {
        {"a\x80", U'a', 1},
        {"\xC3\xBC\xFF", U'\u00FC', 2},
        {"\xE2\x82\xAC\xE2", U'\u20AC', 3},
        {"\xF4\x8F\xBF\xBF", U'\U0010FFFF', 4},
        {"\xE2\x82z", std::nullopt, 1},  // truncated before the next character
        {"\xF8\x88\x80\x80\x80", std::nullopt, 1},
        {"\xED\xBF\xBF", std::nullopt, 1},  // a surrogate
    };
    for (const Case& c : cases) {
        const Utf8Character character = FirstCharacter(c.bytes);
        EXPECT_EQ(character.codePoint, c.codePoint) << c.length;
        EXPECT_EQ(character.length, c.length);
    }
}

}  // namespace
}  // namespace brisvane
