#include "mount/share_locator.h"

#include <algorithm>

#include "mount/locator_scan.h"

namespace brisvane {

namespace {

// The characters of the optional path group other than word characters and hyphens: no word
// character follows the last one on the line, so only these can extend the match there.
constexpr bool IsPathPunctuation(char16_t c) {
    return c == u' ' || c == u'.' || c == u'/' || c == u'?' || c == u'%' || c == u'&' || c == u'=';
}

}  // namespace

// A match starts at the first scheme of a line. "(.+)+" is ".+" in effect: it runs greedily to
// the end of the line and gives back characters until "[\w-]+" can take one, so the match ends
// at the line's last word character or hyphen, at least one character after the scheme, plus
// the optional group. A line without such a character yields nothing, whatever further schemes
// it holds, and once a line has matched, the rest of it holds no word character and so no
// further scheme. Each line is therefore looked at once forwards and once backwards.
std::vector<LocatorMatch> FindShareLocators(TextView page, std::size_t limit) {
    std::vector<LocatorMatch> matches;
    std::size_t from = 0;
    while (matches.size() < limit) {
        const std::size_t start = FindLocatorScheme(page, from);
        if (start == TextView::npos) {
            break;
        }
        const std::size_t firstFree = start + kLocatorScheme.size() + 1;  // ".+" takes at least one
        const std::size_t lineEnd = FindLineEnd(page, start + kLocatorScheme.size());
        const std::size_t last = FindEndOfLastWordUnit(page, firstFree, lineEnd);
        if (last > firstFree) {
            std::size_t end = last;
            if (end < lineEnd && page[end] == u'/') {
                while (++end < lineEnd && IsPathPunctuation(page[end])) {
                }
            }
            matches.push_back({start, end - start});
        }
        from = lineEnd;
    }
    return matches;
}

ShareSearchResult SearchShareLocator(TextView page) {
    const auto matches = FindShareLocators(page, 2);
    if (matches.empty()) {
        return {};
    }
    if (matches.size() > 1) {
        return {ShareSearchResult::Outcome::kSeveral, {}};
    }
    const auto& match = matches.front();
    return {ShareSearchResult::Outcome::kOne,
            ShareFromLocator(page.substr(match.position, match.length))};
}

Text ShareFromLocator(TextView locator) {
    constexpr std::size_t kSchemeAndColon = 4;  // "smb:"
    TextView path = locator.substr(std::min(kSchemeAndColon, locator.size()));
    path = path.substr(0, path.find(u'<'));
    return ReplaceChars(path, u"/", u"\\");
}

Text ReplaceChars(TextView text, TextView set, TextView replacement) {
    Text result(text);
    for (const char16_t target : set) {
        if (result.find(target) == Text::npos) {
            continue;
        }
        Text replaced;
        replaced.reserve(result.size());
        for (const char16_t c : result) {
            if (c == target) {
                replaced += replacement;
            } else {
                replaced += c;
            }
        }
        result = std::move(replaced);
    }
    return result;
}

}  // namespace brisvane
