// The program's start and end: its one window and the message loop that drives it.
#pragma once

#include <windows.h>

#include "window/win32/main_window.h"

namespace brisvane::window {

// Passes one message on as the program's loop does: the main window's dialog keys (Tab, arrows,
// Space; Enter and Escape press nothing) first, else translation and dispatch.
void DispatchProgramMessage(HWND mainWindow, MSG& message);

// Runs the message loop until the window has been unloaded; returns the program's exit code.
int RunMessageLoop(const MainWindow& window);

// Loads the window with these services and runs it to the end. Returns 0 after a normal end,
// kFatalErrorExitCode after an error that had to end the program, reported in a box first.
int RunProgram(HINSTANCE instance, const WindowServices& services) noexcept;

}  // namespace brisvane::window
