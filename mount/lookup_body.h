// The body that the share lookup request posts.
#pragma once

#include <string>
#include <string_view>

#include "mount/text.h"

namespace brisvane {

// "user=" and the username as application/x-www-form-urlencoded has it: the UTF-8 bytes, every
// byte outside A-Z a-z 0-9 * - . _ written as %XX and a space as "+". So a username holding
// "&" or "=" reaches the page whole and adds no field; a plain one goes byte for byte.
std::string LookupRequestBody(TextView username);

}  // namespace brisvane
