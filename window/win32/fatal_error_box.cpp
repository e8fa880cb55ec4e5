#include "window/win32/fatal_error_box.h"

#include "mount/member_texts.h"
#include "win32/window_text.h"
#include "window/fatal_error.h"

namespace brisvane::window {

void ShowFatalError(HWND owner, const std::exception_ptr& failure) noexcept {
    // A pending quit message would close the box as soon as it opened: hold it back until the
    // member has read the box.
    MSG quit{};
    const bool quitting = ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    try {
        ::MessageBoxW(owner, ToWide(FatalErrorMessage(failure)).c_str(),
                      ToWide(texts::kBoxTitle).c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Not even the text could be made; the exit code still tells.
    }
    if (quitting) {
        ::PostQuitMessage(static_cast<int>(quit.wParam));
    }
}

}  // namespace brisvane::window
