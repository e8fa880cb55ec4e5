// Owners of the Windows handles and buffers that the services and the stand-ins use: one
// move-only owner per kind, each releasing its resource with the function that kind requires.
// An owner holds a real handle or null; a function that reports failure with
// INVALID_HANDLE_VALUE goes through OwnFileHandle, so that value never reaches an owner.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <type_traits>

namespace brisvane {

namespace detail {

struct InternetCloser {
    void operator()(HINTERNET handle) const noexcept { WinHttpCloseHandle(handle); }
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

}  // namespace detail

// A WinHTTP session, connection or request handle.
using UniqueInternet = std::unique_ptr<void, detail::InternetCloser>;
// A kernel object handle (file, device, event).
using UniqueHandle = std::unique_ptr<void, detail::HandleCloser>;
// An open registry key.
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, detail::KeyCloser>;
// A module loaded with LoadLibrary.
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, detail::LibraryFreer>;
// Text that the system allocated with LocalAlloc (FormatMessage).
using UniqueLocalText = std::unique_ptr<wchar_t, detail::LocalFreer>;
// Text that WinHTTP hands out with GlobalAlloc (proxy settings).
using UniqueGlobalText = std::unique_ptr<wchar_t, detail::GlobalFreer>;

// Takes a handle from a function that reports failure as INVALID_HANDLE_VALUE (CreateFileW).
inline UniqueHandle OwnFileHandle(HANDLE handle) noexcept {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace brisvane
