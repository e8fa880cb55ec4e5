// The frames frameCred and frameHidden: child windows that hold their controls, draw their
// caption as a group box, and hand their controls' notifications up to the main window.
// They carry WS_EX_CONTROLPARENT, so the dialog keys walk into them, and hiding a frame takes
// every control in it out of the tab order.
#pragma once

#include <windows.h>

#include "mount/text.h"

namespace brisvane::window {

// Creates a frame as a hidden child of `parent`, with its control ID and caption.
HWND CreateFrame(HWND parent, int id, TextView caption, HINSTANCE instance);

// The group box that draws a frame's border and caption; it covers the whole frame and lies
// beneath the frame's controls.
HWND FrameGroupBox(HWND frame);

}  // namespace brisvane::window
