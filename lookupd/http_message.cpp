#include "lookupd/http_message.h"

namespace brisvane::lookupd {

std::string_view OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::kFound:
            return "found";
        case Outcome::kUnknown:
            return "unknown";
        case Outcome::kNoHomeShare:
            return "no-home-share";
        case Outcome::kRefusedServer:
            return "refused-server";
        case Outcome::kRefusedUsername:
            return "refused-username";
        case Outcome::kBadRequest:
            return "bad-request";
        case Outcome::kRateLimited:
            return "rate-limited";
        case Outcome::kUnavailable:
            return "directory-unavailable";
        case Outcome::kTooManyConnections:
            return "too-many-connections";
    }
    return "unknown-outcome";
}

HttpResponse PlainResponse(unsigned status, std::string_view reason, Outcome outcome) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = std::string(reason) + "\n";
    response.outcome = outcome;
    return response;
}

}  // namespace brisvane::lookupd
