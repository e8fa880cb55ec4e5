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

#include "testing/fakes.h"
#include "window/control_ids.h"
#include "window/win32/main_window.h"

namespace brisvane::testing {

// Records every box the workflow shows, with the log as it stood then; raises `failure` once,
// after recording the next box.
class RecordingBoxes final : public MessageBoxFacility {
  public:
    explicit RecordingBoxes(std::function<Text()> readLog) : readLog_(std::move(readLog)) {}
    void MsgBox(TextView prompt, BoxStyle style, TextView title) override;

    std::vector<ShownBox> shown;
    std::optional<WorkflowError> failure;

  private:
    std::function<Text()> readLog_;
};

// A system message box (#32770) as read from another thread.
struct WatchedBox {
    std::wstring title;
    std::wstring text;
    HWND owner;
    std::wstring icon;  // "exclamation", "information", "error" or "none"
};

// Watches the calling thread for message boxes: reads each one, then presses its OK button.
class BoxWatcher {
  public:
    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<WatchedBox> Boxes() const;

  private:
    void Watch(const std::stop_token& stop);

    DWORD uiThread_;
    mutable std::mutex mutex_;
    std::vector<WatchedBox> boxes_;
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
    RecordingBoxes boxes{[this] {
        const std::wstring log = TextOf(ControlId::txtInfo);
        return Text(log.begin(), log.end());
    }};
    std::unique_ptr<win32::MainWindow> window;
};

// Pixels for twips at `dpi`, rounded to the nearest.
int Pixels(int twips, UINT dpi);

// The log text that these entries make: each one preceded by CR LF.
std::wstring LogOf(std::initializer_list<std::wstring_view> entries);

}  // namespace brisvane::testing
