#include "lookupd/config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace brisvane::lookupd {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kDirectory = R"toml(
[directory]
urls = ["ldaps://dc1.campus.example", "ldaps://dc2.campus.example"]
bind_dn = "CN=brisvane-lookup,OU=Services,DC=campus,DC=example"
bind_password_file = "/etc/brisvane/bind-password"
base_dn = "DC=campus,DC=example"
[organisation]
file_servers = [".campus.example"]
)toml";

constexpr std::string_view kMembers = "[members]\nfile = \"/m.tsv\"\n";

std::string ErrorOf(const std::string& toml) {
    try {
        ParseConfig(toml, "lookupd.toml");
    } catch (const ConfigError& error) {
        return error.what();
    }
    return "no error";
}

TEST(ConfigTest, ReadsEverySettingOfAFullFile) {
    const Config config = ParseConfig(R"toml(
[listen]
address = "[::1]:8443"
path = "/lookup"
tls_certificate = "/etc/brisvane/lookupd.crt"
tls_key = "/etc/brisvane/lookupd.key"
workers = 8

[limits]
connections = 100
connections_per_address = 0
idle_timeout = "5s"
request_timeout = "20s"
requests_per_second_per_address = 10
burst_per_address = 30
allowed_networks = ["10.0.0.0/8", "2001:db8::/32"]

[directory]
urls = ["ldap://dc1.campus.example", "ldap://dc2.campus.example"]
start_tls = true
bind_dn = "CN=brisvane-lookup,OU=Services,DC=campus,DC=example"
bind_password_file = "${CREDENTIALS_DIRECTORY}/bind-password"
base_dn = "DC=campus,DC=example"
filter = "(uid=%s)"
attribute = "unixHomeDirectory"
timeout = "500ms"
ca_file = "/etc/ssl/certs/campus-ca.pem"
retry_after = "10s"
connections = 8
searches_per_connection = 4
queue = 100

[cache]
ttl = "30s"
max_entries = 5000
max_megabytes = 16

[organisation]
file_servers = ["files1.campus.example", ".campus.example"]

[log]
usernames = true

[observe]
address = "127.0.0.1:9100"
)toml",
                                      "lookupd.toml");
    EXPECT_EQ(config.listen.address, "[::1]:8443");
    EXPECT_EQ(config.listen.path, "/lookup");
    EXPECT_EQ(config.listen.tlsKey, "/etc/brisvane/lookupd.key");
    EXPECT_EQ(config.listen.workers, 8U);
    EXPECT_EQ(config.limits.connections, 100U);
    EXPECT_EQ(config.limits.connectionsPerAddress, 0U);
    EXPECT_EQ(config.limits.idleTimeout, 5s);
    EXPECT_EQ(config.limits.requestsPerSecondPerAddress, 10U);
    EXPECT_EQ(config.limits.burstPerAddress, 30U);
    EXPECT_EQ(config.limits.requestTimeout, 20s);
    EXPECT_EQ(config.limits.allowedNetworks.size(), 2U);
    ASSERT_TRUE(config.directory);
    EXPECT_FALSE(config.members);
    EXPECT_EQ(config.directory->urls.size(), 2U);
    EXPECT_TRUE(config.directory->startTls);
    EXPECT_EQ(config.directory->filter, "(uid=%s)");
    EXPECT_EQ(config.directory->attribute, "unixHomeDirectory");
    EXPECT_EQ(config.directory->timeout, 500ms);
    EXPECT_EQ(config.directory->caFile, "/etc/ssl/certs/campus-ca.pem");
    EXPECT_EQ(config.directory->retryAfter, 10s);
    EXPECT_EQ(config.directory->connections, 8U);
    EXPECT_EQ(config.directory->searchesPerConnection, 4U);
    EXPECT_EQ(config.directory->queue, 100U);
    EXPECT_EQ(config.cache.ttl, 30s);
    EXPECT_EQ(config.cache.maxEntries, 5000U);
    EXPECT_EQ(config.cache.maxMegabytes, 16U);
    EXPECT_EQ(config.organisation.fileServers.size(), 2U);
    EXPECT_TRUE(config.log.usernames);
    EXPECT_EQ(config.observe.address, "127.0.0.1:9100");
}

TEST(ConfigTest, DefaultsAreActiveDirectorysAndEveryLimitIsOn) {
    const Config config = ParseConfig(std::string(kDirectory), "lookupd.toml");
    EXPECT_EQ(config.listen.address, "127.0.0.1:8443");
    EXPECT_EQ(config.listen.path, "/cs/servers/serversearch.asp");
    EXPECT_TRUE(config.listen.tlsCertificate.empty());
    EXPECT_EQ(config.directory->filter,
              "(&(objectCategory=person)(objectClass=user)(sAMAccountName=%s)"
              "(!(userAccountControl:1.2.840.113556.1.4.803:=2)))");
    EXPECT_EQ(config.directory->attribute, "homeDirectory");
    EXPECT_EQ(config.directory->timeout, 3s);
    EXPECT_GT(config.limits.connections, 0U);
    EXPECT_GT(config.limits.connectionsPerAddress, 0U);
    EXPECT_GT(config.limits.requestsPerSecondPerAddress, 0U);
    EXPECT_GT(config.limits.requestTimeout, 0s);
    EXPECT_TRUE(config.limits.allowedNetworks.empty());  // every network, with a warning
    EXPECT_FALSE(config.directory->allowPlainBind);
    EXPECT_FALSE(config.organisation.allowAnyFileServer);
    EXPECT_FALSE(config.log.usernames);
    EXPECT_EQ(config.cache.ttl, 0s);  // no cache unless asked for
    EXPECT_GT(config.cache.maxEntries, 0U);
    EXPECT_GT(config.cache.maxMegabytes, 0U);
}

TEST(ConfigTest, ABadSettingIsNamedWithItsLine) {
    const std::string directory(kDirectory);
    struct Case {
        std::string toml;
        std::string_view message;
    };
    const Case cases[] = {
        {"[listen]\naddress = \"127.0.0.1\"\n" + directory,
         "lookupd.toml:2: [listen] address: \"127.0.0.1\" is not host:port"},
        {"[listen]\naddress = \"127.0.0.1:99999\"\n" + directory, "[listen] address"},
        {"[listen]\npath = \"lookup\"\n" + directory, "[listen] path"},
        {"[listen]\ntls_certificate = \"/c.pem\"\n" + directory, "[listen] tls_key"},
        {"[listen]\nworkers = 0\n" + directory, "[listen] workers: must be from 1"},
        {"[listen]\nadress = \"127.0.0.1:1\"\n" + directory,
         "lookupd.toml:2: [listen] adress: unknown setting"},
        {"[limits]\nidle_timeout = \"10\"\n" + directory,
         "[limits] idle_timeout: \"10\" is not a duration"},
        {"[limits]\nidle_timeout = \"1500ms\"\n" + directory,
         "[limits] idle_timeout: must be whole"},
        {"[limits]\nconnections = \"many\"\n" + directory,
         "[limits] connections: expected a whole"},
        {"[directory]\nurls = []\nbase_dn = \"dc=x\"\n", "[directory] urls"},
        {"[directory]\nurls = \"ldap://dc1\"\nbase_dn = \"dc=x\"\n",
         "[directory] urls: expected a list"},
        {"[directory]\nurls = [\"http://dc1\"]\nbase_dn = \"dc=x\"\n",
         "[directory] urls: \"http://dc1\" is not an ldap:// or ldaps:// URL"},
        {"[directory]\nurls = [\"ldaps://dc1\"]\nstart_tls = true\nbase_dn = \"dc=x\"\n",
         "[directory] start_tls"},
        {"[directory]\nurls = [\"ldap://dc1\"]\n", "[directory] base_dn: missing"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\nbind_dn = \"cn=a\"\n",
         "[directory] bind_password_file"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\nfilter = \"(uid=alice)\"\n",
         "[directory] filter"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\nattribute = \"home dir\"\n",
         "[directory] attribute"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\ntimeout = \"0s\"\n",
         "[directory] timeout"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\ntimeout = \"3 s\"\n",
         "[directory] timeout: \"3 s\" is not a duration"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\nstart_tls = \"yes\"\n",
         "[directory] start_tls: expected true or false"},
        {"[directory]\nurls = [\"ldaps://dc1\"]\nbase_dn = \"dc=x\"\nca_file = \"\"\n",
         "[directory] ca_file"},
        {"[cache]\nttl = \"3601s\"\n" + directory, "[cache] ttl: must be from \"0s\""},
        {"[cache]\nttl = 60\n" + directory, "[cache] ttl: expected a string"},
        {"[cache]\nmax_entries = 0\n" + directory, "[cache] max_entries: must be from 1"},
        {"[members]\nfile = \"/m.tsv\"\n[cache]\nttl = \"60s\"\n",
         "lookupd.toml:4: [cache] ttl: only with [directory]"},
        {"[members]\nfile = \"/m.tsv\"\n" + directory, "either [directory] (LDAP) or [members]"},
        {"[log]\nusernames = true\n", "either [directory] (LDAP) or [members]"},
        {"[members]\n", "[members] file: missing"},
        {"[members]\nfile = \"/m.tsv\"\n[organisation]\nfile_servers = [\"\\\\\\\\files1\"]\n",
         "[organisation] file_servers"},
        {"[members]\nfile = \"/m.tsv\"\n[organisation]\nfile_servers = [\"\"]\n",
         "[organisation] file_servers"},
        {"[members]\nfile = \"/m.tsv\"\n[observe]\naddress = \"9100\"\n", "[observe] address"},
        {"[members]\nfile = \"/m.tsv\"\n[lissen]\n", "lookupd.toml:3: [lissen]: unknown section"},
        {"[members]\nfile = /m.tsv\n", "lookupd.toml:2: "},  // not TOML
        {"[limits]\nrequest_timeout = \"0s\"\n" + directory, "[limits] request_timeout"},
        {"[limits]\nallowed_networks = [\"10.0.0.0/8\", \"campus\"]\n" + directory,
         "[limits] allowed_networks: \"campus\" is not an address or a CIDR range"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\nbind_dn = \"cn=a\"\n"
         "bind_password_file = \"/p\"\n",
         "[directory] bind_dn: the bind password would go unencrypted"},
        {"[directory]\nurls = [\"ldap://dc1\"]\nbase_dn = \"dc=x\"\nconnections = 0\n",
         "[directory] connections: must be from 1"},
        {"[cache]\nmax_megabytes = 0\n" + directory, "[cache] max_megabytes: must be from 1"},
        {"[directory]\nurls = [\"ldaps://dc1:3269\"]\nbase_dn = \"dc=x\"\n",
         "[directory] urls: \"ldaps://dc1:3269\" is the global catalog"},
        {"[directory]\nurls = [\"ldap://dc1.campus.example:3268/\"]\nbase_dn = \"dc=x\"\n",
         "is the global catalog"},
        {std::string(kMembers), "[organisation] file_servers: missing"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(ErrorOf(c.toml).find(c.message), std::string::npos)
            << "expected \"" << c.message << "\", got \"" << ErrorOf(c.toml) << "\"";
    }
}

TEST(ConfigTest, DurationsAreWholeNumbersWithAUnit) {
    struct Case {
        std::string_view text;
        std::optional<std::chrono::milliseconds> duration;
    };
    const Case cases[] = {
        {"3s", 3s},
        {"500ms", 500ms},
        {"0s", 0ms},
        {"3", std::nullopt},
        {"s", std::nullopt},
        {"-1s", std::nullopt},
        {"1.5s", std::nullopt},
        {"3 s", std::nullopt},
        {"3m", std::nullopt},
        {"99999999999999999999s", std::nullopt},
        {"100000000s", std::nullopt},  // longer than a day: a typo
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDuration(c.text), c.duration) << c.text;
    }
}

std::string FileText(const char* path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The example shipped beside the service and the package's configuration are valid.
TEST(ConfigTest, TheShippedConfigurationsAreValid) {
    const Config example = ParseConfig(FileText(BRISVANE_LOOKUPD_EXAMPLE_CONFIG), "example");
    ASSERT_TRUE(example.directory);
    EXPECT_EQ(example.directory->urls.size(), 2U);
    EXPECT_EQ(example.listen.tlsKey, "/etc/brisvane/lookupd.key");
    const Config package = ParseConfig(FileText(BRISVANE_LOOKUPD_PACKAGE_CONFIG), "package");
    ASSERT_TRUE(package.members);
    EXPECT_EQ(package.listen.address, "127.0.0.1:8080");
}

TEST(ConfigTest, TheObserveAddressDefaultsToLoopback) {
    const std::string members =
        std::string(kMembers) + "[organisation]\nallow_any_file_server = true\n";
    const Config config = ParseConfig(members + "[observe]\naddress = \":9180\"\n", "x.toml");
    EXPECT_EQ(config.observe.address, "127.0.0.1:9180");
    EXPECT_TRUE(config.organisation.allowAnyFileServer);
    EXPECT_TRUE(ParseConfig(members, "x.toml").observe.address.empty());
}

TEST(ConfigTest, CredentialPathsComeFromSystemd) {
    ::setenv("CREDENTIALS_DIRECTORY", "/run/credentials/brisvane-lookupd.service", 1);
    EXPECT_EQ(ResolvePath("${CREDENTIALS_DIRECTORY}/bind-password"),
              "/run/credentials/brisvane-lookupd.service/bind-password");
    EXPECT_EQ(ResolvePath("/etc/brisvane/bind-password"), "/etc/brisvane/bind-password");
    ::unsetenv("CREDENTIALS_DIRECTORY");
    EXPECT_THROW(ResolvePath("${CREDENTIALS_DIRECTORY}/bind-password"), std::invalid_argument);
}

}  // namespace
}  // namespace brisvane::lookupd
