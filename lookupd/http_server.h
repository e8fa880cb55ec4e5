// The HTTP(S) server around libmicrohttpd: it owns the connections, their limits, the idle
// time-out and TLS; it collects one request's body (at most kMaxBodyBytes) and hands the whole
// request to a handler, whose answer it sends.
#pragma once

#include <microhttpd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "lookupd/lookup_handler.h"

namespace brisvane::lookupd {

struct HttpServerOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;         // 0: any free port (see Port())
    std::string tlsCertificatePem;  // both empty: plain HTTP
    std::string tlsKeyPem;
    unsigned workers = 4;
    unsigned connections = 1024;
    unsigned connectionsPerAddress = 0;  // 0: no cap
    std::chrono::seconds idleTimeout{10};
    int listenSocket = -1;  // a socket that listens already (host and port are then unused)
};

struct RequestContext {
    std::string clientAddress;
    std::chrono::steady_clock::time_point started;
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&, const RequestContext&)>;

struct StopDaemon {
    void operator()(MHD_Daemon* daemon) const { MHD_stop_daemon(daemon); }
};

// TLS 1.2 and 1.3 only, GnuTLS's normal cipher suites.
inline constexpr const char* kTlsPriorities = "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2";

class HttpServer {
  public:
    // Listens and serves at once; std::runtime_error when it cannot (address in use, bad key).
    // `handler` is called from the worker threads, several at once.
    HttpServer(const HttpServerOptions& options, HttpHandler handler);

    std::uint16_t Port() const;
    int ListenSocket() const;
    unsigned OpenConnections() const;

    // Stops accepting connections; those open are served to their end, each closed after its
    // next answer. The server stops when it is destroyed.
    void StopAccepting();

  private:
    static MHD_Result Access(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char* version, const char* uploadData,
                             std::size_t* uploadDataSize, void** exchange);
    static void Completed(void* self, MHD_Connection* connection, void** exchange,
                          MHD_RequestTerminationCode code);
    MHD_Result Answer(MHD_Connection* connection, const HttpResponse& response);

    HttpHandler handler_;
    std::atomic<bool> stopping_{false};
    std::unique_ptr<MHD_Daemon, StopDaemon> daemon_;
};

}  // namespace brisvane::lookupd
