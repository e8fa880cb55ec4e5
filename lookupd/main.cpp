// brisvane-lookupd: the organisation's share lookup page, answered from the directory or from a
// members file. The command line; the service itself is in service.cpp.
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "lookupd/config.h"
#include "lookupd/service.h"
#include "lookupd/settings_documents.h"

namespace {

constexpr int kExitBadConfig = 2;

constexpr const char* kDescription =
    "brisvane-lookupd: the share lookup page that Brisvane reads. It answers\n"
    "POST <path> with user=<name> with a page holding the member's smb:// locator, from the\n"
    "directory (LDAP) or from a members file. It runs in the foreground and logs one line per\n"
    "request on standard output. Every setting is in lookupd.toml(5) and in --print-config.\n"
    "On Active Directory the default filter,\n"
    "  (&(objectCategory=person)(objectClass=user)(sAMAccountName=%s)\n"
    "    (!(userAccountControl:1.2.840.113556.1.4.803:=2)))\n"
    "finds people by their log-on name and leaves disabled accounts out.";

constexpr const char* kSignals =
    "Signals: SIGTERM or SIGINT stop it gracefully (no new connections; open requests are\n"
    "answered; exit status 0). SIGHUP reads the members file and the TLS certificate and key\n"
    "again and empties the cache ([cache] ttl), so that an entry fixed in the directory is\n"
    "answered at once; any other change of the configuration, a changed listen address among\n"
    "them, needs a restart. Exit status 2: the configuration is wrong (the message names the\n"
    "setting).";

}  // namespace

int main(int argc, char** argv) try {
    using namespace brisvane::lookupd;
    CLI::App app(kDescription, "brisvane-lookupd");
    std::string configPath;
    bool checkOnly = false;
    std::string example;
    auto* configOption = app.add_option("--config", configPath, "the configuration file (TOML)")
                             ->check(CLI::ExistingFile);
    auto* print = app.add_option("--print-config", example,
                                 "print every setting, commented, with the values of the example "
                                 "configuration NAME: active-directory or members-file, then exit")
                      ->type_name("NAME")
                      ->expected(0, 1)
                      ->default_str("active-directory");
    print->excludes(configOption);
    app.add_flag("--check-config", checkOnly,
                 "only check the configuration and the files it names, then exit");
    app.footer(kSignals);
    CLI11_PARSE(app, argc, argv);

    if (*print) {
        const auto text = CommentedConfiguration(example.empty() ? "active-directory" : example);
        if (!text) {
            std::cerr << "brisvane-lookupd: --print-config: no example \"" << example
                      << "\" (active-directory, members-file)\n";
            return kExitBadConfig;
        }
        std::cout << *text;
        return 0;
    }
    if (!*configOption) {
        std::cerr << "brisvane-lookupd: --config is required\n" << app.help();
        return kExitBadConfig;
    }

    const Config config = LoadConfig(configPath);
    if (checkOnly) {
        std::cout << configPath << ": configuration OK\n";
        return 0;
    }
    return RunService(config);
} catch (const brisvane::lookupd::ConfigError& error) {
    std::cerr << "brisvane-lookupd: " << error.what() << "\n";
    return kExitBadConfig;
} catch (const std::exception& error) {
    std::cerr << "brisvane-lookupd: " << error.what() << "\n";
    return 1;
}
