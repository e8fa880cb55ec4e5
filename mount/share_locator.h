// Finds the member's smb locator in the lookup page and turns it into the share's UNC path.
#pragma once

#include <cstddef>
#include <limits>
#include <vector>

#include "mount/text.h"

namespace brisvane {

// The locator as the lookup page writes it, matched without regard to case, globally, leftmost
// and greedy, '.' never matching a line feed and '\w' meaning [A-Za-z0-9_]. It is kept as the
// definition of what FindShareLocators finds; the search itself never runs it, since a
// backtracking engine takes exponential time on the nested quantifier.
inline constexpr TextView ShareLocatorPattern = u"smb://(.+)+[\\w-]+(/[\\w- ./?%&=]*)?";

// Where one match of ShareLocatorPattern stands in the page (code units, from 0).
struct LocatorMatch {
    std::size_t position = 0;
    std::size_t length = 0;
    friend bool operator==(const LocatorMatch&, const LocatorMatch&) = default;
};

// The matches of ShareLocatorPattern in `page`, left to right, stopping after `limit` of them.
// Time is linear in the page's length.
std::vector<LocatorMatch> FindShareLocators(
    TextView page, std::size_t limit = std::numeric_limits<std::size_t>::max());

// How many locators the page holds, and the share path when there is exactly one.
struct ShareSearchResult {
    enum class Outcome { kNone, kOne, kSeveral };
    Outcome outcome = Outcome::kNone;
    Text sharePath;  // set only for kOne
};

ShareSearchResult SearchShareLocator(TextView page);

// The UNC path of a matched locator: the text after the scheme ("smb:"), cut at the first "<",
// with every slash turned into a backslash. smb://srv1/user1</td gives \\srv1\user1.
Text ShareFromLocator(TextView locator);

// `text` with every code unit of `set` replaced by `replacement`, one set character after the
// other, so a character that an earlier replacement produced is subject to the later ones.
Text ReplaceChars(TextView text, TextView set, TextView replacement);

}  // namespace brisvane
