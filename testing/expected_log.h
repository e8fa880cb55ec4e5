// The activity log that a test expects, built from its entries the way the log is written: the
// log is emptied when an attempt starts, and every entry then goes on after a line break (CR LF).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "mount/text.h"

namespace brisvane::test_support {

// The text of an emptied log after `entries`, each one preceded by CR LF, in the characters of
// the text it is compared with: the core's (char16_t) or the window's (wchar_t).
template <typename Char, typename Entries>
std::basic_string<Char> LogOf(const Entries& entries) {
    std::basic_string<Char> log;
    for (const auto& entry : entries) {
        log += Char{'\r'};
        log += Char{'\n'};
        log += entry;
    }
    return log;
}

inline Text LogOf(std::initializer_list<TextView> entries) {
    return LogOf<char16_t>(entries);
}

inline std::wstring LogOf(std::initializer_list<std::wstring_view> entries) {
    return LogOf<wchar_t>(entries);
}

}  // namespace brisvane::test_support
