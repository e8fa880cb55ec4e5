// Every setting of the service's configuration file, one row each: its section and key, its
// type (given by where its value goes), its default, its bounds and its meaning. The file is
// read by one loop over this table (config.cpp), and the commented configurations, the
// settings table of the documentation and lookupd.toml(5) are written from it
// (settings_documents.cpp): a new setting is a row here and the code that uses its value.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "lookupd/config.h"

namespace brisvane::lookupd {

// Where a setting's value goes in a Config; its type is the setting's type. Counts are whole
// numbers, durations are read as "3s" or "500ms" (whole seconds only, for a std::chrono::seconds).
using SettingTarget =
    std::variant<std::string& (*)(Config&), bool& (*)(Config&), unsigned& (*)(Config&),
                 std::chrono::milliseconds& (*)(Config&), std::chrono::seconds& (*)(Config&),
                 std::vector<std::string>& (*)(Config&)>;

// A problem with one string value (or one string of a list), or nothing; the check may
// normalise the value, as ":9180" becomes "127.0.0.1:9180".
using SettingCheck = std::optional<std::string> (*)(std::string& value);

struct Setting {
    std::string_view section;
    std::string_view key;
    // The default, as TOML ("4", "\"3s\"", "[]", "false"); empty for a setting that must be
    // given wherever its section is used.
    std::string_view defaultValue;
    std::string_view meaning;  // one line
    SettingTarget target;
    // Counts: the least and the most; durations: in milliseconds.
    std::int64_t least = 0;
    std::int64_t most = 0;
    SettingCheck check = nullptr;
    // Shown in a commented example when there is no default.
    std::string_view sample = {};
};

// Every setting, section by section, in the order the documents show them.
std::span<const Setting> SettingsTable();

// The sections, in order.
std::span<const std::string_view> SettingSections();

// The type of a setting as the documents name it: "string", "true or false", "whole number",
// "duration", "list of strings".
std::string_view SettingTypeName(const Setting& setting);

// Its bounds for the documents ("1 to 256", "1s to 300s"), empty when it has none.
std::string SettingBounds(const Setting& setting);

}  // namespace brisvane::lookupd
