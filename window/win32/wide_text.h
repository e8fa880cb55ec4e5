// The core's UTF-16 text and the wide strings of the Win32 API: the same code units, copied.
#pragma once

#include <windows.h>

#include <string>

#include "mount/secret_text.h"
#include "mount/text.h"

namespace brisvane::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16");

std::wstring ToWide(TextView text);
Text FromWide(std::wstring_view text);

// The whole text of a window or control.
Text WindowText(HWND window);
// The same, for a password box: no plain copy of the text is left behind.
SecretText WindowSecret(HWND window);

void SetWindowTextTo(HWND window, TextView text);

}  // namespace brisvane::win32
