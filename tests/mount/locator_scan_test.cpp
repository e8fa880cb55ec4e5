#include "mount/locator_scan.h"

#include <gtest/gtest.h>

#include <vector>

namespace brisvane {
namespace {

// Markup that the search skips a block at a time.
constexpr TextView kPlainMarkup = u"<tr><td>plain text</td></tr>\r\n";

// Near misses of every kind the block test and the exact check must tell apart from a scheme:
// pairs the block test lets through ("./", "//", ">/"), a "://" after other letters, broken
// and spaced schemes, a scheme with a letter that only looks alike.
constexpr TextView kNearMisses =
    u"<a href=\"./x\">//</a> smb:/ sm b:// http://x smb:\\\\ \u017fmb:// ?/ */ smb\n:// xs";

// `length` code units of `pattern`, repeated.
Text Filler(TextView pattern, std::size_t length) {
    Text filler;
    while (filler.size() < length) {
        filler += pattern;
    }
    filler.resize(length);
    return filler;
}

// Lines with a link each, a "://" every few blocks, and near misses of the letters before it:
// "b:" and "b://" in other words, a scheme with a letter missing.
constexpr TextView kLinks =
    u"<tr><td><a href=\"https://x.example/m1\">Lab: web://x</a></td><td>sb://</td></tr>\r\n";

// The text is searched in blocks of 128 code units, in pairs of two; placing the scheme at every
// position across several blocks puts its "://" across every boundary, in both halves of a
// pair, both where blocks are skipped whole and where every block needs a closer look. Pages of
// links get a second test of their own for a stretch of blocks: the links are long enough for
// it to take turns with the first, and the links then markup for the first to take over again.
TEST(FindLocatorSchemeTest, FindsASchemeAtEveryPositionAndNothingElse) {
    const std::vector<Text> fillers = {Filler(kPlainMarkup, 700), Filler(kNearMisses, 700),
                                       Filler(kLinks, 3500),
                                       Filler(kLinks, 400) + Filler(kPlainMarkup, 3100)};
    for (const Text& filler : fillers) {
        ASSERT_EQ(FindLocatorScheme(filler, 0), TextView::npos);
        for (std::size_t at = 0; at + kLocatorScheme.size() <= filler.size(); ++at) {
            SCOPED_TRACE(at);
            Text text = filler;
            text.replace(at, kLocatorScheme.size(), at % 2 == 0 ? u"SmB://" : u"smb://");
            ASSERT_EQ(FindLocatorScheme(text, 0), at);
            ASSERT_EQ(FindLocatorScheme(text, at), at);
            ASSERT_EQ(FindLocatorScheme(text, at + 1), TextView::npos);
            // Cut right after the scheme: no unit follows it.
            ASSERT_EQ(FindLocatorScheme(TextView(text).substr(0, at + kLocatorScheme.size()), 0),
                      at);
        }
    }
}

TEST(FindLocatorSchemeTest, FindsTheFirstOfSeveral) {
    const Text text = Filler(kNearMisses, 100) + u"smb://a" + Filler(kPlainMarkup, 70) + u"smb://b";
    EXPECT_EQ(FindLocatorScheme(text, 0), 100u);
    EXPECT_EQ(FindLocatorScheme(text, 101), 177u);
    EXPECT_EQ(FindLocatorScheme(text, text.size()), TextView::npos);
    EXPECT_EQ(FindLocatorScheme(u"", 0), TextView::npos);
    EXPECT_EQ(FindLocatorScheme(u"smb:/", 0), TextView::npos);
}

TEST(FindLineEndTest, FindsTheFirstLineFeedOrTheEnd) {
    constexpr std::size_t kLength = 700;
    const Text line(kLength, u'x');
    EXPECT_EQ(FindLineEnd(line, 0), kLength);
    EXPECT_EQ(FindLineEnd(u"", 0), 0u);
    for (std::size_t at = 0; at < kLength; ++at) {
        SCOPED_TRACE(at);
        Text text = line;
        text[at] = u'\n';
        EXPECT_EQ(FindLineEnd(text, 0), at);
        EXPECT_EQ(FindLineEnd(text, at), at);
        EXPECT_EQ(FindLineEnd(text, at + 1), kLength);
    }
}

// Every unit that is a word character or hyphen, and units beside them in the code table or
// that only look alike: '@' and '[' around the capitals, '`' and '{' around the small letters,
// '/' and ':' around the digits, a long s, a small a with caron, a full-width a, Cyrillic a.
constexpr TextView kWordUnits = u"azAZ09_-mQ5";
constexpr TextView kOtherUnits = u"@[`{/:. <>\r\t\u017f\u01ce\uff41\u0430";

// The line is searched backwards a block of 128 code units at a time; a word unit at every
// position across several blocks, alone among the other units.
TEST(FindEndOfLastWordUnitTest, FindsTheLastWordUnitAtEveryPosition) {
    constexpr std::size_t kLength = 700;
    const Text line = Filler(kOtherUnits, kLength);
    EXPECT_EQ(FindEndOfLastWordUnit(line, 0, kLength), 0u);
    EXPECT_EQ(FindEndOfLastWordUnit(line, 5, kLength), 5u);
    EXPECT_EQ(FindEndOfLastWordUnit(u"", 0, 0), 0u);
    for (std::size_t at = 0; at < kLength; ++at) {
        SCOPED_TRACE(at);
        Text text = line;
        text[at] = kWordUnits[at % kWordUnits.size()];
        ASSERT_EQ(FindEndOfLastWordUnit(text, 0, kLength), at + 1);
        ASSERT_EQ(FindEndOfLastWordUnit(text, at, kLength), at + 1);
        ASSERT_EQ(FindEndOfLastWordUnit(text, at + 1, kLength), at + 1);
        ASSERT_EQ(FindEndOfLastWordUnit(text, 0, at), 0u);
        // A second one earlier does not count.
        text[at / 2] = u'x';
        ASSERT_EQ(FindEndOfLastWordUnit(text, 0, kLength), at + 1);
    }
}

}  // namespace
}  // namespace brisvane
