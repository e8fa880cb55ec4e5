// Reads the system's message boxes (#32770) of a process from outside the thread that shows
// them, and answers them: for the window tests, whose boxes a thread of their own reads, and the
// program driver, which reads those of brisvane.exe.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "testing/wait_until.h"

namespace brisvane::test_support {

enum class BoxIcon { kNone, kExclamation, kInformation, kError, kUnrecognised };

// For GoogleTest's messages.
inline void PrintTo(BoxIcon icon, std::ostream* out) {
    constexpr const char* kNames[] = {"no icon", "exclamation", "information", "error",
                                      "unrecognised"};
    *out << kNames[static_cast<int>(icon)];
}

// A system message box, as read from outside.
struct SeenMessageBox {
    HWND handle = nullptr;
    HWND owner = nullptr;
    std::wstring title;
    std::wstring text;  // the prompt, line breaks as CR LF
    BoxIcon icon = BoxIcon::kNone;
};

// The next message box that process `processId` shows, read but left open; nullopt if none
// shows within `patience`. Waits for the box's icon to be painted before it reads it.
std::optional<SeenMessageBox> WaitForMessageBox(DWORD processId,
                                                std::chrono::milliseconds patience = kPatience);

// Presses the box's OK button and waits until the box has gone; std::runtime_error if it stays.
void Acknowledge(const SeenMessageBox& box);

}  // namespace brisvane::test_support
