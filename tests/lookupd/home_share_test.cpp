#include "lookupd/home_share.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "lookupd/page.h"
#include "mount/share_locator.h"
#include "mount/utf8.h"

namespace brisvane::lookupd {
namespace {

using enum ShareValueRefusal;

TEST(HomeShareTest, TurnsUncPathsIntoLocatorsAndRefusesWhatTheClientWouldNotMap) {
    const FileServerList campus({"files1.campus.example", ".staff.campus.example"});
    const FileServerList anyServer;
    struct Case {
        std::string_view value;
        const FileServerList& servers;
        ShareValueRefusal refusal;
        std::string_view locator;
    };
    const Case cases[] = {
        {"\\\\files1.campus.example\\homes\\alice", campus, kNone,
         "smb://files1.campus.example/homes/alice"},
        {"\\\\FILES1.campus.example\\alice$", campus, kNone, "smb://FILES1.campus.example/alice$"},
        {"\\\\f2.staff.campus.example\\bob", campus, kNone, "smb://f2.staff.campus.example/bob"},
        {"\\\\anywhere\\x", anyServer, kNone, "smb://anywhere/x"},
        {"\\\\files.evil.example\\loot", campus, kNotAFileServer, ""},
        {"\\\\files1.campus.example.evil\\loot", campus, kNotAFileServer, ""},
        {"\\\\staff.campus.example\\x", campus, kNotAFileServer, ""},  // ".suffix": longer only
        {"/home/alice", campus, kNotUnc, ""},
        {"H:\\alice", campus, kNotUnc, ""},
        {"\\\\files1.campus.example", campus, kNotUnc, ""},
        {"\\\\files1.campus.example\\", campus, kNotUnc, ""},
        {"\\\\\\share", anyServer, kNotUnc, ""},
        {"", campus, kNotUnc, ""},
        {"\\\\files1.campus.example\\a\xFF", campus, kNotUnc, ""},  // not UTF-8
        {"\\\\files1.campus.example\\a<b", campus, kCannotCarry, ""},
        {"\\\\files1.campus.example\\a\nb", campus, kCannotCarry, ""},
        {"\\\\files1.campus.example\\a\rb", campus, kCannotCarry, ""},
        {"\\\\files1.campus.example\\a\tb", campus, kCannotCarry, ""},
        {"\\\\files1.campus.example\\a\x7F", campus, kCannotCarry, ""},
        {"\\\\.\\pipe\\x", anyServer, kDevicePath, ""},
        {"\\\\user@files1.campus.example\\x", anyServer, kWebServer, ""},
        {"\\\\files1.campus.example\\homes\\..\\admin$", campus, kDotStep, ""},
        // The client turns "/" into "\": the path it would map is what is checked.
        {"\\\\files1.campus.example\\homes/../admin$", campus, kDotStep, ""},
        {"\\\\files.evil.example/x\\y", campus, kNotAFileServer, ""},
    };
    for (const Case& c : cases) {
        const ShareLocator result = LocatorForShare(c.value, c.servers);
        EXPECT_EQ(result.refusal, c.refusal) << c.value;
        EXPECT_EQ(result.locator.value_or(""), c.locator) << c.value;
    }
}

TEST(HomeShareTest, NamesTheRefusedServerForTheLog) {
    const ShareLocator result =
        LocatorForShare("\\\\files.evil.example\\loot", FileServerList({"files1.campus.example"}));
    EXPECT_EQ(result.server, "files.evil.example");
}

// The page is written for the client: its own search finds exactly the value's share path.
TEST(HomeShareTest, TheClientReadsBackTheSharePathFromThePage) {
    const std::string_view values[] = {
        "\\\\files1.campus.example\\homes\\alice",
        "\\\\files1.campus.example\\alice$",  // "$" after the last word character
        "\\\\files1.campus.example\\alice.",  // so is "."
        "\\\\srv\\my share\\a&b=c%20d",       // kept as it is, not HTML-escaped
        "\\\\srv\\j\xC3\xBCrgen",             // non-ASCII
        "\\\\srv\\x\\",                       // a trailing separator
    };
    for (const std::string_view value : values) {
        const ShareLocator share = LocatorForShare(value, FileServerList());
        ASSERT_TRUE(share.locator) << value;
        const std::optional<Text> page = Utf8ToText(RenderLookupPage(share.locator));
        ASSERT_TRUE(page);
        const ShareSearchResult found = SearchShareLocator(*page);
        EXPECT_EQ(found.outcome, ShareSearchResult::Outcome::kOne) << value;
        EXPECT_EQ(found.sharePath, Utf8ToText(value)) << value;
    }
}

TEST(HomeShareTest, APageWithoutLocatorGivesTheClientNone) {
    const std::optional<Text> page = Utf8ToText(RenderLookupPage(std::nullopt));
    ASSERT_TRUE(page);
    EXPECT_EQ(SearchShareLocator(*page).outcome, ShareSearchResult::Outcome::kNone);
}

}  // namespace
}  // namespace brisvane::lookupd
