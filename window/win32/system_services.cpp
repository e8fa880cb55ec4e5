#include "window/win32/system_services.h"

#include <array>

#include "win32/error.h"
#include "win32/window_text.h"

namespace brisvane::window {

// The core's box styles are the platform's own flags.
static_assert(static_cast<UINT>(BoxStyle::kPlain) == MB_OK);
static_assert(static_cast<UINT>(BoxStyle::kExclamation) == MB_ICONEXCLAMATION);
static_assert(static_cast<UINT>(BoxStyle::kInformation) == MB_ICONINFORMATION);

void SystemMessageBoxes::MsgBox(TextView prompt, BoxStyle style, TextView title) {
    const UINT flags = MB_OK | static_cast<UINT>(style);
    if (::MessageBoxW(owner_, ToWide(prompt).c_str(), ToWide(title).c_str(), flags) == 0) {
        ThrowLastError(u"MessageBoxW");
    }
}

Text SystemClock::TimeOfDay() {
    std::array<wchar_t, 128> time{};
    const int length = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, time.data(),
                                         static_cast<int>(time.size()));
    if (length == 0) {
        ThrowLastError(u"GetTimeFormatEx");
    }
    // The length counts the terminating null.
    return FromWide(std::wstring_view(time.data(), static_cast<std::size_t>(length - 1)));
}

}  // namespace brisvane::window
