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

// The settings of each section of the file. Their defaults, bounds and meanings are in the
// settings table (settings_table.cpp); a Config is only ever made by reading a file through it.

struct ListenConfig {
    std::string address;         // host:port; [::1]:8443 for IPv6
    std::string path;            // the lookup page's path
    std::string tlsCertificate;  // PEM; with tlsKey, or both empty for plain HTTP
    std::string tlsKey;
    unsigned workers = 0;  // threads that serve the connections (none waits for the directory)
};

struct LimitsConfig {
    unsigned connections = 0;            // open connections, all clients together
    unsigned connectionsPerAddress = 0;  // per client address; 0: no cap
    std::chrono::seconds idleTimeout{};
    std::chrono::seconds requestTimeout{};
    unsigned requestsPerSecondPerAddress = 0;  // 0: no rate limit
    unsigned burstPerAddress = 0;
    std::vector<std::string> allowedNetworks;  // CIDR ranges that may ask; empty: every one
};

struct DirectoryConfig {
    std::vector<std::string> urls;  // ldap:// or ldaps://, tried in order
    bool startTls = false;
    bool allowPlainBind = false;  // a bind password to ldap:// without StartTLS
    std::string bindDn;           // empty: anonymous bind
    std::string bindPasswordFile;
    std::string baseDn;
    std::string filter;  // %s: the username, escaped
    std::string attribute;
    std::chrono::milliseconds timeout{};
    std::string caFile;
    std::chrono::seconds retryAfter{};
    unsigned connections = 0;            // connections to the directory
    unsigned searchesPerConnection = 0;  // searches outstanding on each connection at most
    unsigned queue = 0;                  // lookups waiting for a search slot at most
};

struct MembersConfig {
    std::string file;
};

// The short-lived cache of the directory's answers; off unless `ttl` is more than zero.
struct CacheConfig {
    std::chrono::milliseconds ttl{};  // an answer is served from the cache while younger
    unsigned maxEntries = 0;          // answers held at most (one per username asked)
    unsigned maxMegabytes = 0;        // their usernames and values, in MiB, at most
};

struct OrganisationConfig {
    std::vector<std::string> fileServers;
    bool allowAnyFileServer = false;  // an empty file-server list serves shares on any server
};

struct LogConfig {
    bool usernames = false;
};

struct ObserveConfig {
    std::string address;  // health and metrics; empty: not served
};

struct Config {
    ListenConfig listen;
    LimitsConfig limits;
    std::optional<DirectoryConfig> directory;  // exactly one of directory and members
    std::optional<MembersConfig> members;
    CacheConfig cache;  // only with directory
    OrganisationConfig organisation;
    LogConfig log;
    ObserveConfig observe;
};

// "3s", "500ms": a whole number and a unit; nothing when the text is not one.
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

// A duration as a setting writes it: "60s", or "500ms" when not whole seconds.
std::string FormatDuration(std::chrono::milliseconds duration);

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

// The service account's password: the first line of bind_password_file; empty for an
// anonymous bind. ConfigError when the file cannot be read or is empty.
std::string ReadBindPassword(const DirectoryConfig& directory);

}  // namespace brisvane::lookupd
