// The page the lookup answers with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brisvane::lookupd {

// A small HTML page. With a locator it holds exactly one line with it, followed by markup on the
// same line ("<tr><td>smb://server/share</td></tr>"): the client's search runs to the last word
// character of the line, so markup after the locator keeps a trailing "$" or "." in the share,
// and a second line with "smb://" would count as a second share. The locator is written as it
// is, not HTML-escaped: the client reads no HTML. Without a locator, the page says that no home
// share was found. The page never holds the username.
std::string RenderLookupPage(const std::optional<std::string>& locator);

}  // namespace brisvane::lookupd
