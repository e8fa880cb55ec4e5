// The core's UTF-16 text and the wide strings of the Win32 API: the same code units, copied.
#pragma once

#include <windows.h>

#include <string>

#include "mount/secret_text.h"
#include "mount/text.h"
#include "services/wide_text.h"

namespace brisvane::win32 {

// The whole text of a window or control.
Text WindowText(HWND window);
// The same, for a password box: no plain copy of the text is left behind.
SecretText WindowSecret(HWND window);

void SetWindowTextTo(HWND window, TextView text);

}  // namespace brisvane::win32
