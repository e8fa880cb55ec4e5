// Turns the rows of the control table into Win32 controls.
#pragma once

#include <windows.h>

#include "window/control_table.h"

namespace brisvane::window {

// Creates the control of `entry` inside `container` (the main window or a frame) with the Win32
// class and styles of its kind, its initial text and its input settings: character limit,
// password character, no input-method editor, unlimited log. Frames start hidden; the caller
// places every control and shows the frames.
HWND CreateControl(const ControlEntry& entry, HWND container, HINSTANCE instance);

// Moves and sizes a control to its rectangle in twips at `dpi`. Call it after the control's
// font is set: a drop-down combo's height follows from its font.
void PlaceControl(HWND control, const ControlEntry& entry, UINT dpi);

}  // namespace brisvane::window
