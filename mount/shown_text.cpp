#include "mount/shown_text.h"

namespace brisvane {

namespace {

constexpr char32_t kEllipsis = U'\u2026';

constexpr bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// "<U+", the value in upper-case hexadecimal with at least four digits, ">".
template <typename Char>
void AppendEscape(std::basic_string<Char>& out, char32_t value) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    constexpr int kMinDigits = 4;
    constexpr int kMaxDigits = 8;
    int digits = kMinDigits;
    while (digits < kMaxDigits && (value >> (4 * digits)) != 0) {
        ++digits;
    }
    out.append({static_cast<Char>('<'), static_cast<Char>('U'), static_cast<Char>('+')});
    for (int digit = digits - 1; digit >= 0; --digit) {
        out.push_back(static_cast<Char>(kDigits[(value >> (4 * digit)) & 0xFU]));
    }
    out.push_back(static_cast<Char>('>'));
}

// Works piece by piece (a character, a surrogate pair or an escape) and stops as soon as the
// result is too long, so that a page's megabyte costs no more than its first few hundred units.
template <typename Char>
std::basic_string<Char> Shown(std::basic_string_view<Char> text) {
    static_assert(sizeof(Char) == 2 || sizeof(Char) == 4, "UTF-16 or UTF-32 code units");
    std::basic_string<Char> shown;
    // The length at the last piece boundary that leaves room for the "…".
    std::size_t cut = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        auto character = static_cast<char32_t>(text[i]);
        std::size_t length = 1;
        if constexpr (sizeof(Char) == 2) {
            if (IsHighSurrogate(character) && i + 1 < text.size() &&
                IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
                character = 0x10000 + ((character - 0xD800) << 10U) +
                            (static_cast<char32_t>(text[i + 1]) - 0xDC00);
                length = 2;
            }
        }
        if (ActsOnTheDisplay(character)) {
            AppendEscape(shown, character);
        } else {
            shown.append(text.substr(i, length));
        }
        i += length;
        if (shown.size() < kShownTextLimit) {
            cut = shown.size();
        } else if (shown.size() > kShownTextLimit) {
            shown.resize(cut);
            shown.push_back(static_cast<Char>(kEllipsis));
            return shown;
        }
    }
    return shown;
}

}  // namespace

bool ActsOnTheDisplay(char32_t codePoint) {
    return codePoint <= 0x1F ||                           // C0 controls
           (codePoint >= 0x7F && codePoint <= 0x9F) ||    // DEL and the C1 controls
           codePoint == 0x2028 || codePoint == 0x2029 ||  // line and paragraph separators
           (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF ||
           IsInvisibleCharacter(codePoint);
}

Text ShownText(TextView text) {
    return Shown(text);
}

std::wstring ShownText(std::wstring_view text) {
    return Shown(text);
}

}  // namespace brisvane
