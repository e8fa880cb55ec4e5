#include "mount/share_locator.h"

#include <gtest/gtest.h>

namespace brisvane {
namespace {

// The matched texts, for readable expectations.
std::vector<Text> MatchedTexts(TextView page) {
    std::vector<Text> texts;
    for (const LocatorMatch& match : FindShareLocators(page)) {
        texts.emplace_back(page.substr(match.position, match.length));
    }
    return texts;
}

TEST(FindShareLocatorsTest, FindsWhatTheLocatorPatternMatches) {
    struct Case {
        TextView page;
        std::vector<Text> matches;
    };
    const Case cases[] = {
        {u"<td>smb://srv1/user1</td>", {u"smb://srv1/user1</td"}},
        {u"smb://srv1/user1$</td>", {u"smb://srv1/user1$</td"}},
        {u"x SMB://srv1/users/user1<br>", {u"SMB://srv1/users/user1<br"}},
        {u"sMb://srv1/user1", {u"sMb://srv1/user1"}},
        {u"smb://a", {}},
        {u"smb://ab", {u"smb://ab"}},
        {u"smb://-a", {u"smb://-a"}},
        {u"smb:// ", {}},
        {u"smb://a\nb", {}},
        {u"smb://srv/dir/  ./?%&=<", {u"smb://srv/dir/  ./?%&="}},
        {u"smb://srv/x/ /\r\n", {u"smb://srv/x/ /"}},
        {u"smb://srv/x\r\n", {u"smb://srv/x"}},
        {u"smb://srv/x/\u00e9", {u"smb://srv/x/"}},
        {u"smb://srv/x,/", {u"smb://srv/x"}},
        {u"<a href=\"smb://s/u\">smb://s/u</a>", {u"smb://s/u\">smb://s/u</a"}},
        {u"smb://s/u\nsmb://t/v\n", {u"smb://s/u", u"smb://t/v"}},
        {u"smb:/s/u smb//t/v smb:\\\\w\\x", {}},
        {u"smbsmb://srv/u", {u"smb://srv/u"}},
        {u"smb://\rsmb://", {u"smb://\rsmb"}},
        {u"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchedTexts(c.page), c.matches) << std::string(c.page.begin(), c.page.end());
    }
}

TEST(FindShareLocatorsTest, StopsAtTheLimit) {
    const TextView page = u"smb://a/b\nsmb://c/d\nsmb://e/f\n";
    EXPECT_EQ(FindShareLocators(page, 2).size(), 2u);
    EXPECT_EQ(FindShareLocators(page).size(), 3u);
    EXPECT_EQ(FindShareLocators(page).back(), (LocatorMatch{20, 9}));
}

TEST(SearchShareLocatorTest, DecidesBetweenOneNoneAndSeveral) {
    using Outcome = ShareSearchResult::Outcome;
    const auto one =
        SearchShareLocator(u"<tr><td>Share</td>\r\n<td>smb://srv1/user1</td></tr>\r\n</table>");
    EXPECT_EQ(one.outcome, Outcome::kOne);
    EXPECT_EQ(one.sharePath, u"\\\\srv1\\user1");

    EXPECT_EQ(SearchShareLocator(u"<html>no such user</html>").outcome, Outcome::kNone);
    EXPECT_EQ(SearchShareLocator(u"smb://srv1/user1<br>\nsmb://srv1/user1<br>").outcome,
              Outcome::kSeveral);

    // Two locators on one line are one match, converted up to its first "<".
    const auto sameLine = SearchShareLocator(u"smb://s1/a<br>smb://s2/b<br>");
    EXPECT_EQ(sameLine.outcome, Outcome::kOne);
    EXPECT_EQ(sameLine.sharePath, u"\\\\s1\\a");
    const auto noMarkupBetween = SearchShareLocator(u"smb://s1/a smb://s2/b<br>");
    EXPECT_EQ(noMarkupBetween.sharePath, u"\\\\s1\\a smb:\\\\s2\\b");
}

TEST(ShareFromLocatorTest, CutsAtTheFirstMarkupAndTurnsSlashes) {
    EXPECT_EQ(ShareFromLocator(u"smb://srv1/user1</td"), u"\\\\srv1\\user1");
    EXPECT_EQ(ShareFromLocator(u"smb://srv1/user1$</td"), u"\\\\srv1\\user1$");
    EXPECT_EQ(ShareFromLocator(u"SMB://srv1/users/user1<br"), u"\\\\srv1\\users\\user1");
    // Without markup the whole locator is kept, its last character included.
    EXPECT_EQ(ShareFromLocator(u"smb://srv1/user1"), u"\\\\srv1\\user1");
    EXPECT_EQ(ShareFromLocator(u"smb"), u"");
}

TEST(ShareFromLocatorTest, HandlesAMarkupPositionBeyondSixteenBits) {
    Text locator = u"smb://srv/" + Text(40000, u'a') + u"<td";
    EXPECT_EQ(ShareFromLocator(locator), u"\\\\srv\\" + Text(40000, u'a'));

    Text page = u"<td>smb://srv/" + Text(70000, u'b') + u"</td>";
    const auto result = SearchShareLocator(page);
    EXPECT_EQ(result.outcome, ShareSearchResult::Outcome::kOne);
    EXPECT_EQ(result.sharePath.size(), 2 + 3 + 1 + 70000u);
}

TEST(ReplaceCharsTest, ReplacesEachCharacterOfTheSetInTurn) {
    EXPECT_EQ(ReplaceChars(u"//a/b", u"/", u"\\"), u"\\\\a\\b");
    EXPECT_EQ(ReplaceChars(u"abc", u"/", u"\\"), u"abc");
    EXPECT_EQ(ReplaceChars(u"abc", u"", u"x"), u"abc");
    EXPECT_EQ(ReplaceChars(u"a/b/c", u"/", u""), u"abc");
    EXPECT_EQ(ReplaceChars(u"ab", u"ab", u"b"), u"bb");    // a->b, then every b->b
    EXPECT_EQ(ReplaceChars(u"ab", u"ba", u"a"), u"aa");    // b->a, then a->a
    EXPECT_EQ(ReplaceChars(u"a", u"ab", u"bb"), u"bbbb");  // a->bb, then each b->bb
}

// Pages that would stall a backtracking engine on the nested quantifier, and lines far beyond
// any real page, all come back with the right outcome.
TEST(FindShareLocatorsTest, HandlesPathologicalAndHugeInput) {
    const Text spaces(1'000'000, u' ');
    EXPECT_TRUE(FindShareLocators(u"smb://" + spaces).empty());
    EXPECT_TRUE(FindShareLocators(u"smb://" + spaces + u"\nsmb://a").empty());
    EXPECT_EQ(FindShareLocators(u"smb://" + spaces + u"x").size(), 1u);

    // Every later scheme lies inside the first one's match, which ends at the last "b".
    Text manySchemes;
    for (int i = 0; i < 200'000; ++i) {
        manySchemes += u"smb:// ";
    }
    EXPECT_EQ(FindShareLocators(manySchemes), (std::vector<LocatorMatch>{{0, 7 * 200'000 - 4}}));

    Text manyLines;
    for (int i = 0; i < 200'000; ++i) {
        manyLines += u"smb://s/u\n";
    }
    EXPECT_EQ(FindShareLocators(manyLines).size(), 200'000u);
    EXPECT_EQ(FindShareLocators(manyLines, 2).size(), 2u);

    const Text noise(2'000'000, u'\0');
    EXPECT_EQ(SearchShareLocator(noise + u"smb://s/u<" + noise).sharePath, u"\\\\s\\u");
}

}  // namespace
}  // namespace brisvane
