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
#include "lookupd/observe.h"
#include "lookupd/rate_limiter.h"
#include "lookupd/request_log.h"

namespace brisvane::lookupd {

namespace {

std::string PasswordFromFile(const std::string& path) {
    std::string password = ReadSettingFile("[directory] bind_password_file", path);
    while (!password.empty() && (password.back() == '\n' || password.back() == '\r')) {
        password.pop_back();
    }
    if (password.empty()) {
        throw ConfigError("[directory] bind_password_file: \"" + path + "\" is empty");
    }
    return password;
}

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
    std::string password;
    if (!config.directory->bindPasswordFile.empty()) {
        password = PasswordFromFile(config.directory->bindPasswordFile);
    }
    if (SendsPasswordInClear(*config.directory)) {
        log.Line(
            "warning: [directory] the bind password goes to an ldap:// URL without start_tls, "
            "unencrypted");
    }
    return std::make_unique<LdapDirectory>(*config.directory, std::move(password),
                                           config.listen.workers);
}

// "60s", or "500ms" when not whole seconds.
std::string DurationText(std::chrono::milliseconds duration) {
    return duration.count() % 1000 == 0 ? std::to_string(duration.count() / 1000) + "s"
                                        : std::to_string(duration.count()) + "ms";
}

HttpServerOptions LookupServerOptions(const Config& config, const HostPort& listen) {
    HttpServerOptions options;
    options.host = listen.host;
    options.port = listen.port;
    if (!config.listen.tlsCertificate.empty()) {
        options.tlsCertificatePem =
            ReadSettingFile("[listen] tls_certificate", config.listen.tlsCertificate);
        options.tlsKeyPem = ReadSettingFile("[listen] tls_key", config.listen.tlsKey);
    }
    options.workers = config.listen.workers;
    options.connections = config.limits.connections;
    options.connectionsPerAddress = config.limits.connectionsPerAddress;
    options.idleTimeout = config.limits.idleTimeout;
    return options;
}

// Waits until `server` has no connection left, at most the idle time-out and a second.
void Drain(const HttpServer& server, std::chrono::seconds idleTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + idleTimeout + std::chrono::seconds(1);
    while (server.OpenConnections() > 0 && std::chrono::steady_clock::now() < deadline) {
        timespec pause{0, 20'000'000};
        nanosleep(&pause, nullptr);
    }
}

}  // namespace

int RunService(const Config& config) {
    Log log;
    const std::unique_ptr<MemberSource> origin = MakeSource(config, log);
    std::optional<CachedSource> cache;
    if (config.cache.ttl > std::chrono::milliseconds::zero()) {
        cache.emplace(*origin, config.cache.ttl, config.cache.maxEntries);
    }
    MemberSource& source = cache ? static_cast<MemberSource&>(*cache) : *origin;
    LookupSettings settings;
    settings.path = config.listen.path;
    settings.fileServers = FileServerList(config.fileServers);
    if (config.directory) {
        settings.retryAfter = config.directory->retryAfter;
    }
    std::optional<RateLimiter> limiter;
    if (config.limits.requestsPerSecondPerAddress > 0) {
        limiter.emplace(config.limits.requestsPerSecondPerAddress, config.limits.burstPerAddress);
    }
    Metrics metrics;

    // The worker threads inherit this mask, so the signals reach only the sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));

    const bool logUsernames = config.logUsernames;
    const HttpHandler lookup = [&](const HttpRequest& request, const RequestContext& context) {
        HttpResponse response =
            limiter && !limiter->Allow(context.clientAddress, RateLimiter::Clock::now())
                ? RateLimitedResponse()
                : HandleLookup(request, settings, source);
        const auto elapsed = std::chrono::steady_clock::now() - context.started;
        metrics.Record(response.outcome, elapsed);
        log.Line(FormatRequestLine(response, elapsed, context.clientAddress, logUsernames));
        return response;
    };

    const HostPort listen = *ParseHostPort(config.listen.address);
    HttpServerOptions options = LookupServerOptions(config, listen);
    std::mutex serverMutex;  // guards `server` against a reload while /metrics reads it
    auto server = std::make_unique<HttpServer>(options, lookup);
    const bool tls = !options.tlsCertificatePem.empty();
    log.Line("listening on " + UrlOf(listen, server->Port(), tls) + config.listen.path + " (" +
             (config.directory ? "directory " + Joined(config.directory->urls)
                               : "members file " + config.members->file) +
             (cache ? ", answers cached for " + DurationText(config.cache.ttl) + ", at most " +
                          std::to_string(config.cache.maxEntries)
                    : "") +
             ")");

    std::unique_ptr<HttpServer> observer;
    if (!config.observe.address.empty()) {
        const HostPort address = *ParseHostPort(config.observe.address);
        HttpServerOptions observeOptions;
        observeOptions.host = address.host;
        observeOptions.port = address.port;
        observeOptions.workers = 1;
        observeOptions.connections = 64;
        observeOptions.idleTimeout = config.limits.idleTimeout;
        const auto render = [&] {
            const SourceCounters counters = origin->Counters();
            ServiceGauges gauges{0, counters.reconnects, counters.errors, std::nullopt};
            if (cache) {
                gauges.cache = cache->Counts();
            }
            {
                const std::lock_guard lock(serverMutex);
                gauges.openConnections = server->OpenConnections();
            }
            return RenderMetrics(metrics.Read(), gauges);
        };
        observer = std::make_unique<HttpServer>(
            observeOptions,
            [&origin, render](const HttpRequest& request, const RequestContext& /*context*/) {
                // Readiness is the directory's own, never the cache's.
                return HandleObserve(
                    request, [&] { return origin->Ready(); }, render);
            });
        log.Line("health and metrics on " + UrlOf(address, observer->Port(), false) +
                 " (/healthz /readyz /metrics)");
    }

    for (;;) {
        int received = 0;
        sigwait(&signals, &received);
        if (received != SIGHUP) {
            break;
        }
        if (auto* members = dynamic_cast<MembersFile*>(origin.get())) {
            members->ReloadIfChanged();
        }
        if (cache) {
            cache->Clear();
            log.Line("the cache was emptied");
        }
        if (!tls) {
            continue;
        }
        // A new server with the new certificate on the same listening socket, then the old
        // one stops accepting and finishes what it has.
        const int socket = dup(server->ListenSocket());
        std::unique_ptr<HttpServer> fresh;
        try {
            HttpServerOptions next = LookupServerOptions(config, listen);
            next.listenSocket = socket;
            fresh = std::make_unique<HttpServer>(next, lookup);
        } catch (const std::exception& error) {
            close(socket);
            log.Line(std::string("warning: the TLS certificate and key were not read again, the "
                                 "old ones stay in use: ") +
                     error.what());
            continue;
        }
        std::unique_ptr<HttpServer> old;
        {
            const std::lock_guard lock(serverMutex);
            old = std::exchange(server, std::move(fresh));
        }
        old->StopAccepting();
        Drain(*old, options.idleTimeout);
        old.reset();
        log.Line("the TLS certificate and key were read again");
    }

    log.Line("stopping: no new connections, answering those open");
    if (observer) {
        observer->StopAccepting();
    }
    server->StopAccepting();
    Drain(*server, options.idleTimeout);
    log.Line("stopped");
    return 0;
}

}  // namespace brisvane::lookupd
