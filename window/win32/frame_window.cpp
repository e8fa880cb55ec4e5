#include "window/win32/frame_window.h"

#include <string>

#include "win32/error.h"
#include "win32/window_class.h"
#include "win32/window_text.h"

namespace brisvane::window {

namespace {

constexpr wchar_t kFrameClass[] = L"BrisvaneFrame";
// The conventional ID of a control that nobody addresses.
constexpr int kGroupBoxId = 0xFFFF;

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        // The main window handles every control's events and colours in one place, and moves
        // the focus for a multi-line edit control that passes Tab on.
        case WM_COMMAND:
        case WM_NEXTDLGCTL:
        case WM_NOTIFY:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            return ::SendMessageW(::GetParent(frame), message, wParam, lParam);
        case WM_SIZE:
            ::MoveWindow(FrameGroupBox(frame), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_CLOSE:
            // Under the dialog keys a multi-line edit control answers Escape by closing its
            // parent; a frame only goes with the window.
            return 0;
        default:
            return ::DefWindowProcW(frame, message, wParam, lParam);
    }
}

// A group box reads "&" as the mark of an access key, and no caption carries one: an "&" of
// the caption (an organisation's "A&M", say) is doubled to show as itself.
std::wstring GroupBoxText(TextView caption) {
    std::wstring text;
    for (const wchar_t unit : ToWide(caption)) {
        text += unit;
        if (unit == L'&') {
            text += L'&';
        }
    }
    return text;
}

}  // namespace

HWND CreateFrame(HWND parent, int id, TextView caption, HINSTANCE instance) {
    RegisterWindowClassOnce(DialogWindowClass(instance, kFrameClass, FrameProc));
    const std::wstring text = ToWide(caption);
    HWND frame = ::CreateWindowExW(
        WS_EX_CONTROLPARENT, kFrameClass, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (frame == nullptr) {
        ThrowLastError(u"CreateWindowExW (frame)");
    }
    // Clipped by its siblings, so that it never paints over the controls above it.
    HWND groupBox = ::CreateWindowExW(
        0, L"BUTTON", GroupBoxText(caption).c_str(),
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, 0, 0, 0, 0, frame,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kGroupBoxId)), instance, nullptr);
    if (groupBox == nullptr) {
        ThrowLastError(u"CreateWindowExW (group box)");
    }
    return frame;
}

HWND FrameGroupBox(HWND frame) {
    return ::GetDlgItem(frame, kGroupBoxId);
}

}  // namespace brisvane::window
