// Text as the mount core handles it: UTF-16 code units, positions counted in code units.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace brisvane {

using Text = std::u16string;
using TextView = std::u16string_view;

// The line break of every message and of the activity log.
inline constexpr TextView kCrLf = u"\r\n";

// Removes leading and trailing U+0020 only; tabs and other blanks stay.
TextView TrimmedView(TextView text);
inline Text Trim(TextView text) {
    return Text(TrimmedView(text));
}

// The pieces one after another, with nothing between them.
Text Join(std::initializer_list<TextView> pieces);

// Plain decimal, leading minus when negative, no leading zeros.
Text Decimal(std::int32_t number);

// The value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(char c);

// Widens ASCII bytes one to one; any byte above 0x7F becomes U+FFFD.
Text WidenAscii(std::string_view bytes);

// UTF-8 form of the text; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(TextView text);

// Folds A-Z to a-z and leaves every other character alone, whatever the locale: the program's
// one case folding, for UTF-16 code units, wide characters and bytes alike. A function object,
// so that it can be handed to algorithms as a projection.
struct AsciiFolding {
    template <typename Char>
    requires std::integral<Char>
    constexpr Char operator()(Char c) const noexcept {
        return (c >= Char{'A'} && c <= Char{'Z'}) ? static_cast<Char>(c + (Char{'a'} - Char{'A'}))
                                                  : c;
    }
};
inline constexpr AsciiFolding FoldAscii{};

namespace detail {

template <typename Char>
constexpr bool EqualIgnoringAsciiCase(std::basic_string_view<Char> a,
                                      std::basic_string_view<Char> b) {
    return std::ranges::equal(a, b, {}, FoldAscii, FoldAscii);
}

template <typename Char>
std::basic_string<Char> FoldedAscii(std::basic_string_view<Char> text) {
    std::basic_string<Char> folded(text);
    std::ranges::transform(folded, folded.begin(), FoldAscii);
    return folded;
}

}  // namespace detail

// Whether the two texts are equal when A-Z are folded to a-z.
constexpr bool EqualIgnoringAsciiCase(TextView a, TextView b) {
    return detail::EqualIgnoringAsciiCase(a, b);
}
constexpr bool EqualIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    return detail::EqualIgnoringAsciiCase(a, b);
}
constexpr bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return detail::EqualIgnoringAsciiCase(a, b);
}

// The text with A-Z folded to a-z.
inline Text FoldedAscii(TextView text) {
    return detail::FoldedAscii(text);
}
inline std::wstring FoldedAscii(std::wstring_view text) {
    return detail::FoldedAscii(text);
}
inline std::string FoldedAscii(std::string_view text) {
    return detail::FoldedAscii(text);
}

// Position of the first occurrence of `needle` in `text`, comparing ASCII letters without
// regard to case; TextView::npos when there is none. An empty needle is found at 0.
std::size_t FindIgnoringAsciiCase(TextView text, TextView needle);

}  // namespace brisvane
