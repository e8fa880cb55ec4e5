// One request to the lookup service, from the decoded HTTP request to the answer: the method,
// path, content type and body are judged here, the member is looked up in the source and the
// page is rendered. Plain functions: the HTTP server calls them, and so do the unit tests.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lookupd/home_share.h"
#include "lookupd/member_source.h"

namespace brisvane::lookupd {

// The largest body the service reads; a longer one is answered 413.
inline constexpr std::size_t kMaxBodyBytes = 4096;
// The longest username, in characters, that is looked up; a longer one gets a page without
// locator.
inline constexpr std::size_t kMaxUsernameCharacters = 256;

struct HttpRequest {
    std::string_view method;
    std::string_view path;         // without the query
    std::string_view contentType;  // the header as sent, empty when absent
    std::string_view body;
    bool bodyTooLarge = false;  // more than kMaxBodyBytes arrived (or were announced)
};

// How a request ended, as the log and the metrics count it.
enum class Outcome {
    kFound,            // 200 with a locator
    kUnknown,          // 200 without: no such member
    kNoHomeShare,      // 200 without: the member has no usable home share
    kRefusedServer,    // 200 without: the share's server is not the organisation's
    kRefusedUsername,  // 200 without: the name is too long, holds NUL or is not UTF-8
    kBadRequest,       // 400, 404, 405, 413, 415
    kRateLimited,      // 429
    kUnavailable,      // 503: the source cannot answer now
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

struct LookupSettings {
    std::string path = "/cs/servers/serversearch.asp";
    FileServerList fileServers;
    std::chrono::seconds retryAfter{5};  // what a 503 asks the client to wait
};

// The answer to `request`. Hostile input gets a clear status: 404 for another path, 405 (with
// Allow) for a method other than POST, 415 for a content type other than
// application/x-www-form-urlencoded, 413 for a body over kMaxBodyBytes, 400 for a body that is
// not a form with one user field. A name over kMaxUsernameCharacters, with NUL or not UTF-8 gets
// a page without locator, and so does every member who may not be served. 503 with Retry-After
// when the source is unavailable.
HttpResponse HandleLookup(const HttpRequest& request, const LookupSettings& settings,
                          MemberSource& source);

// The 429 answer of the per-address rate limit.
HttpResponse RateLimitedResponse();

// A plain-text answer with `status` and a one-line reason.
HttpResponse PlainResponse(unsigned status, std::string_view reason, Outcome outcome);

}  // namespace brisvane::lookupd
