// WinHTTP as the share lookup reaches it: winhttp.dll is not in the program's import table
// (which Windows would search in the program's own folder first) but loaded from System32 when
// the first lookup needs it, and its functions are called through this one owner.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "win32/internet_owner.h"
#include "win32/system_library.h"

namespace brisvane {

class WinHttpLibrary : private SystemLibrary {
  public:
    // Loads winhttp.dll from System32, for the rest of the process's life, and finds the
    // functions below; raises WindowsError when it cannot.
    WinHttpLibrary();

    // A handle that one of the functions returned (null when it failed), closed by the loaded
    // WinHttpCloseHandle.
    UniqueInternet Own(HINTERNET handle) const noexcept {
        return UniqueInternet(handle, detail::InternetCloser{closeHandle_});
    }

    // WinHTTP's functions, named as in <winhttp.h> without their "WinHttp".
    const decltype(&::WinHttpGetIEProxyConfigForCurrentUser) getIEProxyConfigForCurrentUser;
    const decltype(&::WinHttpGetProxyForUrl) getProxyForUrl;
    const decltype(&::WinHttpOpen) open;
    const decltype(&::WinHttpSetTimeouts) setTimeouts;
    const decltype(&::WinHttpSetOption) setOption;
    const decltype(&::WinHttpSetStatusCallback) setStatusCallback;
    const decltype(&::WinHttpConnect) connect;
    const decltype(&::WinHttpOpenRequest) openRequest;
    const decltype(&::WinHttpSendRequest) sendRequest;
    const decltype(&::WinHttpReceiveResponse) receiveResponse;
    const decltype(&::WinHttpQueryHeaders) queryHeaders;
    const decltype(&::WinHttpQueryDataAvailable) queryDataAvailable;
    const decltype(&::WinHttpReadData) readData;

  private:
    decltype(&::WinHttpCloseHandle) closeHandle_;
};

}  // namespace brisvane
