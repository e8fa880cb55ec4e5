#include "window/win32/last_error.h"

#include "services/windows_error.h"

namespace brisvane::win32 {

void ThrowLastError(TextView call) {
    const DWORD code = ::GetLastError();
    throw WorkflowError(HresultFromWin32(code), Text(call) + u" failed: " + ErrorDescription(code));
}

}  // namespace brisvane::win32
