#include "lookupd/service.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "lookupd/cached_source.h"
#include "lookupd/http_server.h"
#include "lookupd/ldap_directory.h"
#include "lookupd/lookup_handler.h"
#include "lookupd/members_file.h"
#include "lookupd/metrics.h"
#include "lookupd/network_list.h"
#include "lookupd/observe.h"
#include "lookupd/rate_limiter.h"
#include "lookupd/request_log.h"
#include "lookupd/service_options.h"

namespace brisvane::lookupd {

namespace {

bool SendsPasswordInClear(const DirectoryConfig& directory) {
    return !directory.bindDn.empty() && !directory.startTls &&
           std::ranges::any_of(directory.urls,
                               [](const std::string& url) { return url.starts_with("ldap://"); });
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) {
        joined += (joined.empty() ? "" : " ") + text;
    }
    return joined;
}

std::string UrlOf(const HostPort& address, std::uint16_t port, bool tls) {
    const std::string host =
        address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
    return std::string(tls ? "https://" : "http://") + host + ":" + std::to_string(port);
}

std::unique_ptr<MemberSource> MakeSource(const Config& config, Log& log) {
    if (config.members) {
        return std::make_unique<MembersFile>(
            ResolvePath(config.members->file),
            [&log](const std::string& message) { log.Line(message); });
    }
    std::string password = ReadBindPassword(*config.directory);
    if (SendsPasswordInClear(*config.directory)) {
        log.Line(
            "warning: [directory] allow_plain_bind: the bind password goes to an ldap:// URL "
            "without start_tls, unencrypted");
    }
    return std::make_unique<LdapDirectory>(*config.directory, std::move(password),
                                           [&log](const std::string& line) { log.Line(line); });
}

// Waits until `server` has no connection left: each closes after its next answer, or when idle.
void Drain(const HttpServer& server, const Config& config) {
    const auto deadline = std::chrono::steady_clock::now() + config.limits.idleTimeout +
                          AnswerTimeout(config) + std::chrono::seconds(1);
    while (server.Counters().openConnections > 0 && std::chrono::steady_clock::now() < deadline) {
        timespec pause{0, 20'000'000};
        nanosleep(&pause, nullptr);
    }
}

// Blocks the signals the service waits for in this thread and every thread started after it,
// so that they reach only sigwait.
sigset_t BlockServiceSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    return signals;
}

// One running service: its source, its lookup server and its health and metrics server.
class Service {
  public:
    explicit Service(const Config& config);
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;
    Service(Service&&) = delete;
    Service& operator=(Service&&) = delete;
    ~Service() = default;

    // SIGHUP: the members file and the TLS certificate and key read again, the cache emptied.
    void Reload();
    // SIGTERM: no new connections, those open answered.
    void Stop();

  private:
    void Lookup(const HttpRequest& request, const RequestContext& context, Respond respond);
    void Sent(const HttpResponse& response, const RequestContext& context);
    std::unique_ptr<HttpServer> StartLookupServer(int listenSocket);
    void StartObserver();
    std::string RenderServiceMetrics();
    void RenewTls();

    const Config& config_;
    Log log_;
    // The cache is destroyed after the source, whose threads may still be answering into it.
    std::optional<CachedSource> cache_;
    std::unique_ptr<MemberSource> origin_;
    MemberSource* source_ = nullptr;  // the cache, or the origin without one
    LookupSettings settings_;
    NetworkList allowed_;
    std::optional<RateLimiter> limiter_;
    Metrics metrics_;
    HostPort listen_;
    std::mutex serverMutex_;  // guards `server_` against a reload while /metrics reads it
    std::unique_ptr<HttpServer> server_;
    // Destroyed first: it reads the lookup server's counters.
    std::unique_ptr<HttpServer> observer_;
};

Service::Service(const Config& config)
    : config_(config),
      origin_(MakeSource(config, log_)),
      source_(origin_.get()),
      settings_(LookupSettingsOf(config)),
      listen_(*ParseHostPort(config.listen.address)) {
    if (config.cache.ttl > std::chrono::milliseconds::zero()) {
        source_ = &cache_.emplace(*origin_, config.cache.ttl, config.cache.maxEntries,
                                  std::size_t{config.cache.maxMegabytes} << 20U);
    }
    allowed_ = *NetworkList::Parse(config.limits.allowedNetworks);
    if (allowed_.Everything()) {
        log_.Line(
            "warning: [limits] allowed_networks is not set: every network may ask which members "
            "exist and where their home shares are");
    }
    if (config.limits.requestsPerSecondPerAddress > 0) {
        limiter_.emplace(config.limits.requestsPerSecondPerAddress, config.limits.burstPerAddress);
    }
    server_ = StartLookupServer(-1);
    const bool tls = !config.listen.tlsCertificate.empty();
    log_.Line("listening on " + UrlOf(listen_, server_->Port(), tls) + config.listen.path + " (" +
              (config.directory ? "directory " + Joined(config.directory->urls)
                                : "members file " + config.members->file) +
              (cache_ ? ", answers cached for " + FormatDuration(config.cache.ttl) + ", at most " +
                            std::to_string(config.cache.maxEntries)
                      : "") +
              ")");
    if (!config.observe.address.empty()) {
        StartObserver();
    }
}

void Service::Lookup(const HttpRequest& request, const RequestContext& context, Respond respond) {
    if (!allowed_.Contains(context.clientAddress)) {
        respond(NotAllowedResponse());
        return;
    }
    if (limiter_ && !limiter_->Allow(context.clientAddress, RateLimiter::Clock::now())) {
        respond(RateLimitedResponse());
        return;
    }
    HandleLookup(request, settings_, *source_, std::move(respond));
}

void Service::Sent(const HttpResponse& response, const RequestContext& context) {
    const auto elapsed = std::chrono::steady_clock::now() - context.started;
    metrics_.Record(response.outcome, elapsed);
    log_.Line(FormatRequestLine(response, elapsed, context.clientAddress, config_.log.usernames));
}

std::unique_ptr<HttpServer> Service::StartLookupServer(int listenSocket) {
    HttpServerOptions options = LookupServerOptions(config_);
    options.listenSocket = listenSocket;
    return std::make_unique<HttpServer>(
        options,
        [this](const HttpRequest& request, const RequestContext& context, Respond respond) {
            Lookup(request, context, std::move(respond));
        },
        [this](const HttpResponse& response, const RequestContext& context) {
            Sent(response, context);
        });
}

std::string Service::RenderServiceMetrics() {
    ServiceGauges gauges{{}, origin_->Counters(), std::nullopt};
    if (cache_) {
        gauges.cache = cache_->Counts();
    }
    {
        const std::lock_guard lock(serverMutex_);
        gauges.server = server_->Counters();
    }
    return RenderMetrics(metrics_.Read(), gauges);
}

void Service::StartObserver() {
    const HostPort address = *ParseHostPort(config_.observe.address);
    observer_ = std::make_unique<HttpServer>(
        ObserveServerOptions(config_),
        [this](const HttpRequest& request, const RequestContext& /*context*/, Respond respond) {
            // Readiness is the directory's own, never the cache's.
            HandleObserve(
                request,
                [this](std::function<void(bool)> done) { origin_->CheckReady(std::move(done)); },
                [this] { return RenderServiceMetrics(); }, std::move(respond));
        });
    log_.Line("health and metrics on " + UrlOf(address, observer_->Port(), false) +
              " (/healthz /readyz /metrics)");
}

void Service::Reload() {
    origin_->Reload();
    if (cache_) {
        cache_->Clear();
        log_.Line("the cache was emptied");
    }
    if (!config_.listen.tlsCertificate.empty()) {
        RenewTls();
    }
    log_.Line(
        "read only at start (a restart changes them): the configuration file, the bind "
        "password and the listen address");
}

// A new server with the new certificate on the same listening socket, then the old one stops
// accepting and finishes what it has.
void Service::RenewTls() {
    const int socket = dup(server_->ListenSocket());
    std::unique_ptr<HttpServer> fresh;
    try {
        fresh = StartLookupServer(socket);
    } catch (const std::exception& error) {
        close(socket);
        log_.Line(std::string("warning: the TLS certificate and key were not renewed, the old "
                              "ones stay in use: ") +
                  error.what());
        return;
    }
    std::unique_ptr<HttpServer> old;
    {
        const std::lock_guard lock(serverMutex_);
        old = std::exchange(server_, std::move(fresh));
    }
    old->StopAccepting();
    Drain(*old, config_);
    old.reset();
    log_.Line("the TLS certificate and key were read again");
}

void Service::Stop() {
    log_.Line("stopping: no new connections, answering those open");
    if (observer_) {
        observer_->StopAccepting();
    }
    server_->StopAccepting();
    Drain(*server_, config_);
    observer_.reset();
    server_.reset();
    log_.Line("stopped");
}

}  // namespace

int RunService(const Config& config) {
    // Before any thread starts: the source's, the servers' and the timers' threads inherit it.
    sigset_t signals = BlockServiceSignals();
    Service service(config);
    for (;;) {
        int received = 0;
        sigwait(&signals, &received);
        if (received != SIGHUP) {
            break;
        }
        service.Reload();
    }
    service.Stop();
    return 0;
}

}  // namespace brisvane::lookupd
