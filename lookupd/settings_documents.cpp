#include "lookupd/settings_documents.h"

#include <algorithm>
#include <array>
#include <map>

#include "lookupd/settings_table.h"

namespace brisvane::lookupd {

namespace {

// The longest line the commented configurations write, comments wrapped within it.
constexpr std::size_t kWidth = 99;

struct Example {
    std::string_view name;
    std::string_view header;                   // comment lines, "# " included
    std::array<std::string_view, 5> sections;  // those the example uses
    // "section key" -> the value the example sets, as TOML.
    std::map<std::string_view, std::string_view> values;
};

const std::array<Example, 2>& Examples() {
    static const std::array<Example, 2> kExamples = {
        Example{
            "active-directory",
            "# brisvane-lookupd on Active Directory: a starting point for "
            "/etc/brisvane/lookupd.toml.\n"
            "# Every setting is here with its meaning; those commented out show their default.\n"
            "# Check the file with: brisvane-lookupd --config FILE --check-config\n"
            "# and what one member would get with: brisvane-lookupd --config FILE --try USERNAME\n"
            "# Durations are written \"3s\" or \"500ms\". Under the shipped systemd unit the bind\n"
            "# password is the credential \"${CREDENTIALS_DIRECTORY}/bind-password\", and the TLS "
            "key is\n"
            "# read through the group brisvane-lookupd (root:brisvane-lookupd, mode 0640).\n",
            {"listen", "limits", "directory", "organisation", "log"},
            {
                {"listen address", R"("0.0.0.0:8443")"},
                {"listen tls_certificate", R"("/etc/brisvane/lookupd.crt")"},
                {"listen tls_key", R"("/etc/brisvane/lookupd.key")"},
                {"limits allowed_networks", R"(["10.0.0.0/8"])"},
                {"directory urls",
                 R"(["ldaps://dc1.campus.example", "ldaps://dc2.campus.example"])"},
                {"directory bind_dn", R"("CN=brisvane-lookup,OU=Services,DC=campus,DC=example")"},
                {"directory bind_password_file", R"("${CREDENTIALS_DIRECTORY}/bind-password")"},
                {"directory base_dn", R"("DC=campus,DC=example")"},
                {"directory ca_file", R"("/etc/brisvane/campus-ca.pem")"},
                {"organisation file_servers", R"(["files1.campus.example", ".campus.example"])"},
            },
        },
        Example{
            "members-file",
            "# brisvane-lookupd's configuration: the share lookup page that Brisvane reads.\n"
            "#\n"
            "# As shipped, the service answers from the members file /etc/brisvane/members.tsv, "
            "over plain\n"
            "# HTTP on 127.0.0.1 only, for a reverse proxy on this machine. Every setting is here "
            "with its\n"
            "# meaning; those commented out show their default "
            "(/usr/share/doc/brisvane-lookupd/examples/\n"
            "# lookupd-active-directory.toml is a whole example for a directory). Check a changed "
            "file with\n"
            "#     brisvane-lookupd --config /etc/brisvane/lookupd.toml --check-config\n"
            "# then \"systemctl restart brisvane-lookupd\". \"systemctl reload\" reads the members "
            "file and\n"
            "# the TLS certificate and key again and empties the cache; any other change needs a "
            "restart.\n"
            "# The service runs as a dynamic user: the bind password goes into\n"
            "# /etc/brisvane/bind-password (mode 0600), handed over as the credential\n"
            "# \"${CREDENTIALS_DIRECTORY}/bind-password\"; the TLS key and the members file are "
            "read through\n"
            "# the group brisvane-lookupd (root:brisvane-lookupd, mode 0640). The package installs "
            "the\n"
            "# service without enabling it: once this file is right,\n"
            "#     systemctl enable --now brisvane-lookupd\n",
            {"listen", "members", "organisation", "", ""},
            {
                {"listen address", R"("127.0.0.1:8080")"},
                {"members file", R"("/etc/brisvane/members.tsv")"},
                {"organisation file_servers", R"(["files1.campus.example", ".campus.example"])"},
            },
        },
    };
    return kExamples;
}

// `text` as comment lines "# ..." of at most kWidth characters, or "prefix" before each.
std::string CommentLines(std::string_view text, std::string_view prefix) {
    std::string out;
    std::string line(prefix);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view word = text.substr(start, end - start);
        if (line.size() > prefix.size() && line.size() + 1 + word.size() > kWidth) {
            out += line + "\n";
            line = prefix;
        }
        if (line.size() > prefix.size()) {
            line += ' ';
        }
        line += word;
        start = end + 1;
    }
    return out + line + "\n";
}

std::string Full(const Setting& setting) {
    return std::string(setting.section) + " " + std::string(setting.key);
}

// What a commented line shows: the default, or a sample where there is none.
std::string_view Shown(const Setting& setting) {
    return setting.defaultValue.empty() ? setting.sample : setting.defaultValue;
}

// man(7) text: a backslash doubled as \e, a line that would start a request kept as text.
std::string Roff(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (out.starts_with('.') || out.starts_with('\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

// A long value as man(7) text that may break after each ")" and ",", so that the page can be
// filled to its width.
std::string BreakableRoff(std::string_view value) {
    std::string out = Roff(value);
    for (std::size_t at = 0; (at = out.find_first_of("),", at)) != std::string::npos; at += 3) {
        out.insert(at + 1, "\\:");
    }
    return out;
}

std::string Described(const Setting& setting) {
    std::string text(setting.meaning);
    std::string kind(SettingTypeName(setting));
    if (const std::string bounds = SettingBounds(setting); !bounds.empty()) {
        kind += ", " + bounds;
    }
    return text + " (" + kind + ")";
}

}  // namespace

std::span<const std::string_view> ExampleConfigurations() {
    static const std::array<std::string_view, 2> kNames = {Examples()[0].name, Examples()[1].name};
    return kNames;
}

std::optional<std::string> CommentedConfiguration(std::string_view name) {
    const auto* const found = std::ranges::find(Examples(), name, &Example::name);
    if (found == Examples().end()) {
        return std::nullopt;
    }
    const Example& example = *found;
    std::string out(example.header);
    std::string_view current;
    bool used = false;
    for (const Setting& setting : SettingsTable()) {
        if (setting.section != current) {
            current = setting.section;
            used = std::ranges::find(example.sections, current) != example.sections.end();
            out += std::string("\n") + (used ? "" : "# ") + "[" + std::string(current) + "]\n";
        }
        out += CommentLines(setting.meaning, "# ");
        const auto value = example.values.find(Full(setting));
        if (used && value != example.values.end()) {
            out += std::string(setting.key) + " = " + std::string(value->second) + "\n";
        } else {
            out += "# " + std::string(setting.key) + " = " +
                   std::string(value != example.values.end() ? value->second : Shown(setting)) +
                   "\n";
        }
    }
    return out;
}

std::string SettingsMarkdown() {
    std::string out = "| Setting | Default | Meaning |\n|---|---|---|\n";
    for (const Setting& setting : SettingsTable()) {
        // Built piece by piece: GCC 12 sees a false overlap in "`" + ... + "`" (-Wrestrict).
        std::string shown = "required in its section";
        if (!setting.defaultValue.empty()) {
            shown.assign("`").append(setting.defaultValue).append("`");
        }
        std::string meaning = Described(setting);
        // A "|" would end the cell.
        for (std::size_t at = meaning.find('|'); at != std::string::npos;
             at = meaning.find('|', at + 2)) {
            meaning.replace(at, 1, "\\|");
        }
        out.append("| `[").append(setting.section).append("] ").append(setting.key);
        out.append("` | ").append(shown).append(" | ").append(meaning).append(" |\n");
    }
    return out;
}

std::string SettingsManPage() {
    // Left-aligned: long values would leave lines that cannot be justified.
    std::string out = ".ad l\n";
    std::string_view current;
    for (const Setting& setting : SettingsTable()) {
        if (setting.section != current) {
            current = setting.section;
            out += ".SS [" + std::string(current) + "]\n";
        }
        out += ".TP\n.B " + std::string(setting.key) + "\n";
        out += Roff(Described(setting)) + ".\n";
        out += setting.defaultValue.empty()
                   ? "Required in its section.\n"
                   : "Default: \\fB" + BreakableRoff(setting.defaultValue) + "\\fR.\n";
    }
    return out + ".ad\n";
}

}  // namespace brisvane::lookupd
