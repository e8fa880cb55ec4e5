#include "services/http_share_lookup.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <future>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "mount/build_settings.h"
#include "mount/member_texts.h"
#include "services/proxy_logon.h"
#include "services/response_text.h"
#include "services/winhttp_library.h"
#include "win32/error.h"
#include "win32/owners.h"
#include "win32/text.h"

namespace brisvane {

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kFormContentType[] = L"Content-Type: application/x-www-form-urlencoded";

// The most redirects one lookup follows: enough for a page that has moved more than once within
// its server, few enough that a loop ends at once.
constexpr int kMaxRedirects = 10;

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

// A redirect that leaves the lookup page's server is refused with the number the program gives
// every refusal to send the member's data somewhere (E_ACCESSDENIED), and names the address.
[[noreturn]] void RefuseRedirect(std::wstring_view address) {
    throw WorkflowError(HresultFromWin32(ERROR_ACCESS_DENIED),
                        texts::RedirectRefused(FromWide(address)));
}

[[noreturn]] void ThrowTooManyRedirects() {
    throw WorkflowError(HresultFromWin32(ERROR_WINHTTP_REDIRECT_FAILED),
                        texts::TooManyRedirects(WidenAscii(std::to_string(kMaxRedirects))));
}

// The end of the whole exchange, however slowly the server (or a proxy) answers: each blocking
// call waits at most for its own stage's limit and at most for the time left.
class Deadline {
  public:
    explicit Deadline(std::chrono::milliseconds total) : end_(Clock::now() + total) {}

    // The time left; raises the time-out of `stage` when none is left.
    std::chrono::milliseconds Left(Stage stage) const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now());
        if (left <= 0ms) {
            ThrowExchangeFailure(ERROR_WINHTTP_TIMEOUT, stage);
        }
        return left;
    }

    // `limit`, or the time left when that is shorter; raises the time-out of `stage` when no
    // time is left.
    std::chrono::milliseconds Bound(std::chrono::milliseconds limit, Stage stage) const {
        return std::min(limit, Left(stage));
    }

  private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point end_;
};

// WinHTTP takes milliseconds as int; 0 and -1 would mean "wait for ever".
int Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(
        std::clamp<std::chrono::milliseconds::rep>(duration.count(), 1, INT_MAX));
}

// Sets the time-outs of the next blocking call on `handle` (a session or a request): each
// stage's own limit, shortened to the time left before the deadline.
void BoundNextCall(const WinHttpLibrary& http, HINTERNET handle, const LookupLimits& limits,
                   const Deadline& deadline, Stage stage) {
    const int response = Milliseconds(deadline.Bound(limits.responseTimeout, stage));
    if (!http.setTimeouts(handle, Milliseconds(deadline.Bound(limits.resolveTimeout, stage)),
                          Milliseconds(deadline.Bound(limits.connectTimeout, stage)),
                          Milliseconds(deadline.Bound(limits.sendTimeout, stage)), response)) {
        ThrowLastError(u"WinHttpSetTimeouts");
    }
    // The wait for the reply's headers has a time-out of its own (90 s on Windows); Wine's
    // synchronous send waits for them without one unless it is set.
    DWORD responseHeaders = static_cast<DWORD>(response);
    if (!http.setOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseHeaders,
                        sizeof(responseHeaders))) {
        ThrowLastError(u"WinHttpSetOption");
    }
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

// A session that never follows a redirect by itself: the exchange decides on each.
UniqueInternet OpenSession(const WinHttpLibrary& http, const ProxySetting& route) {
    const std::wstring agent = UserAgent();
    UniqueInternet session = http.Own(
        http.open(agent.c_str(), route.accessType,
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

// What an address leads to, as WinHTTP reads it: the server it connects to and the request
// target it sends there.
struct Target {
    INTERNET_SCHEME scheme = 0;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring pathAndQuery;
};

// Null, with the last error set, when WinHTTP cannot read `url`.
std::optional<Target> CrackAddress(const WinHttpLibrary& http, const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    // -1: point into `url` rather than copy.
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!http.crackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
        return std::nullopt;
    }
    Target target;
    target.scheme = parts.nScheme;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    return target;
}

bool EqualIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
    return std::ranges::equal(a, b, {}, fold, fold);
}

// The same scheme, host and port: an address on the lookup page's own server.
bool SameServer(const Target& a, const Target& b) {
    return a.scheme == b.scheme && a.port == b.port && EqualIgnoringAsciiCase(a.host, b.host);
}

bool StartsWithScheme(std::wstring_view reference) {
    const auto letter = [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    };
    const std::size_t colon = reference.find(L':');
    if (colon == std::wstring_view::npos || colon == 0 || !letter(reference[0])) {
        return false;
    }
    return std::all_of(
        reference.begin() + 1, reference.begin() + static_cast<std::ptrdiff_t>(colon),
        [&letter](wchar_t c) {
            return letter(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
        });
}

// The address that a redirect's Location `location` names, read against `base`, the address
// that answered with it, as a browser reads a link: a reference with a scheme stands alone,
// "//" takes base's scheme, "/" its scheme and server, "?" its path too, and anything else
// replaces the last segment of its path. Dot segments are left to the server, and the fragment,
// which never goes to a server, is dropped.
std::wstring ResolveAddress(std::wstring_view base, std::wstring_view location) {
    location = location.substr(0, location.find(L'#'));
    base = base.substr(0, base.find(L'#'));
    if (StartsWithScheme(location)) {
        return std::wstring(location);
    }
    const std::size_t schemeEnd = base.find(L':');
    const std::size_t authorityStart =
        base.compare(schemeEnd + 1, 2, L"//") == 0 ? schemeEnd + 3 : schemeEnd + 1;
    const std::size_t authorityEnd =
        std::min(base.find_first_of(L"/?", authorityStart), base.size());
    const std::size_t pathEnd = std::min(base.find(L'?', authorityEnd), base.size());
    const std::wstring_view origin = base.substr(0, authorityEnd);
    const std::wstring_view path = base.substr(authorityEnd, pathEnd - authorityEnd);

    std::wstring resolved;
    if (location.starts_with(L"//")) {
        resolved = base.substr(0, schemeEnd + 1);
    } else if (location.starts_with(L'/')) {
        resolved = origin;
    } else if (location.empty()) {
        resolved = base;
    } else if (location.starts_with(L'?')) {
        resolved = std::wstring(origin) + std::wstring(path);
    } else {
        const std::size_t lastSlash = path.rfind(L'/');
        resolved = std::wstring(origin) + (lastSlash == std::wstring_view::npos
                                               ? std::wstring(L"/")
                                               : std::wstring(path.substr(0, lastSlash + 1)));
    }
    return resolved.append(location);
}

std::wstring TextOf(const UniqueGlobalText& text) {
    return text != nullptr ? std::wstring(text.get()) : std::wstring();
}

// Where the member's Internet settings say to find the proxy configuration.
struct ProxyConfiguration {
    bool autoDetect = false;
    std::wstring scriptUrl;  // empty: none
};

// The route that the member's proxy configuration (a script, or one found by automatic
// detection) gives `url`; nullopt when it gives none. Logs on to the script's server only when
// that server demands it.
std::optional<ProxySetting> RunProxyConfiguration(const WinHttpLibrary& http,
                                                  const std::wstring& url,
                                                  const ProxyConfiguration& configuration,
                                                  const LookupLimits& limits,
                                                  const Deadline& deadline) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (configuration.autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!configuration.scriptUrl.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = configuration.scriptUrl.c_str();
    }
    // The script is fetched directly.
    const UniqueInternet resolver =
        OpenSession(http, ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}});
    WINHTTP_PROXY_INFO found{};
    const DWORD answer = AskWithLogOnOnlyWhenDemanded([&](BOOL autoLogon) -> DWORD {
        options.fAutoLogonIfChallenged = autoLogon;
        BoundNextCall(http, resolver.get(), limits, deadline, Stage::kReaching);
        return http.getProxyForUrl(resolver.get(), url.c_str(), &options, &found) ? ERROR_SUCCESS
                                                                                  : GetLastError();
    });
    if (answer != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const UniqueGlobalText foundProxy(found.lpszProxy);
    const UniqueGlobalText foundBypass(found.lpszProxyBypass);
    return ProxySetting{found.dwAccessType, TextOf(foundProxy), TextOf(foundBypass)};
}

// RunProxyConfiguration on a thread of its own, waited for until the deadline at most. WinHTTP
// fetches the script within limits of its own (Wine's with a session of its own, which the
// exchange's time-outs do not reach), so a script server that trickles would otherwise hold the
// lookup for as long as it likes. A configuration still running at the deadline is left to end
// on its thread, which owns everything it uses; its answer is dropped.
std::optional<ProxySetting> RunProxyConfigurationUntil(std::shared_ptr<const WinHttpLibrary> http,
                                                       std::wstring url,
                                                       ProxyConfiguration configuration,
                                                       const LookupLimits& limits,
                                                       const Deadline& deadline) {
    const std::chrono::milliseconds left = deadline.Left(Stage::kReaching);
    std::packaged_task<std::optional<ProxySetting>()> task(
        [http = std::move(http), url = std::move(url), configuration = std::move(configuration),
         limits,
         deadline] { return RunProxyConfiguration(*http, url, configuration, limits, deadline); });
    std::future<std::optional<ProxySetting>> answer = task.get_future();
    std::thread(std::move(task)).detach();
    if (answer.wait_for(left) == std::future_status::timeout) {
        ThrowExchangeFailure(ERROR_WINHTTP_TIMEOUT, Stage::kReaching);
    }
    return answer.get();
}

// The route to `url` as the member's Internet settings choose it, the way WinINet (and so the
// platform's request object) applies them: the configuration script, or one found by automatic
// detection, first; the manual proxy when there is no script; else straight to the server.
// WinHTTP's own default when the settings cannot be read.
ProxySetting MemberRouteTo(const std::shared_ptr<const WinHttpLibrary>& http,
                           const std::wstring& url, const LookupLimits& limits,
                           const Deadline& deadline) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (!http->getIEProxyConfigForCurrentUser(&settings)) {
        return ProxySetting{};
    }
    const UniqueGlobalText configurationScript(settings.lpszAutoConfigUrl);
    const UniqueGlobalText manualProxy(settings.lpszProxy);
    const UniqueGlobalText manualBypass(settings.lpszProxyBypass);

    if (settings.fAutoDetect || configurationScript != nullptr) {
        if (std::optional<ProxySetting> configured = RunProxyConfigurationUntil(
                http, url,
                ProxyConfiguration{settings.fAutoDetect != FALSE, TextOf(configurationScript)},
                limits, deadline)) {
            return *std::move(configured);
        }
    }
    if (manualProxy != nullptr) {
        return ProxySetting{WINHTTP_ACCESS_TYPE_NAMED_PROXY, TextOf(manualProxy),
                            TextOf(manualBypass)};
    }
    return ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}};
}

// The value of a response header (WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_QUERY_LOCATION); empty
// when the response has none or it cannot be read.
std::wstring HeaderOf(const WinHttpLibrary& http, HINTERNET request, DWORD header) {
    DWORD size = 0;
    if (http.queryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                          &size, WINHTTP_NO_HEADER_INDEX) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (!http.queryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    value.resize(size / sizeof(wchar_t));
    return value;
}

DWORD StatusOf(const WinHttpLibrary& http, HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!http.queryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        ThrowLastError(u"WinHttpQueryHeaders");
    }
    return status;
}

// The whole body, refused as soon as it would grow past the limit, and ended by the deadline
// however slowly it arrives.
std::string ReadBody(const WinHttpLibrary& http, HINTERNET request, const LookupLimits& limits,
                     const Deadline& deadline) {
    const std::size_t limit = limits.maxResponseBytes;
    std::string body;
    for (;;) {
        BoundNextCall(http, request, limits, deadline, Stage::kAnswering);
        DWORD available = 0;
        if (!http.queryDataAvailable(request, &available)) {
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
        if (!http.readData(request, body.data() + start, available, &received)) {
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
    WinHttpLookupRequest(std::shared_ptr<const WinHttpLibrary> http, const LookupLimits& limits)
        : http_(std::move(http)), limits_(limits) {}

    Text Send(TextView address, const std::string& body) override {
        const WinHttpLibrary& http = *http_;
        const Deadline deadline(limits_.deadline);
        std::wstring url = ToWide(address);
        const std::optional<Target> lookup = CrackAddress(http, url);
        if (!lookup) {
            // The lookup address is the organisation's setting, not the program's own call: the
            // report carries WinHTTP's text for what is wrong with it, without the call's name.
            throw WindowsError(GetLastError());
        }
        const UniqueInternet session =
            OpenSession(http, MemberRouteTo(http_, url, limits_, deadline));
        // Every request of the exchange goes through this connection to the lookup page's own
        // server, redirected ones included.
        const UniqueInternet connection =
            http.Own(http.connect(session.get(), lookup->host.c_str(), lookup->port, 0));
        if (connection == nullptr) {
            ThrowLastError(u"WinHttpConnect");
        }

        std::wstring target = lookup->pathAndQuery;
        bool post = true;
        for (int redirects = 0;; ++redirects) {
            const UniqueInternet request =
                Exchange(connection.get(), target, post ? &body : nullptr,
                         lookup->scheme == INTERNET_SCHEME_HTTPS, deadline);
            const DWORD status = StatusOf(http, request.get());
            const std::wstring location = HeaderOf(http, request.get(), WINHTTP_QUERY_LOCATION);
            if (!IsRedirect(status) || location.empty()) {
                const std::wstring contentType =
                    HeaderOf(http, request.get(), WINHTTP_QUERY_CONTENT_TYPE);
                return DecodeResponseBody(ReadBody(http, request.get(), limits_, deadline),
                                          contentType);
            }
            url = ResolveAddress(url, location);
            const std::optional<Target> next = CrackAddress(http, url);
            if (!next || !SameServer(*next, *lookup)) {
                RefuseRedirect(url);
            }
            if (redirects == kMaxRedirects) {
                ThrowTooManyRedirects();
            }
            target = next->pathAndQuery;
            // 307 and 308 repeat the request as it was. After 301, 302 and 303 the next request
            // is a GET without the form, as browsers and WinINet (and so the platform's request
            // object) make it: the address need not accept the form, and gets no data that its
            // server was not given already.
            post = post && (status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
                            status == HTTP_STATUS_PERMANENT_REDIRECT);
        }
    }

  private:
    static bool IsRedirect(DWORD status) {
        return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
               status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
               status == HTTP_STATUS_PERMANENT_REDIRECT;
    }

    // Sends one request for `target` on `connection`, a POST of `form` or, when it is null, a
    // GET; returns once the response's headers have arrived.
    UniqueInternet Exchange(HINTERNET connection, const std::wstring& target,
                            const std::string* form, bool secure, const Deadline& deadline) const {
        const WinHttpLibrary& http = *http_;
        UniqueInternet request = http.Own(http.openRequest(
            connection, form != nullptr ? L"POST" : L"GET", target.c_str(), nullptr,
            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
        if (request == nullptr) {
            ThrowLastError(u"WinHttpOpenRequest");
        }
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        if (!http.setOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                            sizeof(noRedirects))) {
            ThrowLastError(u"WinHttpSetOption");
        }

        BoundNextCall(http, request.get(), limits_, deadline, Stage::kReaching);
        BOOL sent = FALSE;
        if (form != nullptr) {
            // WinHTTP takes the body through a pointer to modifiable data; it only reads it.
            std::string payload = *form;
            const auto payloadSize = static_cast<DWORD>(payload.size());
            sent = http.sendRequest(request.get(), kFormContentType,
                                    static_cast<DWORD>(std::size(kFormContentType) - 1),
                                    payload.data(), payloadSize, payloadSize, 0);
        } else {
            sent = http.sendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                    WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
        }
        if (!sent) {
            ThrowExchangeFailure(GetLastError(), Stage::kReaching);
        }
        BoundNextCall(http, request.get(), limits_, deadline, Stage::kAnswering);
        if (!http.receiveResponse(request.get(), nullptr)) {
            ThrowExchangeFailure(GetLastError(), Stage::kAnswering);
        }
        return request;
    }

    std::shared_ptr<const WinHttpLibrary> http_;
    LookupLimits limits_;
};

}  // namespace

HttpShareLookup::HttpShareLookup(LookupLimits limits) : limits_(limits) {
    // The body is decoded in one piece, which takes fewer than 2 GiB.
    limits_.maxResponseBytes = std::min<std::size_t>(limits_.maxResponseBytes, INT_MAX);
}

std::unique_ptr<ShareLookupRequest> HttpShareLookup::CreateRequest() {
    if (winHttp_ == nullptr) {
        winHttp_ = std::make_shared<const WinHttpLibrary>();
    }
    return std::make_unique<WinHttpLookupRequest>(winHttp_, limits_);
}

}  // namespace brisvane
