#include "window_test_support.h"

#include <chrono>
#include <cstring>

#include "mount/member_texts.h"
#include "testing/window_reading.h"
#include "window/control_table.h"
#include "window/win32/program.h"

namespace brisvane::test_support {

using namespace std::chrono_literals;

BoxWatcher::BoxWatcher() : thread_([this](std::stop_token stop) { Watch(stop); }) {}

BoxWatcher::~BoxWatcher() = default;

std::vector<SeenMessageBox> BoxWatcher::Boxes() const {
    const std::lock_guard lock(mutex_);
    return boxes_;
}

void BoxWatcher::Watch(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        const std::optional<SeenMessageBox> box = WaitForMessageBox(::GetCurrentProcessId(), 50ms);
        if (!box) {
            continue;
        }
        {
            const std::lock_guard lock(mutex_);
            boxes_.push_back(*box);
        }
        Acknowledge(*box);
    }
}

WindowTest::~WindowTest() {
    window.reset();
    // Leave nothing, not even a quit message, to the next test.
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void WindowTest::Open(Boxes kind) {
    window::WindowServices services{kTestOrganisation, lookup, probe, mapping};
    services.boxes = kind == Boxes::kRecorded ? &boxes : nullptr;
    services.clock = &clock;
    window = std::make_unique<window::MainWindow>(::GetModuleHandleW(nullptr), services);
    window->Load();
    Pump();
}

HWND WindowTest::Find(ControlId id) const {
    return FindControl(Main(), id);
}

std::optional<ControlId> WindowTest::FocusedControl() const {
    for (HWND focus = ::GetFocus(); focus != nullptr; focus = ::GetParent(focus)) {
        for (const ControlEntry& entry : ControlTable(kTestOrganisation)) {
            if (Find(entry.id) == focus) {
                return entry.id;
            }
        }
    }
    return std::nullopt;
}

void WindowTest::Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for RunUntilEnd
            return;
        }
        window::DispatchProgramMessage(Main(), message);
    }
}

void WindowTest::PumpUntil(const std::function<bool()>& done) {
    // Generous: only a broken window waits this long.
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    Pump();
    while (!done() && std::chrono::steady_clock::now() < giveUp) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
}

void WindowTest::PressKey(WPARAM key) {
    HWND focus = ::GetFocus();
    ::PostMessageW(focus, WM_KEYDOWN, key, 1);
    ::PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    Pump();
}

void WindowTest::Click(ControlId button) {
    ::SendMessageW(Find(button), BM_CLICK, 0, 0);
    Pump();
}

int WindowTest::RunUntilEnd() {
    return window::RunMessageLoop(*window);
}

void WindowTest::SetText(ControlId id, const std::wstring& text) {
    ::SetWindowTextW(Find(id), text.c_str());
}

void WindowTest::Paste(ControlId id, const std::wstring& text) {
    ASSERT_TRUE(::OpenClipboard(Main()));
    ::EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(::GlobalLock(memory), text.c_str(), bytes);
    ::GlobalUnlock(memory);
    ::SetClipboardData(CF_UNICODETEXT, memory);  // the clipboard owns it now
    ::CloseClipboard();
    ::SendMessageW(Find(id), WM_PASTE, 0, 0);
}

void WindowTest::Type(ControlId id, const std::wstring& text) {
    for (const wchar_t c : text) {
        ::SendMessageW(Find(id), WM_CHAR, c, 1);
    }
}

std::wstring WindowTest::TextOf(ControlId id) const {
    return test_support::TextOf(Find(id));
}

int Pixels(int twips, UINT dpi) {
    return ::MulDiv(twips, static_cast<int>(dpi), 1440);
}

std::wstring Wide(TextView text) {
    return {text.begin(), text.end()};
}

std::wstring TimeEntry() {
    return Wide(texts::TimeEntry(FakeClock().time));
}

}  // namespace brisvane::test_support
