#include "lookupd/lookup_handler.h"

#include <algorithm>
#include <optional>
#include <variant>

#include "lookupd/form.h"
#include "lookupd/page.h"
#include "mount/text.h"
#include "mount/utf8.h"

namespace brisvane::lookupd {

namespace {

constexpr std::string_view kFormType = "application/x-www-form-urlencoded";

std::string_view TrimmedBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The media type of a Content-Type header, its parameters (charset) aside, compared without
// regard to letter case.
bool IsFormContentType(std::string_view contentType) {
    const std::string_view mediaType = TrimmedBlanks(contentType.substr(0, contentType.find(';')));
    return EqualIgnoringAsciiCase(mediaType, kFormType);
}

HttpResponse PageResponse(Outcome outcome, const std::optional<std::string>& locator) {
    HttpResponse response;
    response.status = 200;
    response.outcome = outcome;
    response.body = RenderLookupPage(locator);
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

bool IsAcceptableUsername(std::string_view username) {
    if (username.find('\0') != std::string_view::npos) {
        return false;
    }
    const std::optional<Text> text = Utf8ToText(username);
    return text && !text->empty() && CharacterCount(*text) <= kMaxUsernameCharacters;
}

}  // namespace

HttpResponse AnswerForMember(const MemberAnswer& answer, const LookupSettings& settings) {
    using Kind = MemberAnswer::Kind;
    switch (answer.kind) {
        case Kind::kUnknown:
            return PageResponse(Outcome::kUnknown, std::nullopt);
        case Kind::kNoHomeShare:
            return PageResponse(Outcome::kNoHomeShare, std::nullopt);
        case Kind::kAmbiguous: {
            HttpResponse response = PageResponse(Outcome::kNoHomeShare, std::nullopt);
            response.warning = "no locator served: " + answer.detail;
            return response;
        }
        case Kind::kUnavailable: {
            HttpResponse response = PlainResponse(
                503, "The directory cannot be reached; try again shortly.", Outcome::kUnavailable);
            response.headers.emplace_back(
                "Retry-After", std::to_string(std::max<long long>(1, settings.retryAfter.count())));
            response.warning = answer.detail;
            return response;
        }
        case Kind::kFound:
            break;
    }
    const ShareLocator share = LocatorForShare(answer.value, settings.fileServers);
    if (share.refusal == ShareValueRefusal::kNotAFileServer) {
        HttpResponse response = PageResponse(Outcome::kRefusedServer, std::nullopt);
        response.warning = "not served: the share's server \"" + share.server +
                           "\" is not on the file-server list";
        return response;
    }
    if (!share.locator) {
        HttpResponse response = PageResponse(Outcome::kNoHomeShare, std::nullopt);
        response.warning = "not served: " + std::string(DescribeRefusal(share.refusal));
        return response;
    }
    return PageResponse(Outcome::kFound, share.locator);
}

HttpResponse NotAllowedResponse() {
    return PlainResponse(403, "This service does not answer your network.", Outcome::kNotAllowed);
}

HttpResponse RateLimitedResponse() {
    HttpResponse response = PlainResponse(
        429, "Too many requests from this address; try again shortly.", Outcome::kRateLimited);
    response.headers.emplace_back("Retry-After", "1");
    return response;
}

namespace {

// The answer to a request that needs no lookup, or the username to look up.
std::variant<HttpResponse, std::string> Read(const HttpRequest& request,
                                             const LookupSettings& settings) {
    if (request.path != settings.path) {
        return PlainResponse(404, "Not found.", Outcome::kBadRequest);
    }
    if (request.method != "POST") {
        HttpResponse response =
            PlainResponse(405, "Only POST is allowed here.", Outcome::kBadRequest);
        response.headers.emplace_back("Allow", "POST");
        return response;
    }
    if (!IsFormContentType(request.contentType)) {
        return PlainResponse(415, "The body must be application/x-www-form-urlencoded.",
                             Outcome::kBadRequest);
    }
    if (request.bodyTooLarge || request.body.size() > kMaxBodyBytes) {
        return PlainResponse(413, "The body is too large.", Outcome::kBadRequest);
    }
    std::optional<std::string> username = UserFromForm(request.body);
    if (!username) {
        return PlainResponse(400, "The body must be a form with one user field.",
                             Outcome::kBadRequest);
    }
    if (!IsAcceptableUsername(*username)) {
        HttpResponse response = PageResponse(Outcome::kRefusedUsername, std::nullopt);
        response.warning = "username refused: empty, over 256 characters, NUL or not UTF-8";
        return response;
    }
    return std::move(*username);
}

}  // namespace

void HandleLookup(const HttpRequest& request, const LookupSettings& settings, MemberSource& source,
                  Respond respond) {
    std::variant<HttpResponse, std::string> read = Read(request, settings);
    if (auto* answer = std::get_if<HttpResponse>(&read)) {
        respond(std::move(*answer));
        return;
    }
    std::string username = std::get<std::string>(std::move(read));
    const std::string asked = username;
    source.Find(asked, [&settings, username = std::move(username),
                        respond = std::move(respond)](const MemberAnswer& answer) {
        HttpResponse response = AnswerForMember(answer, settings);
        response.username = username;
        respond(std::move(response));
    });
}

}  // namespace brisvane::lookupd
