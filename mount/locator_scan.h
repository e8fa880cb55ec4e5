// The scans that the locator search spends nearly all its time in on a long page or line.
// They have a translation unit of their own so that the compiler builds them apart from the
// code that collects the matches: there, the calls into the allocator would cost them the
// vector registers that hold their constants, and with GCC a third of their speed.
#pragma once

#include <cstddef>

#include "mount/text.h"

namespace brisvane {

// The scheme of a share locator, matched in any letter case.
inline constexpr TextView kLocatorScheme = u"smb://";

// Position of the first kLocatorScheme (any case) at or after `from`, or npos.
std::size_t FindLocatorScheme(TextView text, std::size_t from);

// Position of the first line feed at or after `from`, or the text's length when none follows.
std::size_t FindLineEnd(TextView text, std::size_t from);

// One past the last word character ("\w": an ASCII letter or digit, or '_') or hyphen in
// text[from, end), or `from` when there is none.
std::size_t FindEndOfLastWordUnit(TextView text, std::size_t from, std::size_t end);

}  // namespace brisvane
