#include "lookupd/observe.h"

namespace brisvane::lookupd {

void HandleObserve(const HttpRequest& request, const CheckReadiness& checkReady,
                   const std::function<std::string()>& metrics, Respond respond) {
    if (request.path != "/healthz" && request.path != "/readyz" && request.path != "/metrics") {
        respond(PlainResponse(404, "Not found.", Outcome::kBadRequest));
        return;
    }
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse response =
            PlainResponse(405, "Only GET is allowed here.", Outcome::kBadRequest);
        response.headers.emplace_back("Allow", "GET, HEAD");
        respond(std::move(response));
        return;
    }
    if (request.path == "/healthz") {
        respond(PlainResponse(200, "ok", Outcome::kFound));
        return;
    }
    if (request.path == "/readyz") {
        checkReady([respond = std::move(respond)](bool ready) {
            respond(
                ready ? PlainResponse(200, "ready", Outcome::kFound)
                      : PlainResponse(503, "the directory does not answer", Outcome::kUnavailable));
        });
        return;
    }
    HttpResponse response = PlainResponse(200, "", Outcome::kFound);
    response.contentType = "text/plain; version=0.0.4; charset=utf-8";
    response.body = metrics();
    respond(std::move(response));
}

}  // namespace brisvane::lookupd
