// The real main window in the test's own thread, with the mount core's fakes as its services,
// and the means to drive it: the program's own message dispatch, keys, and a watcher that
// reads and closes the system's message boxes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testing/expected_log.h"
#include "testing/fakes.h"
#include "testing/message_box_reader.h"
#include "window/control_ids.h"
#include "window/win32/main_window.h"

namespace brisvane::test_support {

// Reads each message box that this process shows, then presses its OK button; on a thread of
// its own, while the test's thread runs the box.
class BoxWatcher {
  public:
    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<SeenMessageBox> Boxes() const;

  private:
    void Watch(const std::stop_token& stop);

    mutable std::mutex mutex_;
    std::vector<SeenMessageBox> boxes_;
    std::jthread thread_;
};

enum class Boxes { kRecorded, kSystem };

class WindowTest : public ::testing::Test {
  protected:
    ~WindowTest() override;

    // Creates the window and runs its load event.
    void Open(Boxes boxes = Boxes::kRecorded);
    HWND Main() const { return window->Handle(); }
    // Finds a control by its fixed ID, in the window or in either frame.
    HWND Find(ControlId id) const;
    // The control that has the focus (a combo box for the edit field inside it).
    std::optional<ControlId> FocusedControl() const;

    // Handles every pending message as the program's loop does.
    void Pump();
    // Pumps until `done`, waiting for messages in between (input from SendInput, say).
    void PumpUntil(const std::function<bool()>& done);
    // Posts a key-down and key-up to the focused control and handles them.
    void PressKey(WPARAM key);
    void Click(ControlId button);
    // Runs the program's message loop until the window has gone; its exit code.
    int RunUntilEnd();

    void SetText(ControlId id, const std::wstring& text);
    // Puts `text` on the clipboard and pastes it into the control, as the member would.
    void Paste(ControlId id, const std::wstring& text);
    // Types `text` into the control one character at a time.
    void Type(ControlId id, const std::wstring& text);
    std::wstring TextOf(ControlId id) const;

    FakeLogBox unusedLog;  // the lookup's fake wants one; the window has its own
    FakeLookup lookup{unusedLog};
    FakeProbe probe;
    FakeMapping mapping;
    FakeClock clock;
    FakeBoxes boxes{[this] {
        const std::wstring log = TextOf(ControlId::txtInfo);
        return Text(log.begin(), log.end());
    }};
    std::unique_ptr<window::MainWindow> window;
};

// Pixels for twips at `dpi`, rounded to the nearest.
int Pixels(int twips, UINT dpi);

// The text as the window shows it.
std::wstring Wide(TextView text);

// The time entry of the fake clock's time.
std::wstring TimeEntry();

}  // namespace brisvane::test_support
