// The documents written from the settings table: the commented configuration files, the
// settings table of the service's documentation and the settings part of lookupd.toml(5).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brisvane::lookupd {

// The configurations the project ships, each the settings table with example values:
// "active-directory" (lookupd/lookupd.toml, the example for a directory) and "members-file"
// (the Debian package's /etc/brisvane/lookupd.toml).
std::span<const std::string_view> ExampleConfigurations();

// The whole commented configuration `name`: every setting with its meaning, those the example
// sets as values, the others commented out with their defaults. Nothing for an unknown name.
std::optional<std::string> CommentedConfiguration(std::string_view name);

// The settings as a Markdown table: setting, default, meaning with type and bounds.
std::string SettingsMarkdown();

// The settings as man(7) paragraphs, one per setting, section by section.
std::string SettingsManPage();

}  // namespace brisvane::lookupd
