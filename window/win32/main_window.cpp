#include "window/win32/main_window.h"

#include <commctrl.h>

#include <new>
#include <string>

#include "mount/member_texts.h"
#include "win32/error.h"
#include "win32/window_text.h"
#include "window/control_table.h"
#include "window/fatal_error.h"
#include "window/twips.h"
#include "window/win32/accessible_name.h"
#include "window/win32/controls.h"
#include "window/win32/fatal_error_box.h"
#include "window/win32/fonts.h"
#include "window/win32/frame_window.h"

namespace brisvane::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"BrisvaneMainWindow";
// A fixed dialog border and a title bar with the close box only.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
// The program's icon: the first ICON resource, which Explorer shows too.
constexpr WORD kProgramIconId = 1;

void RegisterWindowClassOnce(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(instance, kWindowClass, &existing)) {
        return;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    if (::RegisterClassExW(&windowClass) == 0) {
        ThrowLastError(u"RegisterClassExW (main window)");
    }
}

void InitCommonControlsOnce() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    if (!::InitCommonControlsEx(&classes)) {
        ThrowLastError(u"InitCommonControlsEx");
    }
}

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

FrameExtent ExtentOf(ControlId frame) {
    const TwipsRect& twips = SpecOf(frame).twips;
    return {static_cast<float>(twips.top), static_cast<float>(twips.height)};
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, const WindowServices& services)
    : instance_(instance),
      services_(services),
      behaviour_(*this, [this] { btnOK_Click(Services()); }) {
    InitCommonControlsOnce();
    RegisterWindowClassOnce(instance, WindowProc);
    // Created hidden on the primary monitor, so that its DPI is known before the layout.
    const std::wstring caption = ToWide(texts::kWindowCaption);
    if (::CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle, 0, 0, 0, 0,
                          nullptr, nullptr, instance, this) == nullptr) {
        ThrowLastError(u"CreateWindowExW (main window)");
    }
    systemBoxes_.emplace(Handle());
    CreateControls();
    StackControls();
    log_ = EditLogBox(Control(ControlId::txtInfo));
    RemoveSizingFromSystemMenu();
    ApplyDpi(::GetDpiForWindow(Handle()));
    AddTooltips();
}

MainWindow::~MainWindow() = default;

void MainWindow::Load() {
    behaviour_.Form_Load();
}

HWND MainWindow::Control(ControlId id) const {
    return controls_.at(static_cast<std::size_t>(TabIndexOf(id)));
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
            OrganisationFileServers()};
}

// --- Building ---------------------------------------------------------------------------------

void MainWindow::CreateControls() {
    // The frames first: they contain the other controls.
    for (const ControlSpec& entry : ControlTable()) {
        if (!entry.container) {
            controls_.at(static_cast<std::size_t>(TabIndexOf(entry.id))) =
                CreateControl(entry, Handle(), instance_);
        }
    }
    for (const ControlSpec& entry : ControlTable()) {
        if (entry.container) {
            controls_.at(static_cast<std::size_t>(TabIndexOf(entry.id))) =
                CreateControl(entry, Control(*entry.container), instance_);
        }
    }
    // The credential frame is always in view; the advanced one waits for "Advanced Options".
    ::ShowWindow(Control(ControlId::frameCred), SW_SHOWNA);
    for (const ControlId credentialBox : {ControlId::txtUname, ControlId::txtPasswd}) {
        if (!::SetWindowSubclass(Control(credentialBox), CredentialBoxProc,
                                 static_cast<UINT_PTR>(credentialBox),
                                 reinterpret_cast<DWORD_PTR>(this))) {
            ThrowLastError(u"SetWindowSubclass");
        }
    }
}

// The dialog keys visit siblings from the top of their Z order down, and go into a frame where
// the frame stands; accessibility tools name a box after the label just above it. Stack every
// container's children by tab index with each label just above its box (StackingOrder), the
// frames' group boxes beneath all.
void MainWindow::StackControls() {
    const std::array<std::optional<ControlId>, 3> containers{std::nullopt, ControlId::frameCred,
                                                             ControlId::frameHidden};
    for (const std::optional<ControlId>& container : containers) {
        HWND above = HWND_TOP;
        for (const ControlId id : StackingOrder()) {
            if (SpecOf(id).container == container) {
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

// The labels' column is wider than the gap before the boxes, so a label reaches under the box
// it names, and stacks above it: cut the part of the label that lies over the box out of the
// label's window, so that the box shows whole and the label only beside it.
void MainWindow::KeepLabelsBesideTheirBoxes() {
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

// The log has no label to take its name from: it gets one when it first comes into view, which
// spares the start the cost of starting COM (15 to 100 ms under Wine).
void MainWindow::NameTheLog() {
    if (com_) {
        return;
    }
    com_.emplace();
    SetAccessibleName(Control(ControlId::txtInfo), texts::kActivityLogName);
}

void MainWindow::AddTooltips() {
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 Handle(), nullptr, instance_, nullptr);
    if (tooltip_ == nullptr) {
        ThrowLastError(u"CreateWindowExW (tooltip)");
    }
    for (const ControlSpec& entry : ControlTable()) {
        if (entry.tooltip.empty()) {
            continue;
        }
        std::wstring text = ToWide(entry.tooltip);  // copied by the tooltip
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(Control(entry.id));
        tool.lpszText = text.data();
        if (!::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
            ThrowLastError(u"TTM_ADDTOOLW");
        }
    }
}

// A window that cannot be resized, minimised or maximised offers only Move and Close.
void MainWindow::RemoveSizingFromSystemMenu() {
    HMENU menu = ::GetSystemMenu(Handle(), FALSE);
    constexpr std::array<UINT, 4> kSizingCommands{SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE};
    for (const UINT command : kSizingCommands) {
        ::DeleteMenu(menu, command, static_cast<UINT>(MF_BYCOMMAND));
    }
}

// Fonts, icons, places and sizes all follow the DPI of the window's monitor.
void MainWindow::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    UniqueFont dialogFont = CreateDialogFont(dpi);
    UniqueFont logFont = CreateLogFont(dpi);
    for (const ControlSpec& entry : ControlTable()) {
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

    for (const ControlSpec& entry : ControlTable()) {
        PlaceControl(Control(entry.id), entry, dpi);
    }
    KeepLabelsBesideTheirBoxes();

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
            btnOK_Click(Services());
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

// Read-only edit controls ask for their colours with this message, labels and check boxes too.
// Null leaves a control to the default colours.
HBRUSH MainWindow::OnCtlColorStatic(HDC dc, HWND control) {
    int colour = -1;
    if (control == Control(ControlId::txtDomain) || control == Control(ControlId::txtWebSite)) {
        colour = COLOR_INACTIVEBORDER;
    } else if (control == Control(ControlId::txtInfo)) {
        // The log is read-only too, but keeps the background of an ordinary text box.
        colour = COLOR_WINDOW;
    } else {
        return nullptr;
    }
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(colour));
    return ::GetSysColorBrush(colour);
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
    controls_.fill(nullptr);
    tooltip_ = nullptr;
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

// --- FormView ---------------------------------------------------------------------------------

FrameExtent MainWindow::CredentialFrame() const {
    return ExtentOf(ControlId::frameCred);
}

FrameExtent MainWindow::AdvancedFrame() const {
    return ExtentOf(ControlId::frameHidden);
}

void MainWindow::SetVersionCaption(TextView caption) {
    SetWindowTextTo(Control(ControlId::lblVer), caption);
}

void MainWindow::SetOuterHeight(std::int16_t twips) {
    outerHeightTwips_ = twips;
    const SIZE size = OuterSize();
    ::SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::AppendDriveLetter(TextView entry) {
    const std::wstring text = ToWide(entry);
    const LRESULT added = ::SendMessageW(Control(ControlId::cmbDriveLetter), CB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(text.c_str()));
    if (added == CB_ERR || added == CB_ERRSPACE) {
        throw std::bad_alloc();
    }
}

void MainWindow::SelectDriveLetter(int index) {
    ::SendMessageW(Control(ControlId::cmbDriveLetter), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void MainWindow::ShowWindow() {
    if (!centred_) {
        CentreOnScreen();
        centred_ = true;
    }
    ::ShowWindow(Handle(), SW_SHOW);
}

void MainWindow::FocusUsername() {
    ::SetFocus(Control(ControlId::txtUname));
}

CheckValue MainWindow::AdvancedValue() const {
    const LRESULT state = ::SendMessageW(Control(ControlId::chkAdvanced), BM_GETCHECK, 0, 0);
    switch (state) {
        case BST_CHECKED:
            return CheckValue::kTicked;
        case BST_INDETERMINATE:
            return CheckValue::kGreyed;
        default:
            return CheckValue::kUnticked;
    }
}

void MainWindow::ShowAdvancedFrame(bool visible) {
    if (visible) {
        NameTheLog();
    }
    ::ShowWindow(Control(ControlId::frameHidden), visible ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::ClearUsername() {
    ::SetWindowTextW(Control(ControlId::txtUname), L"");
}

void MainWindow::ClearPassword() {
    ::SetWindowTextW(Control(ControlId::txtPasswd), L"");
}

void MainWindow::Unload() {
    ::DestroyWindow(Handle());
}

// --- MountForm --------------------------------------------------------------------------------

Text MainWindow::DriveLetterText() const {
    return WindowText(Control(ControlId::cmbDriveLetter));
}

Text MainWindow::DomainText() const {
    return WindowText(Control(ControlId::txtDomain));
}

Text MainWindow::WebSiteText() const {
    return WindowText(Control(ControlId::txtWebSite));
}

Text MainWindow::UsernameText() const {
    return WindowText(Control(ControlId::txtUname));
}

SecretText MainWindow::PasswordText() const {
    return WindowSecret(Control(ControlId::txtPasswd));
}

void MainWindow::CloseApp() {
    behaviour_.CloseApp();
}

}  // namespace brisvane::win32
