// The body that the share lookup request posts, and its reading on the page's side.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mount/text.h"

namespace brisvane {

// "user=" and the username as application/x-www-form-urlencoded has it: the UTF-8 bytes, every
// byte outside A-Z a-z 0-9 * - . _ written as %XX and a space as "+". So a username holding
// "&" or "=" reaches the page whole and adds no field; a plain one goes byte for byte.
std::string LookupRequestBody(TextView username);

// The values of the fields named `name` in an application/x-www-form-urlencoded body, in their
// order: fields are separated by "&", a field's name and value by its first "=" (none: an empty
// value), and in both "+" stands for a space and "%XX" for the byte XX (either case). The bytes
// are returned as decoded, NUL included. Nothing when any field is not well-formed: a "%" not
// followed by two hexadecimal digits.
std::optional<std::vector<std::string>> FormValues(std::string_view body, std::string_view name);

}  // namespace brisvane
