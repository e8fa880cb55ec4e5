#include "lookupd/config.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <type_traits>
#include <utility>
#include <variant>

#include <sys/stat.h>

#include <toml++/toml.h>

#include "lookupd/config_section.h"
#include "lookupd/settings_table.h"

namespace brisvane::lookupd {

namespace {

// A setting's default as a TOML value.
toml::table DefaultOf(const Setting& setting) {
    return toml::parse("value = " + std::string(setting.defaultValue));
}

std::string DurationRange(const Setting& setting) {
    return "must be from " + Quote(FormatDuration(std::chrono::milliseconds(setting.least))) +
           " to " + Quote(FormatDuration(std::chrono::milliseconds(setting.most)));
}

// Reads one setting of `section` into `config`: the file's value or the default, checked for
// its type, its bounds and by its own check.
void Read(const Setting& setting, Section& section, Config& config) {
    const toml::node* given = section.Get(setting.key);
    toml::table fallback;
    if (given == nullptr) {
        if (setting.defaultValue.empty()) {
            section.Fail(setting.key, "missing: " + std::string(setting.meaning));
        }
        fallback = DefaultOf(setting);
        given = fallback.get("value");
    }
    const toml::node& node = *given;
    const auto checked = [&](std::string value) {
        if (setting.check != nullptr) {
            if (auto problem = setting.check(value)) {
                section.Fail(setting.key, *problem);
            }
        }
        return value;
    };
    const auto duration = [&]() {
        const auto* text = node.as_string();
        if (text == nullptr) {
            section.Fail(setting.key, "expected a string in double quotes");
        }
        const auto value = ParseDuration(text->get());
        if (!value) {
            section.Fail(setting.key,
                         Quote(text->get()) + R"( is not a duration (write "3s" or "500ms"))");
        }
        if (value->count() < setting.least || value->count() > setting.most) {
            section.Fail(setting.key, DurationRange(setting));
        }
        return *value;
    };
    std::visit(
        [&](auto target) {
            auto& field = target(config);
            using Value = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<Value, std::string>) {
                const auto* value = node.as_string();
                if (value == nullptr) {
                    section.Fail(setting.key, "expected a string in double quotes");
                }
                field = checked(value->get());
            } else if constexpr (std::is_same_v<Value, bool>) {
                const auto* value = node.as_boolean();
                if (value == nullptr) {
                    section.Fail(setting.key, "expected true or false");
                }
                field = value->get();
            } else if constexpr (std::is_same_v<Value, unsigned>) {
                const auto* value = node.as_integer();
                if (value == nullptr) {
                    section.Fail(setting.key, "expected a whole number");
                }
                if (value->get() < setting.least || value->get() > setting.most) {
                    section.Fail(setting.key, "must be from " + SettingBounds(setting));
                }
                field = static_cast<unsigned>(value->get());
            } else if constexpr (std::is_same_v<Value, std::chrono::milliseconds>) {
                field = duration();
            } else if constexpr (std::is_same_v<Value, std::chrono::seconds>) {
                const std::chrono::milliseconds value = duration();
                if (value.count() % 1000 != 0) {
                    section.Fail(setting.key, "must be whole seconds, " + DurationRange(setting));
                }
                field = std::chrono::duration_cast<std::chrono::seconds>(value);
            } else {
                constexpr std::string_view kList = R"(expected a list of strings, ["a", "b"])";
                const auto* array = node.as_array();
                if (array == nullptr) {
                    section.Fail(setting.key, kList);
                }
                field.clear();
                for (const toml::node& element : *array) {
                    const auto* value = element.as_string();
                    if (value == nullptr) {
                        section.Fail(setting.key, kList);
                    }
                    field.push_back(checked(value->get()));
                }
                if (std::cmp_less(field.size(), setting.least)) {
                    section.Fail(setting.key, "list at least " + std::to_string(setting.least));
                }
            }
        },
        setting.target);
}

void CheckAcrossSettings(const Config& config, std::map<std::string_view, Section>& sections) {
    const ListenConfig& listen = config.listen;
    if (listen.tlsCertificate.empty() != listen.tlsKey.empty()) {
        sections.at("listen").Fail(
            listen.tlsCertificate.empty() ? "tls_certificate" : "tls_key",
            "set both tls_certificate and tls_key for HTTPS, or neither for plain HTTP");
    }
    if (const auto& directory = config.directory) {
        Section& section = sections.at("directory");
        const auto anyUrl = [&](std::string_view scheme) {
            return std::ranges::any_of(
                directory->urls, [&](const std::string& url) { return url.starts_with(scheme); });
        };
        if (directory->startTls && anyUrl("ldaps://")) {
            section.Fail("start_tls", "ldaps:// is TLS already: use ldap:// URLs with start_tls");
        }
        if (directory->bindDn.empty() != directory->bindPasswordFile.empty()) {
            section.Fail(
                directory->bindDn.empty() ? "bind_dn" : "bind_password_file",
                "set both bind_dn and bind_password_file, or neither for an anonymous bind");
        }
        if (!directory->bindDn.empty() && !directory->startTls && anyUrl("ldap://") &&
            !directory->allowPlainBind) {
            section.Fail("bind_dn",
                         "the bind password would go unencrypted to an ldap:// URL: use ldaps:// "
                         "URLs or start_tls = true (or set allow_plain_bind = true)");
        }
    }
    if (config.members && config.cache.ttl > std::chrono::milliseconds::zero()) {
        sections.at("cache").Fail(
            "ttl", "only with [directory]: the members file is answered from memory");
    }
    if (config.organisation.fileServers.empty() && !config.organisation.allowAnyFileServer) {
        sections.at("organisation")
            .Fail("file_servers",
                  "missing: list the organisation's file servers, or set allow_any_file_server = "
                  "true to serve shares on any server");
    }
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
        std::ostringstream mode;
        mode << std::oct << std::setw(4) << std::setfill('0') << (status.st_mode & 07777U);
        section.Fail(key, Quote(path) + " may be read or written by other users (mode " +
                              mode.str() +
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
    const std::span<const std::string_view> names = SettingSections();
    for (const auto& [key, node] : root) {
        if (std::ranges::find(names, key.str()) == names.end()) {
            throw ConfigError(Where(origin, key.source().begin.line) + ": [" +
                              std::string(key.str()) + "]: unknown section");
        }
        if (!node.is_table()) {
            throw ConfigError(Where(origin, key.source().begin.line) + ": " +
                              std::string(key.str()) + ": expected a [section]");
        }
    }
    std::map<std::string_view, Section> sections;
    for (const std::string_view name : names) {
        sections.emplace(name, Section(root[name].as_table(), std::string(name), origin));
    }

    Config config;
    const bool directory = sections.at("directory").Present();
    if (directory == sections.at("members").Present()) {
        throw ConfigError(std::string(origin) +
                          ": set either [directory] (LDAP) or [members] (a file), exactly one");
    }
    if (directory) {
        config.directory.emplace();
    } else {
        config.members.emplace();
    }
    for (const Setting& setting : SettingsTable()) {
        if ((setting.section == "directory" && !directory) ||
            (setting.section == "members" && directory)) {
            continue;
        }
        Read(setting, sections.at(setting.section), config);
    }
    for (const auto& [name, section] : sections) {
        section.Finish();
    }
    CheckAcrossSettings(config, sections);
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
