#include "services/http_share_lookup.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <utility>

#include "mount/build_settings.h"
#include "mount/member_texts.h"
#include "services/response_text.h"
#include "services/wide_text.h"
#include "services/win32_owners.h"
#include "services/windows_error.h"

namespace brisvane {

namespace {

constexpr wchar_t kFormContentType[] = L"Content-Type: application/x-www-form-urlencoded";

// Where the exchange stood when it failed. A time-out before the request went out means that
// the server (or the proxy) could not be reached.
enum class Stage { kReaching, kAnswering };

[[noreturn]] void ThrowExchangeFailure(DWORD code, Stage stage) {
    // Wine's WinHTTP reports an expired time-out with the Winsock code, Windows with its own.
    if (code == WSAETIMEDOUT) {
        code = ERROR_WINHTTP_TIMEOUT;
    }
    if (code == ERROR_WINHTTP_NAME_NOT_RESOLVED || code == ERROR_WINHTTP_CANNOT_CONNECT ||
        (code == ERROR_WINHTTP_TIMEOUT && stage == Stage::kReaching)) {
        throw WorkflowError(kResourceNotFound, ErrorDescription(code));
    }
    throw WindowsError(code);
}

[[noreturn]] void ThrowResponseTooLarge(std::size_t limit) {
    throw WorkflowError(HresultFromWin32(ERROR_FILE_TOO_LARGE),
                        texts::PageTooLarge(WidenAscii(std::to_string(limit))));
}

// WinHTTP takes milliseconds as int; 0 and -1 would mean "wait for ever".
int Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(
        std::clamp<std::chrono::milliseconds::rep>(duration.count(), 1, INT_MAX));
}

std::wstring UserAgent() {
    return L"Brisvane/" + std::to_wstring(kVersionMajor) + L"." + std::to_wstring(kVersionMinor) +
           L"." + std::to_wstring(kVersionRevision);
}

// How a session reaches servers. Wine's WinHTTP takes a proxy only when the session is
// opened, not as an option of a session or request, so each exchange opens its session with
// the proxy already chosen.
struct ProxySetting {
    DWORD accessType = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    std::wstring proxy;   // empty: none
    std::wstring bypass;  // empty: none
};

UniqueInternet OpenSession(const LookupLimits& limits, const ProxySetting& route) {
    const std::wstring agent = UserAgent();
    UniqueInternet session(
        WinHttpOpen(agent.c_str(), route.accessType,
                    route.proxy.empty() ? WINHTTP_NO_PROXY_NAME : route.proxy.c_str(),
                    route.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : route.bypass.c_str(), 0));
    if (session == nullptr) {
        throw WindowsError(GetLastError());
    }
    const int response = Milliseconds(limits.responseTimeout);
    if (!WinHttpSetTimeouts(session.get(), Milliseconds(limits.resolveTimeout),
                            Milliseconds(limits.connectTimeout), Milliseconds(limits.sendTimeout),
                            response)) {
        throw WindowsError(GetLastError());
    }
    // The wait for the reply's headers has a time-out of its own (90 s on Windows); Wine's
    // synchronous send waits for them without one unless it is set.
    DWORD responseHeaders = static_cast<DWORD>(response);
    if (!WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseHeaders,
                          sizeof(responseHeaders))) {
        throw WindowsError(GetLastError());
    }
    return session;
}

struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring pathAndQuery;
    bool secure = false;
};

Target CrackAddress(const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    // -1: point into `url` rather than copy.
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
        throw WindowsError(GetLastError());
    }
    Target target;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return target;
}

std::wstring TextOf(const UniqueGlobalText& text) {
    return text != nullptr ? std::wstring(text.get()) : std::wstring();
}

// The route to `url` as the member's Internet settings choose it, the way WinINet (and so the
// platform's request object) applies them: the configuration script, or one found by automatic
// detection, first; the manual proxy when there is no script; else straight to the server.
// WinHTTP's own default when the settings cannot be read.
ProxySetting MemberRouteTo(const std::wstring& url, const LookupLimits& limits) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&settings)) {
        return ProxySetting{};
    }
    const UniqueGlobalText configurationScript(settings.lpszAutoConfigUrl);
    const UniqueGlobalText manualProxy(settings.lpszProxy);
    const UniqueGlobalText manualBypass(settings.lpszProxyBypass);

    if (settings.fAutoDetect || configurationScript != nullptr) {
        WINHTTP_AUTOPROXY_OPTIONS options{};
        if (settings.fAutoDetect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags =
                WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        if (configurationScript != nullptr) {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = configurationScript.get();
        }
        options.fAutoLogonIfChallenged = TRUE;
        // The script is fetched directly, within the same time-outs as the exchange.
        const UniqueInternet resolver =
            OpenSession(limits, ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}});
        WINHTTP_PROXY_INFO found{};
        if (WinHttpGetProxyForUrl(resolver.get(), url.c_str(), &options, &found)) {
            const UniqueGlobalText foundProxy(found.lpszProxy);
            const UniqueGlobalText foundBypass(found.lpszProxyBypass);
            return ProxySetting{found.dwAccessType, TextOf(foundProxy), TextOf(foundBypass)};
        }
    }
    if (manualProxy != nullptr) {
        return ProxySetting{WINHTTP_ACCESS_TYPE_NAMED_PROXY, TextOf(manualProxy),
                            TextOf(manualBypass)};
    }
    return ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}};
}

// The Content-Type value of the response; empty when it has none or it cannot be read, in
// which case the body is read as UTF-8.
std::wstring ContentTypeOf(HINTERNET request) {
    DWORD size = 0;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                            WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                             value.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    value.resize(size / sizeof(wchar_t));
    return value;
}

// The whole body, refused as soon as it would grow past `limit` bytes.
std::string ReadBody(HINTERNET request, std::size_t limit) {
    std::string body;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            ThrowExchangeFailure(GetLastError(), Stage::kAnswering);
        }
        if (available == 0) {
            return body;
        }
        if (available > limit - body.size()) {
            ThrowResponseTooLarge(limit);
        }
        const std::size_t start = body.size();
        body.resize(start + available);
        DWORD received = 0;
        if (!WinHttpReadData(request, body.data() + start, available, &received)) {
            ThrowExchangeFailure(GetLastError(), Stage::kAnswering);
        }
        body.resize(start + received);
        if (received == 0) {
            return body;
        }
    }
}

class WinHttpLookupRequest final : public ShareLookupRequest {
  public:
    explicit WinHttpLookupRequest(const LookupLimits& limits) : limits_(limits) {}

    Text Send(TextView address, const std::string& body) override {
        const std::wstring url = ToWide(address);
        const Target target = CrackAddress(url);
        const UniqueInternet session = OpenSession(limits_, MemberRouteTo(url, limits_));
        const UniqueInternet connection(
            WinHttpConnect(session.get(), target.host.c_str(), target.port, 0));
        if (connection == nullptr) {
            throw WindowsError(GetLastError());
        }
        const UniqueInternet request(WinHttpOpenRequest(
            connection.get(), L"POST", target.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
            WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0));
        if (request == nullptr) {
            throw WindowsError(GetLastError());
        }

        // WinHTTP takes the body through a pointer to modifiable data; it only reads it.
        std::string payload = body;
        const auto payloadSize = static_cast<DWORD>(payload.size());
        if (!WinHttpSendRequest(request.get(), kFormContentType,
                                static_cast<DWORD>(std::size(kFormContentType) - 1), payload.data(),
                                payloadSize, payloadSize, 0)) {
            ThrowExchangeFailure(GetLastError(), Stage::kReaching);
        }
        if (!WinHttpReceiveResponse(request.get(), nullptr)) {
            ThrowExchangeFailure(GetLastError(), Stage::kAnswering);
        }
        const std::wstring contentType = ContentTypeOf(request.get());
        return DecodeResponseBody(ReadBody(request.get(), limits_.maxResponseBytes), contentType);
    }

  private:
    LookupLimits limits_;
};

}  // namespace

HttpShareLookup::HttpShareLookup(LookupLimits limits) : limits_(limits) {
    // The body is decoded in one piece, which takes fewer than 2 GiB.
    limits_.maxResponseBytes = std::min<std::size_t>(limits_.maxResponseBytes, INT_MAX);
}

std::unique_ptr<ShareLookupRequest> HttpShareLookup::CreateRequest() {
    return std::make_unique<WinHttpLookupRequest>(limits_);
}

}  // namespace brisvane
