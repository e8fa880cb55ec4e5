#include "lookupd/config.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include <toml++/toml.h>

namespace brisvane::lookupd {

namespace {

constexpr std::string_view kCredentialsPrefix = "${CREDENTIALS_DIRECTORY}/";
constexpr auto kMaxDirectoryTimeout = std::chrono::seconds(60);
constexpr std::int64_t kMaxWorkers = 256;
constexpr std::int64_t kMaxConnections = 1'000'000;

constexpr std::string_view kStringList = R"(expected a list of strings, ["a", "b"])";

std::string Quote(std::string_view text) {
    return std::string(1, '"').append(text).append(1, '"');
}

// "file:line", or "file" when the line is not known.
std::string Where(std::string_view origin, std::uint32_t line) {
    std::string where(origin);
    if (line != 0) {
        where.append(":").append(std::to_string(line));
    }
    return where;
}

// Reads the settings of one table and reports the first bad one by name. Settings it was not
// asked for are reported by Finish(), so that a misspelt name never passes silently.
class Section {
  public:
    Section(const toml::table* table, std::string name, std::string_view origin)
        : table_(table), name_(std::move(name)), origin_(origin) {}

    bool Present() const { return table_ != nullptr; }

    [[noreturn]] void Fail(std::string_view key, std::string_view problem) const {
        std::uint32_t line = 0;
        if (table_ != nullptr) {
            const toml::node* node = table_->get(key);
            line = node != nullptr ? node->source().begin.line : table_->source().begin.line;
        }
        const std::string where = Where(origin_, line);
        throw ConfigError(where + ": [" + name_ + "] " + std::string(key) + ": " +
                          std::string(problem));
    }

    const toml::node* Get(std::string_view key) {
        asked_.emplace(key);
        return table_ != nullptr ? table_->get(key) : nullptr;
    }

    std::optional<std::string> String(std::string_view key) {
        const toml::node* node = Get(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto* value = node->as_string();
        if (value == nullptr) {
            Fail(key, "expected a string in double quotes");
        }
        return value->get();
    }

    std::optional<bool> Bool(std::string_view key) {
        const toml::node* node = Get(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto* value = node->as_boolean();
        if (value == nullptr) {
            Fail(key, "expected true or false");
        }
        return value->get();
    }

    std::optional<unsigned> Count(std::string_view key, std::int64_t least, std::int64_t most) {
        const toml::node* node = Get(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto* value = node->as_integer();
        if (value == nullptr) {
            Fail(key, "expected a whole number");
        }
        if (value->get() < least || value->get() > most) {
            Fail(key, "must be from " + std::to_string(least) + " to " + std::to_string(most));
        }
        return static_cast<unsigned>(value->get());
    }

    std::optional<std::chrono::milliseconds> Duration(std::string_view key) {
        const std::optional<std::string> text = String(key);
        if (!text) {
            return std::nullopt;
        }
        const auto duration = ParseDuration(*text);
        if (!duration) {
            Fail(key, Quote(*text) + R"( is not a duration (write "3s" or "500ms"))");
        }
        return duration;
    }

    std::optional<std::vector<std::string>> Strings(std::string_view key) {
        const toml::node* node = Get(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto* array = node->as_array();
        if (array == nullptr) {
            Fail(key, kStringList);
        }
        std::vector<std::string> values;
        for (const toml::node& element : *array) {
            const auto* value = element.as_string();
            if (value == nullptr) {
                Fail(key, kStringList);
            }
            values.push_back(value->get());
        }
        return values;
    }

    void Finish() const {
        if (table_ == nullptr) {
            return;
        }
        for (const auto& [key, node] : *table_) {
            if (!asked_.contains(key.str())) {
                throw ConfigError(Where(origin_, key.source().begin.line) + ": [" + name_ + "] " +
                                  std::string(key.str()) + ": unknown setting");
            }
        }
    }

  private:
    const toml::table* table_;
    std::string name_;
    std::string_view origin_;
    std::set<std::string, std::less<>> asked_;
};

bool HasControlCharacter(std::string_view text) {
    return std::ranges::any_of(text, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20U || byte == 0x7FU;
    });
}

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
    if (auto rate = section.Count("requests_per_second_per_address", 0, kMaxConnections)) {
        limits.requestsPerSecondPerAddress = *rate;
    }
    if (auto burst = section.Count("burst_per_address", 1, kMaxConnections)) {
        limits.burstPerAddress = *burst;
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
    directory.bindPasswordFile = section.String("bind_password_file").value_or("");
    if (directory.bindDn.empty() != directory.bindPasswordFile.empty()) {
        section.Fail(directory.bindDn.empty() ? "bind_dn" : "bind_password_file",
                     "set both bind_dn and bind_password_file, or neither for an anonymous bind");
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
    return directory;
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

std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text) {
    std::int64_t number = 0;
    const char* const end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc{} || rest == text.data() || number < 0) {
        return std::nullopt;
    }
    const std::string_view unit(rest, static_cast<std::size_t>(end - rest));
    constexpr std::int64_t kLargest = 24LL * 3600 * 1000;  // a day: anything longer is a typo
    std::int64_t milliseconds = 0;
    if (unit == "ms") {
        milliseconds = number;
    } else if (unit == "s") {
        milliseconds = number > kLargest ? kLargest + 1 : number * 1000;
    } else {
        return std::nullopt;
    }
    if (milliseconds > kLargest) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(milliseconds);
}

std::optional<HostPort> ParseHostPort(std::string_view text) {
    HostPort result;
    std::string_view portText;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            return std::nullopt;
        }
        result.host = std::string(text.substr(1, close - 1));
        portText = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string_view::npos ||
            text.substr(0, colon).find(':') != std::string_view::npos) {
            return std::nullopt;
        }
        result.host = std::string(text.substr(0, colon));
        portText = text.substr(colon + 1);
    }
    unsigned port = 0;
    const auto [rest, error] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (result.host.empty() || portText.empty() || error != std::errc{} ||
        rest != portText.data() + portText.size() || port > 65535) {
        return std::nullopt;
    }
    result.port = static_cast<std::uint16_t>(port);
    return result;
}

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
        static constexpr std::array<std::string_view, 7> kSections = {
            "listen", "limits", "directory", "members", "organisation", "log", "observe"};
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

    Section organisation = section("organisation");
    config.fileServers = organisation.Strings("file_servers").value_or(std::vector<std::string>{});
    for (const std::string& server : config.fileServers) {
        if (server.empty() || server == "." || server.find_first_of("\\/@ ") != std::string::npos ||
            HasControlCharacter(server)) {
            organisation.Fail("file_servers",
                              Quote(server) + R"( is not a server name or a ".domain" entry)");
        }
    }
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
    return config;
}

std::filesystem::path ResolvePath(std::string_view setting) {
    if (!setting.starts_with(kCredentialsPrefix)) {
        return {setting};
    }
    const char* directory = std::getenv("CREDENTIALS_DIRECTORY");  // NOLINT(concurrency-mt-unsafe)
    if (directory == nullptr || *directory == '\0') {
        throw std::invalid_argument(
            "${CREDENTIALS_DIRECTORY} is not set (systemd sets it with LoadCredential=)");
    }
    return std::filesystem::path(directory) / setting.substr(kCredentialsPrefix.size());
}

std::string ReadSettingFile(std::string_view settingName, std::string_view path) {
    std::filesystem::path resolved;
    try {
        resolved = ResolvePath(path);
    } catch (const std::invalid_argument& error) {
        throw ConfigError(std::string(settingName) + ": " + error.what());
    }
    std::ifstream file(resolved, std::ios::binary);
    if (!file) {
        throw ConfigError(std::string(settingName) + ": cannot read \"" + resolved.string() +
                          "\": " + std::strerror(errno));
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
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
    if (config.directory) {
        Section directory(&none, "directory", origin);
        CheckReadable(directory, "bind_password_file", config.directory->bindPasswordFile);
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
