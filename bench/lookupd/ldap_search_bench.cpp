// The directory's own limit for the lookup service's benchmark: the searches the service sends
// for one lookup each, straight to the directory, from CONNECTIONS threads with a connection
// each (bound as the service binds), for SECONDS, members drawn at random from m00001..mNNNNN.
//
//   brisvane_ldap_search_bench URL BIND_DN PASSWORD_FILE BASE_DN FILTER ATTRIBUTE MEMBERS
//                              CONNECTIONS SECONDS [RATE]
//
// With RATE, the threads together send at most RATE searches a second, each at even intervals
// (a thread that falls behind catches up at once, never more than one interval's worth): the
// directory then works at the rate another client reached, with the same concurrency.
//
// FILTER holds %s where the username goes, as in the service's configuration. Prints one line
// in the form of the benchmark's wrk script:
//   result requests=N seconds=S rps=R p50_ms=A p99_ms=B errors=E non200=M
// where errors are failed searches and non200 are searches that found no member's value.
#include <ldap.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string url;
    std::string bindDn;
    std::string password;
    std::string baseDn;
    std::string filter;
    std::string attribute;
    unsigned members = 0;
    unsigned connections = 0;
    double seconds = 0;
    double rate = 0;  // searches a second over all threads; 0: as fast as they go
};

struct Tally {
    std::vector<std::uint32_t> latenciesUs;
    std::uint64_t errors = 0;
    std::uint64_t notFound = 0;
};

struct Unbind {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
struct MessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
struct ValuesFree {
    void operator()(berval** values) const { ldap_value_free_len(values); }
};

std::unique_ptr<LDAP, Unbind> Connect(const Settings& settings) {
    LDAP* raw = nullptr;
    if (ldap_initialize(&raw, settings.url.c_str()) != LDAP_SUCCESS) {
        return nullptr;
    }
    std::unique_ptr<LDAP, Unbind> ld(raw);
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    std::string password = settings.password;
    berval credentials{static_cast<ber_len_t>(password.size()), password.data()};
    if (ldap_sasl_bind_s(ld.get(), settings.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                         nullptr, nullptr) != LDAP_SUCCESS) {
        return nullptr;
    }
    return ld;
}

// One search as the service sends it: the member's entry, its one attribute, at most two
// entries (two would be ambiguous); the value is read as the service reads it.
bool Search(LDAP* ld, const Settings& settings, const std::string& filter, Tally& tally) {
    std::string attribute = settings.attribute;
    char* attributes[] = {attribute.data(), nullptr};
    timeval timeout{3, 0};
    LDAPMessage* raw = nullptr;
    const int code =
        ldap_search_ext_s(ld, settings.baseDn.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                          attributes, 0, nullptr, nullptr, &timeout, 2, &raw);
    std::unique_ptr<LDAPMessage, MessageFree> result(raw);
    if (code != LDAP_SUCCESS) {
        ++tally.errors;
        return false;
    }
    LDAPMessage* entry = ldap_first_entry(ld, result.get());
    std::unique_ptr<berval*, ValuesFree> values(
        entry != nullptr ? ldap_get_values_len(ld, entry, attribute.c_str()) : nullptr);
    if (!values || values.get()[0] == nullptr) {
        ++tally.notFound;
    }
    return true;
}

// Searches on `ld` until `end`.
void Run(const Settings& settings, std::unique_ptr<LDAP, Unbind> ld, unsigned seed,
         Clock::time_point end, Tally& tally) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<unsigned> member(1, settings.members);
    const std::size_t slot = settings.filter.find("%s");
    char name[16];
    // With a rate, this thread's share of it; the first search at a random point of the first
    // interval, so that the threads do not send together.
    const auto interval =
        settings.rate > 0 ? std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(settings.connections / settings.rate))
                          : Clock::duration::zero();
    Clock::time_point next =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           interval * std::uniform_real_distribution<double>(0, 1)(random));
    while (Clock::now() < end) {
        if (settings.rate > 0) {
            std::this_thread::sleep_until(next);
            next = std::max(next + interval, Clock::now() - interval);
        }
        std::snprintf(name, sizeof name, "m%05u", member(random));
        std::string filter = settings.filter;
        filter.replace(slot, 2, name);
        const auto started = Clock::now();
        if (!Search(ld.get(), settings, filter, tally)) {
            ld = Connect(settings);  // as the service does: a new connection after a failure
            if (!ld) {
                return;
            }
            continue;
        }
        const auto taken =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
        tally.latenciesUs.push_back(static_cast<std::uint32_t>(taken.count()));
    }
}

double PercentileMs(std::vector<std::uint32_t>& sorted, double percent) {
    if (sorted.empty()) {
        return 0;
    }
    const auto index =
        static_cast<std::size_t>(percent / 100.0 * static_cast<double>(sorted.size() - 1));
    return sorted[index] / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 10 && argc != 11) {
        std::fprintf(stderr,
                     "usage: %s URL BIND_DN PASSWORD_FILE BASE_DN FILTER ATTRIBUTE MEMBERS "
                     "CONNECTIONS SECONDS [RATE]\n",
                     argv[0]);
        return 2;
    }
    Settings settings;
    settings.url = argv[1];
    settings.bindDn = argv[2];
    std::ifstream passwordFile(argv[3]);
    std::getline(passwordFile, settings.password);
    settings.baseDn = argv[4];
    settings.filter = argv[5];
    settings.attribute = argv[6];
    settings.members = static_cast<unsigned>(std::strtoul(argv[7], nullptr, 10));
    settings.connections = static_cast<unsigned>(std::strtoul(argv[8], nullptr, 10));
    settings.seconds = std::strtod(argv[9], nullptr);
    settings.rate = argc == 11 ? std::strtod(argv[10], nullptr) : 0;
    if (settings.rate < 0 || !passwordFile || settings.filter.find("%s") == std::string::npos ||
        settings.members == 0 || settings.connections == 0 || settings.seconds <= 0) {
        std::fprintf(stderr, "%s: bad arguments\n", argv[0]);
        return 2;
    }

    // The clock starts when every thread has bound its connection.
    Clock::time_point began;
    Clock::time_point end;
    const auto startClock = [&]() noexcept {
        began = Clock::now();
        end = began + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(settings.seconds));
    };
    std::barrier start(static_cast<std::ptrdiff_t>(settings.connections), startClock);
    std::vector<Tally> tallies(settings.connections);
    std::vector<std::jthread> threads;
    std::random_device seeds;
    for (unsigned i = 0; i < settings.connections; ++i) {
        threads.emplace_back([&, i, seed = seeds()] {
            auto ld = Connect(settings);
            start.arrive_and_wait();
            if (!ld) {
                ++tallies[i].errors;
                return;
            }
            Run(settings, std::move(ld), seed, end, tallies[i]);
        });
    }
    threads.clear();  // joins
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();

    std::vector<std::uint32_t> latencies;
    std::uint64_t errors = 0;
    std::uint64_t notFound = 0;
    for (Tally& tally : tallies) {
        latencies.insert(latencies.end(), tally.latenciesUs.begin(), tally.latenciesUs.end());
        errors += tally.errors;
        notFound += tally.notFound;
    }
    std::ranges::sort(latencies);
    std::printf(
        "result requests=%zu seconds=%.3f rps=%.1f p50_ms=%.3f p99_ms=%.3f errors=%llu "
        "non200=%llu\n",
        latencies.size(), seconds, static_cast<double>(latencies.size()) / seconds,
        PercentileMs(latencies, 50), PercentileMs(latencies, 99),
        static_cast<unsigned long long>(errors), static_cast<unsigned long long>(notFound));
    return errors == 0 ? 0 : 1;
}
