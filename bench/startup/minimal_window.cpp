// The yardstick of start-up time: a Win32 program that only registers a class and shows one
// empty window, then waits to be closed. Built a second time with BRISVANE_COMMON_CONTROLS, it
// also loads what brisvane.exe loads before its window: common controls 6 and their theming
// (through the same manifest), OLE32 and IMM32, so that the difference between the two is what
// those cost and the rest of brisvane.exe's start is its own.

#include <windows.h>

#ifdef BRISVANE_COMMON_CONTROLS
#include <commctrl.h>
#include <imm.h>
#include <objbase.h>
#endif

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int show) {
#ifdef BRISVANE_COMMON_CONTROLS
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&classes);
    CoTaskMemFree(nullptr);  // imports OLE32, as brisvane.exe does; does nothing
#endif
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BrisvaneMinimalWindow";
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Minimal",
                                        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 200,
                                        nullptr, nullptr, instance, nullptr);
#ifdef BRISVANE_COMMON_CONTROLS
    ImmGetDefaultIMEWnd(window);  // imports IMM32, as brisvane.exe does; changes nothing
#endif
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
