#include "services/http_share_lookup.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <future>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "mount/member_texts.h"
#include "mount/shown_text.h"
#include "services/proxy_logon.h"
#include "services/response_text.h"
#include "services/winhttp_library.h"
#include "version.h"
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

// How far an exchange has got: whether its current request has gone out. Written on the thread
// that runs the exchange (WinHTTP's notice that a request was sent among it), read by the caller
// that stops waiting at the deadline.
using Progress = std::atomic<Stage>;

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

// The failure of an exchange that has reached its deadline, by how far it got.
[[noreturn]] void ThrowDeadlinePassed(const Progress& progress) {
    ThrowExchangeFailure(ERROR_WINHTTP_TIMEOUT, progress.load());
}

[[noreturn]] void ThrowResponseTooLarge(std::size_t limit) {
    throw WorkflowError(HresultFromWin32(ERROR_FILE_TOO_LARGE),
                        texts::PageTooLarge(WidenAscii(std::to_string(limit))));
}

// A redirect that leaves the lookup page's server is refused with the number the program gives
// every refusal to send the member's data somewhere (E_ACCESSDENIED), and names the address as
// page-derived text is shown.
[[noreturn]] void RefuseRedirect(std::wstring_view address) {
    throw WorkflowError(HresultFromWin32(ERROR_ACCESS_DENIED),
                        texts::RedirectRefused(FromWide(ShownText(address))));
}

[[noreturn]] void ThrowTooManyRedirects() {
    throw WorkflowError(HresultFromWin32(ERROR_WINHTTP_REDIRECT_FAILED),
                        texts::TooManyRedirects(WidenAscii(std::to_string(kMaxRedirects))));
}

// The end of the whole exchange. The caller stops waiting for the exchange there, whatever the
// server does; the exchange's own blocking calls wait at most for their stage's limit and at
// most until a second past it. So a call cut short by the deadline never decides the outcome
// before the caller does, and a call of an exchange left behind that waits on a silent server
// ends a second after the deadline.
class Deadline {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(std::chrono::milliseconds total) : end_(Clock::now() + total) {}

    Clock::time_point End() const noexcept { return end_; }

    // The time-out for the next blocking call of a stage whose own limit is `limit`; raises the
    // deadline's failure when the deadline has passed.
    std::chrono::milliseconds Bound(std::chrono::milliseconds limit,
                                    const Progress& progress) const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now());
        if (left <= 0ms) {
            ThrowDeadlinePassed(progress);
        }
        return std::min(limit, left + kPastDeadline);
    }

  private:
    static constexpr std::chrono::milliseconds kPastDeadline = 1000ms;
    Clock::time_point end_;
};

// WinHTTP takes milliseconds as int; 0 and -1 would mean "wait for ever".
int Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(
        std::clamp<std::chrono::milliseconds::rep>(duration.count(), 1, INT_MAX));
}

// Sets the time-outs of the next blocking call on `handle` (a session or a request): each
// stage's own limit, bounded by the deadline.
void BoundNextCall(const WinHttpLibrary& http, HINTERNET handle, const LookupLimits& limits,
                   const Deadline& deadline, const Progress& progress) {
    const int response = Milliseconds(deadline.Bound(limits.responseTimeout, progress));
    if (!http.setTimeouts(handle, Milliseconds(deadline.Bound(limits.resolveTimeout, progress)),
                          Milliseconds(deadline.Bound(limits.connectTimeout, progress)),
                          Milliseconds(deadline.Bound(limits.sendTimeout, progress)), response)) {
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
std::optional<ProxySetting> RunProxyConfiguration(const WinHttpLibrary& http,
                                                  const std::wstring& url, bool autoDetect,
                                                  const std::wstring& scriptUrl,
                                                  const LookupLimits& limits,
                                                  const Deadline& deadline,
                                                  const Progress& progress) {
    const UniqueInternet resolver =
        OpenSession(http, ProxySetting{WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}});
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

// The route to `url` as the member's Internet settings choose it, the way WinINet (and so the
// platform's request object) applies them: a configuration script, found by automatic
// detection or named, first; the manual proxy when no script gives a route; else straight to
// the server. WinHTTP's own default when the settings cannot be read.
ProxySetting MemberRouteTo(const WinHttpLibrary& http, const std::wstring& url,
                           const LookupLimits& limits, const Deadline& deadline,
                           const Progress& progress) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (!http.getIEProxyConfigForCurrentUser(&settings)) {
        return ProxySetting{};
    }
    const UniqueGlobalText configurationScript(settings.lpszAutoConfigUrl);
    const UniqueGlobalText manualProxy(settings.lpszProxy);
    const UniqueGlobalText manualBypass(settings.lpszProxyBypass);

    if (settings.fAutoDetect || configurationScript != nullptr) {
        if (std::optional<ProxySetting> configured =
                RunProxyConfiguration(http, url, settings.fAutoDetect != FALSE,
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
                     const Deadline& deadline, const Progress& progress) {
    const std::size_t limit = limits.maxResponseBytes;
    std::string body;
    for (;;) {
        BoundNextCall(http, request, limits, deadline, progress);
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

bool IsRedirect(DWORD status) {
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
           status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
           status == HTTP_STATUS_PERMANENT_REDIRECT;
}

// WinHTTP's notice, on the thread that sends, that a request has gone out whole; its context is
// the exchange's Progress. (Wine's synchronous send goes on to wait for the reply's headers, so
// the send's return would be too late to tell.)
void CALLBACK NoteRequestSent(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    if (status == WINHTTP_CALLBACK_STATUS_REQUEST_SENT && context != 0) {
        reinterpret_cast<Progress*>(context)->store(Stage::kAnswering);
    }
}

// One lookup, from finding the route to the decoded page. It owns everything it uses, so that
// it can go on after the caller has stopped waiting for it: WinHTTP (which stays loaded), its
// own copies of the limits, the address and the form, and the progress it shares with the
// caller. No credential is among them: the form carries the username only.
class LookupExchange {
  public:
    LookupExchange(std::shared_ptr<const WinHttpLibrary> http, const LookupLimits& limits,
                   const Deadline& deadline, std::shared_ptr<Progress> progress, std::wstring url,
                   std::string form)
        : http_(std::move(http)),
          limits_(limits),
          deadline_(deadline),
          progress_(std::move(progress)),
          url_(std::move(url)),
          form_(std::move(form)) {}

    Text Run() const {
        const WinHttpLibrary& http = *http_;
        std::wstring url = url_;
        const std::optional<Target> lookup = CrackAddress(http, url);
        if (!lookup) {
            // The lookup address is the organisation's setting, not the program's own call: the
            // report carries WinHTTP's text for what is wrong with it, without the call's name.
            throw WindowsError(GetLastError());
        }
        const UniqueInternet session =
            OpenSession(http, MemberRouteTo(http, url, limits_, deadline_, *progress_));
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
                Request(connection.get(), target, post, lookup->scheme == INTERNET_SCHEME_HTTPS);
            const DWORD status = StatusOf(http, request.get());
            const std::wstring location = HeaderOf(http, request.get(), WINHTTP_QUERY_LOCATION);
            if (!IsRedirect(status) || location.empty()) {
                const std::wstring contentType =
                    HeaderOf(http, request.get(), WINHTTP_QUERY_CONTENT_TYPE);
                return DecodeResponseBody(
                    ReadBody(http, request.get(), limits_, deadline_, *progress_), contentType);
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
    // Sends one request for `target` on `connection`, a POST of the form or a GET; returns once
    // the response's headers have arrived.
    UniqueInternet Request(HINTERNET connection, const std::wstring& target, bool post,
                           bool secure) const {
        const WinHttpLibrary& http = *http_;
        progress_->store(Stage::kReaching);
        UniqueInternet request = http.Own(http.openRequest(
            connection, post ? L"POST" : L"GET", target.c_str(), nullptr, WINHTTP_NO_REFERER,
            WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
        if (request == nullptr) {
            ThrowLastError(u"WinHttpOpenRequest");
        }
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        if (!http.setOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                            sizeof(noRedirects))) {
            ThrowLastError(u"WinHttpSetOption");
        }
        if (http.setStatusCallback(request.get(), NoteRequestSent,
                                   WINHTTP_CALLBACK_FLAG_SEND_REQUEST,
                                   0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            ThrowLastError(u"WinHttpSetStatusCallback");
        }
        const auto context = reinterpret_cast<DWORD_PTR>(progress_.get());

        BoundNextCall(http, request.get(), limits_, deadline_, *progress_);
        BOOL sent = FALSE;
        if (post) {
            // WinHTTP takes the body through a pointer to modifiable data; it only reads it.
            std::string payload = form_;
            const auto payloadSize = static_cast<DWORD>(payload.size());
            sent = http.sendRequest(request.get(), kFormContentType,
                                    static_cast<DWORD>(std::size(kFormContentType) - 1),
                                    payload.data(), payloadSize, payloadSize, context);
        } else {
            sent = http.sendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                    WINHTTP_NO_REQUEST_DATA, 0, 0, context);
        }
        if (!sent) {
            const DWORD error = GetLastError();
            ThrowExchangeFailure(error, progress_->load());
        }
        BoundNextCall(http, request.get(), limits_, deadline_, *progress_);
        if (!http.receiveResponse(request.get(), nullptr)) {
            ThrowExchangeFailure(GetLastError(), Stage::kAnswering);
        }
        return request;
    }

    std::shared_ptr<const WinHttpLibrary> http_;
    LookupLimits limits_;
    Deadline deadline_;
    std::shared_ptr<Progress> progress_;
    std::wstring url_;
    std::string form_;
};

class WinHttpLookupRequest final : public ShareLookupRequest {
  public:
    WinHttpLookupRequest(std::shared_ptr<const WinHttpLibrary> http, const LookupLimits& limits)
        : http_(std::move(http)), limits_(limits) {}

    // The exchange runs on a thread of its own, waited for until the deadline and no longer:
    // WinHTTP bounds no single wait for a TLS handshake or a reply trickled a byte at a time, and
    // under Wine closing a request's handle does not end a call blocked on it. An exchange still
    // running at the deadline is left to end on its thread; its answer is dropped.
    Text Send(TextView address, const std::string& body) override {
        const Deadline deadline(limits_.deadline);
        const auto progress = std::make_shared<Progress>(Stage::kReaching);
        std::packaged_task<Text()> task(
            [exchange = LookupExchange(http_, limits_, deadline, progress, ToWide(address), body)] {
                return exchange.Run();
            });
        std::future<Text> page = task.get_future();
        std::thread(std::move(task)).detach();
        if (page.wait_until(deadline.End()) == std::future_status::timeout) {
            ThrowDeadlinePassed(*progress);
        }
        return page.get();
    }

  private:
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
