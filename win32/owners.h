// Owners of the Windows handles and buffers that the program uses: one move-only owner per kind,
// each releasing its resource with the function that kind requires. Handles the system owns have
// none: child windows die with their parent, system colour brushes and shared icons are never
// freed. An owner holds a real handle or null. The owners of COM objects are in com_owners.h and
// that of WinHTTP's handles in internet_owner.h, each with the system headers it needs; those
// that only the tests and the stand-ins use are in testing/owners.h and standins/owners.h.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace brisvane {

// The deleter of an owner whose handle one function of one argument releases.
template <auto Release>
struct FunctionDeleter {
    template <typename Handle>
    void operator()(Handle handle) const noexcept {
        Release(handle);
    }
};

namespace detail {

// For a window whose procedure reaches its C++ object through GWLP_USERDATA: the link is cut
// before the window is destroyed, so that the messages of its destruction never reach an object
// that is itself being destroyed.
struct AttachedWindowDestroyer {
    void operator()(HWND window) const noexcept {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
};
struct ScreenDcReleaser {
    void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};

}  // namespace detail

// A module loaded with LoadLibrary (a DLL of Windows: SystemLibrary).
using UniqueLibrary =
    std::unique_ptr<std::remove_pointer_t<HMODULE>, FunctionDeleter<&::FreeLibrary>>;
// Text that the system allocated with LocalAlloc (FormatMessage).
using UniqueLocalText = std::unique_ptr<wchar_t, FunctionDeleter<&::LocalFree>>;
// Text that WinHTTP hands out with GlobalAlloc (proxy settings).
using UniqueGlobalText = std::unique_ptr<wchar_t, FunctionDeleter<&::GlobalFree>>;

// A top-level window the program created.
using UniqueWindow =
    std::unique_ptr<std::remove_pointer_t<HWND>, FunctionDeleter<&::DestroyWindow>>;
// A window attached to its C++ object (see AttachedWindowDestroyer).
using UniqueAttachedWindow =
    std::unique_ptr<std::remove_pointer_t<HWND>, detail::AttachedWindowDestroyer>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FunctionDeleter<&::DeleteObject>>;
// A region the program made; SetWindowRgn takes it over on success.
using UniqueRegion = std::unique_ptr<std::remove_pointer_t<HRGN>, FunctionDeleter<&::DeleteObject>>;
// An icon loaded at a size of our choosing (LoadImage without LR_SHARED).
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, FunctionDeleter<&::DestroyIcon>>;
// The device context of the whole screen, from GetDC(nullptr).
using UniqueScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, detail::ScreenDcReleaser>;

inline UniqueScreenDc GetScreenDc() {
    return UniqueScreenDc(GetDC(nullptr));
}

}  // namespace brisvane
