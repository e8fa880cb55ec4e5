#include "mount/text.h"

#include <algorithm>

namespace brisvane {

TextView TrimmedView(TextView text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == TextView::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

Text Join(std::initializer_list<TextView> pieces) {
    std::size_t size = 0;
    for (const TextView piece : pieces) {
        size += piece.size();
    }
    Text joined;
    joined.reserve(size);
    for (const TextView piece : pieces) {
        joined += piece;
    }
    return joined;
}

Text Decimal(std::int32_t number) {
    return WidenAscii(std::to_string(number));
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

Text WidenAscii(std::string_view bytes) {
    Text wide;
    wide.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto unit = static_cast<unsigned char>(byte);
        wide.push_back(unit < 0x80 ? static_cast<char16_t>(unit) : u'\uFFFD');
    }
    return wide;
}

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    auto put = [&out](unsigned value) { out.push_back(static_cast<char>(value)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

constexpr bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::string ToUtf8(TextView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t high = unit - 0xD800;
            const char32_t low = text[i + 1] - 0xDC00;
            AppendUtf8(out, 0x10000 + ((high << 10) | low));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::size_t FindIgnoringAsciiCase(TextView text, TextView needle) {
    const auto equal = [](char16_t a, char16_t b) { return FoldAscii(a) == FoldAscii(b); };
    const TextView::const_iterator found =
        std::search(text.begin(), text.end(), needle.begin(), needle.end(), equal);
    if (found == text.end() && !needle.empty()) {
        return TextView::npos;
    }
    return static_cast<std::size_t>(found - text.begin());
}

}  // namespace brisvane
