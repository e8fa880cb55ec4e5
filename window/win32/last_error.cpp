#include "window/win32/last_error.h"

#include "mount/member_texts.h"
#include "services/windows_error.h"

namespace brisvane::win32 {

void ThrowLastError(TextView call) {
    const DWORD code = ::GetLastError();
    throw WorkflowError(HresultFromWin32(code), texts::CallFailed(call, ErrorDescription(code)));
}

}  // namespace brisvane::win32
