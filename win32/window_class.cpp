#include "win32/window_class.h"

#include <string_view>

#include "mount/text.h"
#include "win32/error.h"
#include "win32/text.h"

namespace brisvane {

WNDCLASSEXW DialogWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = name;
    return windowClass;
}

void RegisterWindowClassOnce(const WNDCLASSEXW& windowClass) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing)) {
        return;
    }
    // Named before the call, so that nothing runs between a failure and its report.
    const Text call =
        u"RegisterClassExW (" + FromWide(std::wstring_view(windowClass.lpszClassName)) + u")";
    if (::RegisterClassExW(&windowClass) == 0) {
        ThrowLastError(call);
    }
}

}  // namespace brisvane
