// Text that the lookup page chose (a share path, a server, a redirect's address), made fit for
// the activity log and the message boxes. The page cannot reorder, hide or break what the member
// reads, nor flood it; the text itself, as the provider gets it, is never changed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mount/text.h"

namespace brisvane {

// The most characters a shown text has, the "…" of a cut one included.
inline constexpr std::size_t kShownTextLimit = 260;

// `text` as the member may see it. Every character that acts on the display instead of showing
// (ActsOnTheDisplay), and every surrogate without its pair, becomes a visible escape of its
// value, such as "<U+202E>" or "<U+E0001>". A result longer than kShownTextLimit keeps as many of
// its first characters as fit before a closing "…", never half of an escape or of a surrogate
// pair. Any other text comes back exactly as it was.
Text ShownText(TextView text);

// The same for wide text: UTF-16 on Windows; where wchar_t is wider, each is one code point.
std::wstring ShownText(std::wstring_view text);

// True for a character that acts on the display instead of showing, or shows nothing of its
// own: C0 and C1 controls and DEL, the line and paragraph separators U+2028 and U+2029, every
// invisible character (IsInvisibleCharacter: the bidirectional controls, the zero-width
// characters, tags, fillers, variation selectors...), a surrogate code point and any value
// beyond U+10FFFF.
bool ActsOnTheDisplay(char32_t codePoint);

// True for Unicode's Default_Ignorable_Code_Point characters and those of general category Cf
// (format). The table is mount/invisible_characters.cpp, written by scripts/make-unicode-tables.py
// from the Unicode data.
bool IsInvisibleCharacter(char32_t codePoint);

}  // namespace brisvane
