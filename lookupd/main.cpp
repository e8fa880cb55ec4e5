// brisvane-lookupd: the organisation's share lookup page, answered from the directory or from a
// members file. The command line; the service itself is in service.cpp.
#include <chrono>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>

#include "lookupd/config.h"
#include "lookupd/directory_try.h"
#include "lookupd/lookup_handler.h"
#include "lookupd/members_file.h"
#include "lookupd/service.h"
#include "lookupd/service_options.h"
#include "lookupd/settings_documents.h"
#include "mount/lookup_body.h"
#include "mount/secret_text.h"
#include "mount/utf8.h"

namespace {

constexpr int kExitBadConfig = 2;
constexpr int kExitNoLocator = 1;
constexpr int kExitDirectoryUnusable = 3;

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
    "setting). --try USERNAME asks the directory (or the members file) as one lookup would and\n"
    "prints what a member of that name would get and what each step took; it exits 0 when they\n"
    "would get a locator, 1 when they would get the page without one, 3 when the directory\n"
    "cannot be used.";

using namespace brisvane::lookupd;

// A source that asks the directory once, step by step, and keeps what each step took.
class TriedSource final : public MemberSource {
  public:
    TriedSource(const DirectoryConfig& config, std::string password)
        : config_(config), password_(std::move(password)) {}
    ~TriedSource() override { brisvane::WipeText(password_); }
    TriedSource(const TriedSource&) = delete;
    TriedSource& operator=(const TriedSource&) = delete;
    TriedSource(TriedSource&&) = delete;
    TriedSource& operator=(TriedSource&&) = delete;

    void Find(std::string_view username, AnswerCallback done) override {
        tried_ = TryDirectory(config_, password_, username);
        done(tried_.answer);
    }
    const TriedLookup& Tried() const { return tried_; }

  private:
    const DirectoryConfig& config_;
    std::string password_;
    TriedLookup tried_;
};

std::string Milliseconds(std::chrono::steady_clock::duration took) {
    const double ms = std::chrono::duration<double, std::milli>(took).count();
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << ms << " ms";
    return text.str();
}

// What a member called `username` would get, as the service would answer them.
int Try(const Config& config, const std::string& username) {
    std::unique_ptr<MemberSource> source;
    TriedSource* directory = nullptr;
    if (config.directory) {
        auto tried =
            std::make_unique<TriedSource>(*config.directory, ReadBindPassword(*config.directory));
        directory = tried.get();
        source = std::move(tried);
    } else {
        source = std::make_unique<MembersFile>(
            ResolvePath(config.members->file),
            [](const std::string& line) { std::cerr << line << "\n"; });
    }
    const LookupSettings settings = LookupSettingsOf(config);
    const std::optional<brisvane::Text> name = brisvane::Utf8ToText(username);
    const std::string body = brisvane::LookupRequestBody(name.value_or(brisvane::Text{}));
    HttpResponse response;
    HandleLookup(
        HttpRequest{"POST", settings.path, "application/x-www-form-urlencoded", body, false},
        settings, *source, [&response](HttpResponse given) { response = std::move(given); });
    if (directory != nullptr) {
        for (const TriedStep& step : directory->Tried().steps) {
            std::cout << "  " << std::left << std::setw(8) << step.name << std::setw(10)
                      << Milliseconds(step.took) << step.detail << "\n";
        }
    }
    std::cout << username << ": ";
    if (response.outcome == Outcome::kFound) {
        const std::size_t start = response.body.find("<td>") + 4;
        std::cout << response.body.substr(start, response.body.find("</td>") - start) << "\n";
        return 0;
    }
    if (response.status == 503) {
        std::cout << "the directory cannot be used: " << response.warning << "\n";
        return kExitDirectoryUnusable;
    }
    std::cout << "no locator (" << OutcomeName(response.outcome) << ")"
              << (response.warning.empty() ? "" : ": " + response.warning) << "\n";
    return kExitNoLocator;
}

}  // namespace

int main(int argc, char** argv) try {
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
    std::string tryUser;
    app.add_option("--try", tryUser,
                   "look USERNAME up as the service would, print what they would get and what "
                   "each step took, then exit")
        ->type_name("USERNAME");
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
    if (app.count("--try") > 0) {
        return Try(config, tryUser);
    }
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
