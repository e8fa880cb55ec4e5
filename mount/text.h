// Text as the mount core handles it: UTF-16 code units, positions counted in code units.
#pragma once

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

// Widens ASCII bytes one to one; any byte above 0x7F becomes U+FFFD.
Text WidenAscii(std::string_view bytes);

// UTF-8 form of the text; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(TextView text);

// Folds A-Z to a-z and leaves every other code unit alone.
constexpr char16_t FoldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c;
}

// Position of the first occurrence of `needle` in `text`, comparing ASCII letters without
// regard to case; TextView::npos when there is none. An empty needle is found at 0.
std::size_t FindIgnoringAsciiCase(TextView text, TextView needle);

}  // namespace brisvane
