#include "lookupd/config_section.h"

#include <algorithm>
#include <utility>

#include "lookupd/config.h"

namespace brisvane::lookupd {

namespace {

constexpr std::string_view kStringList = R"(expected a list of strings, ["a", "b"])";

}  // namespace

std::string Quote(std::string_view text) {
    return std::string(1, '"').append(text).append(1, '"');
}

std::string Where(std::string_view origin, std::uint32_t line) {
    std::string where(origin);
    if (line != 0) {
        where.append(":").append(std::to_string(line));
    }
    return where;
}

bool HasControlCharacter(std::string_view text) {
    return std::ranges::any_of(text, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20U || byte == 0x7FU;
    });
}

void Section::Fail(std::string_view key, std::string_view problem) const {
    std::uint32_t line = 0;
    if (table_ != nullptr) {
        const toml::node* node = table_->get(key);
        line = node != nullptr ? node->source().begin.line : table_->source().begin.line;
    }
    const std::string where = Where(origin_, line);
    throw ConfigError(where + ": [" + name_ + "] " + std::string(key) + ": " +
                      std::string(problem));
}

const toml::node* Section::Get(std::string_view key) {
    asked_.emplace(key);
    return table_ != nullptr ? table_->get(key) : nullptr;
}

std::optional<std::string> Section::String(std::string_view key) {
    const auto* value = Typed<std::string>(key, "expected a string in double quotes");
    return value != nullptr ? std::optional(value->get()) : std::nullopt;
}

std::optional<bool> Section::Bool(std::string_view key) {
    const auto* value = Typed<bool>(key, "expected true or false");
    return value != nullptr ? std::optional(value->get()) : std::nullopt;
}

std::optional<unsigned> Section::Count(std::string_view key, std::int64_t least,
                                       std::int64_t most) {
    const auto* value = Typed<std::int64_t>(key, "expected a whole number");
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->get() < least || value->get() > most) {
        Fail(key, "must be from " + std::to_string(least) + " to " + std::to_string(most));
    }
    return static_cast<unsigned>(value->get());
}

std::optional<std::chrono::milliseconds> Section::Duration(std::string_view key) {
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

std::optional<std::vector<std::string>> Section::Strings(std::string_view key) {
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

void Section::Finish() const {
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

}  // namespace brisvane::lookupd
