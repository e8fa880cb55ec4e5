// Reads windows of this or another process without depending on the thread that owns them: a
// window of another thread answers a message only while that thread takes messages, so every
// message here comes with a time-out.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "window/control_ids.h"

namespace brisvane::test_support {

// Sends a message and waits for the answer; std::runtime_error when the window's thread does
// not answer in time (a program that is stuck).
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// The window's text, asked for with WM_GETTEXT.
std::wstring TextOf(HWND window);

std::wstring ClassOf(HWND window);

// A visible top-level window of the process with this caption and class (empty: any); null when
// there is none.
HWND FindTopLevel(DWORD processId, std::wstring_view caption, std::wstring_view className);

// The control of the main window `window` with this ID, in the window itself or in one of its
// frames (the IDs are unique among those; the edit field inside the drop-down combo has an ID of
// its own that is not); null when there is none, as once the window has gone.
HWND FindControl(HWND window, ControlId id);

}  // namespace brisvane::test_support
