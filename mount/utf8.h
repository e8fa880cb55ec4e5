// Reading UTF-8 strictly: the one decoder of the project, for text that comes from the network
// and from files (the lookup service's clients, directory and members file) and for the fuzz
// targets' inputs. Writing UTF-8 is ToUtf8 (mount/text.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "mount/text.h"

namespace brisvane {

// The first character of `bytes` (which must not be empty) and the number of bytes its sequence
// takes; no character and a length of 1 when the first byte starts no well-formed sequence (a
// stray continuation byte, a truncated or overlong sequence, a surrogate, a value above
// U+10FFFF).
struct Utf8Character {
    std::optional<char32_t> codePoint;
    std::size_t length = 1;
};
Utf8Character FirstCharacter(std::string_view bytes);

// The UTF-16 form of `bytes`, or nothing when they are not well-formed UTF-8.
std::optional<Text> Utf8ToText(std::string_view bytes);

// Appends the UTF-16 form of `codePoint`: one code unit, or a surrogate pair above U+FFFF.
void AppendUtf16(Text& out, char32_t codePoint);

// The number of Unicode characters (code points) in `text`.
std::size_t CharacterCount(TextView text);

}  // namespace brisvane
