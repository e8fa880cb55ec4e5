// The core's text (UTF-16 code units in std::u16string) and the wide strings of the Windows
// API hold the same code units; these copy between the two without any conversion. Also the
// UTF-8 forms that files, the console and the lookup page's form fields use.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "mount/text.h"

namespace brisvane {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

inline std::wstring ToWide(TextView text) {
    return {text.begin(), text.end()};
}

inline Text FromWide(std::wstring_view wide) {
    return {wide.begin(), wide.end()};
}

// UTF-8 of a wide text; an unpaired surrogate becomes U+FFFD.
inline std::string Utf8(std::wstring_view wide) {
    return ToUtf8(FromWide(wide));
}

// A wide text from UTF-8; invalid bytes become U+FFFD.
inline std::wstring FromUtf8(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

}  // namespace brisvane
