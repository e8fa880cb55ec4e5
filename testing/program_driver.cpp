#include "testing/program_driver.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "standins/owners.h"
#include "testing/window_reading.h"

namespace brisvane::test_support {

namespace {

constexpr wchar_t kWindowCaption[] = L"Brisvane Utility";

}  // namespace

ProgramDriver::ProgramDriver(const std::wstring& program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    // Wine's CreateProcessW now and then fails with ERROR_INTERNAL_ERROR on a loaded machine,
    // with nothing started; a few more tries start the program.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring commandLine = L"\"" + program + L"\"";
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &started)) {
            error = ERROR_SUCCESS;
            break;
        }
        error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR) {
            break;
        }
        Sleep(500);
    }
    if (error != ERROR_SUCCESS) {
        throw std::runtime_error("cannot start the program: error " + std::to_string(error));
    }
    const UniqueHandle thread(started.hThread);
    process_.reset(started.hProcess);
    processId_ = started.dwProcessId;
    if (!WaitUntil([this] {
            window_ = FindTopLevel(processId_, kWindowCaption, {});
            return window_ != nullptr;
        })) {
        throw std::runtime_error("the program's window did not show");
    }
}

HWND ProgramDriver::Control(ControlId id) const {
    if (const HWND control = FindControl(window_, id)) {
        return control;
    }
    throw std::runtime_error("the window has no control " + std::to_string(static_cast<int>(id)));
}

std::wstring ProgramDriver::Text(ControlId id) const {
    return TextOf(Control(id));
}

bool ProgramDriver::Visible(ControlId id) const {
    return IsWindowVisible(Control(id)) != FALSE;
}

void ProgramDriver::Type(ControlId id, std::wstring_view text) {
    const HWND control = Control(id);
    // The window moves its focus itself, as a dialog does, on WM_NEXTDLGCTL.
    Ask(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    const HWND field = ClassOf(control) == L"ComboBox"
                           ? FindWindowExW(control, nullptr, L"Edit", nullptr)
                           : control;
    // Backspace takes the selected text away, also when nothing is typed over it.
    Ask(field, EM_SETSEL, 0, -1);
    Ask(field, WM_CHAR, VK_BACK, 1);
    for (const wchar_t character : text) {
        Ask(field, WM_CHAR, character, 1);
    }
}

void ProgramDriver::SignIn(std::wstring_view username, std::wstring_view password) {
    Type(ControlId::txtUname, username);
    Type(ControlId::txtPasswd, password);
}

void ProgramDriver::Click(ControlId id) {
    PostMessageW(Control(id), BM_CLICK, 0, 0);
}

void ProgramDriver::PressEnter(ControlId id) {
    const HWND control = Control(id);
    Ask(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    // Posted, as the keyboard's messages are, so that they pass the program's message loop.
    const auto scanCode = static_cast<LPARAM>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
    PostMessageW(control, WM_KEYDOWN, VK_RETURN, 1 | (scanCode << 16));
    PostMessageW(control, WM_KEYUP, VK_RETURN, 1 | (scanCode << 16) | (LPARAM{3} << 30));
}

void ProgramDriver::PressCloseBox() {
    PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

int ProgramDriver::OuterHeight() const {
    RECT outer{};
    GetWindowRect(window_, &outer);
    return outer.bottom - outer.top;
}

UINT ProgramDriver::Dpi() const {
    return GetDpiForWindow(window_);
}

std::optional<SeenMessageBox> ProgramDriver::WaitForMessageBox(
    std::chrono::milliseconds patience) const {
    return test_support::WaitForMessageBox(processId_, patience);
}

SeenMessageBox ProgramDriver::NextMessageBox() const {
    std::optional<SeenMessageBox> box = WaitForMessageBox();
    if (!box) {
        throw std::runtime_error("the program showed no message box");
    }
    return *box;
}

std::optional<DWORD> ProgramDriver::WaitForExit(std::chrono::milliseconds patience) const {
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(patience.count())) !=
        WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

}  // namespace brisvane::test_support
