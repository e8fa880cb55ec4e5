// The HTTP(S) server around libmicrohttpd: it owns the connections, their limits and
// time-outs, and TLS; it collects one request's body (at most kMaxBodyBytes) and hands the whole
// request to a handler. A handler answers at once or later, from any thread: meanwhile the
// connection is suspended, so a worker thread never waits for a lookup and serves its other
// connections.
#pragma once

#include <microhttpd.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "lookupd/connection_counts.h"
#include "lookupd/deadline_timer.h"
#include "lookupd/http_message.h"

namespace brisvane::lookupd {

struct HttpServerOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;         // 0: any free port (see Port())
    std::string tlsCertificatePem;  // both empty: plain HTTP
    std::string tlsKeyPem;
    unsigned workers = 4;
    unsigned connections = 1024;              // open connections, all clients together
    unsigned connectionsPerAddress = 0;       // 0: no cap
    std::chrono::seconds idleTimeout{10};     // a silent connection is closed
    std::chrono::seconds requestTimeout{10};  // a request must arrive whole within this
    // A handler that has not answered within this is answered 503 by the server itself.
    std::chrono::milliseconds answerTimeout{10'000};
    std::chrono::seconds retryAfter{5};  // Retry-After of the server's own 503s
    int listenSocket = -1;  // a socket that listens already (host and port are then unused)
};

struct RequestContext {
    std::string clientAddress;
    std::chrono::steady_clock::time_point started;
};

// Called on a worker thread; must not block. Gives the answer to `respond`, exactly once.
using HttpHandler = std::function<void(const HttpRequest&, const RequestContext&, Respond)>;
// Told of every answer sent, the server's own among them (for the log and the metrics).
using AnswerSent = std::function<void(const HttpResponse&, const RequestContext&)>;

struct StopDaemon {
    void operator()(MHD_Daemon* daemon) const { MHD_stop_daemon(daemon); }
};

// TLS 1.2 and 1.3 only, and only suites with forward secrecy (ECDHE) and authenticated
// encryption (GCM, ChaCha20-Poly1305): no RSA key exchange, no CBC.
inline constexpr const char* kTlsPriorities =
    "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-CIPHER-ALL:+AES-256-GCM:+AES-128-GCM:"
    "+CHACHA20-POLY1305:-MAC-ALL:+AEAD:-KX-ALL:+ECDHE-RSA:+ECDHE-ECDSA";

class HttpServer {
  public:
    // Listens and serves at once; std::runtime_error when it cannot (address in use, bad key).
    HttpServer(const HttpServerOptions& options, HttpHandler handler, AnswerSent sent = nullptr);
    // Waits for the answers still owed (at most the answer time-out), then stops.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    HttpServer(HttpServer&&) = delete;
    HttpServer& operator=(HttpServer&&) = delete;

    std::uint16_t Port() const;
    int ListenSocket() const;
    ServerCounters Counters() const;

    // Stops accepting connections; those open are served to their end, each closed after its
    // next answer. The server stops when it is destroyed.
    void StopAccepting();

  private:
    struct Connection;
    struct Exchange;
    class PendingAnswer;

    static MHD_Result Access(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char* version, const char* uploadData,
                             std::size_t* uploadDataSize, void** exchange);
    static void Completed(void* self, MHD_Connection* connection, void** exchange,
                          MHD_RequestTerminationCode code);
    static void Notify(void* self, MHD_Connection* connection, void** socketContext,
                       MHD_ConnectionNotificationCode code);
    static void LogLibraryMessage(void* self, const char* format, va_list arguments);

    void Opened(MHD_Connection* connection, void** socketContext);
    void Closed(void** socketContext);
    void ArmRequestTimer(Connection& connection);
    MHD_Result Answer(MHD_Connection* connection, Connection* socket, const HttpResponse& response,
                      const RequestContext& context, bool close);
    MHD_Result Handle(MHD_Connection* connection, Connection* socket, Exchange& exchange,
                      const HttpRequest& request);
    HttpResponse OverdueResponse() const;
    HttpResponse OverCapacityResponse(OverCap cap) const;

    HttpHandler handler_;
    AnswerSent sent_;
    HttpServerOptions options_;
    std::atomic<bool> stopping_{false};
    int quiescedSocket_ = -1;  // closed once the daemon has stopped
    std::mutex messageMutex_;
    bool starting_ = true;
    std::string startMessages_;

    ConnectionCounts counts_;
    std::atomic<std::uint64_t> refusedOverAddressCap_{0};
    std::atomic<std::uint64_t> refusedOverTotalCap_{0};
    std::atomic<std::uint64_t> requestTimeouts_{0};
    std::atomic<std::uint64_t> overdueAnswers_{0};
    std::atomic<unsigned> waiting_{0};    // answers owed
    std::atomic<unsigned> suspended_{0};  // connections suspended and not resumed yet

    DeadlineTimer timer_;  // before the daemon: its connections disarm their deadlines as it stops
    std::unique_ptr<MHD_Daemon, StopDaemon> daemon_;
};

}  // namespace brisvane::lookupd
