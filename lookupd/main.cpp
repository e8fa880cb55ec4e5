// brisvane-lookupd: the organisation's share lookup page, answered from the directory or from a
// members file. Runs in the foreground; logs one line per request on standard output.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "lookupd/config.h"
#include "lookupd/http_server.h"
#include "lookupd/ldap_directory.h"
#include "lookupd/lookup_handler.h"
#include "lookupd/members_file.h"
#include "lookupd/rate_limiter.h"
#include "lookupd/request_log.h"

namespace brisvane::lookupd {
namespace {

constexpr int kExitBadConfig = 2;

constexpr const char* kDescription =
    "brisvane-lookupd: the share lookup page that Brisvane reads. It answers\n"
    "POST <path> with user=<name> with a page holding the member's smb:// locator, from the\n"
    "directory (LDAP) or from a members file. It runs in the foreground and logs one line per\n"
    "request on standard output. SIGTERM stops it gracefully (open requests are answered).\n"
    "Every setting is documented in the README, section \"Running the lookup service\".";

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

std::string DirectoryUrls(const DirectoryConfig& directory) {
    std::string urls;
    for (const std::string& url : directory.urls) {
        urls += (urls.empty() ? "" : " ") + url;
    }
    return urls;
}

int Run(const Config& config) {
    Log log;
    std::unique_ptr<MemberSource> source;
    if (config.directory) {
        std::string password;
        if (!config.directory->bindPasswordFile.empty()) {
            password = PasswordFromFile(config.directory->bindPasswordFile);
        }
        if (SendsPasswordInClear(*config.directory)) {
            log.Line(
                "warning: [directory] the bind password goes to an ldap:// URL without "
                "start_tls, unencrypted");
        }
        source = std::make_unique<LdapDirectory>(*config.directory, std::move(password),
                                                 config.listen.workers);
    } else {
        source = std::make_unique<MembersFile>(
            ResolvePath(config.members->file),
            [&log](const std::string& message) { log.Line(message); });
    }

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

    const HostPort listen = *ParseHostPort(config.listen.address);
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

    // The worker threads inherit this mask, so the signals reach only the sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // NOLINT(cert-err33-c)

    const bool logUsernames = config.logUsernames;
    HttpServer server(options, [&](const HttpRequest& request, const RequestContext& context) {
        HttpResponse response =
            limiter && !limiter->Allow(context.clientAddress, RateLimiter::Clock::now())
                ? RateLimitedResponse()
                : HandleLookup(request, settings, *source);
        log.Line(FormatRequestLine(response, std::chrono::steady_clock::now() - context.started,
                                   context.clientAddress, logUsernames));
        return response;
    });
    const bool tls = !options.tlsCertificatePem.empty();
    const std::string host =
        listen.host.find(':') != std::string::npos ? "[" + listen.host + "]" : listen.host;
    log.Line(std::string("listening on ") + (tls ? "https://" : "http://") + host + ":" +
             std::to_string(server.Port()) + config.listen.path + " (" +
             (config.directory ? "directory " + DirectoryUrls(*config.directory)
                               : "members file " + config.members->file) +
             ")");

    for (;;) {
        int received = 0;
        sigwait(&signals, &received);
        if (received == SIGHUP) {
            if (auto* members = dynamic_cast<MembersFile*>(source.get())) {
                members->ReloadIfChanged();
            }
            continue;
        }
        log.Line("stopping: no new connections, answering those open");
        server.StopAccepting();
        const auto deadline =
            std::chrono::steady_clock::now() + options.idleTimeout + std::chrono::seconds(1);
        while (server.OpenConnections() > 0 && std::chrono::steady_clock::now() < deadline) {
            struct timespec pause {
                0, 20'000'000
            };
            nanosleep(&pause, nullptr);
        }
        log.Line("stopped");
        return 0;
    }
}

}  // namespace
}  // namespace brisvane::lookupd

int main(int argc, char** argv) {
    using namespace brisvane::lookupd;
    CLI::App app(kDescription, "brisvane-lookupd");
    std::string configPath;
    bool checkOnly = false;
    app.add_option("--config", configPath, "the configuration file (TOML)")
        ->required()
        ->check(CLI::ExistingFile);
    app.add_flag("--check-config", checkOnly,
                 "only check the configuration and the files it names, then exit");
    app.footer(
        "SIGHUP re-reads the members file; other changes, a changed listen address among them,\n"
        "need a restart.");
    CLI11_PARSE(app, argc, argv);

    try {
        const Config config = LoadConfig(configPath);
        if (checkOnly) {
            std::cout << configPath << ": configuration OK\n";
            return 0;
        }
        return Run(config);
    } catch (const ConfigError& error) {
        std::cerr << "brisvane-lookupd: " << error.what() << "\n";
        return kExitBadConfig;
    } catch (const std::exception& error) {
        std::cerr << "brisvane-lookupd: " << error.what() << "\n";
        return 1;
    }
}
