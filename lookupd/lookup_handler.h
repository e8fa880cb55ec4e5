// One request to the lookup service, from the decoded HTTP request to the answer: the method,
// path, content type and body are judged here, the member is looked up in the source and the
// page is rendered. Plain functions: the HTTP server calls them, and so do the unit tests.
#pragma once

#include <chrono>
#include <string>

#include "lookupd/home_share.h"
#include "lookupd/http_message.h"
#include "lookupd/member_source.h"

namespace brisvane::lookupd {

// The longest username, in characters, that is looked up; a longer one gets a page without
// locator.
inline constexpr std::size_t kMaxUsernameCharacters = 256;

struct LookupSettings {
    std::string path;  // the lookup page's
    FileServerList fileServers;
    std::chrono::seconds retryAfter{};  // what a 503 asks the client to wait
};

// Answers `request` through `respond`. Hostile input gets a clear status: 404 for another path, 405
// (with Allow) for a method other than POST, 415 for a content type other than
// application/x-www-form-urlencoded, 413 for a body over kMaxBodyBytes, 400 for a body that is
// not a form with one user field. A name over kMaxUsernameCharacters, with NUL or not UTF-8 gets
// a page without locator, and so does every member who may not be served. 503 with Retry-After
// when the source is unavailable. Every refusal is answered before this returns; a lookup is
// answered when the source answers, maybe on a thread of its own. `settings` and `source` must
// outlive the answer.
void HandleLookup(const HttpRequest& request, const LookupSettings& settings, MemberSource& source,
                  Respond respond);

// The answer for a member, once the source has given `answer`: the page with the locator when
// its share may be served, else the page without one (with a warning for the log), or 503.
HttpResponse AnswerForMember(const MemberAnswer& answer, const LookupSettings& settings);

// The 429 answer of the per-address rate limit.
HttpResponse RateLimitedResponse();

// The 403 answer to a client outside the networks that may ask.
HttpResponse NotAllowedResponse();

}  // namespace brisvane::lookupd
