#include "lookupd/observe.h"

namespace brisvane::lookupd {

HttpResponse HandleObserve(const HttpRequest& request, const std::function<bool()>& ready,
                           const std::function<std::string()>& metrics) {
    if (request.path != "/healthz" && request.path != "/readyz" && request.path != "/metrics") {
        return PlainResponse(404, "Not found.", Outcome::kBadRequest);
    }
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse response =
            PlainResponse(405, "Only GET is allowed here.", Outcome::kBadRequest);
        response.headers.emplace_back("Allow", "GET, HEAD");
        return response;
    }
    if (request.path == "/healthz") {
        return PlainResponse(200, "ok", Outcome::kFound);
    }
    if (request.path == "/readyz") {
        return ready() ? PlainResponse(200, "ready", Outcome::kFound)
                       : PlainResponse(503, "the directory does not answer", Outcome::kUnavailable);
    }
    HttpResponse response = PlainResponse(200, "", Outcome::kFound);
    response.contentType = "text/plain; version=0.0.4; charset=utf-8";
    response.body = metrics();
    return response;
}

}  // namespace brisvane::lookupd
