#include "lookupd/settings_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <type_traits>

#include "lookup_path.h"
#include "lookupd/config_section.h"
#include "lookupd/network_list.h"

namespace brisvane::lookupd {

namespace {

template <typename T>
constexpr bool kIsOptional = false;
template <typename T>
constexpr bool kIsOptional<std::optional<T>> = true;

// The field `Member` of the section struct `Section` of a Config: where a setting goes.
template <auto Section, auto Member>
auto& In(Config& config) {
    auto& section = config.*Section;
    if constexpr (kIsOptional<std::remove_cvref_t<decltype(section)>>) {
        return (*section).*Member;  // emplaced once the file is known to have the section
    } else {
        return section.*Member;
    }
}

constexpr std::int64_t kManyConnections = 1'000'000;
constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kDay = std::int64_t{24} * 3600 * kSecond;

std::optional<std::string> HostAndPort(std::string& value) {
    if (!ParseHostPort(value)) {
        return Quote(value) + R"( is not host:port ("127.0.0.1:8443", "[::1]:8443"))";
    }
    return std::nullopt;
}

std::optional<std::string> PagePath(std::string& value) {
    if (!value.starts_with('/') || HasControlCharacter(value) ||
        value.find_first_of("?# ") != std::string::npos) {
        return "must start with \"/\" and hold no query, space or control";
    }
    return std::nullopt;
}

std::optional<std::string> NotEmpty(std::string& value) {
    if (value.empty()) {
        return "must not be empty";
    }
    return std::nullopt;
}

// The port of an ldap:// or ldaps:// URL, 0 when it names none.
unsigned UrlPort(std::string_view url) {
    url.remove_prefix(url.find("://") + 3);
    url = url.substr(0, url.find('/'));
    const std::size_t colon = url.rfind(':');
    if (colon == std::string_view::npos || url.ends_with(']')) {
        return 0;
    }
    unsigned port = 0;
    std::from_chars(url.data() + colon + 1, url.data() + url.size(), port);
    return port;
}

std::optional<std::string> DirectoryUrl(std::string& value) {
    if ((!value.starts_with("ldap://") && !value.starts_with("ldaps://")) ||
        value.find_first_of(" \t") != std::string::npos || HasControlCharacter(value)) {
        return Quote(value) + " is not an ldap:// or ldaps:// URL";
    }
    if (const unsigned port = UrlPort(value); port == 3268 || port == 3269) {
        return Quote(value) +
               " is the global catalog, which does not hold homeDirectory: every member would "
               "get no share; use the domain controller's own port (389, or 636 for ldaps://)";
    }
    return std::nullopt;
}

std::optional<std::string> Filter(std::string& value) {
    if (value.find("%s") == std::string::npos || !value.starts_with('(') || !value.ends_with(')') ||
        HasControlCharacter(value)) {
        return "must be a filter in parentheses with %s where the username goes";
    }
    return std::nullopt;
}

std::optional<std::string> AttributeName(std::string& value) {
    if (value.empty() || !std::ranges::all_of(value, [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == ';' ||
                   c == '.';
        })) {
        return "must be an attribute name such as homeDirectory";
    }
    return std::nullopt;
}

std::optional<std::string> FileServer(std::string& value) {
    if (value.empty() || value == "." || value.find_first_of("\\/@ ") != std::string::npos ||
        HasControlCharacter(value)) {
        return Quote(value) + R"( is not a server name or a ".domain" entry)";
    }
    return std::nullopt;
}

std::optional<std::string> Network(std::string& value) {
    if (!NetworkList::Parse({value})) {
        return Quote(value) + R"( is not an address or a CIDR range ("10.0.0.0/8"))";
    }
    return std::nullopt;
}

// ":9180" is 127.0.0.1:9180, an address for the machine's own monitoring.
std::optional<std::string> ObserveAddress(std::string& value) {
    if (value.starts_with(':')) {
        value.insert(0, "127.0.0.1");
    }
    if (!value.empty() && !ParseHostPort(value)) {
        return Quote(value) + " is not host:port or :port";
    }
    return std::nullopt;
}

using L = ListenConfig;
using T = LimitsConfig;
using D = DirectoryConfig;
using C = CacheConfig;
using O = OrganisationConfig;

const std::array kSettings = {
    Setting{
        "listen", "address", R"("127.0.0.1:8443")",
        R"(host:port to listen on; "0.0.0.0:8443" for every IPv4 address, "[::1]:8443" for IPv6)",
        &In<&Config::listen, &L::address>, 0, 0, HostAndPort},
    Setting{"listen", "path", "\"" BRISVANE_LOOKUP_PATH "\"",
            "the lookup page's path: that of the lookup address Brisvane was built with",
            &In<&Config::listen, &L::path>, 0, 0, PagePath},
    Setting{"listen", "tls_certificate", R"("")",
            "HTTPS: the certificate (PEM, with its chain); with tls_key, or neither for plain "
            "HTTP behind a reverse proxy",
            &In<&Config::listen, &L::tlsCertificate>},
    Setting{"listen", "tls_key", R"("")",
            "its key, read again on reload; no access for other users (0640 at most)",
            &In<&Config::listen, &L::tlsKey>},
    Setting{"listen", "workers", "4",
            "threads that serve the connections; none of them waits for the directory",
            &In<&Config::listen, &L::workers>, 1, 256},

    Setting{"limits", "connections", "1024",
            "open connections, all clients together; a request over it gets 503",
            &In<&Config::limits, &T::connections>, 1, kManyConnections},
    Setting{"limits", "connections_per_address", "32",
            "connections from one client address that are opening or carry a request; a request "
            "over it gets 503; 0: no cap (behind a balancer)",
            &In<&Config::limits, &T::connectionsPerAddress>, 0, kManyConnections},
    Setting{"limits", "idle_timeout", R"("10s")", "a connection silent this long is closed",
            &In<&Config::limits, &T::idleTimeout>, kSecond, kDay},
    Setting{"limits", "request_timeout", R"("10s")",
            "a request must arrive whole within this, from the connection's start or the "
            "previous answer, or its connection is closed",
            &In<&Config::limits, &T::requestTimeout>, kSecond, 300 * kSecond},
    Setting{"limits", "requests_per_second_per_address", "50",
            "requests a second from one client address, 429 beyond; 0: no limit (behind a "
            "balancer)",
            &In<&Config::limits, &T::requestsPerSecondPerAddress>, 0, kManyConnections},
    Setting{"limits", "burst_per_address", "100",
            "requests one address may send at once before that rate applies",
            &In<&Config::limits, &T::burstPerAddress>, 1, kManyConnections},
    Setting{"limits", "allowed_networks", "[]",
            "the networks that may ask (addresses, CIDR ranges), 403 for others; empty: every "
            "network, with a warning",
            &In<&Config::limits, &T::allowedNetworks>, 0, 0, Network},

    Setting{"directory", "urls", "",
            "directory servers (ldap://, ldaps://), replicas tried in order; not the global "
            "catalog",
            &In<&Config::directory, &D::urls>, 1, 0, DirectoryUrl,
            R"(["ldaps://dc1.campus.example", "ldaps://dc2.campus.example"])"},
    Setting{"directory", "start_tls", "false", "StartTLS on ldap:// URLs",
            &In<&Config::directory, &D::startTls>},
    Setting{"directory", "allow_plain_bind", "false",
            "let the bind password go to an ldap:// URL without StartTLS, unencrypted",
            &In<&Config::directory, &D::allowPlainBind>},
    Setting{"directory", "bind_dn", R"("")",
            "the service account's DN or user principal name (svc@realm); empty: an anonymous "
            "bind",
            &In<&Config::directory, &D::bindDn>},
    Setting{"directory", "bind_password_file", R"("")",
            "the file that holds its password (one line); no access for other users",
            &In<&Config::directory, &D::bindPasswordFile>},
    Setting{"directory", "base_dn", "", "where members are searched, the whole subtree",
            &In<&Config::directory, &D::baseDn>, 0, 0, NotEmpty, R"("DC=campus,DC=example")"},
    Setting{
        "directory", "filter",
        R"toml("(&(objectCategory=person)(objectClass=user)(sAMAccountName=%s)(!(userAccountControl:1.2.840.113556.1.4.803:=2)))")toml",
        "the search; %s is the username, escaped; the default leaves out disabled accounts",
        &In<&Config::directory, &D::filter>, 0, 0, Filter},
    Setting{"directory", "attribute", R"("homeDirectory")",
            R"(the attribute that holds the home share, \\server\share\path)",
            &In<&Config::directory, &D::attribute>, 0, 0, AttributeName},
    Setting{"directory", "timeout", R"("3s")",
            "each lookup ends within this (its wait, connection, TLS, bind and search), else 503",
            &In<&Config::directory, &D::timeout>, 1, 60 * kSecond},
    Setting{"directory", "ca_file", R"("/etc/ssl/certs/ca-certificates.crt")",
            "the CAs of the directory's certificate, which is always checked",
            &In<&Config::directory, &D::caFile>, 0, 0, NotEmpty},
    Setting{"directory", "retry_after", R"("5s")", "what a 503 asks the client to wait",
            &In<&Config::directory, &D::retryAfter>, kSecond, kDay},
    Setting{"directory", "connections", "8",
            "connections to the directory, each carrying several searches; made as lookups need "
            "them",
            &In<&Config::directory, &D::connections>, 1, 256},
    Setting{
        "directory", "searches_per_connection", "64",
        "searches outstanding on one connection at most; slapd lets 100 wait on an anonymous one",
        &In<&Config::directory, &D::searchesPerConnection>, 1, 1024},
    Setting{"directory", "queue", "1024",
            "lookups that may wait beyond all the connections' searches; more get 503 at once",
            &In<&Config::directory, &D::queue>, 0, kManyConnections},

    Setting{"members", "file", "",
            R"(one member a line, username<TAB>\\server\share; read again when it changes)",
            &In<&Config::members, &MembersConfig::file>, 0, 0, NotEmpty,
            R"("/etc/brisvane/members.tsv")"},

    Setting{"cache", "ttl", R"("0s")",
            R"(how long an answer of the directory is kept; "0s": no cache)",
            &In<&Config::cache, &C::ttl>, 0, 3600 * kSecond},
    Setting{"cache", "max_entries", "100000", "answers held at most, one per username asked",
            &In<&Config::cache, &C::maxEntries>, 1, 10'000'000},
    Setting{"cache", "max_megabytes", "64", "what they may take, usernames and values, in MiB",
            &In<&Config::cache, &C::maxMegabytes>, 1, 4096},

    Setting{
        "organisation", "file_servers", "[]",
        R"(the file servers: names, or ".campus.example" for a domain; shares elsewhere are never served)",
        &In<&Config::organisation, &O::fileServers>, 0, 0, FileServer,
        R"(["files1.campus.example", ".campus.example"])"},
    Setting{"organisation", "allow_any_file_server", "false",
            "serve shares on any server when file_servers is empty",
            &In<&Config::organisation, &O::allowAnyFileServer>},

    Setting{"log", "usernames", "false", "write each request's username in the log",
            &In<&Config::log, &LogConfig::usernames>},

    Setting{"observe", "address", R"("")",
            R"(host:port of /healthz, /readyz and /metrics (":9180": 127.0.0.1:9180); empty: none)",
            &In<&Config::observe, &ObserveConfig::address>, 0, 0, ObserveAddress},
};

constexpr std::array<std::string_view, 8> kSections = {
    "listen", "limits", "directory", "members", "cache", "organisation", "log", "observe"};

std::string DurationBound(std::int64_t milliseconds) {
    return FormatDuration(std::chrono::milliseconds(milliseconds));
}

}  // namespace

std::span<const Setting> SettingsTable() {
    return kSettings;
}

std::span<const std::string_view> SettingSections() {
    return kSections;
}

std::string_view SettingTypeName(const Setting& setting) {
    static constexpr std::array<std::string_view, 6> kNames = {
        "string", "true or false", "whole number", "duration", "duration", "list of strings"};
    return kNames.at(setting.target.index());
}

std::string SettingBounds(const Setting& setting) {
    return std::visit(
        [&setting](auto target) -> std::string {
            using Value = std::remove_cvref_t<decltype(target(std::declval<Config&>()))>;
            if constexpr (std::is_same_v<Value, unsigned>) {
                return std::to_string(setting.least) + " to " + std::to_string(setting.most);
            } else if constexpr (std::is_same_v<Value, std::chrono::milliseconds>) {
                return DurationBound(setting.least) + " to " + DurationBound(setting.most);
            } else if constexpr (std::is_same_v<Value, std::chrono::seconds>) {
                return "whole seconds, " + DurationBound(setting.least) + " to " +
                       DurationBound(setting.most);
            } else if constexpr (std::is_same_v<Value, std::vector<std::string>>) {
                return setting.least > 0 ? "at least " + std::to_string(setting.least) : "";
            } else {
                return "";
            }
        },
        setting.target);
}

}  // namespace brisvane::lookupd
