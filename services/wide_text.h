// The core's text (UTF-16 code units in std::u16string) and the wide strings of the Windows
// API hold the same code units; these copy between the two without any conversion.
#pragma once

#include <string>
#include <string_view>

#include "mount/text.h"

namespace brisvane {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

inline std::wstring ToWide(TextView text) {
    return std::wstring(text.begin(), text.end());
}

inline Text FromWide(std::wstring_view wide) {
    return Text(wide.begin(), wide.end());
}

}  // namespace brisvane
