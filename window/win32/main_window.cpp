#include "window/win32/main_window.h"

#include <commctrl.h>

#include <array>
#include <string>

#include "mount/member_texts.h"
#include "win32/error.h"
#include "win32/window_class.h"
#include "win32/window_text.h"
#include "window/control_table.h"
#include "window/fatal_error.h"
#include "window/twips.h"
#include "window/win32/control_set.h"
#include "window/win32/fatal_error_box.h"

namespace brisvane::window {

namespace {

constexpr wchar_t kWindowClass[] = L"BrisvaneMainWindow";
// A fixed dialog border and a title bar with the close box only.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
// The program's icon: the first ICON resource, which Explorer shows too.
constexpr WORD kProgramIconId = 1;

UniqueIcon LoadProgramIcon(HINSTANCE instance, int size) {
    // Null where the module carries no icon; the window then shows the system's.
    return UniqueIcon(static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON, size, size, 0)));
}

std::uint16_t CurrentModifiers() {
    std::uint16_t modifiers = 0;
    if (::GetKeyState(VK_SHIFT) < 0) {
        modifiers |= kShiftKey;
    }
    if (::GetKeyState(VK_CONTROL) < 0) {
        modifiers |= kCtrlKey;
    }
    if (::GetKeyState(VK_MENU) < 0) {
        modifiers |= kAltKey;
    }
    return modifiers;
}

// A window that cannot be resized, minimised or maximised offers only Move and Close.
void RemoveSizingFromSystemMenu(HWND window) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    constexpr std::array<UINT, 4> kSizingCommands{SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE};
    for (const UINT command : kSizingCommands) {
        ::DeleteMenu(menu, command, static_cast<UINT>(MF_BYCOMMAND));
    }
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, const WindowServices& services)
    : instance_(instance),
      services_(services),
      behaviour_(*this, [this] { btnOK_Click(Services()); }) {
    RegisterWindowClassOnce(DialogWindowClass(instance, kWindowClass, WindowProc));
    // Created hidden on the primary monitor, so that its DPI is known before the layout.
    const std::wstring caption = ToWide(texts::kWindowCaption);
    if (::CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle, 0, 0, 0, 0,
                          nullptr, nullptr, instance, this) == nullptr) {
        ThrowLastError(u"CreateWindowExW (main window)");
    }
    systemBoxes_.emplace(Handle());
    controls_.emplace(Handle(), instance, services_.organisation);
    SubclassCredentialBoxes();
    log_ = EditLogBox(Control(ControlId::txtInfo));
    RemoveSizingFromSystemMenu(Handle());
    ApplyDpi(::GetDpiForWindow(Handle()));
}

MainWindow::~MainWindow() = default;

void MainWindow::Load() {
    behaviour_.Form_Load();
    // The window is in view: paint it now, then add what the member can only use once the
    // messages run, so that it does not hold up the first sight of the window.
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    controls_->AddTooltips(Handle());
}

HWND MainWindow::Control(ControlId id) const {
    return controls_ ? controls_->Control(id) : nullptr;
}

MountServices MainWindow::Services() {
    MessageBoxFacility& boxes = services_.boxes != nullptr ? *services_.boxes : *systemBoxes_;
    Clock& clock = services_.clock != nullptr ? *services_.clock : systemClock_;
    return {*this,
            boxes,
            clock,
            services_.lookup,
            services_.probe,
            services_.mapping,
            services_.organisation};
}

// --- Building ---------------------------------------------------------------------------------

// Enter in a credential box runs the mount request: the boxes' key-downs come to the window.
void MainWindow::SubclassCredentialBoxes() {
    for (const ControlId credentialBox : {ControlId::txtUname, ControlId::txtPasswd}) {
        if (!::SetWindowSubclass(Control(credentialBox), CredentialBoxProc,
                                 static_cast<UINT_PTR>(credentialBox),
                                 reinterpret_cast<DWORD_PTR>(this))) {
            ThrowLastError(u"SetWindowSubclass");
        }
    }
}

// Fonts, icons, places and sizes all follow the DPI of the window's monitor.
void MainWindow::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    controls_->LayOut(dpi);

    bigIcon_ = LoadProgramIcon(instance_, ::GetSystemMetricsForDpi(SM_CXICON, dpi));
    smallIcon_ = LoadProgramIcon(instance_, ::GetSystemMetricsForDpi(SM_CXSMICON, dpi));
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    const SIZE size = OuterSize();
    ::SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE MainWindow::OuterSize() const {
    const int dpi = static_cast<int>(dpi_);
    RECT outer{0, 0, TwipsToPixels(kClientWidthTwips, dpi),
               TwipsToPixels(kDesignClientHeightTwips, dpi)};
    ::AdjustWindowRectExForDpi(&outer, kWindowStyle, FALSE, kWindowExStyle, dpi_);
    const int height =
        outerHeightTwips_ ? TwipsToPixels(*outerHeightTwips_, dpi) : outer.bottom - outer.top;
    return {outer.right - outer.left, height};
}

void MainWindow::CentreOnScreen() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const SIZE size = OuterSize();
    ::SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - size.cx) / 2,
                   work.top + (work.bottom - work.top - size.cy) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- Messages ---------------------------------------------------------------------------------

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    // No exception may cross the system's frames: one that escapes a handler ends the program.
    try {
        return self->HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        self->EndAfterFailure(std::current_exception());
        return 0;
    }
}

LRESULT MainWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH brush = OnCtlColorStatic(reinterpret_cast<HDC>(wParam),
                                                reinterpret_cast<HWND>(lParam))) {
                return reinterpret_cast<LRESULT>(brush);
            }
            break;
        case WM_ACTIVATE:
            if (OnActivate(wParam)) {
                return 0;
            }
            break;
        case WM_NEXTDLGCTL:
            OnNextDialogControl(wParam, LOWORD(lParam) != 0);
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_DESTROY:
            // The program ends with its one window.
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            OnNcDestroy();
            break;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Only clicks count. The dialog keys send IDOK for Enter and IDCANCEL for Escape; no control
// has those IDs, so neither key presses anything.
void MainWindow::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED) {
        return;
    }
    switch (static_cast<ControlId>(id)) {
        case ControlId::btnOK:
            behaviour_.RunMountRequest();
            break;
        case ControlId::btnCancel:
            behaviour_.btnCancel_Click();
            break;
        case ControlId::chkAdvanced:
            behaviour_.chkAdvanced_Click();
            break;
        default:
            break;
    }
}

void MainWindow::OnCredentialKeyDown(ControlId box, WPARAM key) {
    const auto keyCode = static_cast<std::uint16_t>(key);
    if (box == ControlId::txtUname) {
        behaviour_.txtUname_KeyDown(keyCode, CurrentModifiers());
    } else {
        behaviour_.txtPasswd_KeyDown(keyCode, CurrentModifiers());
    }
}

LRESULT CALLBACK MainWindow::CredentialBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR subclassId, DWORD_PTR self) noexcept {
    auto& window = *reinterpret_cast<MainWindow*>(self);
    switch (message) {
        case WM_GETDLGCODE:
            // Enter belongs to the box: the dialog keys would turn it into a press of the
            // default button.
            if (lParam != 0 && wParam == VK_RETURN) {
                return DLGC_WANTALLKEYS | ::DefSubclassProc(box, message, wParam, lParam);
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:  // Enter with Alt held
            try {
                window.OnCredentialKeyDown(static_cast<ControlId>(subclassId), wParam);
            } catch (...) {
                window.EndAfterFailure(std::current_exception());
                return 0;
            }
            // The mount request may have ended the program, and the box with it.
            if (!::IsWindow(box)) {
                return 0;
            }
            break;
        case WM_CHAR:
        case WM_SYSCHAR:
            // Enter's characters (CR, and LF with Ctrl) have no place in a one-line box.
            if (wParam == L'\r' || wParam == L'\n') {
                return 0;
            }
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(box, CredentialBoxProc, subclassId);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(box, message, wParam, lParam);
}

// Read-only edit controls ask for their colours with this message, labels and check boxes too;
// the control set colours each by its kind. Null leaves a control to the default colours.
HBRUSH MainWindow::OnCtlColorStatic(HDC dc, HWND control) {
    return controls_ ? controls_->SetColours(dc, control) : nullptr;
}

// A window that does its own dialog keys keeps its focus itself: remember the focused control
// when another window takes over, give it back on return.
bool MainWindow::OnActivate(WPARAM state) {
    if (LOWORD(state) == WA_INACTIVE) {
        focusBeforeDeactivation_ = ::GetFocus();
        return false;
    }
    if (focusBeforeDeactivation_ != nullptr && ::IsChild(Handle(), focusBeforeDeactivation_)) {
        ::SetFocus(focusBeforeDeactivation_);
        return true;
    }
    return false;
}

// What a dialog does for this message; the multi-line log box sends it for Tab and Shift+Tab
// when the dialog keys are in use, as they are here.
// NOLINTNEXTLINE(readability-make-member-function-const): moves the focus through the handles
void MainWindow::OnNextDialogControl(WPARAM target, bool targetIsWindow) {
    HWND next = targetIsWindow ? reinterpret_cast<HWND>(target)
                               : ::GetNextDlgTabItem(Handle(), ::GetFocus(), target != 0);
    if (next == nullptr) {
        return;
    }
    ::SetFocus(next);
    // As after Tab: a text box that takes the focus from the keyboard has its text selected.
    if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
        ::SendMessageW(next, EM_SETSEL, 0, -1);
    }
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    ApplyDpi(dpi);
    const SIZE size = OuterSize();
    ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnNcDestroy() {
    ::SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
    static_cast<void>(window_.release());  // the system has destroyed it
    if (controls_) {
        controls_->ForgetControls();
    }
    focusBeforeDeactivation_ = nullptr;
}

void MainWindow::EndAfterFailure(const std::exception_ptr& failure) noexcept {
    if (!failed_) {
        failed_ = true;
        exitCode_ = kFatalErrorExitCode;
        ShowFatalError(Handle(), failure);
    }
    if (Handle() != nullptr) {
        ::DestroyWindow(Handle());
    }
}

}  // namespace brisvane::window
