#include "lookupd/config.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include <toml++/toml.h>

#include "lookupd/config_section.h"
#include "lookupd/network_list.h"

namespace brisvane::lookupd {

namespace {

constexpr auto kMaxDirectoryTimeout = std::chrono::seconds(60);
constexpr std::int64_t kMaxWorkers = 256;
constexpr std::int64_t kMaxConnections = 1'000'000;
constexpr auto kMaxCacheTtl = std::chrono::hours(1);
constexpr std::int64_t kMaxCacheEntries = 10'000'000;
constexpr std::int64_t kMaxCacheMegabytes = 4096;
constexpr auto kMaxRequestTimeout = std::chrono::seconds(300);
constexpr std::int64_t kMaxDirectoryConnections = 256;
constexpr std::int64_t kMaxSearchesPerConnection = 1024;
constexpr std::int64_t kMaxQueue = 1'000'000;

ListenConfig ReadListen(Section& section) {
    ListenConfig listen;
    if (auto address = section.String("address")) {
        if (!ParseHostPort(*address)) {
            section.Fail("address",
                         Quote(*address) + R"( is not host:port ("127.0.0.1:8443", "[::1]:8443"))");
        }
        listen.address = *address;
    }
    if (auto path = section.String("path")) {
        if (!path->starts_with('/') || HasControlCharacter(*path) ||
            path->find_first_of("?# ") != std::string::npos) {
            section.Fail("path", "must start with \"/\" and hold no query, space or control");
        }
        listen.path = *path;
    }
    listen.tlsCertificate = section.String("tls_certificate").value_or("");
    listen.tlsKey = section.String("tls_key").value_or("");
    if (listen.tlsCertificate.empty() != listen.tlsKey.empty()) {
        section.Fail(listen.tlsCertificate.empty() ? "tls_certificate" : "tls_key",
                     "set both tls_certificate and tls_key for HTTPS, or neither for plain HTTP");
    }
    if (auto workers = section.Count("workers", 1, kMaxWorkers)) {
        listen.workers = *workers;
    }
    return listen;
}

LimitsConfig ReadLimits(Section& section) {
    LimitsConfig limits;
    if (auto connections = section.Count("connections", 1, kMaxConnections)) {
        limits.connections = *connections;
    }
    if (auto perAddress = section.Count("connections_per_address", 0, kMaxConnections)) {
        limits.connectionsPerAddress = *perAddress;
    }
    if (auto idle = section.Duration("idle_timeout")) {
        if (idle->count() % 1000 != 0 || *idle < std::chrono::seconds(1)) {
            section.Fail("idle_timeout", "must be whole seconds, at least \"1s\"");
        }
        limits.idleTimeout = std::chrono::duration_cast<std::chrono::seconds>(*idle);
    }
    if (auto request = section.Duration("request_timeout")) {
        if (request->count() % 1000 != 0 || *request < std::chrono::seconds(1) ||
            *request > kMaxRequestTimeout) {
            section.Fail("request_timeout", R"(must be whole seconds, from "1s" to "300s")");
        }
        limits.requestTimeout = std::chrono::duration_cast<std::chrono::seconds>(*request);
    }
    if (auto rate = section.Count("requests_per_second_per_address", 0, kMaxConnections)) {
        limits.requestsPerSecondPerAddress = *rate;
    }
    if (auto burst = section.Count("burst_per_address", 1, kMaxConnections)) {
        limits.burstPerAddress = *burst;
    }
    if (auto networks = section.Strings("allowed_networks")) {
        std::string bad;
        if (!NetworkList::Parse(*networks, &bad)) {
            section.Fail("allowed_networks",
                         Quote(bad) + R"( is not an address or a CIDR range ("10.0.0.0/8"))");
        }
        limits.allowedNetworks = std::move(*networks);
    }
    return limits;
}

DirectoryConfig ReadDirectory(Section& section) {
    DirectoryConfig directory;
    directory.urls = section.Strings("urls").value_or(std::vector<std::string>{});
    if (directory.urls.empty()) {
        section.Fail("urls", "list at least one ldap:// or ldaps:// URL");
    }
    for (const std::string& url : directory.urls) {
        if ((!url.starts_with("ldap://") && !url.starts_with("ldaps://")) ||
            url.find_first_of(" \t") != std::string::npos || HasControlCharacter(url)) {
            section.Fail("urls", "\"" + url + "\" is not an ldap:// or ldaps:// URL");
        }
    }
    directory.startTls = section.Bool("start_tls").value_or(false);
    if (directory.startTls && std::ranges::any_of(directory.urls, [](const std::string& u) {
            return u.starts_with("ldaps://");
        })) {
        section.Fail("start_tls", "ldaps:// is TLS already: use ldap:// URLs with start_tls");
    }
    directory.bindDn = section.String("bind_dn").value_or("");
    directory.allowPlainBind = section.Bool("allow_plain_bind").value_or(false);
    directory.bindPasswordFile = section.String("bind_password_file").value_or("");
    if (directory.bindDn.empty() != directory.bindPasswordFile.empty()) {
        section.Fail(directory.bindDn.empty() ? "bind_dn" : "bind_password_file",
                     "set both bind_dn and bind_password_file, or neither for an anonymous bind");
    }
    const bool plain = !directory.startTls && std::ranges::any_of(directory.urls, [](auto& url) {
        return url.starts_with("ldap://");
    });
    if (!directory.bindDn.empty() && plain && !directory.allowPlainBind) {
        section.Fail("bind_dn",
                     "the bind password would go unencrypted to an ldap:// URL: use ldaps:// "
                     "URLs or start_tls = true (or set allow_plain_bind = true)");
    }
    auto baseDn = section.String("base_dn");
    if (!baseDn || baseDn->empty()) {
        section.Fail("base_dn", "missing: the DN under which members are searched");
    }
    directory.baseDn = *baseDn;
    if (auto filter = section.String("filter")) {
        if (filter->find("%s") == std::string::npos || !filter->starts_with('(') ||
            !filter->ends_with(')') || HasControlCharacter(*filter)) {
            section.Fail("filter",
                         "must be a filter in parentheses with %s where the username goes");
        }
        directory.filter = *filter;
    }
    if (auto attribute = section.String("attribute")) {
        if (attribute->empty() || !std::ranges::all_of(*attribute, [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == ';' ||
                       c == '.';
            })) {
            section.Fail("attribute", "must be an attribute name such as homeDirectory");
        }
        directory.attribute = *attribute;
    }
    if (auto timeout = section.Duration("timeout")) {
        if (*timeout <= std::chrono::milliseconds::zero() || *timeout > kMaxDirectoryTimeout) {
            section.Fail("timeout", "must be more than 0 and at most 60s");
        }
        directory.timeout = *timeout;
    }
    if (auto caFile = section.String("ca_file")) {
        if (caFile->empty()) {
            section.Fail("ca_file", "must name a PEM file of CA certificates");
        }
        directory.caFile = *caFile;
    }
    if (auto retryAfter = section.Duration("retry_after")) {
        if (retryAfter->count() % 1000 != 0 || *retryAfter < std::chrono::seconds(1)) {
            section.Fail("retry_after", "must be whole seconds, at least \"1s\"");
        }
        directory.retryAfter = std::chrono::duration_cast<std::chrono::seconds>(*retryAfter);
    }
    if (auto connections = section.Count("connections", 1, kMaxDirectoryConnections)) {
        directory.connections = *connections;
    }
    if (auto searches = section.Count("searches_per_connection", 1, kMaxSearchesPerConnection)) {
        directory.searchesPerConnection = *searches;
    }
    if (auto queue = section.Count("queue", 0, kMaxQueue)) {
        directory.queue = *queue;
    }
    return directory;
}

CacheConfig ReadCache(Section& section) {
    CacheConfig cache;
    if (auto ttl = section.Duration("ttl")) {
        if (*ttl > kMaxCacheTtl) {
            section.Fail("ttl", R"(must be from "0s" (no cache) to "3600s")");
        }
        cache.ttl = *ttl;
    }
    if (auto maxEntries = section.Count("max_entries", 1, kMaxCacheEntries)) {
        cache.maxEntries = *maxEntries;
    }
    if (auto megabytes = section.Count("max_megabytes", 1, kMaxCacheMegabytes)) {
        cache.maxMegabytes = *megabytes;
    }
    return cache;
}

// A file that holds a secret may be read by its owner and group only.
void CheckPrivate(Section& section, std::string_view key, const std::string& path) {
    if (path.empty()) {
        return;
    }
    struct stat status {};
    if (stat(ResolvePath(path).c_str(), &status) != 0) {
        return;  // CheckReadable says why
    }
    if ((status.st_mode & (S_IROTH | S_IWOTH | S_IXOTH)) != 0) {
        char mode[8] = {};
        static_cast<void>(std::snprintf(mode, sizeof mode, "%04o", status.st_mode & 07777U));
        section.Fail(key, Quote(path) + " may be read or written by other users (mode " + mode +
                              "): it holds a secret; make it 0600 or 0640 (chmod o-rwx)");
    }
}

void CheckReadable(Section& section, std::string_view key, const std::string& path) {
    if (path.empty()) {
        return;
    }
    try {
        std::ifstream file(ResolvePath(path), std::ios::binary);
        if (!file) {
            section.Fail(key, "cannot read \"" + path + "\": " + std::strerror(errno));
        }
    } catch (const std::invalid_argument& error) {
        section.Fail(key, error.what());
    }
}

}  // namespace

Config ParseConfig(std::string_view toml, std::string_view origin) {
    toml::table root;
    try {
        root = toml::parse(toml, origin);
    } catch (const toml::parse_error& error) {
        std::ostringstream message;
        message << origin << ":" << error.source().begin.line << ": " << error.description();
        throw ConfigError(message.str());
    }
    for (const auto& [key, node] : root) {
        static constexpr std::array<std::string_view, 8> kSections = {
            "listen", "limits", "directory", "members", "cache", "organisation", "log", "observe"};
        if (std::ranges::find(kSections, key.str()) == kSections.end()) {
            throw ConfigError(Where(origin, key.source().begin.line) + ": [" +
                              std::string(key.str()) + "]: unknown section");
        }
        if (!node.is_table()) {
            throw ConfigError(Where(origin, key.source().begin.line) + ": " +
                              std::string(key.str()) + ": expected a [section]");
        }
    }
    auto section = [&](const std::string& name) {
        const toml::table* table = root[name].as_table();
        return Section(table, name, origin);
    };

    Config config;
    Section listen = section("listen");
    config.listen = ReadListen(listen);
    listen.Finish();

    Section limits = section("limits");
    config.limits = ReadLimits(limits);
    limits.Finish();

    Section directory = section("directory");
    Section members = section("members");
    if (directory.Present() == members.Present()) {
        throw ConfigError(std::string(origin) +
                          ": set either [directory] (LDAP) or [members] (a file), exactly one");
    }
    if (directory.Present()) {
        config.directory = ReadDirectory(directory);
        directory.Finish();
    } else {
        auto file = members.String("file");
        if (!file || file->empty()) {
            members.Fail("file", R"(missing: the members file, username<TAB>\\server\share)");
        }
        config.members = MembersConfig{*file};
        members.Finish();
    }

    Section cache = section("cache");
    config.cache = ReadCache(cache);
    if (config.members && config.cache.ttl > std::chrono::milliseconds::zero()) {
        cache.Fail("ttl", "only with [directory]: the members file is answered from memory");
    }
    cache.Finish();

    Section organisation = section("organisation");
    config.fileServers = organisation.Strings("file_servers").value_or(std::vector<std::string>{});
    for (const std::string& server : config.fileServers) {
        if (server.empty() || server == "." || server.find_first_of("\\/@ ") != std::string::npos ||
            HasControlCharacter(server)) {
            organisation.Fail("file_servers",
                              Quote(server) + R"( is not a server name or a ".domain" entry)");
        }
    }
    config.allowAnyFileServer = organisation.Bool("allow_any_file_server").value_or(false);
    organisation.Finish();

    Section log = section("log");
    config.logUsernames = log.Bool("usernames").value_or(false);
    log.Finish();

    Section observe = section("observe");
    if (auto address = observe.String("address")) {
        if (address->starts_with(':')) {
            address->insert(0, "127.0.0.1");
        }
        if (!address->empty() && !ParseHostPort(*address)) {
            observe.Fail("address", Quote(*address) + " is not host:port or :port");
        }
        config.observe.address = *address;
    }
    observe.Finish();

    // Checks that span settings, once every setting has been read.
    if (config.fileServers.empty() && !config.allowAnyFileServer) {
        organisation.Fail("file_servers",
                          "missing: list the organisation's file servers, or set "
                          "allow_any_file_server = true to serve shares on any server");
    }
    return config;
}

Config LoadConfig(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw ConfigError(path.string() +
                          ": cannot read the configuration: " + std::strerror(errno));
    }
    std::ostringstream content;
    content << file.rdbuf();
    const std::string origin = path.string();
    Config config = ParseConfig(content.str(), origin);

    toml::table none;
    Section listen(&none, "listen", origin);
    CheckReadable(listen, "tls_certificate", config.listen.tlsCertificate);
    CheckReadable(listen, "tls_key", config.listen.tlsKey);
    CheckPrivate(listen, "tls_key", config.listen.tlsKey);
    if (config.directory) {
        Section directory(&none, "directory", origin);
        CheckReadable(directory, "bind_password_file", config.directory->bindPasswordFile);
        CheckPrivate(directory, "bind_password_file", config.directory->bindPasswordFile);
        const bool usesTls = config.directory->startTls ||
                             std::ranges::any_of(config.directory->urls, [](const std::string& u) {
                                 return u.starts_with("ldaps://");
                             });
        if (usesTls) {
            CheckReadable(directory, "ca_file", config.directory->caFile);
        }
    }
    if (config.members) {
        Section members(&none, "members", origin);
        CheckReadable(members, "file", config.members->file);
    }
    return config;
}

}  // namespace brisvane::lookupd
