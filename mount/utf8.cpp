#include "mount/utf8.h"

#include <algorithm>
#include <cstdint>

namespace brisvane {

namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;

constexpr bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

}  // namespace

Utf8Character FirstCharacter(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes.front());
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;  // the least value this length may carry: shorter is overlong
    if (lead < 0x80U) {
        return {lead, 1};
    }
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
        codePoint = lead & 0x1FU;
        smallest = 0x80;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
        codePoint = lead & 0x0FU;
        smallest = 0x800;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
        codePoint = lead & 0x07U;
        smallest = 0x10000;
    } else {
        return {};
    }
    if (bytes.size() < length) {
        return {};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[k]);
        if (!IsContinuation(next)) {
            return {};
        }
        codePoint = (codePoint << 6U) | (next & 0x3FU);
    }
    if (codePoint < smallest || codePoint > kMaxCodePoint ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return {};
    }
    return {codePoint, length};
}

void AppendUtf16(Text& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    const char32_t offset = codePoint - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10U)));
    out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FFU)));
}

std::optional<Text> Utf8ToText(std::string_view bytes) {
    Text out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const Utf8Character character = FirstCharacter(bytes);
        if (!character.codePoint) {
            return std::nullopt;
        }
        AppendUtf16(out, *character.codePoint);
        bytes.remove_prefix(character.length);
    }
    return out;
}

std::size_t CharacterCount(TextView text) {
    // Every code point but the second half of a surrogate pair.
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char16_t unit) { return unit < 0xDC00 || unit > 0xDFFF; }));
}

}  // namespace brisvane
