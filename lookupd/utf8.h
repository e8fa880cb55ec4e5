// Strict UTF-8 for text that comes from clients, the directory and the members file.
#pragma once

#include <optional>
#include <string_view>

#include "mount/text.h"

namespace brisvane::lookupd {

// The first character of `bytes` (which must not be empty) and the number of bytes its sequence
// takes; no character and a length of 1 when the first byte starts no well-formed sequence.
struct Utf8Character {
    std::optional<char32_t> codePoint;
    std::size_t length = 1;
};
Utf8Character FirstCharacter(std::string_view bytes);

// The UTF-16 form of `bytes`, or nothing when they are not well-formed UTF-8 (a stray
// continuation byte, a truncated or overlong sequence, a surrogate, a value above U+10FFFF).
std::optional<Text> Utf8ToText(std::string_view bytes);

// The number of Unicode characters (code points) in `text`.
std::size_t CharacterCount(TextView text);

}  // namespace brisvane::lookupd
