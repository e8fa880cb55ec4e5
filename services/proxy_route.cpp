#include "services/proxy_route.h"

#include <optional>
#include <utility>

#include "services/proxy_logon.h"
#include "services/winhttp_library.h"
#include "win32/error.h"
#include "win32/owners.h"

namespace brisvane {

namespace {

std::wstring TextOf(const UniqueGlobalText& text) {
    return text != nullptr ? std::wstring(text.get()) : std::wstring();
}

// The route that a proxy configuration script gives `url`: the script `options` name, or the
// one automatic detection finds; nullopt when it gives none. The script's server gets the
// member's Windows log-on only as AskAgainWithLogOn decides.
std::optional<ProxySetting> AskProxyScript(const WinHttpLibrary& http, HINTERNET resolver,
                                           const std::wstring& url,
                                           WINHTTP_AUTOPROXY_OPTIONS options,
                                           ProxyScriptSource source, const LookupLimits& limits,
                                           const Deadline& deadline, const Progress& progress) {
    WINHTTP_PROXY_INFO found{};
    const auto ask = [&](BOOL autoLogon) -> DWORD {
        options.fAutoLogonIfChallenged = autoLogon;
        BoundNextCall(http, resolver, limits, deadline, progress);
        return http.getProxyForUrl(resolver, url.c_str(), &options, &found) ? ERROR_SUCCESS
                                                                            : GetLastError();
    };
    DWORD answer = ask(FALSE);
    if (AskAgainWithLogOn(source, answer)) {
        answer = ask(TRUE);
    }
    if (answer != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const UniqueGlobalText foundProxy(found.lpszProxy);
    const UniqueGlobalText foundBypass(found.lpszProxyBypass);
    return ProxySetting{found.dwAccessType, TextOf(foundProxy), TextOf(foundBypass)};
}

// The route that the member's proxy configuration gives `url`: the script found by automatic
// detection when it is on and finds one, else the script the settings name (`scriptUrl`, empty
// when none); nullopt when neither gives a route. Each is asked on its own, so that a log-on
// demanded by the server of a detected script is never answered. Scripts are fetched directly.
std::optional<ProxySetting> RunProxyConfiguration(
    const WinHttpLibrary& http, const std::wstring& userAgent, const std::wstring& url,
    bool autoDetect, const std::wstring& scriptUrl, const LookupLimits& limits,
    const Deadline& deadline, const Progress& progress) {
    const UniqueInternet resolver =
        OpenSession(http, userAgent, ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}});
    if (autoDetect) {
        WINHTTP_AUTOPROXY_OPTIONS detection{};
        detection.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        detection.dwAutoDetectFlags =
            WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        if (std::optional<ProxySetting> detected =
                AskProxyScript(http, resolver.get(), url, detection,
                               ProxyScriptSource::kAutoDetected, limits, deadline, progress)) {
            return detected;
        }
    }
    if (scriptUrl.empty()) {
        return std::nullopt;
    }
    WINHTTP_AUTOPROXY_OPTIONS named{};
    named.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    named.lpszAutoConfigUrl = scriptUrl.c_str();
    return AskProxyScript(http, resolver.get(), url, named, ProxyScriptSource::kNamedInSettings,
                          limits, deadline, progress);
}

}  // namespace

UniqueInternet OpenSession(const WinHttpLibrary& http, const std::wstring& userAgent,
                           const ProxySetting& route) {
    UniqueInternet session = http.Own(
        http.open(userAgent.c_str(), route.accessType,
                  route.proxy.empty() ? WINHTTP_NO_PROXY_NAME : route.proxy.c_str(),
                  route.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : route.bypass.c_str(), 0));
    if (session == nullptr) {
        ThrowLastError(u"WinHttpOpen");
    }
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!http.setOption(session.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never))) {
        ThrowLastError(u"WinHttpSetOption");
    }
    return session;
}

ProxySetting MemberRouteTo(const WinHttpLibrary& http, const std::wstring& userAgent,
                           const std::wstring& url, const LookupLimits& limits,
                           const Deadline& deadline, const Progress& progress) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (!http.getIEProxyConfigForCurrentUser(&settings)) {
        return ProxySetting{};
    }
    const UniqueGlobalText configurationScript(settings.lpszAutoConfigUrl);
    const UniqueGlobalText manualProxy(settings.lpszProxy);
    const UniqueGlobalText manualBypass(settings.lpszProxyBypass);

    if (settings.fAutoDetect || configurationScript != nullptr) {
        if (std::optional<ProxySetting> configured =
                RunProxyConfiguration(http, userAgent, url, settings.fAutoDetect != FALSE,
                                      TextOf(configurationScript), limits, deadline, progress)) {
            return *std::move(configured);
        }
    }
    if (manualProxy != nullptr) {
        return ProxySetting{WINHTTP_ACCESS_TYPE_NAMED_PROXY, TextOf(manualProxy),
                            TextOf(manualBypass)};
    }
    return ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}};
}

}  // namespace brisvane
