// The main window's operations for its behaviour (FormView) and for the mount request
// (MountForm), each on the window or one of its controls. Building the window and handling its
// messages are in main_window.cpp.
#include "window/win32/main_window.h"

#include <string>

#include "win32/error.h"
#include "win32/window_text.h"
#include "window/control_table.h"

namespace brisvane::window {

namespace {

FrameExtent ExtentOf(ControlId frame, const Organisation& organisation) {
    const TwipsRect twips = EntryOf(frame, organisation).twips;
    return {static_cast<float>(twips.top), static_cast<float>(twips.height)};
}

}  // namespace

// --- FormView ---------------------------------------------------------------------------------

FrameExtent MainWindow::CredentialFrame() const {
    return ExtentOf(ControlId::frameCred, services_.organisation);
}

FrameExtent MainWindow::AdvancedFrame() const {
    return ExtentOf(ControlId::frameHidden, services_.organisation);
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
    // A combo box reports a failure by its answer alone, without a last error: CB_ERRSPACE when
    // it has no room for the entry, CB_ERR when it refuses it.
    if (added == CB_ERRSPACE) {
        throw CallError(u"CB_ADDSTRING", ERROR_NOT_ENOUGH_MEMORY);
    }
    if (added == CB_ERR) {
        throw CallError(u"CB_ADDSTRING", ERROR_INVALID_PARAMETER);
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
        controls_->NameTheLog();
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
    behaviour_.EmptyCredentialsAndUnload();
}

}  // namespace brisvane::window
