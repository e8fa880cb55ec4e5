#include "mount/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string_view>

namespace brisvane {
namespace {

TEST(TrimTest, RemovesOnlySpaces) {
    EXPECT_EQ(Trim(u"  a b  "), u"a b");
    EXPECT_EQ(Trim(u"\ta\t "), u"\ta\t");
    EXPECT_EQ(Trim(u"    "), u"");
    EXPECT_EQ(Trim(u""), u"");
}

TEST(DecimalTest, WritesSignedNumbersPlainly) {
    EXPECT_EQ(Decimal(0), u"0");
    EXPECT_EQ(Decimal(1219), u"1219");
    EXPECT_EQ(Decimal(-2146697211), u"-2146697211");
    EXPECT_EQ(Decimal(std::numeric_limits<std::int32_t>::min()), u"-2147483648");
}

TEST(ToUtf8Test, EncodesEveryCodeUnitAndReplacesLoneSurrogates) {
    EXPECT_EQ(ToUtf8(u"a\u00e9\u20ac"), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {0xD800, u'x', 0xDC00, 0};
    EXPECT_EQ(ToUtf8(lone), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(TextView(u"a\0b", 3)), std::string("a\0b", 3));
}

// Only A-Z fold, the same for every character type and whatever the locale: the neighbours of
// the letters stay, and so do non-ASCII letters that some locales would fold (the Turkish
// dotted capital I, the Kelvin sign, a Latin-1 byte).
TEST(AsciiFoldingTest, FoldsOnlyAToZ) {
    EXPECT_EQ(FoldedAscii(std::string_view("@AZ[`az{09")), "@az[`az{09");
    EXPECT_EQ(FoldAscii('\xC9'), '\xC9');
    EXPECT_EQ(FoldedAscii(std::wstring_view(L"Charset=UTF-8\u00C9")), L"charset=utf-8\u00C9");
    EXPECT_EQ(FoldedAscii(TextView(u"\u0130\u212AK")), u"\u0130\u212Ak");
    EXPECT_TRUE(EqualIgnoringAsciiCase(std::string_view("Application/X-Www"), "application/x-WWW"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(std::string_view("ab"), "abc"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(TextView(u"\u0130"), u"i"));
}

}  // namespace
}  // namespace brisvane
