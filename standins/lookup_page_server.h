// A small HTTP/1.1 server on 127.0.0.1 that stands in for the organisation's web server: it
// answers each request with what a responder returns and records what it received.
#pragma once

#include "lookup_path.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisvane::standins {

// One request as it arrived.
struct ReceivedRequest {
    std::string method;
    std::string target;  // as on the request line: a path, or a whole address when via a proxy
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::string body;

    // The value of the first header of that name, compared without regard to case.
    std::optional<std::string> Header(std::string_view name) const;
};

// What the server answers.
struct PageReply {
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/html; charset=utf-8";  // empty: no Content-Type header
    std::string body;
    bool declareLength = true;  // false: no Content-Length; closing the connection ends the body
    bool neverAnswer = false;   // read the request, then say nothing until the server stops
    // Further header fields, in this order (a redirect's Location, say).
    std::vector<std::pair<std::string, std::string>> headers;
    // Above zero: the head at once, then the body one byte at a time, each after this pause
    // (until the body is sent, the client goes or the server stops).
    std::chrono::milliseconds trickle{0};
    bool trickleHead = false;  // with trickle: the head too, a byte at a time from the status line
};

using Responder = std::function<PageReply(const ReceivedRequest&)>;

// Makes a LookupPageServer that accepts every connection and holds it open, reading nothing
// and sending nothing, until the server stops: a server that never answers, not even the
// client's TLS handshake.
struct HoldEveryConnection {};

// Serves on a thread of its own from construction to destruction, one connection at a time,
// one request per connection ("Connection: close"). The responder runs on that thread.
class LookupPageServer {
  public:
    // Listens on 127.0.0.1:`port`, any free port when 0; std::system_error when it cannot.
    explicit LookupPageServer(Responder responder, std::uint16_t port = 0);
    explicit LookupPageServer(HoldEveryConnection /*tag*/, std::uint16_t port = 0);
    ~LookupPageServer();
    LookupPageServer(const LookupPageServer&) = delete;
    LookupPageServer& operator=(const LookupPageServer&) = delete;

    std::uint16_t Port() const noexcept;

    // "http://127.0.0.1:<port>" followed by `path`.
    std::wstring Url(std::wstring_view path = L"" BRISVANE_LOOKUP_PATH) const;

    // Every request received so far, in order.
    std::vector<ReceivedRequest> Requests() const;

    // How many replies have been sent whole so far (a trickle still running is not).
    std::size_t WholeReplies() const;

    // How many connections it has accepted so far.
    std::size_t Connections() const;

  private:
    LookupPageServer(Responder responder, bool holdEveryConnection, std::uint16_t port);

    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace brisvane::standins
