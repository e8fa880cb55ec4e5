// One HTTP exchange as the service's handlers see it: the request the server collected, the
// answer a handler gives, and how the request ended for the log and the metrics.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisvane::lookupd {

// The largest body the service reads; a longer one is answered 413.
inline constexpr std::size_t kMaxBodyBytes = 4096;

struct HttpRequest {
    std::string_view method;
    std::string_view path;         // without the query
    std::string_view contentType;  // the header as sent, empty when absent
    std::string_view body;
    bool bodyTooLarge = false;  // more than kMaxBodyBytes arrived (or were announced)
};

// How a request ended, as the log and the metrics count it.
enum class Outcome {
    kFound,               // 200 with a locator
    kUnknown,             // 200 without: no such member
    kNoHomeShare,         // 200 without: the member has no usable home share
    kRefusedServer,       // 200 without: the share's server is not the organisation's
    kRefusedUsername,     // 200 without: the name is too long, holds NUL or is not UTF-8
    kBadRequest,          // 400, 404, 405, 413, 415
    kRateLimited,         // 429
    kUnavailable,         // 503: the source cannot answer now
    kTooManyConnections,  // 503: over the connection caps, per address or in all
    kNotAllowed,          // 403: the client is outside the networks that may ask
};

std::string_view OutcomeName(Outcome outcome);

struct HttpResponse {
    unsigned status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    Outcome outcome = Outcome::kBadRequest;
    std::string username;  // the decoded name, for a log that asks for usernames
    std::string warning;   // for the log; never shown to the client
};

// Takes the answer to one request, exactly once: from the handler itself, or later from any
// thread. The request's views are valid only until the handler returns.
using Respond = std::function<void(HttpResponse)>;

// What the HTTP server counts of its connections.
struct ServerCounters {
    std::uint64_t refusedOverAddressCap = 0;  // connections answered 503: too many from one address
    std::uint64_t refusedOverTotalCap = 0;    // connections answered 503: too many in all
    std::uint64_t requestTimeouts = 0;        // connections cut: a request took too long to arrive
    std::uint64_t overdueAnswers = 0;         // answers the handler did not give in time
    unsigned openConnections = 0;
    unsigned waitingAnswers = 0;  // requests whose answer the handler has not given yet
};

// One header of a request, as received.
struct HeaderField {
    std::string_view name;
    std::string_view value;
};

// Why the way a request says where its body ends is ambiguous, or nothing when it is not:
// Content-Length together with Transfer-Encoding, Content-Length given more than once, or a
// Transfer-Encoding other than exactly "chunked". A front end and this server could each read
// such a request differently, so it is refused whole.
std::optional<std::string_view> AmbiguousFraming(std::span<const HeaderField> headers);

// A plain-text answer with `status` and a one-line reason.
HttpResponse PlainResponse(unsigned status, std::string_view reason, Outcome outcome);

}  // namespace brisvane::lookupd
