#include "standins/lookup_page_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "mount/text.h"
#include "standins/socket_owners.h"

namespace brisvane::standins {

namespace {

// How long the server waits for a client's request, so that a silent client cannot stall it.
constexpr DWORD kClientTimeoutMs = 10'000;
// How often the serving thread looks whether the server is being stopped.
constexpr long kStopCheckMicroseconds = 50'000;
// The largest request head accepted.
constexpr std::size_t kMaxHeadBytes = std::size_t{64} * 1024;

[[noreturn]] void ThrowSocketError(const char* what) {
    throw std::system_error(WSAGetLastError(), std::system_category(), what);
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Appends what the client sends next; false when it has closed, failed or fallen silent.
bool ReceiveMore(SOCKET client, std::string& data) {
    std::array<char, 4096> chunk{};
    const int received = recv(client, chunk.data(), static_cast<int>(chunk.size()), 0);
    if (received <= 0) {
        return false;
    }
    data.append(chunk.data(), static_cast<std::size_t>(received));
    return true;
}

// The request on `client`, or nullopt when it does not arrive whole.
std::optional<ReceivedRequest> ReadRequest(SOCKET client) {
    std::string data;
    std::size_t headEnd = 0;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kMaxHeadBytes || !ReceiveMore(client, data)) {
            return std::nullopt;
        }
    }
    ReceivedRequest request;
    const std::string_view head = std::string_view(data).substr(0, headEnd);
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace) {
        return std::nullopt;
    }
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);

    while (lineEnd != std::string_view::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line =
            head.substr(start, lineEnd == std::string_view::npos ? lineEnd : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            request.headers.emplace_back(line.substr(0, colon), Trimmed(line.substr(colon + 1)));
        }
    }

    std::size_t length = 0;
    if (const std::optional<std::string> declared = request.Header("Content-Length")) {
        length = static_cast<std::size_t>(std::stoull(*declared));
    }
    request.body = data.substr(headEnd + 4);
    while (request.body.size() < length) {
        if (!ReceiveMore(client, request.body)) {
            return std::nullopt;
        }
    }
    request.body.resize(length);
    return request;
}

// False when the client has gone before all was sent; nothing is waiting for the rest then.
bool SendAll(SOCKET client, std::string_view data) {
    while (!data.empty()) {
        const int chunk = static_cast<int>(std::min(data.size(), std::size_t{64} * 1024));
        const int sent = send(client, data.data(), chunk, 0);
        if (sent <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Appends the header line "name: value".
void AddHeader(std::string& head, std::string_view name, std::string_view value) {
    head += name;
    head += ": ";
    head += value;
    head += "\r\n";
}

std::string ResponseHead(const PageReply& reply) {
    std::string head = "HTTP/1.1 " + std::to_string(reply.status);
    head += ' ';
    head += reply.reason;
    head += "\r\n";
    if (!reply.contentType.empty()) {
        AddHeader(head, "Content-Type", reply.contentType);
    }
    if (reply.declareLength) {
        AddHeader(head, "Content-Length", std::to_string(reply.body.size()));
    }
    for (const auto& [name, value] : reply.headers) {
        AddHeader(head, name, value);
    }
    AddHeader(head, "Connection", "close");
    head += "\r\n";
    return head;
}

}  // namespace

std::optional<std::string> ReceivedRequest::Header(std::string_view name) const {
    for (const auto& [field, value] : headers) {
        if (EqualIgnoringAsciiCase(field, name)) {
            return value;
        }
    }
    return std::nullopt;
}

struct LookupPageServer::State {
    WinsockSession winsock;
    Responder responder;
    bool holdEveryConnection = false;
    UniqueSocket listener;
    std::uint16_t port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::vector<ReceivedRequest> requests;  // guarded by mutex
    std::size_t wholeReplies = 0;           // guarded by mutex
    std::size_t connections = 0;            // guarded by mutex
    std::vector<UniqueSocket> unanswered;   // serving thread only; closed when the server stops
    std::thread thread;

    void Serve() {
        while (!stopping) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener.get(), &readable);
            timeval wait{0, kStopCheckMicroseconds};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
                continue;
            }
            UniqueSocket client(accept(listener.get(), nullptr, nullptr));
            if (!client) {
                continue;
            }
            {
                const std::lock_guard lock(mutex);
                ++connections;
            }
            if (holdEveryConnection) {
                unanswered.push_back(std::move(client));
                continue;
            }
            try {
                Answer(std::move(client));
            } catch (const std::exception&) {
                // A request it cannot parse, or a responder that failed: that connection is
                // dropped and the server goes on.
            }
        }
    }

    void Answer(UniqueSocket client) {
        const DWORD timeout = kClientTimeoutMs;
        setsockopt(client.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof(timeout));
        setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof(timeout));
        std::optional<ReceivedRequest> request = ReadRequest(client.get());
        if (!request) {
            return;
        }
        {
            const std::lock_guard lock(mutex);
            requests.push_back(*request);
        }
        const PageReply reply = responder(*request);
        if (reply.neverAnswer) {
            unanswered.push_back(std::move(client));
            return;
        }
        const bool whole = reply.trickle > std::chrono::milliseconds::zero()
                               ? Trickle(client.get(), reply)
                               : SendAll(client.get(), ResponseHead(reply) + reply.body);
        shutdown(client.get(), SD_SEND);
        if (whole) {
            const std::lock_guard lock(mutex);
            ++wholeReplies;
        }
    }

    // False when the client has gone or the server stopped before the body was sent.
    bool Trickle(SOCKET client, const PageReply& reply) const {
        std::string slowly = reply.body;
        if (reply.trickleHead) {
            slowly.insert(0, ResponseHead(reply));
        } else if (!SendAll(client, ResponseHead(reply))) {
            return false;
        }
        for (const char byte : slowly) {
            std::this_thread::sleep_for(reply.trickle);
            if (stopping || send(client, &byte, 1, 0) != 1) {
                return false;
            }
        }
        return true;
    }
};

LookupPageServer::LookupPageServer(Responder responder, std::uint16_t port)
    : LookupPageServer(std::move(responder), false, port) {}

LookupPageServer::LookupPageServer(HoldEveryConnection /*tag*/, std::uint16_t port)
    : LookupPageServer(Responder(), true, port) {}

LookupPageServer::LookupPageServer(Responder responder, bool holdEveryConnection,
                                   std::uint16_t port)
    : state_(std::make_unique<State>()) {
    state_->responder = std::move(responder);
    state_->holdEveryConnection = holdEveryConnection;
    state_->listener = UniqueSocket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!state_->listener) {
        ThrowSocketError("socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(state_->listener.get(), reinterpret_cast<const sockaddr*>(&address),
             sizeof(address)) != 0) {
        ThrowSocketError("bind");
    }
    if (listen(state_->listener.get(), SOMAXCONN) != 0) {
        ThrowSocketError("listen");
    }
    int length = sizeof(address);
    if (getsockname(state_->listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ThrowSocketError("getsockname");
    }
    state_->port = ntohs(address.sin_port);
    state_->thread = std::thread([state = state_.get()] { state->Serve(); });
}

LookupPageServer::~LookupPageServer() {
    state_->stopping = true;
    state_->thread.join();
}

std::uint16_t LookupPageServer::Port() const noexcept {
    return state_->port;
}

std::wstring LookupPageServer::Url(std::wstring_view path) const {
    return L"http://127.0.0.1:" + std::to_wstring(state_->port) + std::wstring(path);
}

std::vector<ReceivedRequest> LookupPageServer::Requests() const {
    const std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::size_t LookupPageServer::WholeReplies() const {
    const std::lock_guard lock(state_->mutex);
    return state_->wholeReplies;
}

std::size_t LookupPageServer::Connections() const {
    const std::lock_guard lock(state_->mutex);
    return state_->connections;
}

}  // namespace brisvane::standins
