// The request body the client posts: application/x-www-form-urlencoded, "user=" and the name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brisvane::lookupd {

// The bytes of the one `user` field of a form-encoded body, decoded as FormValues
// (mount/lookup_body.h) reads a form. Other fields are ignored. Nothing when the body is not
// well-formed (a "%" not followed by two hexadecimal digits) or holds no `user` field or more
// than one. The bytes are returned as decoded, NUL included: judging the name is the caller's
// business.
std::optional<std::string> UserFromForm(std::string_view body);

}  // namespace brisvane::lookupd
