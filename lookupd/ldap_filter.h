// Putting a username into an LDAP search filter without letting it change the filter.
#pragma once

#include <string>
#include <string_view>

namespace brisvane::lookupd {

// `value` as an assertion value of a search filter (RFC 4515): "*", "(", ")", "\" and NUL are
// written as \2a, \28, \29, \5c and \00, so that the value can only ever match itself.
std::string EscapeFilterValue(std::string_view value);

// `filterTemplate` with every "%s" replaced by the escaped username.
std::string FilterForUser(std::string_view filterTemplate, std::string_view username);

}  // namespace brisvane::lookupd
