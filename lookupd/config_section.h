// Reads the settings of one table of the configuration file: strings, switches, counts in a
// range, durations and lists of strings, each problem reported as a ConfigError that names the
// file, the line, the table and the setting.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

namespace brisvane::lookupd {

// `text` in double quotes, for messages.
std::string Quote(std::string_view text);

// "file:line", or "file" when the line is not known.
std::string Where(std::string_view origin, std::uint32_t line);

// Whether `text` holds an ASCII control character (below 0x20, or DEL).
bool HasControlCharacter(std::string_view text);

// Reads the settings of one table and reports the first bad one by name. Settings it was not
// asked for are reported by Finish(), so that a misspelt name never passes silently. A table
// that is not there reads as one without settings.
class Section {
  public:
    Section(const toml::table* table, std::string name, std::string_view origin)
        : table_(table), name_(std::move(name)), origin_(origin) {}

    bool Present() const { return table_ != nullptr; }

    // Throws ConfigError for `key` with `problem`, at the setting's line (or the table's).
    [[noreturn]] void Fail(std::string_view key, std::string_view problem) const;

    const toml::node* Get(std::string_view key);
    std::optional<std::string> String(std::string_view key);
    std::optional<bool> Bool(std::string_view key);
    std::optional<unsigned> Count(std::string_view key, std::int64_t least, std::int64_t most);
    std::optional<std::chrono::milliseconds> Duration(std::string_view key);  // "3s", "500ms"
    std::optional<std::vector<std::string>> Strings(std::string_view key);

    // Throws ConfigError for the first setting of the table that was never asked for.
    void Finish() const;

  private:
    // The setting `key` as a TOML value of type T, null when it is not set; any other type fails
    // with `problem`.
    template <typename T>
    const toml::value<T>* Typed(std::string_view key, std::string_view problem) {
        const toml::node* node = Get(key);
        if (node == nullptr) {
            return nullptr;
        }
        const auto* value = node->as<T>();
        if (value == nullptr) {
            Fail(key, problem);
        }
        return value;
    }

    const toml::table* table_;
    std::string name_;
    std::string_view origin_;
    std::set<std::string, std::less<>> asked_;
};

}  // namespace brisvane::lookupd
