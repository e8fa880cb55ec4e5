// How the share lookup reaches the lookup page's server: the route that the member's Internet
// settings give an address (a proxy configuration script, a manual proxy, or none), and a
// WinHTTP session opened on a route.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "services/http_share_lookup.h"
#include "services/lookup_deadline.h"
#include "win32/internet_owner.h"

namespace brisvane {

class WinHttpLibrary;

// How a session reaches servers. Wine's WinHTTP takes a proxy only when the session is
// opened, not as an option of a session or request, so each exchange opens its session with
// the proxy already chosen.
struct ProxySetting {
    DWORD accessType = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    std::wstring proxy;   // empty: none
    std::wstring bypass;  // empty: none
};

// A session on `route` that never follows a redirect by itself: the exchange decides on each.
UniqueInternet OpenSession(const WinHttpLibrary& http, const std::wstring& userAgent,
                           const ProxySetting& route);

// The route to `url` as the member's Internet settings choose it: a configuration script,
// found by automatic detection or named in the settings, first; the manual proxy when no
// script gives a route; else straight to the server. WinHTTP's own default when the settings
// cannot be read. Scripts are fetched directly, in sessions with `userAgent`, each call bounded
// by the deadline; the server of a script gets the member's Windows log-on only as
// AskAgainWithLogOn (proxy_logon.h) decides.
ProxySetting MemberRouteTo(const WinHttpLibrary& http, const std::wstring& userAgent,
                           const std::wstring& url, const LookupLimits& limits,
                           const Deadline& deadline, const Progress& progress);

}  // namespace brisvane
