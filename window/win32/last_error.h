// Failed Win32 calls as the program's one error type.
#pragma once

#include <windows.h>

#include "mount/text.h"

namespace brisvane::win32 {

// Raises a WorkflowError for the Win32 call `call` that has just failed, carrying the thread's
// last error as an HRESULT and the system's text for it. Call it straight after the failing
// call, before anything else can overwrite the last error.
[[noreturn]] void ThrowLastError(TextView call);

}  // namespace brisvane::win32
