#include "lookupd/http_message.h"

#include "mount/text.h"

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
        case Outcome::kNotAllowed:
            return "not-allowed";
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

std::optional<std::string_view> AmbiguousFraming(std::span<const HeaderField> headers) {
    int lengths = 0;
    int encodings = 0;
    bool chunked = true;
    for (const HeaderField& header : headers) {
        if (EqualIgnoringAsciiCase(header.name, "Content-Length")) {
            ++lengths;
        } else if (EqualIgnoringAsciiCase(header.name, "Transfer-Encoding")) {
            ++encodings;
            chunked = chunked && EqualIgnoringAsciiCase(header.value, "chunked");
        }
    }
    if (lengths > 0 && encodings > 0) {
        return "both Content-Length and Transfer-Encoding";
    }
    if (lengths > 1) {
        return "more than one Content-Length";
    }
    if (encodings > 1 || !chunked) {
        return "a Transfer-Encoding other than chunked";
    }
    return std::nullopt;
}

}  // namespace brisvane::lookupd
