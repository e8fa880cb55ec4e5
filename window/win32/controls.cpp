#include "window/win32/controls.h"

#include <commctrl.h>
#include <imm.h>

#include <string>

#include "win32/error.h"
#include "win32/window_text.h"
#include "window/twips.h"
#include "window/win32/frame_window.h"

namespace brisvane::window {

namespace {

struct Win32Class {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

// Clipped by the siblings above them: a label that reaches under the box beside it stays
// beneath it, as the layout expects.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kEdit = kChild | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;

// Push buttons are plain BS_PUSHBUTTONs: neither is the default or the cancel button, so the
// dialog keys never press them for Enter or Escape.
Win32Class ClassOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::kFrame:
            break;
        case ControlKind::kLabel:
            return {L"STATIC", kChild | SS_LEFT | SS_NOPREFIX, 0};
        case ControlKind::kTextBox:
            return {L"EDIT", kEdit, WS_EX_CLIENTEDGE};
        case ControlKind::kPasswordBox:
            return {L"EDIT", kEdit | ES_PASSWORD, WS_EX_CLIENTEDGE};
        case ControlKind::kReadOnlyTextBox:
            return {L"EDIT", kEdit | ES_READONLY, WS_EX_CLIENTEDGE};
        case ControlKind::kLogBox:
            // No ES_AUTOHSCROLL: long lines wrap.
            return {L"EDIT",
                    kChild | WS_TABSTOP | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL |
                        ES_READONLY,
                    WS_EX_CLIENTEDGE};
        case ControlKind::kCheckBox:
            return {L"BUTTON", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::kPushButton:
            return {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::kDropDownCombo:
            // No CBS_SORT: entries stay in the order they were added.
            return {L"COMBOBOX", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                    0};
    }
    return {nullptr, 0, 0};
}

void ApplyInputSettings(HWND control, const ControlEntry& entry) {
    if (entry.characterLimit > 0) {
        // Typed and pasted text alike is cut at the limit.
        ::SendMessageW(control, EM_SETLIMITTEXT, static_cast<WPARAM>(entry.characterLimit), 0);
    }
    if (entry.kind == ControlKind::kPasswordBox) {
        ::SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
        // No input-method editor: it would show the composition in the clear.
        ::ImmAssociateContextEx(control, nullptr, 0);
    }
    if (entry.kind == ControlKind::kLogBox) {
        // Zero lifts the limit to the largest a multi-line box allows, so no log is ever cut.
        ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    }
}

// How many entries of its list a drop-down combo shows at once.
constexpr int kVisibleListEntries = 12;

int WindowHeight(HWND window) {
    RECT place{};
    ::GetWindowRect(window, &place);
    return place.bottom - place.top;
}

}  // namespace

HWND CreateControl(const ControlEntry& entry, HWND container, HINSTANCE instance) {
    if (entry.kind == ControlKind::kFrame) {
        return CreateFrame(container, static_cast<int>(entry.id), entry.text, instance);
    }
    const Win32Class win32Class = ClassOf(entry.kind);
    HWND control = ::CreateWindowExW(
        win32Class.exStyle, win32Class.name, ToWide(entry.text).c_str(), win32Class.style, 0, 0, 0,
        0, container, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance, nullptr);
    if (control == nullptr) {
        ThrowLastError(u"CreateWindowExW (control)");
    }
    ApplyInputSettings(control, entry);
    return control;
}

void PlaceControl(HWND control, const ControlEntry& entry, UINT dpi) {
    const PixelRect place = TwipsToPixels(entry.twips, static_cast<int>(dpi));
    if (entry.kind != ControlKind::kDropDownCombo) {
        ::MoveWindow(control, place.x, place.y, place.width, place.height, TRUE);
        return;
    }
    // A drop-down combo's window height includes its list, and its field is as high as its
    // font makes it: size the field through its item height. Combos differ in how the height
    // they report relates to the one they were given (Wine's adds two), so the border around
    // the text is measured after setting the reported height back, then the field is set.
    const int listHeight = kVisibleListEntries * place.height;
    ::MoveWindow(control, place.x, place.y, place.width, place.height + listHeight, TRUE);
    const LRESULT reported = ::SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    ::SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), reported);
    const int border = WindowHeight(control) - static_cast<int>(reported);
    if (place.height > border) {
        ::SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), place.height - border);
    }
}

}  // namespace brisvane::window
