// When WinHTTP may log on to the server of the member's proxy configuration script with the
// member's Windows credentials.
#pragma once

#include <windows.h>
#include <winhttp.h>

namespace brisvane {

// Runs `ask(autoLogon)`, which asks WinHTTP for the proxy configuration and returns 0 or the
// error: first without the member's Windows log-on, so that the script's server gets no
// credentials it does not demand, and again with automatic log-on only when that failed with
// ERROR_WINHTTP_LOGIN_FAILURE (the pattern WinHTTP's documentation gives). The last answer.
template <typename Ask>
DWORD AskWithLogOnOnlyWhenDemanded(Ask&& ask) {
    const DWORD first = ask(FALSE);
    return first == ERROR_WINHTTP_LOGIN_FAILURE ? ask(TRUE) : first;
}

}  // namespace brisvane
