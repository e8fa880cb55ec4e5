#include "services/lookup_errors.h"

#include <winhttp.h>

#include <string>

#include "mount/member_texts.h"
#include "mount/workflow_error.h"
#include "win32/error.h"

namespace brisvane {

void ThrowExchangeFailure(DWORD code, Stage stage) {
    // Wine's WinHTTP reports an expired time-out with the Winsock code, Windows with its own.
    if (code == WSAETIMEDOUT) {
        code = ERROR_WINHTTP_TIMEOUT;
    }
    if (code == ERROR_WINHTTP_NAME_NOT_RESOLVED || code == ERROR_WINHTTP_CANNOT_CONNECT ||
        (code == ERROR_WINHTTP_TIMEOUT && stage == Stage::kReaching)) {
        throw WorkflowError(kResourceNotFound, ErrorDescription(code));
    }
    throw WindowsError(code);
}

void ThrowResponseTooLarge(std::size_t limit) {
    throw WorkflowError(HresultFromWin32(ERROR_FILE_TOO_LARGE),
                        texts::PageTooLarge(WidenAscii(std::to_string(limit))));
}

}  // namespace brisvane
