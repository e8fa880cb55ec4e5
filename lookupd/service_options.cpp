#include "lookupd/service_options.h"

namespace brisvane::lookupd {

namespace {

constexpr unsigned kObserveConnections = 64;
constexpr unsigned kObserveConnectionsPerAddress = 8;
// What a 503 of the members file's service (which has no directory to wait for) asks.
constexpr std::chrono::seconds kRetryAfterWithoutDirectory{5};

std::chrono::seconds RetryAfter(const Config& config) {
    return config.directory ? config.directory->retryAfter : kRetryAfterWithoutDirectory;
}

// The options both servers share.
HttpServerOptions CommonOptions(const Config& config, const std::string& address) {
    const HostPort listen = *ParseHostPort(address);
    HttpServerOptions options;
    options.host = listen.host;
    options.port = listen.port;
    options.idleTimeout = config.limits.idleTimeout;
    options.requestTimeout = config.limits.requestTimeout;
    options.answerTimeout = AnswerTimeout(config);
    options.retryAfter = RetryAfter(config);
    return options;
}

}  // namespace

std::chrono::milliseconds AnswerTimeout(const Config& config) {
    const std::chrono::milliseconds lookup =
        config.directory ? config.directory->timeout : std::chrono::milliseconds::zero();
    return lookup + std::chrono::seconds(2);
}

HttpServerOptions LookupServerOptions(const Config& config) {
    HttpServerOptions options = CommonOptions(config, config.listen.address);
    if (!config.listen.tlsCertificate.empty()) {
        options.tlsCertificatePem =
            ReadSettingFile("[listen] tls_certificate", config.listen.tlsCertificate);
        options.tlsKeyPem = ReadSettingFile("[listen] tls_key", config.listen.tlsKey);
    }
    options.workers = config.listen.workers;
    options.connections = config.limits.connections;
    options.connectionsPerAddress = config.limits.connectionsPerAddress;
    return options;
}

HttpServerOptions ObserveServerOptions(const Config& config) {
    HttpServerOptions options = CommonOptions(config, config.observe.address);
    options.workers = 1;
    options.connections = kObserveConnections;
    options.connectionsPerAddress = kObserveConnectionsPerAddress;
    return options;
}

LookupSettings LookupSettingsOf(const Config& config) {
    LookupSettings settings;
    settings.path = config.listen.path;
    settings.fileServers = FileServerList(config.organisation.fileServers);
    settings.retryAfter = RetryAfter(config);
    return settings;
}

}  // namespace brisvane::lookupd
