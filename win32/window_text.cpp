#include "win32/window_text.h"

namespace brisvane {

namespace {

// Lets the system write straight into the core's text, so that a password has one copy only.
wchar_t* AsWide(Text& text) {
    return reinterpret_cast<wchar_t*>(text.data());
}

}  // namespace

Text WindowText(HWND window) {
    Text text(static_cast<std::size_t>(::GetWindowTextLengthW(window)), u'\0');
    if (!text.empty()) {
        const int copied =
            ::GetWindowTextW(window, AsWide(text), static_cast<int>(text.size() + 1));
        text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    }
    return text;
}

SecretText WindowSecret(HWND window) {
    Text text = WindowText(window);
    SecretText secret(text);
    WipeText(text);
    return secret;
}

void SetWindowTextTo(HWND window, TextView text) {
    ::SetWindowTextW(window, ToWide(text).c_str());
}

}  // namespace brisvane
