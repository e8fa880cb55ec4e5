// The system services the window gives the mount core: the clock of the log's time entries.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include "window/win32/system_services.h"

namespace brisvane {
namespace {

TEST(SystemClockTest, TellsTheTimeOfDayInTheUsersFormatWithSeconds) {
    const auto now = [] {
        wchar_t time[64] = {};
        ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, time, 64);
        return Text(time, time + std::wcslen(time));
    };
    const Text before = now();
    const Text told = window::SystemClock().TimeOfDay();
    const Text after = now();
    EXPECT_TRUE(told == before || told == after) << ToUtf8(told);
    EXPECT_GE(std::count(told.begin(), told.end(), u':'), 2) << ToUtf8(told);
}

}  // namespace
}  // namespace brisvane
