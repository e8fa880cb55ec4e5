// When WinHTTP may log on to the server of a proxy configuration script with the member's
// Windows credentials.
#pragma once

#include <windows.h>
#include <winhttp.h>

namespace brisvane {

// Where a proxy configuration script comes from: named in the member's Internet settings, or
// found by automatic detection (WPAD), which any DHCP or DNS server of the network the laptop
// is on can answer.
enum class ProxyScriptSource { kNamedInSettings, kAutoDetected };

// Whether to ask WinHTTP for the proxy configuration again, now with automatic log-on, after
// the first ask, made without the member's Windows log-on, answered `firstAnswer`. Only the
// server of a script the member's settings name, and only when it demanded a log-on
// (ERROR_WINHTTP_LOGIN_FAILURE): a script found by automatic detection never gets the member's
// credentials.
constexpr bool AskAgainWithLogOn(ProxyScriptSource source, DWORD firstAnswer) noexcept {
    return source == ProxyScriptSource::kNamedInSettings &&
           firstAnswer == ERROR_WINHTTP_LOGIN_FAILURE;
}

}  // namespace brisvane
