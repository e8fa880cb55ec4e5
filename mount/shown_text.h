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
// (C0 and C1 controls and DEL, line and paragraph separators, the bidirectional controls U+061C,
// U+200E, U+200F, U+202A to U+202E and U+2066 to U+2069, the zero-width characters U+200B to
// U+200D, U+2060 and U+FEFF, and surrogates without their pair) becomes a visible escape of its
// value, such as "<U+202E>". A result longer than kShownTextLimit keeps as many of its first
// characters as fit before a closing "…", never half of an escape or of a surrogate pair. Any
// other text comes back exactly as it was.
Text ShownText(TextView text);

// The same for wide text: UTF-16 on Windows; where wchar_t is wider, each is one code point.
std::wstring ShownText(std::wstring_view text);

}  // namespace brisvane
