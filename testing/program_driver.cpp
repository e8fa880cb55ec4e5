#include "testing/program_driver.h"

#include <cstdint>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "win32/owners.h"

namespace brisvane::testing {

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kWindowCaption[] = L"Brisvane Utility";
// The window class of every system message box, and the ID of its prompt (on Windows and Wine).
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kBoxPromptId = 0xFFFF;
// How long one message to the program may take to be answered.
constexpr UINT kAnswerMs = 10'000;

// Sends a message to a window of the program and waits for the answer: a window of another
// process answers only while its thread takes messages, so a program that is stuck raises an
// error here instead of stalling the test.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerMs, &answer) ==
        0) {
        throw std::runtime_error("the program did not answer message " + std::to_string(message));
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

// A visible top-level window of the process with this caption and class.
HWND FindTopLevel(DWORD processId, std::wstring_view caption, std::wstring_view className) {
    TopLevelSearch search{processId, caption, className};
    EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The pixels of a rectangle of the screen, or of `icon` drawn on `background`, as 0x00RRGGBB.
class Picture {
  public:
    explicit Picture(SIZE size) : size_(size) {
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = size.cx;
        format.bmiHeader.biHeight = -size.cy;  // top row first
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        const UniqueScreenDc screen = GetScreenDc();
        dc_.reset(CreateCompatibleDC(screen.get()));
        bitmap_.reset(CreateDIBSection(dc_.get(), &format, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (dc_ == nullptr || bitmap_ == nullptr) {
            throw std::runtime_error("cannot make a picture");
        }
        SelectObject(dc_.get(), bitmap_.get());
    }

    static Picture OfScreen(const RECT& area) {
        Picture picture({area.right - area.left, area.bottom - area.top});
        const UniqueScreenDc screen = GetScreenDc();
        BitBlt(picture.dc_.get(), 0, 0, picture.size_.cx, picture.size_.cy, screen.get(), area.left,
               area.top, SRCCOPY);
        return picture;
    }

    static Picture OfIcon(LPCWSTR systemIcon, SIZE size, COLORREF background) {
        Picture picture(size);
        const RECT all{0, 0, size.cx, size.cy};
        FillRect(picture.dc_.get(), &all, UniqueBrush(CreateSolidBrush(background)).get());
        DrawIconEx(picture.dc_.get(), 0, 0, LoadIconW(nullptr, systemIcon), 0, 0, 0, nullptr,
                   DI_NORMAL);
        return picture;
    }

    std::vector<std::uint32_t> Pixels() const {
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits_);
        std::vector<std::uint32_t> pixels(first, first + size_.cx * size_.cy);
        for (std::uint32_t& pixel : pixels) {
            pixel &= 0x00FFFFFF;
        }
        return pixels;
    }

    // The top-left pixel as a COLORREF.
    COLORREF Corner() const {
        const std::uint32_t pixel = Pixels().at(0);
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

  private:
    SIZE size_;
    void* bits_ = nullptr;  // owned by bitmap_
    UniqueBitmap bitmap_;   // destroyed after the DC it is selected into
    UniqueMemoryDc dc_;
};

// The icon a box shows. Its handle belongs to the program's process, where this process cannot
// use it, so the icon is recognised by its pixels on the screen: they must equal one of the
// system icons drawn on the same background. Null: the box has no icon.
std::optional<BoxIcon> RecogniseIcon(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static" ||
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            continue;
        }
        if (Ask(child, STM_GETICON) == 0) {
            return BoxIcon::kNone;
        }
        RECT area{};
        GetWindowRect(child, &area);
        const Picture shown = Picture::OfScreen(area);
        const SIZE size{area.right - area.left, area.bottom - area.top};
        for (const auto& [systemIcon, icon] : {std::pair{IDI_EXCLAMATION, BoxIcon::kExclamation},
                                               std::pair{IDI_INFORMATION, BoxIcon::kInformation}}) {
            if (Picture::OfIcon(systemIcon, size, shown.Corner()).Pixels() == shown.Pixels()) {
                return icon;
            }
        }
        return std::nullopt;  // not painted yet, or not an icon we know
    }
    return BoxIcon::kNone;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds patience) {
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

ProgramDriver::ProgramDriver(const std::wstring& program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
        throw std::runtime_error("cannot start the program: error " +
                                 std::to_string(GetLastError()));
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
    const int number = static_cast<int>(id);
    for (const HWND container :
         {window_, GetDlgItem(window_, static_cast<int>(ControlId::frameCred)),
          GetDlgItem(window_, static_cast<int>(ControlId::frameHidden))}) {
        if (const HWND control = container != nullptr ? GetDlgItem(container, number) : nullptr) {
            return control;
        }
    }
    throw std::runtime_error("the window has no control " + std::to_string(number));
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
    HWND box = nullptr;
    if (!WaitUntil(
            [&] {
                box = FindTopLevel(processId_, {}, kDialogClass);
                return box != nullptr;
            },
            patience)) {
        return std::nullopt;
    }
    SeenMessageBox seen{box, TextOf(box), TextOf(GetDlgItem(box, kBoxPromptId)),
                        BoxIcon::kUnrecognised};
    WaitUntil([&] {
        const std::optional<BoxIcon> icon = RecogniseIcon(box);
        seen.icon = icon.value_or(BoxIcon::kUnrecognised);
        return icon.has_value();
    });
    return seen;
}

void ProgramDriver::Acknowledge(const SeenMessageBox& box) const {
    PostMessageW(box.handle, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.handle, IDOK)));
    if (!WaitUntil([&] { return !IsWindow(box.handle); })) {
        throw std::runtime_error("the message box stayed open after OK");
    }
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

}  // namespace brisvane::testing
