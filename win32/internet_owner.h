// The owner of a WinHTTP handle.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <memory>

namespace brisvane {

namespace detail {

// The program does not import WinHTTP (services/winhttp_library.h loads it), so each owner
// carries the WinHttpCloseHandle of the loaded DLL.
struct InternetCloser {
    decltype(&::WinHttpCloseHandle) close = nullptr;
    void operator()(HINTERNET handle) const noexcept { close(handle); }
};

}  // namespace detail

// A WinHTTP session, connection or request handle (made by WinHttpLibrary::Own).
using UniqueInternet = std::unique_ptr<void, detail::InternetCloser>;

}  // namespace brisvane
