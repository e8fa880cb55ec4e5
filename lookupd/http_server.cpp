#include "lookupd/http_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace brisvane::lookupd {

namespace {

// What the server keeps of one request while its body arrives.
struct Exchange {
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::string body;
    bool tooLarge = false;
    bool answered = false;
    std::size_t dropped = 0;  // bytes of a too large body read and dropped
};

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

void LogLibraryMessage(void* /*unused*/, const char* format, va_list arguments) {
    static_cast<void>(std::fputs("libmicrohttpd: ", stderr));
    std::vfprintf(stderr, format, arguments);  // NOLINT(cert-err33-c)
}

}  // namespace

HttpServer::HttpServer(const HttpServerOptions& options, HttpHandler handler)
    : handler_(std::move(handler)) {
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

    unsigned flags =
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC | MHD_USE_ERROR_LOG;
    if (address->ai_family == AF_INET6) {
        flags |= MHD_USE_IPv6;
    }
    const bool tls = !options.tlsCertificatePem.empty();
    if (tls) {
        flags |= MHD_USE_TLS;
    }
    // The logger comes first, so that the library's messages about later options reach it.
    std::vector<MHD_OptionItem> items = {
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&LogLibraryMessage), nullptr},
        options.listenSocket >= 0
            ? MHD_OptionItem{MHD_OPTION_LISTEN_SOCKET, options.listenSocket, nullptr}
            : MHD_OptionItem{MHD_OPTION_SOCK_ADDR, 0, address->ai_addr},
        {MHD_OPTION_CONNECTION_LIMIT, options.connections, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(options.idleTimeout.count()),
         nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&HttpServer::Completed), this},
    };
    if (options.workers > 1) {
        items.push_back({MHD_OPTION_THREAD_POOL_SIZE, options.workers, nullptr});
    }
    if (options.connectionsPerAddress > 0) {
        items.push_back(
            {MHD_OPTION_PER_IP_CONNECTION_LIMIT, options.connectionsPerAddress, nullptr});
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
    if (!daemon_) {
        throw std::runtime_error("cannot listen on " + options.host + ":" + port +
                                 (tls ? " with the TLS certificate and key given" : "") +
                                 " (address in use, not this machine's, or a bad certificate)");
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

unsigned HttpServer::OpenConnections() const {
    const MHD_DaemonInfo* info =
        MHD_get_daemon_info(daemon_.get(), MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
    return info != nullptr ? info->num_connections : 0;
}

void HttpServer::StopAccepting() {
    stopping_ = true;
    const MHD_socket listening = MHD_quiesce_daemon(daemon_.get());
    if (listening != MHD_INVALID_SOCKET) {
        close(listening);
    }
}

MHD_Result HttpServer::Answer(MHD_Connection* connection, const HttpResponse& response) {
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
    if (stopping_) {
        MHD_add_response_header(reply.get(), MHD_HTTP_HEADER_CONNECTION, "close");
    }
    return MHD_queue_response(connection, response.status, reply.get());
}

MHD_Result HttpServer::Access(void* self, MHD_Connection* connection, const char* url,
                              const char* method, const char* /*version*/, const char* uploadData,
                              std::size_t* uploadDataSize, void** exchange) {
    auto& server = *static_cast<HttpServer*>(self);
    if (*exchange == nullptr) {
        auto fresh = std::make_unique<Exchange>();
        // A body announced as too large is refused before it is read.
        const std::string_view length = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
        fresh->tooLarge = length.size() > 9 ||
                          (!length.empty() &&
                           std::strtoull(std::string(length).c_str(), nullptr, 10) > kMaxBodyBytes);
        *exchange = fresh.release();
        if (!static_cast<Exchange*>(*exchange)->tooLarge) {
            return MHD_YES;
        }
    }
    auto& current = *static_cast<Exchange*>(*exchange);
    if (current.answered) {
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
    std::string_view path(url);
    path = path.substr(0, path.find('?'));
    const HttpRequest request{method, path, Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE),
                              current.body, current.tooLarge};
    const HttpResponse response =
        server.handler_(request, RequestContext{ClientAddress(connection), current.started});
    current.answered = true;
    if (current.dropped > kMaxDroppedBytes) {
        return MHD_NO;
    }
    return server.Answer(connection, response);
}

void HttpServer::Completed(void* /*self*/, MHD_Connection* /*connection*/, void** exchange,
                           MHD_RequestTerminationCode /*code*/) {
    const std::unique_ptr<Exchange> finished(static_cast<Exchange*>(*exchange));
    *exchange = nullptr;
}

}  // namespace brisvane::lookupd
