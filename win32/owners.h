// Owners of the Windows handles and buffers that the program, its tests, the stand-ins, the demo
// and the benchmarks use: one move-only owner per kind, each releasing its resource with the
// function that kind requires. Handles the system owns have none: child windows die with their
// parent, system colour brushes and shared icons are never freed. An owner holds a real handle or
// null; a function that reports failure with INVALID_HANDLE_VALUE goes through OwnFileHandle, so
// that value never reaches an owner.
#pragma once

// Winsock 2 before windows.h, which would otherwise bring the first Winsock's declarations.
#include <winsock2.h>
// Then the rest, in the order that clang-format keeps.
#include <objbase.h>
#include <unknwn.h>
#include <windows.h>
#include <winhttp.h>
// The certificate API, which WIN32_LEAN_AND_MEAN keeps out of windows.h.
#include <wincrypt.h>

#include <memory>
#include <system_error>
#include <type_traits>
#include <utility>

namespace brisvane {

namespace detail {

// The program does not import WinHTTP (services/winhttp_library.h loads it), so each owner
// carries the WinHttpCloseHandle of the loaded DLL.
struct InternetCloser {
    decltype(&::WinHttpCloseHandle) close = nullptr;
    void operator()(HINTERNET handle) const noexcept { close(handle); }
};
// For a handle that one function of one argument releases.
template <auto Release>
struct FunctionDeleter {
    template <typename Handle>
    void operator()(Handle handle) const noexcept {
        Release(handle);
    }
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
struct ScreenDcReleaser {
    void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};
struct ProcessHeapFreer {
    void operator()(void* memory) const noexcept { HeapFree(GetProcessHeap(), 0, memory); }
};
// Ends the process if it still runs, waits a while for it to go, and closes the handle.
struct ProcessEnder {
    void operator()(HANDLE process) const noexcept {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10'000);
        }
        CloseHandle(process);
    }
};
struct VirtualMemoryReleaser {
    void operator()(void* memory) const noexcept { VirtualFree(memory, 0, MEM_RELEASE); }
};
struct CertStoreCloser {
    void operator()(HCERTSTORE store) const noexcept { CertCloseStore(store, 0); }
};
struct ComReleaser {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};

}  // namespace detail

// A WinHTTP session, connection or request handle (made by WinHttpLibrary::Own).
using UniqueInternet = std::unique_ptr<void, detail::InternetCloser>;
// A kernel object handle (file, device, event).
using UniqueHandle = std::unique_ptr<void, detail::FunctionDeleter<&::CloseHandle>>;
// An open registry key.
using UniqueKey =
    std::unique_ptr<std::remove_pointer_t<HKEY>, detail::FunctionDeleter<&::RegCloseKey>>;
// A module loaded with LoadLibrary (a DLL of Windows: SystemLibrary).
using UniqueLibrary =
    std::unique_ptr<std::remove_pointer_t<HMODULE>, detail::FunctionDeleter<&::FreeLibrary>>;
// Text that the system allocated with LocalAlloc (FormatMessage).
using UniqueLocalText = std::unique_ptr<wchar_t, detail::FunctionDeleter<&::LocalFree>>;
// Text that WinHTTP hands out with GlobalAlloc (proxy settings).
using UniqueGlobalText = std::unique_ptr<wchar_t, detail::FunctionDeleter<&::GlobalFree>>;

// A certificate store opened with CertOpenStore (link crypt32).
using UniqueCertStore = std::unique_ptr<void, detail::CertStoreCloser>;

// A top-level window the program created.
using UniqueWindow =
    std::unique_ptr<std::remove_pointer_t<HWND>, detail::FunctionDeleter<&::DestroyWindow>>;
// A window attached to its C++ object (see AttachedWindowDestroyer).
using UniqueAttachedWindow =
    std::unique_ptr<std::remove_pointer_t<HWND>, detail::AttachedWindowDestroyer>;
using UniqueFont =
    std::unique_ptr<std::remove_pointer_t<HFONT>, detail::FunctionDeleter<&::DeleteObject>>;
// A region the program made; SetWindowRgn takes it over on success.
using UniqueRegion =
    std::unique_ptr<std::remove_pointer_t<HRGN>, detail::FunctionDeleter<&::DeleteObject>>;
// An icon loaded at a size of our choosing (LoadImage without LR_SHARED).
using UniqueIcon =
    std::unique_ptr<std::remove_pointer_t<HICON>, detail::FunctionDeleter<&::DestroyIcon>>;
// The device context of the whole screen, from GetDC(nullptr).
using UniqueScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, detail::ScreenDcReleaser>;
// A memory device context, from CreateCompatibleDC.
using UniqueMemoryDc =
    std::unique_ptr<std::remove_pointer_t<HDC>, detail::FunctionDeleter<&::DeleteDC>>;
// A bitmap the program made (CreateDIBSection); destroy the DC it is selected into first.
using UniqueBitmap =
    std::unique_ptr<std::remove_pointer_t<HBITMAP>, detail::FunctionDeleter<&::DeleteObject>>;
// A brush the program made (CreateSolidBrush).
using UniqueBrush =
    std::unique_ptr<std::remove_pointer_t<HBRUSH>, detail::FunctionDeleter<&::DeleteObject>>;

// Narrow text that a function allocated on the process heap (Wine's wine_get_unix_file_name).
using UniqueProcessHeapText = std::unique_ptr<char, detail::ProcessHeapFreer>;
// Address space reserved or committed with VirtualAlloc, released whole.
using UniqueVirtualMemory = std::unique_ptr<void, detail::VirtualMemoryReleaser>;
// A process this one started, ended with it when it still runs (see ProcessEnder).
using UniqueChildProcess = std::unique_ptr<void, detail::ProcessEnder>;

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

// A Winsock socket; INVALID_SOCKET when it holds none.
class UniqueSocket {
  public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET socket) noexcept : socket_(socket) {}
    ~UniqueSocket() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
    }
    UniqueSocket(UniqueSocket&& other) noexcept
        : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        std::swap(socket_, other.socket_);
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SOCKET get() const noexcept { return socket_; }
    explicit operator bool() const noexcept { return socket_ != INVALID_SOCKET; }

  private:
    SOCKET socket_ = INVALID_SOCKET;
};

// Winsock 2.2 for as long as the owner lives; std::system_error when it cannot start.
class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data{};
        if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
            throw std::system_error(error, std::system_category(), "WSAStartup");
        }
    }
    ~WinsockSession() { WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

inline UniqueScreenDc GetScreenDc() {
    return UniqueScreenDc(GetDC(nullptr));
}

// Takes a handle from a function that reports failure as INVALID_HANDLE_VALUE (CreateFileW).
inline UniqueHandle OwnFileHandle(HANDLE handle) noexcept {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace brisvane
