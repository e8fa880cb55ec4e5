#include "testing/window_reading.h"

#include <stdexcept>
#include <string>

namespace brisvane::test_support {

namespace {

// How long one message may take to be answered.
constexpr UINT kAnswerMs = 10'000;

struct TopLevelSearch {
    DWORD processId;
    std::wstring_view caption;    // empty: any
    std::wstring_view className;  // empty: any
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<TopLevelSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search.processId || !IsWindowVisible(window) ||
        (!search.className.empty() && ClassOf(window) != search.className)) {
        return TRUE;
    }
    if (!search.caption.empty()) {
        // The caption of a window of another process is read without sending it a message.
        wchar_t caption[128] = {};
        GetWindowTextW(window, caption, 128);
        if (caption != search.caption) {
            return TRUE;
        }
    }
    search.found = window;
    return FALSE;
}

}  // namespace

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &answer) ==
        0) {
        throw std::runtime_error("the window did not answer message " + std::to_string(message));
    }
    return static_cast<LRESULT>(answer);
}

std::wstring TextOf(HWND window) {
    const auto length = static_cast<std::size_t>(Ask(window, WM_GETTEXTLENGTH));
    std::wstring text(length + 1, L'\0');
    text.resize(static_cast<std::size_t>(Ask(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                             reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

HWND FindTopLevel(DWORD processId, std::wstring_view caption, std::wstring_view className) {
    TopLevelSearch search{processId, caption, className};
    EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindControl(HWND window, ControlId id) {
    if (window == nullptr) {
        return nullptr;
    }
    const int number = static_cast<int>(id);
    for (const HWND container : {window, GetDlgItem(window, static_cast<int>(ControlId::frameCred)),
                                 GetDlgItem(window, static_cast<int>(ControlId::frameHidden))}) {
        if (const HWND control = container != nullptr ? GetDlgItem(container, number) : nullptr) {
            return control;
        }
    }
    return nullptr;
}

}  // namespace brisvane::test_support
