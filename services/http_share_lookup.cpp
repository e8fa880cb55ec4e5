#include "services/http_share_lookup.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <variant>

#include "mount/lookup_address.h"
#include "mount/member_texts.h"
#include "mount/shown_text.h"
#include "services/lookup_deadline.h"
#include "services/lookup_errors.h"
#include "services/proxy_route.h"
#include "services/response_text.h"
#include "services/winhttp_library.h"
#include "version.h"
#include "win32/error.h"
#include "win32/internet_owner.h"
#include "win32/text.h"

namespace brisvane {

namespace {

constexpr wchar_t kFormContentType[] = L"Content-Type: application/x-www-form-urlencoded";

// The most redirects one lookup follows: enough for a page that has moved more than once within
// its server, few enough that a loop ends at once.
constexpr int kMaxRedirects = 10;

// A redirect that leaves the lookup page's server is refused with the number the program gives
// every refusal to send the member's data somewhere (E_ACCESSDENIED), and names the address as
// page-derived text is shown.
[[noreturn]] void RefuseRedirect(TextView address) {
    throw WorkflowError(HresultFromWin32(ERROR_ACCESS_DENIED),
                        texts::RedirectRefused(ShownText(address)));
}

[[noreturn]] void ThrowTooManyRedirects() {
    throw WorkflowError(HresultFromWin32(ERROR_WINHTTP_REDIRECT_FAILED),
                        texts::TooManyRedirects(WidenAscii(std::to_string(kMaxRedirects))));
}

// The lookup address read, or WinHTTP's error for what is wrong with it. The address is the
// organisation's setting, not the program's own call: the report carries WinHTTP's text for
// the fault, without a call's name.
LookupAddress ReadOrRaise(TextView address) {
    std::variant<LookupAddress, AddressFault> read = ReadLookupAddress(address);
    if (const auto* fault = std::get_if<AddressFault>(&read)) {
        throw WindowsError(*fault == AddressFault::kUnrecognisedScheme
                               ? ERROR_WINHTTP_UNRECOGNIZED_SCHEME
                               : ERROR_WINHTTP_INVALID_URL);
    }
    return std::get<LookupAddress>(std::move(read));
}

std::wstring UserAgent() {
    return L"Brisvane/" + std::to_wstring(kVersionMajor) + L"." + std::to_wstring(kVersionMinor) +
           L"." + std::to_wstring(kVersionRevision);
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
void CALLBACK NoteRequestSent(HINTERNET /*request*/, DWORD_PTR context, DWORD status,
                              LPVOID /*information*/, DWORD /*informationLength*/) {
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
                   const Deadline& deadline, std::shared_ptr<Progress> progress, Text url,
                   std::string form)
        : http_(std::move(http)),
          limits_(limits),
          deadline_(deadline),
          progress_(std::move(progress)),
          url_(std::move(url)),
          form_(std::move(form)) {}

    Text Run() const {
        const WinHttpLibrary& http = *http_;
        const LookupAddress lookup = ReadOrRaise(url_);
        const std::wstring userAgent = UserAgent();
        const UniqueInternet session = OpenSession(
            http, userAgent,
            MemberRouteTo(http, userAgent, ToWide(url_), limits_, deadline_, *progress_));
        // Every request of the exchange goes through this connection to the lookup page's own
        // server, redirected ones included.
        const UniqueInternet connection =
            http.Own(http.connect(session.get(), ToWide(lookup.host).c_str(), lookup.port, 0));
        if (connection == nullptr) {
            ThrowLastError(u"WinHttpConnect");
        }

        Text url = url_;
        Text target = lookup.target;
        bool post = true;
        for (int redirects = 0;; ++redirects) {
            const UniqueInternet request = Request(connection.get(), ToWide(target), post,
                                                   lookup.scheme == AddressScheme::kHttps);
            const DWORD status = StatusOf(http, request.get());
            const std::wstring location = HeaderOf(http, request.get(), WINHTTP_QUERY_LOCATION);
            if (!IsRedirect(status) || location.empty()) {
                const std::wstring contentType =
                    HeaderOf(http, request.get(), WINHTTP_QUERY_CONTENT_TYPE);
                return DecodeResponseBody(
                    ReadBody(http, request.get(), limits_, deadline_, *progress_), contentType);
            }
            url = ResolveRedirect(url, FromWide(location));
            const std::variant<LookupAddress, AddressFault> next = ReadLookupAddress(url);
            const auto* nextAddress = std::get_if<LookupAddress>(&next);
            if (nextAddress == nullptr || !SameServer(*nextAddress, lookup)) {
                RefuseRedirect(url);
            }
            if (redirects == kMaxRedirects) {
                ThrowTooManyRedirects();
            }
            target = nextAddress->target;
            // 307 and 308 repeat the request as it was. After 301, 302 and 303 the next request
            // is a GET without the form: the address need not accept the form, and gets no data
            // that its server was not given already.
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
    Text url_;
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
            [exchange = LookupExchange(http_, limits_, deadline, progress, Text(address), body)] {
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
