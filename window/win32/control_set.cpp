#include "window/win32/control_set.h"

#include <commctrl.h>

#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "mount/member_texts.h"
#include "win32/error.h"
#include "win32/window_text.h"
#include "window/control_table.h"
#include "window/win32/accessible_name.h"
#include "window/win32/controls.h"
#include "window/win32/fonts.h"
#include "window/win32/frame_window.h"

namespace brisvane::window {

namespace {

void InitCommonControlsOnce() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    if (!::InitCommonControlsEx(&classes)) {
        ThrowLastError(u"InitCommonControlsEx");
    }
}

// The system colour of a control's background where its kind sets one; none leaves the
// control to the default colours.
std::optional<int> BackgroundColourOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::kReadOnlyTextBox:
            return COLOR_INACTIVEBORDER;
        case ControlKind::kLogBox:
            // Read-only too, but with the background of an ordinary text box.
            return COLOR_WINDOW;
        default:
            return std::nullopt;
    }
}

}  // namespace

ControlSet::ControlSet(HWND window, HINSTANCE instance, const Organisation& organisation)
    : instance_(instance), table_(ControlTable(organisation)) {
    InitCommonControlsOnce();
    CreateControls(window);
    StackControls();
}

HWND ControlSet::Control(ControlId id) const {
    return controls_.at(RowOf(id));
}

const ControlEntry& ControlSet::EntryOf(ControlId id) const {
    return table_.at(RowOf(id));
}

void ControlSet::CreateControls(HWND window) {
    // The frames first: they contain the other controls.
    for (const ControlEntry& entry : table_) {
        if (!entry.container) {
            controls_.at(RowOf(entry.id)) = CreateControl(entry, window, instance_);
        }
    }
    for (const ControlEntry& entry : table_) {
        if (entry.container) {
            controls_.at(RowOf(entry.id)) =
                CreateControl(entry, Control(*entry.container), instance_);
        }
    }
    // The credential frame is always in view; the advanced one waits for "Advanced Options".
    ::ShowWindow(Control(ControlId::frameCred), SW_SHOWNA);
}

// The dialog keys visit siblings from the top of their Z order down, and go into a frame where
// the frame stands; accessibility tools name a box after the label just above it. Stack every
// container's children by tab index with each label just above its box (StackingOrder), the
// frames' group boxes beneath all.
void ControlSet::StackControls() {
    const std::array<std::optional<ControlId>, 3> containers{std::nullopt, ControlId::frameCred,
                                                             ControlId::frameHidden};
    for (const std::optional<ControlId>& container : containers) {
        HWND above = HWND_TOP;
        for (const ControlId id : StackingOrder()) {
            if (EntryOf(id).container == container) {
                ::SetWindowPos(Control(id), above, 0, 0, 0, 0,
                               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                above = Control(id);
            }
        }
        if (container) {
            ::SetWindowPos(FrameGroupBox(Control(*container)), HWND_BOTTOM, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

void ControlSet::AddTooltips(HWND window) {
    if (tooltip_ != nullptr) {
        return;
    }
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window,
                                 nullptr, instance_, nullptr);
    if (tooltip_ == nullptr) {
        ThrowLastError(u"CreateWindowExW (tooltip)");
    }
    for (const ControlEntry& entry : table_) {
        if (entry.tooltip.empty()) {
            continue;
        }
        std::wstring text = ToWide(entry.tooltip);  // copied by the tooltip
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(entry.id));
        tool.lpszText = text.data();
        if (!::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
            ThrowLastError(u"TTM_ADDTOOLW");
        }
    }
}

// Fonts, places and sizes all follow the DPI of the window's monitor.
void ControlSet::LayOut(UINT dpi) {
    UniqueFont dialogFont = CreateDialogFont(dpi);
    UniqueFont logFont = CreateLogFont(dpi);
    for (const ControlEntry& entry : table_) {
        HWND control = Control(entry.id);
        HFONT font = entry.kind == ControlKind::kLogBox ? logFont.get() : dialogFont.get();
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (entry.kind == ControlKind::kFrame) {
            ::SendMessageW(FrameGroupBox(control), WM_SETFONT,
                           reinterpret_cast<WPARAM>(dialogFont.get()), FALSE);
        }
    }
    // The old fonts go only now that no control uses them.
    dialogFont_ = std::move(dialogFont);
    logFont_ = std::move(logFont);

    for (const ControlEntry& entry : table_) {
        PlaceControl(Control(entry.id), entry, dpi);
    }
    KeepLabelsBesideTheirBoxes();
}

// The labels' column is wider than the gap before the boxes, so a label reaches under the box
// it names, and stacks above it: cut the part of the label that lies over the box out of the
// label's window, so that the box shows whole and the label only beside it.
// NOLINTNEXTLINE(readability-make-member-function-const): changes the labels through their handles
void ControlSet::KeepLabelsBesideTheirBoxes() {
    for (const LabelledControl& pair : LabelledControls()) {
        HWND label = Control(pair.label);
        RECT labelPlace{};
        RECT boxPlace{};
        ::GetWindowRect(label, &labelPlace);
        ::GetWindowRect(Control(pair.control), &boxPlace);
        UniqueRegion visible(::CreateRectRgn(0, 0, labelPlace.right - labelPlace.left,
                                             labelPlace.bottom - labelPlace.top));
        RECT overlap{};
        if (::IntersectRect(&overlap, &labelPlace, &boxPlace)) {
            ::OffsetRect(&overlap, -labelPlace.left, -labelPlace.top);
            const UniqueRegion covered(::CreateRectRgnIndirect(&overlap));
            ::CombineRgn(visible.get(), visible.get(), covered.get(), RGN_DIFF);
        }
        if (::SetWindowRgn(label, visible.get(), TRUE) != 0) {
            static_cast<void>(visible.release());  // the window owns it now
        }
    }
}

HBRUSH ControlSet::SetColours(HDC dc, HWND control) const {
    const std::span<const ControlEntry> table = table_;
    const auto entry = std::ranges::find_if(
        table, [&](const ControlEntry& candidate) { return Control(candidate.id) == control; });
    if (control == nullptr || entry == table.end()) {
        return nullptr;
    }
    const std::optional<int> background = BackgroundColourOf(entry->kind);
    if (!background) {
        return nullptr;
    }
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(*background));
    return ::GetSysColorBrush(*background);
}

// The log has no label to take its name from: it gets one when it first comes into view, which
// spares the start the cost of starting COM (15 to 100 ms under Wine).
void ControlSet::NameTheLog() {
    if (com_) {
        return;
    }
    com_.emplace();
    SetAccessibleName(Control(ControlId::txtInfo), texts::kActivityLogName);
}

void ControlSet::ForgetControls() noexcept {
    controls_.fill(nullptr);
    tooltip_ = nullptr;
}

}  // namespace brisvane::window
