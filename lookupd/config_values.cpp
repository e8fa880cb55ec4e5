#include "lookupd/config.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace brisvane::lookupd {

namespace {

constexpr std::string_view kCredentialsPrefix = "${CREDENTIALS_DIRECTORY}/";

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

std::string FormatDuration(std::chrono::milliseconds duration) {
    return duration.count() % 1000 == 0 ? std::to_string(duration.count() / 1000) + "s"
                                        : std::to_string(duration.count()) + "ms";
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

std::string ReadBindPassword(const DirectoryConfig& directory) {
    if (directory.bindPasswordFile.empty()) {
        return {};
    }
    std::string password =
        ReadSettingFile("[directory] bind_password_file", directory.bindPasswordFile);
    while (!password.empty() && (password.back() == '\n' || password.back() == '\r')) {
        password.pop_back();
    }
    if (password.empty()) {
        throw ConfigError("[directory] bind_password_file: \"" + directory.bindPasswordFile +
                          "\" is empty");
    }
    return password;
}

}  // namespace brisvane::lookupd
