// Owners of the Win32 handles the program creates: one move-only owner per kind, releasing the
// handle the way its kind needs. Handles the system owns have none: child windows die with their
// parent, system colour brushes and shared icons are never freed.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace brisvane::win32 {

struct WindowDestroyer {
    void operator()(HWND window) const noexcept { ::DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// A window whose procedure reaches its C++ object through GWLP_USERDATA. The link is cut before
// the window is destroyed, so that the messages of its destruction never reach an object that
// is itself being destroyed.
struct AttachedWindowDestroyer {
    void operator()(HWND window) const noexcept {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        ::DestroyWindow(window);
    }
};
using UniqueAttachedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, AttachedWindowDestroyer>;

struct FontDeleter {
    void operator()(HFONT font) const noexcept { ::DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct IconDestroyer {
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct LibraryFreer {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// The device context of the whole screen, from GetDC(nullptr).
struct ScreenDcReleaser {
    void operator()(HDC dc) const noexcept { ::ReleaseDC(nullptr, dc); }
};
using UniqueScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcReleaser>;

inline UniqueScreenDc GetScreenDc() {
    return UniqueScreenDc(::GetDC(nullptr));
}

}  // namespace brisvane::win32
