#include "lookupd/http_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <vector>

namespace brisvane::lookupd {

namespace {

// How much of a too large body is read (and dropped) to answer 413 at its end; beyond this the
// connection is closed without an answer.
constexpr std::size_t kMaxDroppedBytes = std::size_t{64} * 1024;

struct DestroyResponse {
    void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
};

struct FreeAddressInfo {
    void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

std::string ClientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr) {
        return "-";
    }
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* address = info->client_addr;
    if (address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    } else if (address->sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    }
    return text;
}

std::string_view Header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value != nullptr ? std::string_view(value) : std::string_view{};
}

MHD_Result CollectHeader(void* headers, MHD_ValueKind /*kind*/, const char* name,
                         const char* value) {
    static_cast<std::vector<HeaderField>*>(headers)->push_back(
        {name != nullptr ? name : "", value != nullptr ? value : ""});
    return MHD_YES;
}

// Why the request's framing is ambiguous, if it is.
std::optional<std::string_view> FramingProblem(MHD_Connection* connection) {
    std::vector<HeaderField> headers;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &headers);
    return AmbiguousFraming(headers);
}

// libmicrohttpd's own caps sit well above ours: over them it closes a connection as soon as it
// has accepted it, without a word, where ours answer 503. Ours count connections between their
// answer and their close as idle, while the library counts them until it has seen the close,
// which a busy worker may see a good while after the client closed.
unsigned Backstop(unsigned cap) {
    return cap * 4 + 64;
}

void Pause(std::chrono::milliseconds duration) {
    timespec pause{0, static_cast<long>(duration.count()) * 1'000'000};
    nanosleep(&pause, nullptr);
}

}  // namespace

// The library's messages go to standard error; those it gives while starting are kept, to say
// why a start failed.
void HttpServer::LogLibraryMessage(void* self, const char* format, va_list arguments) {
    std::array<char, 512> text{};
    // NOLINTNEXTLINE(cert-err33-c): a message cut short is still worth logging
    std::vsnprintf(text.data(), text.size(), format, arguments);
    std::string message(text.data());
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    static_cast<void>(std::fprintf(stderr, "libmicrohttpd: %s\n", message.c_str()));
    auto& server = *static_cast<HttpServer*>(self);
    const std::lock_guard lock(server.messageMutex_);
    if (server.starting_) {
        server.startMessages_ += (server.startMessages_.empty() ? "" : "; ") + message;
    }
}

// One TCP connection, from its acceptance to its close.
struct HttpServer::Connection {
    std::string address;
    int fd = -1;
    bool idle = false;                   // answered, waiting for its next request
    DeadlineTimer::Id requestTimer = 0;  // armed while a request is awaited
};

// One request while its body arrives and its answer is awaited.
struct HttpServer::Exchange {
    RequestContext context;
    std::string body;
    bool tooLarge = false;
    bool handled = false;
    std::size_t dropped = 0;  // bytes of a too large body read and dropped
    std::shared_ptr<PendingAnswer> pending;
};

// The answer to one request that the handler owes. The first answer given counts: the
// handler's, or the server's 503 when it is overdue. A connection whose answer is not there when
// the handler returns is suspended, and resumed by whoever gives the answer.
class HttpServer::PendingAnswer : public std::enable_shared_from_this<PendingAnswer> {
  public:
    PendingAnswer(HttpServer& server, MHD_Connection* connection)
        : server_(server), connection_(connection) {}

    // False when an answer was given already (then this one is dropped).
    bool Give(HttpResponse response) {
        bool resume = false;
        DeadlineTimer::Id overdue = 0;
        {
            const std::lock_guard lock(mutex_);
            if (given_) {
                return false;
            }
            given_ = true;
            response_ = std::move(response);
            resume = suspended_;
            overdue = overdue_;
        }
        if (resume) {
            server_.timer_.Disarm(overdue);
            MHD_resume_connection(connection_);
            server_.suspended_.fetch_sub(1);
        }
        // The last use of the server: it waits for this count before it stops.
        server_.waiting_.fetch_sub(1);
        return true;
    }

    // On the worker thread once the handler has returned: the answer, if given already; else
    // the connection is suspended until it comes.
    std::optional<HttpResponse> TakeOrSuspend() {
        const std::lock_guard lock(mutex_);
        if (given_) {
            return std::move(response_);
        }
        suspended_ = true;
        server_.suspended_.fetch_add(1);
        overdue_ =
            server_.timer_.Arm(std::chrono::steady_clock::now() + server_.options_.answerTimeout,
                               [self = shared_from_this()] {
                                   if (self->Give(self->server_.OverdueResponse())) {
                                       self->server_.overdueAnswers_.fetch_add(1);
                                   }
                               });
        MHD_suspend_connection(connection_);
        return std::nullopt;
    }

    // After the connection was resumed.
    HttpResponse Take() {
        const std::lock_guard lock(mutex_);
        return std::move(response_).value_or(HttpResponse{});
    }

  private:
    HttpServer& server_;
    MHD_Connection* const connection_;
    std::mutex mutex_;
    bool given_ = false;
    bool suspended_ = false;
    std::optional<HttpResponse> response_;
    DeadlineTimer::Id overdue_ = 0;
};

HttpServer::HttpServer(const HttpServerOptions& options, HttpHandler handler, AnswerSent sent)
    : handler_(std::move(handler)),
      sent_(std::move(sent)),
      options_(options),
      counts_(options.connections, options.connectionsPerAddress) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    if (const int rc = getaddrinfo(options.host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        throw std::runtime_error("[listen] address: cannot resolve \"" + options.host +
                                 "\": " + gai_strerror(rc));
    }
    const std::unique_ptr<addrinfo, FreeAddressInfo> address(found);

    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC |
                     MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    if (address->ai_family == AF_INET6) {
        flags |= MHD_USE_IPv6;
    }
    const bool tls = !options.tlsCertificatePem.empty();
    if (tls) {
        flags |= MHD_USE_TLS;
    }
    // The logger comes first, so that the library's messages about later options reach it.
    std::vector<MHD_OptionItem> items = {
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&HttpServer::LogLibraryMessage),
         this},
        options.listenSocket >= 0
            ? MHD_OptionItem{MHD_OPTION_LISTEN_SOCKET, options.listenSocket, nullptr}
            : MHD_OptionItem{MHD_OPTION_SOCK_ADDR, 0, address->ai_addr},
        {MHD_OPTION_CONNECTION_LIMIT, Backstop(options.connections), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(options.idleTimeout.count()),
         nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&HttpServer::Completed), this},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&HttpServer::Notify), this},
    };
    if (options.workers > 1) {
        items.push_back({MHD_OPTION_THREAD_POOL_SIZE, options.workers, nullptr});
    }
    if (options.connectionsPerAddress > 0) {
        items.push_back(
            {MHD_OPTION_PER_IP_CONNECTION_LIMIT, Backstop(options.connectionsPerAddress), nullptr});
    }
    if (tls) {
        items.push_back(
            {MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(options.tlsCertificatePem.c_str())});
        items.push_back(
            {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(options.tlsKeyPem.c_str())});
        items.push_back({MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(kTlsPriorities)});
    }
    items.push_back({MHD_OPTION_END, 0, nullptr});

    daemon_.reset(MHD_start_daemon(flags, 0, nullptr, nullptr, &HttpServer::Access, this,
                                   MHD_OPTION_ARRAY, items.data(), MHD_OPTION_END));
    const std::lock_guard lock(messageMutex_);
    starting_ = false;
    if (!daemon_) {
        throw std::runtime_error(
            "cannot listen on " + options.host + ":" + port + ": " +
            (startMessages_.empty() ? "libmicrohttpd did not start" : startMessages_));
    }
}

HttpServer::~HttpServer() {
    // libmicrohttpd must not be stopped with a connection suspended. Every owed answer comes
    // within the answer time-out, the server's own 503 at the latest.
    while (waiting_.load() > 0 || suspended_.load() > 0) {
        Pause(std::chrono::milliseconds(5));
    }
    daemon_.reset();
    if (quiescedSocket_ >= 0) {
        close(quiescedSocket_);
    }
}

std::uint16_t HttpServer::Port() const {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_.get(), MHD_DAEMON_INFO_BIND_PORT);
    return info != nullptr ? info->port : 0;
}

int HttpServer::ListenSocket() const {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_.get(), MHD_DAEMON_INFO_LISTEN_FD);
    return info != nullptr ? info->listen_fd : -1;
}

ServerCounters HttpServer::Counters() const {
    ServerCounters counters;
    counters.refusedOverAddressCap = refusedOverAddressCap_.load();
    counters.refusedOverTotalCap = refusedOverTotalCap_.load();
    counters.requestTimeouts = requestTimeouts_.load();
    counters.overdueAnswers = overdueAnswers_.load();
    counters.waitingAnswers = waiting_.load();
    counters.openConnections = counts_.Open();
    return counters;
}

void HttpServer::StopAccepting() {
    stopping_ = true;
    // The library may still use the socket until it stops: it is closed then.
    quiescedSocket_ = MHD_quiesce_daemon(daemon_.get());
}

HttpResponse HttpServer::OverdueResponse() const {
    HttpResponse response =
        PlainResponse(503, "The service is busy; try again shortly.", Outcome::kUnavailable);
    response.headers.emplace_back("Retry-After", std::to_string(options_.retryAfter.count()));
    response.warning = "no answer within " + std::to_string(options_.answerTimeout.count()) + "ms";
    return response;
}

HttpResponse HttpServer::OverCapacityResponse(OverCap cap) const {
    HttpResponse response = PlainResponse(503, "Too many connections; try again shortly.",
                                          Outcome::kTooManyConnections);
    response.headers.emplace_back("Retry-After", std::to_string(options_.retryAfter.count()));
    response.warning =
        cap == OverCap::kPerAddress
            ? "over connections_per_address, " + std::to_string(options_.connectionsPerAddress)
            : "over connections, " + std::to_string(options_.connections);
    return response;
}

void HttpServer::Notify(void* self, MHD_Connection* connection, void** socketContext,
                        MHD_ConnectionNotificationCode code) {
    auto& server = *static_cast<HttpServer*>(self);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        server.Opened(connection, socketContext);
    } else {
        server.Closed(socketContext);
    }
}

void HttpServer::Opened(MHD_Connection* connection, void** socketContext) {
    auto opened = std::make_unique<Connection>();
    opened->address = ClientAddress(connection);
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    opened->fd = info != nullptr ? info->connect_fd : -1;
    counts_.Opened(opened->address);
    ArmRequestTimer(*opened);
    *socketContext = opened.release();
}

void HttpServer::Closed(void** socketContext) {
    const std::unique_ptr<Connection> closed(static_cast<Connection*>(*socketContext));
    *socketContext = nullptr;
    if (!closed) {
        return;
    }
    // After this, the timer no longer touches the socket, which the library closes next.
    timer_.Disarm(closed->requestTimer);
    counts_.Closed(closed->address, closed->idle);
}

void HttpServer::ArmRequestTimer(Connection& connection) {
    timer_.Disarm(connection.requestTimer);
    const int fd = connection.fd;
    connection.requestTimer =
        timer_.Arm(std::chrono::steady_clock::now() + options_.requestTimeout, [this, fd] {
            // The library sees the connection end and closes it.
            shutdown(fd, SHUT_RDWR);
            requestTimeouts_.fetch_add(1);
        });
}

MHD_Result HttpServer::Answer(MHD_Connection* connection, Connection* socket,
                              const HttpResponse& response, const RequestContext& context,
                              bool close) {
    if (sent_) {
        sent_(response, context);
    }
    // Answered: the connection no longer counts against the caps until its next request, even
    // if the client closes it before the library has seen the answer out.
    if (socket != nullptr && !socket->idle) {
        socket->idle = true;
        counts_.Idle(socket->address);
    }
    const std::unique_ptr<MHD_Response, DestroyResponse> reply(MHD_create_response_from_buffer(
        response.body.size(), const_cast<char*>(response.body.data()), MHD_RESPMEM_MUST_COPY));
    if (!reply) {
        return MHD_NO;
    }
    MHD_add_response_header(reply.get(), MHD_HTTP_HEADER_CONTENT_TYPE,
                            response.contentType.c_str());
    MHD_add_response_header(reply.get(), "X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : response.headers) {
        MHD_add_response_header(reply.get(), name.c_str(), value.c_str());
    }
    if (close || stopping_) {
        MHD_add_response_header(reply.get(), MHD_HTTP_HEADER_CONNECTION, "close");
    }
    return MHD_queue_response(connection, response.status, reply.get());
}

MHD_Result HttpServer::Handle(MHD_Connection* connection, Connection* socket, Exchange& exchange,
                              const HttpRequest& request) {
    exchange.pending = std::make_shared<PendingAnswer>(*this, connection);
    waiting_.fetch_add(1);
    try {
        handler_(request, exchange.context, [pending = exchange.pending](HttpResponse response) {
            pending->Give(std::move(response));
        });
    } catch (const std::exception& error) {
        HttpResponse failed = PlainResponse(500, "Internal error.", Outcome::kBadRequest);
        failed.warning = error.what();
        exchange.pending->Give(std::move(failed));
    }
    std::optional<HttpResponse> response = exchange.pending->TakeOrSuspend();
    if (!response) {
        return MHD_YES;  // Access is called again once the connection is resumed
    }
    if (exchange.dropped > kMaxDroppedBytes) {
        return MHD_NO;
    }
    return Answer(connection, socket, *response, exchange.context, false);
}

MHD_Result HttpServer::Access(void* self, MHD_Connection* connection, const char* url,
                              const char* method, const char* /*version*/, const char* uploadData,
                              std::size_t* uploadDataSize, void** exchange) {
    auto& server = *static_cast<HttpServer*>(self);
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    auto* socket = info != nullptr ? static_cast<Connection*>(info->socket_context) : nullptr;
    if (*exchange == nullptr) {
        // The head has arrived.
        auto fresh = std::make_unique<Exchange>();
        fresh->context = {ClientAddress(connection), std::chrono::steady_clock::now()};
        const OverCap over = socket != nullptr
                                 ? server.counts_.Requested(socket->address, socket->idle)
                                 : OverCap::kNone;
        if (socket != nullptr) {
            socket->idle = false;
        }
        if (over != OverCap::kNone) {
            (over == OverCap::kPerAddress ? server.refusedOverAddressCap_
                                          : server.refusedOverTotalCap_)
                .fetch_add(1);
            const HttpResponse refusal = server.OverCapacityResponse(over);
            fresh->handled = true;
            auto& current = *fresh;
            *exchange = fresh.release();
            return server.Answer(connection, socket, refusal, current.context, true);
        }
        // A request whose body could be read two ways is refused before its body is read, and
        // its connection closed, so that nothing in the body is taken for another request.
        if (const auto problem = FramingProblem(connection)) {
            HttpResponse refusal =
                PlainResponse(400, "The request's length is ambiguous.", Outcome::kBadRequest);
            refusal.warning = "refused: " + std::string(*problem);
            fresh->handled = true;
            auto& current = *fresh;
            *exchange = fresh.release();
            return server.Answer(connection, socket, refusal, current.context, true);
        }
        // A body announced as too large is refused before it is read.
        const std::string_view length = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
        fresh->tooLarge = length.size() > 9 ||
                          (!length.empty() &&
                           std::strtoull(std::string(length).c_str(), nullptr, 10) > kMaxBodyBytes);
        const bool tooLarge = fresh->tooLarge;
        *exchange = fresh.release();
        if (!tooLarge) {
            return MHD_YES;
        }
    }
    auto& current = *static_cast<Exchange*>(*exchange);
    if (current.pending) {
        // Resumed: the answer has come.
        const HttpResponse response = current.pending->Take();
        return server.Answer(connection, socket, response, current.context, false);
    }
    if (current.handled) {
        *uploadDataSize = 0;  // the rest of a refused body is read and dropped
        return MHD_YES;
    }
    if (*uploadDataSize > 0) {
        // The library sends an answer only before the body or after all of it: a body that
        // grows too large is read on and dropped, up to a bound, and then the connection closed.
        if (current.tooLarge || current.body.size() + *uploadDataSize > kMaxBodyBytes) {
            current.tooLarge = true;
            current.dropped += *uploadDataSize;
            current.body.clear();
        } else {
            current.body.append(uploadData, *uploadDataSize);
        }
        *uploadDataSize = 0;
        if (current.dropped <= kMaxDroppedBytes) {
            return MHD_YES;
        }
    }
    // The whole request is here: its time to arrive no longer runs.
    if (socket != nullptr) {
        server.timer_.Disarm(socket->requestTimer);
        socket->requestTimer = 0;
    }
    current.handled = true;
    std::string_view path(url);
    path = path.substr(0, path.find('?'));
    const HttpRequest request{method, path, Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE),
                              current.body, current.tooLarge};
    return server.Handle(connection, socket, current, request);
}

void HttpServer::Completed(void* self, MHD_Connection* connection, void** exchange,
                           MHD_RequestTerminationCode /*code*/) {
    const std::unique_ptr<Exchange> finished(static_cast<Exchange*>(*exchange));
    *exchange = nullptr;
    // The connection may carry another request: its time to arrive starts now.
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    if (info != nullptr && info->socket_context != nullptr) {
        static_cast<HttpServer*>(self)->ArmRequestTimer(
            *static_cast<Connection*>(info->socket_context));
    }
}

}  // namespace brisvane::lookupd
