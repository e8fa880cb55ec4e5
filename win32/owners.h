// Owners of the Windows handles and buffers that the program, its tests and the stand-ins use:
// one move-only owner per kind, each releasing its resource with the function that kind
// requires. Handles the system owns have none: child windows die with their parent, system
// colour brushes and shared icons are never freed.
// An owner holds a real handle or null; a function that reports failure with
// INVALID_HANDLE_VALUE goes through OwnFileHandle, so that value never reaches an owner.
#pragma once

#include <objbase.h>
#include <unknwn.h>
#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <type_traits>

namespace brisvane {

namespace detail {

// The program does not import WinHTTP (services/winhttp_library.h loads it), so each owner
// carries the WinHttpCloseHandle of the loaded DLL.
struct InternetCloser {
    decltype(&::WinHttpCloseHandle) close = nullptr;
    void operator()(HINTERNET handle) const noexcept { close(handle); }
};
struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
struct KeyCloser {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
struct LibraryFreer {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
struct LocalFreer {
    void operator()(void* memory) const noexcept { LocalFree(memory); }
};
struct GlobalFreer {
    void operator()(void* memory) const noexcept { GlobalFree(memory); }
};
struct WindowDestroyer {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
// For a window whose procedure reaches its C++ object through GWLP_USERDATA: the link is cut
// before the window is destroyed, so that the messages of its destruction never reach an object
// that is itself being destroyed.
struct AttachedWindowDestroyer {
    void operator()(HWND window) const noexcept {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
};
struct FontDeleter {
    void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
struct RegionDeleter {
    void operator()(HRGN region) const noexcept { DeleteObject(region); }
};
struct IconDestroyer {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
struct ScreenDcReleaser {
    void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};
struct ComReleaser {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};

}  // namespace detail

// A WinHTTP session, connection or request handle (made by WinHttpLibrary::Own).
using UniqueInternet = std::unique_ptr<void, detail::InternetCloser>;
// A kernel object handle (file, device, event).
using UniqueHandle = std::unique_ptr<void, detail::HandleCloser>;
// An open registry key.
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, detail::KeyCloser>;
// A module loaded with LoadLibrary (a DLL of Windows: SystemLibrary).
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, detail::LibraryFreer>;
// Text that the system allocated with LocalAlloc (FormatMessage).
using UniqueLocalText = std::unique_ptr<wchar_t, detail::LocalFreer>;
// Text that WinHTTP hands out with GlobalAlloc (proxy settings).
using UniqueGlobalText = std::unique_ptr<wchar_t, detail::GlobalFreer>;

// A top-level window the program created.
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, detail::WindowDestroyer>;
// A window attached to its C++ object (see AttachedWindowDestroyer).
using UniqueAttachedWindow =
    std::unique_ptr<std::remove_pointer_t<HWND>, detail::AttachedWindowDestroyer>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, detail::FontDeleter>;
// A region the program made; SetWindowRgn takes it over on success.
using UniqueRegion = std::unique_ptr<std::remove_pointer_t<HRGN>, detail::RegionDeleter>;
// An icon loaded at a size of our choosing (LoadImage without LR_SHARED).
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, detail::IconDestroyer>;
// The device context of the whole screen, from GetDC(nullptr).
using UniqueScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, detail::ScreenDcReleaser>;

// One reference to a COM object.
template <typename Interface>
using UniqueCom = std::unique_ptr<Interface, detail::ComReleaser>;

// COM on the calling thread, as a single-threaded apartment, for as long as the owner lives. On
// a thread that already has COM in the other mode, or where COM cannot start, it holds nothing,
// and COM calls made there fail on their own.
class ComApartment {
  public:
    ComApartment() noexcept
        : initialised_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
};

inline UniqueScreenDc GetScreenDc() {
    return UniqueScreenDc(GetDC(nullptr));
}

// Takes a handle from a function that reports failure as INVALID_HANDLE_VALUE (CreateFileW).
inline UniqueHandle OwnFileHandle(HANDLE handle) noexcept {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace brisvane
