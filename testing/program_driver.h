// Drives the real brisvane.exe from outside its process, as a member would: finds its window by
// caption and its controls by their IDs, types, clicks and presses Enter, and reads and answers
// the system's message boxes that the program shows.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "testing/message_box_reader.h"
#include "testing/owners.h"
#include "testing/wait_until.h"
#include "window/control_ids.h"

namespace brisvane::test_support {

class ProgramDriver {
  public:
    // Starts `program` and waits until its window ("Brisvane Utility") is shown.
    // std::runtime_error when it cannot start or shows no window in time.
    explicit ProgramDriver(const std::wstring& program);

    HWND Window() const noexcept { return window_; }
    // The control with this ID, in the window or in one of its frames (the IDs are unique among
    // those; the edit field inside the drop-down combo has an ID of its own that is not).
    HWND Control(ControlId id) const;
    std::wstring Text(ControlId id) const;
    bool Visible(ControlId id) const;

    // Puts the focus in the control as Tab does, selects its text and types `text` over it, a
    // character at a time. For the drive-letter combo, types into its edit field.
    void Type(ControlId id, std::wstring_view text);
    // Types the username and then the password into their boxes, as a member signs in.
    void SignIn(std::wstring_view username, std::wstring_view password);
    // Presses a button or check box as a click does. Returns at once: what the click starts (a
    // mount request and its boxes) runs on in the program.
    void Click(ControlId id);
    // Puts the focus in the control and presses Enter there; returns at once, like Click.
    void PressEnter(ControlId id);
    // Presses the window's close box.
    void PressCloseBox();

    // The window's outer height in pixels, and the dots per inch it is shown at.
    int OuterHeight() const;
    UINT Dpi() const;

    // The next message box the program shows, read but left open; nullopt if none shows in
    // time. Waits for the box's icon to be painted before it reads it.
    std::optional<SeenMessageBox> WaitForMessageBox(
        std::chrono::milliseconds patience = kPatience) const;
    // The same for a box that must show, as the one that ends an attempt: std::runtime_error
    // when none shows in time.
    SeenMessageBox NextMessageBox() const;
    // Presses the box's OK button and waits until the box has gone.
    static void Acknowledge(const SeenMessageBox& box) { test_support::Acknowledge(box); }

    // The program's exit code once it has ended; nullopt while it still runs after `patience`.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds patience = kPatience) const;

  private:
    UniqueChildProcess process_;  // ended with the driver if it still runs
    DWORD processId_ = 0;
    HWND window_ = nullptr;
};

}  // namespace brisvane::test_support
