#include "window/win32/last_error.h"

#include <array>
#include <cstdint>

#include "mount/workflow_error.h"
#include "window/win32/wide_text.h"

namespace brisvane::win32 {

void ThrowLastError(TextView call) {
    const DWORD code = ::GetLastError();
    std::array<wchar_t, 512> message{};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         0, message.data(), static_cast<DWORD>(message.size()), nullptr);
    // The system's texts end with a line break.
    std::wstring_view reason(message.data(), length);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) {
        reason.remove_suffix(1);
    }
    Text description = Text(call) + u" failed";
    if (!reason.empty()) {
        description += u": " + FromWide(reason);
    }
    throw WorkflowError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(code)), description);
}

}  // namespace brisvane::win32
