#include "window/win32/program.h"

#include "win32/error.h"
#include "window/fatal_error.h"
#include "window/win32/fatal_error_box.h"

namespace brisvane::window {

void DispatchProgramMessage(HWND mainWindow, MSG& message) {
    if (mainWindow != nullptr && ::IsDialogMessageW(mainWindow, &message)) {
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

int RunMessageLoop(const MainWindow& window) {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            return window.ExitCode();
        }
        if (got == -1) {
            ThrowLastError(u"GetMessageW");
        }
        DispatchProgramMessage(window.Handle(), message);
    }
}

int RunProgram(HINSTANCE instance, const WindowServices& services) noexcept {
    try {
        MainWindow window(instance, services);
        window.Load();
        return RunMessageLoop(window);
    } catch (...) {
        // The window is gone by now; the box stands alone.
        ShowFatalError(nullptr, std::current_exception());
        return kFatalErrorExitCode;
    }
}

}  // namespace brisvane::window
