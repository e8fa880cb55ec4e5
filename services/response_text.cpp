#include "services/response_text.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>

#include "mount/text.h"
#include "services/lookup_errors.h"
#include "win32/text.h"

namespace brisvane {

namespace {

struct NamedCodePage {
    std::wstring_view name;
    UINT codePage;
};

// Charset names as the IANA registry spells them (lower case), with their common aliases.
constexpr std::array kCharsets = {
    NamedCodePage{L"utf-8", CP_UTF8},    NamedCodePage{L"utf8", CP_UTF8},
    NamedCodePage{L"iso-8859-1", 1252},  NamedCodePage{L"latin1", 1252},
    NamedCodePage{L"us-ascii", 1252},    NamedCodePage{L"iso-8859-2", 28592},
    NamedCodePage{L"iso-8859-5", 28595}, NamedCodePage{L"iso-8859-7", 28597},
    NamedCodePage{L"iso-8859-9", 28599}, NamedCodePage{L"iso-8859-15", 28605},
    NamedCodePage{L"koi8-r", 20866},     NamedCodePage{L"shift_jis", 932},
    NamedCodePage{L"gb2312", 936},       NamedCodePage{L"big5", 950},
    NamedCodePage{L"euc-kr", 51949},
};

// The charset parameter's value, unquoted and lower case; empty when there is none.
std::wstring CharsetOf(std::wstring_view contentType) {
    const std::wstring lowered = FoldedAscii(contentType);
    constexpr std::wstring_view kBlanks = L" \t";
    constexpr std::wstring_view kParameter = L"charset=";
    // The parameters follow the media type, each after a ';'.
    std::size_t next = lowered.find(L';');
    while (next != std::wstring::npos) {
        const std::size_t start = next + 1;
        next = lowered.find(L';', start);
        std::wstring_view parameter(lowered);
        parameter = parameter.substr(start, next == std::wstring::npos ? next : next - start);
        parameter.remove_prefix(std::min(parameter.find_first_not_of(kBlanks), parameter.size()));
        if (parameter.substr(0, kParameter.size()) != kParameter) {
            continue;
        }
        std::wstring_view value = parameter.substr(kParameter.size());
        value = value.substr(0, value.find_first_of(kBlanks));
        if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
            value = value.substr(1, value.size() - 2);
        }
        return std::wstring(value);
    }
    return {};
}

// "windows-1251", "cp1251": the Windows code page by its number.
UINT NumberedCodePage(std::wstring_view charset) {
    for (const std::wstring_view prefix :
         {std::wstring_view(L"windows-"), std::wstring_view(L"cp")}) {
        if (charset.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const std::wstring_view digits = charset.substr(prefix.size());
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
            return 0;
        }
        return static_cast<UINT>(std::stoul(std::wstring(digits)));
    }
    return 0;
}

}  // namespace

UINT CodePageOfContentType(std::wstring_view contentType) {
    const std::wstring charset = CharsetOf(contentType);
    for (const NamedCodePage& known : kCharsets) {
        if (known.name == charset) {
            return known.codePage;
        }
    }
    const UINT numbered = NumberedCodePage(charset);
    return numbered != 0 && IsValidCodePage(numbered) ? numbered : CP_UTF8;
}

Text DecodeResponseBody(std::string_view body, std::wstring_view contentType) {
    if (body.empty()) {
        return {};
    }
    if (body.size() > static_cast<std::size_t>(INT_MAX)) {
        ThrowResponseTooLarge(static_cast<std::size_t>(INT_MAX));
    }
    const int byteCount = static_cast<int>(body.size());
    UINT codePage = CodePageOfContentType(contentType);
    // Without MB_ERR_INVALID_CHARS invalid input is replaced, not refused.
    int length = MultiByteToWideChar(codePage, 0, body.data(), byteCount, nullptr, 0);
    if (length == 0) {
        // A code page that this system does not have: fall back to UTF-8.
        codePage = CP_UTF8;
        length = MultiByteToWideChar(codePage, 0, body.data(), byteCount, nullptr, 0);
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, body.data(), byteCount, wide.data(), length);
    return FromWide(wide);
}

}  // namespace brisvane
