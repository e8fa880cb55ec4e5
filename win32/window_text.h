// The text of a window or control, read and set as the core's UTF-16 text.
#pragma once

#include <windows.h>

#include <string>

#include "mount/secret_text.h"
#include "mount/text.h"
#include "win32/text.h"

namespace brisvane {

// The whole text of a window or control.
Text WindowText(HWND window);
// The same, for a password box: no plain copy of the text is left behind.
SecretText WindowSecret(HWND window);

void SetWindowTextTo(HWND window, TextView text);

}  // namespace brisvane
