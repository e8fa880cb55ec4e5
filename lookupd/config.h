// The service's configuration: one TOML file, every setting checked at start-up.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::lookupd {

// A setting that is missing, of the wrong type or out of range; what() names it.
class ConfigError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ListenConfig {
    std::string address = "127.0.0.1:8443";  // host:port; [::1]:8443 for IPv6
    std::string path = "/cs/servers/serversearch.asp";
    std::string tlsCertificate;  // PEM; with tlsKey, or both empty for plain HTTP
    std::string tlsKey;
    unsigned workers = 4;  // threads that serve the connections (none waits for the directory)
};

struct LimitsConfig {
    unsigned connections = 1024;                // open connections, all clients together
    unsigned connectionsPerAddress = 32;        // per client address; 0: no cap (behind a proxy)
    std::chrono::seconds idleTimeout{10};       // a connection idle this long is closed
    std::chrono::seconds requestTimeout{10};    // a request must arrive whole within this
    unsigned requestsPerSecondPerAddress = 50;  // 0: no rate limit
    unsigned burstPerAddress = 100;             // requests an address may send at once
    std::vector<std::string> allowedNetworks;   // CIDR ranges that may ask; empty: every one
};

struct DirectoryConfig {
    std::vector<std::string> urls;  // ldap:// or ldaps://, tried in order
    bool startTls = false;
    std::string bindDn;           // empty: anonymous bind
    bool allowPlainBind = false;  // a bind password to ldap:// without StartTLS
    std::string bindPasswordFile;
    std::string baseDn;
    // Active Directory's people, disabled accounts left out.
    std::string filter =
        "(&(objectCategory=person)(objectClass=user)(sAMAccountName=%s)"
        "(!(userAccountControl:1.2.840.113556.1.4.803:=2)))";
    std::string attribute = "homeDirectory";
    std::chrono::milliseconds timeout{3000};
    std::string caFile = "/etc/ssl/certs/ca-certificates.crt";
    std::chrono::seconds retryAfter{5};
    unsigned connections = 4;             // connections to the directory
    unsigned searchesPerConnection = 16;  // searches outstanding on each connection at most
    unsigned queue = 1024;                // lookups waiting for a search slot at most
};

struct MembersConfig {
    std::string file;
};

// The short-lived cache of the directory's answers; off unless `ttl` is more than zero.
struct CacheConfig {
    std::chrono::milliseconds ttl{0};  // an answer is served from the cache while younger
    unsigned maxEntries = 100'000;     // answers held at most (one per username asked)
    unsigned maxMegabytes = 64;        // their usernames and values, in MiB, at most
};

struct ObserveConfig {
    std::string address;  // health and metrics; ":9180" is 127.0.0.1:9180; empty: not served
};

struct Config {
    ListenConfig listen;
    LimitsConfig limits;
    std::optional<DirectoryConfig> directory;  // exactly one of directory and members
    std::optional<MembersConfig> members;
    CacheConfig cache;  // only with directory
    std::vector<std::string> fileServers;
    bool allowAnyFileServer = false;  // an empty file-server list serves shares on any server
    bool logUsernames = false;
    ObserveConfig observe;
};

// "3s", "500ms": a whole number and a unit; nothing when the text is not one.
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

// A host and a port out of "host:port" or "[v6]:port".
struct HostPort {
    std::string host;
    std::uint16_t port = 0;
};
std::optional<HostPort> ParseHostPort(std::string_view text);

// The configuration in `toml`, every setting checked (types, ranges, names, combinations);
// `origin` names the file in messages. Files the settings name are not opened here.
Config ParseConfig(std::string_view toml, std::string_view origin);

// A path setting as the service opens it: "${CREDENTIALS_DIRECTORY}/name" is the credential
// `name` that systemd passed (LoadCredential=); any other path is taken as it is.
std::filesystem::path ResolvePath(std::string_view setting);

// The file at `path`, parsed and checked, and every file its settings name readable.
Config LoadConfig(const std::filesystem::path& path);

// The whole content of a file named by `setting` (see ResolvePath); ConfigError naming the
// setting when it cannot be read.
std::string ReadSettingFile(std::string_view settingName, std::string_view path);

}  // namespace brisvane::lookupd
