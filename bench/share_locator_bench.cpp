// How fast the locator search gets through a lookup page, measured in the same run against
// PCRE2's JIT on the linear form of the pattern (the fastest engine we know of for it) and
// against a plain scan of the same buffer for a code unit it does not hold, as fast as anything
// that reads every code unit can be. Pages: lookup pages of 1, 10 and 50 million code units (and
// one of 10 million with a link in every row), a single line of a million, and the lines that
// stall a backtracking engine: "smb://" followed only by spaces, on which the literal pattern
// is timed as well. After the usual report, tables give the rates side by side and the ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "mount/share_locator.h"
#include "reference/pcre2_locator_search.h"

namespace brisvane::bench {
namespace {

using reference::LocatorPatternForm;
using reference::Pcre2LocatorSearch;

Text Widened(const std::string& ascii) {
    return Text(ascii.begin(), ascii.end());
}

// A table row of somebody else, numbered so that rows differ. It carries what real rows carry
// and what a search may trip over: a class attribute, "s" in words, a colon in a time of day.
Text OtherRow(std::size_t number) {
    const Text id = Widened(std::to_string(1'000'000 + number % 1'000'000));
    return u"<tr class=\"member\"><td>m" + id + u"</td><td>Sam Example " + id +
           u"</td><td>School of Sciences</td><td>last seen 09:15</td></tr>\r\n";
}

// The same with a link to the member's details in every row: a "://" every row, each of which
// the search has to look at closely.
Text LinkedRow(std::size_t number) {
    const Text id = Widened(std::to_string(1'000'000 + number % 1'000'000));
    return u"<tr class=\"member\"><td><a href=\"https://directory.campus.example/people/m" + id +
           u"\">m" + id + u"</a></td><td>School of Sciences</td><td>last seen 09:15</td></tr>\r\n";
}

constexpr TextView kMemberRow =
    u"<tr class=\"member\"><td>user1</td><td>smb://srv1/user1</td></tr>\r\n";

// A lookup page of exactly `size` code units: rows ending in CR LF, the member's in the middle.
Text LookupPage(std::size_t size, Text (*row)(std::size_t) = OtherRow) {
    Text page = u"<html><body><table>\r\n";
    page.reserve(size + 200);
    std::size_t number = 0;
    while (page.size() < size / 2) {
        page += row(number++);
    }
    page += kMemberRow;
    while (page.size() < size) {
        page += row(number++);
    }
    page.resize(size);
    return page;
}

// One line of `size` code units without a line break, the locator in the middle.
Text SingleLine(std::size_t size) {
    constexpr TextView kCells = u"<td class=\"id\">m1234567</td><td>09:15</td>";
    Text line;
    line.reserve(size + kCells.size());
    while (line.size() < size / 2) {
        line += kCells;
    }
    line += u"<td>smb://srv1/user1</td>";
    while (line.size() < size) {
        line += kCells;
    }
    line.resize(size);
    return line;
}

// The worst line for a backtracking engine running the nested pattern: the scheme, then only
// spaces, so that "(.+)+" tries every way of splitting them before it gives up.
Text WorstLine(std::size_t spaces) {
    return u"smb://" + Text(spaces, u' ');
}

struct PageKind {
    std::string name;
    std::function<Text()> make;
    bool large = false;   // a million code units or more
    bool nested = false;  // short enough for the literal pattern to finish within seconds
};

std::vector<PageKind> PageKinds() {
    std::vector<PageKind> kinds = {
        {"page_1M", [] { return LookupPage(1'000'000); }, true},
        {"page_10M", [] { return LookupPage(10'000'000); }, true},
        {"page_50M", [] { return LookupPage(50'000'000); }, true},
        {"links_10M", [] { return LookupPage(10'000'000, LinkedRow); }, true},
        {"line_1M", [] { return SingleLine(1'000'000); }, true},
    };
    for (const std::size_t spaces : {10U, 14U, 18U, 22U, 26U, 10'000U}) {
        kinds.push_back({"worst_" + std::to_string(spaces), [spaces] { return WorstLine(spaces); },
                         false, spaces <= 26});
    }
    return kinds;
}

// Pages are made on first use and kept, so that a filtered run makes only what it measures.
const Text& Page(const PageKind& kind) {
    static std::map<std::string, Text> pages;
    auto found = pages.find(kind.name);
    if (found == pages.end()) {
        found = pages.emplace(kind.name, kind.make()).first;
    }
    return found->second;
}

Pcre2LocatorSearch& Pcre2Jit() {
    static Pcre2LocatorSearch search(LocatorPatternForm::kLinear, /*jit=*/true);
    return search;
}

// The literal pattern, "(.+)+" and all, as a backtracking engine runs it when nobody has
// bounded it: PCRE2's JIT, the fastest of them, with no match limit.
Pcre2LocatorSearch& Pcre2Nested() {
    static Pcre2LocatorSearch search(LocatorPatternForm::kNested, /*jit=*/true,
                                     std::numeric_limits<unsigned>::max());
    return search;
}

void CountCharacters(benchmark::State& state, const Text& page) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

void Ours(benchmark::State& state, const PageKind& kind) {
    const Text& page = Page(kind);
    for (auto _ : state) {
        auto matches = FindShareLocators(page);
        benchmark::DoNotOptimize(matches);
    }
    CountCharacters(state, page);
}

void MeasurePcre2(benchmark::State& state, const PageKind& kind, Pcre2LocatorSearch& search) {
    const Text& page = Page(kind);
    // A yardstick that finds something else measures nothing.
    if (search.Matches(page) != FindShareLocators(page)) {
        state.SkipWithError("PCRE2 and the locator search disagree on this page");
        return;
    }
    for (auto _ : state) {
        auto matches = search.Matches(page);
        benchmark::DoNotOptimize(matches);
    }
    CountCharacters(state, page);
}

void Pcre2(benchmark::State& state, const PageKind& kind) {
    MeasurePcre2(state, kind, Pcre2Jit());
}

void Pcre2Literal(benchmark::State& state, const PageKind& kind) {
    MeasurePcre2(state, kind, Pcre2Nested());
}

// Position of `wanted` in `text`, or npos: a simple loop over the code units, written so that
// compilers turn it into vector compares with one exit test per block of 64. Nothing that reads
// every code unit can be much faster; on a page that does not hold `wanted`, this is the limit.
std::size_t PlainScan(TextView text, char16_t wanted) {
    constexpr std::size_t kBlock = 64;
    std::size_t at = 0;
    for (; at + kBlock <= text.size(); at += kBlock) {
        std::uint16_t hits = 0;
        for (std::size_t k = 0; k < kBlock; ++k) {
            hits |= static_cast<std::uint16_t>(text[at + k] == wanted ? 0xFFFFU : 0U);
        }
        if (hits != 0) {
            break;
        }
    }
    return text.find(wanted, at);
}

void Scan(benchmark::State& state, const PageKind& kind) {
    const Text& page = Page(kind);
    for (auto _ : state) {
        benchmark::DoNotOptimize(page.data());
        const std::size_t found = PlainScan(page, u'\x01');
        benchmark::DoNotOptimize(found);
    }
    CountCharacters(state, page);
}

// The median of `values` (the upper one of an even count) and its range.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};

Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// The console report of the aggregates, and every run's rate kept for the tables at the end.
// Runs of the different engines on a page are paired by their repetition: with random
// interleaving, the n-th run of each took place at roughly the same time, so their ratio is
// little touched by how busy the machine was then.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate || run.repetitions <= 1) {
                shown.push_back(run);
            }
            const auto rate = run.counters.find("items_per_second");
            if (run.error_occurred || run.run_type == Run::RT_Aggregate ||
                rate == run.counters.end()) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            const auto slash = name.rfind('/');
            auto& rates = rates_[name.substr(0, slash)][name.substr(slash + 1)];
            const auto repetition =
                static_cast<std::size_t>(std::max<std::int64_t>(run.repetition_index, 0));
            rates.resize(std::max(rates.size(), repetition + 1));
            rates[repetition] = rate->second.value;
        }
        ConsoleReporter::ReportRuns(shown);
    }

    void PrintTables(const std::vector<PageKind>& kinds) const {
        std::printf(
            "\nMedians of %zu runs per engine, in brackets their range; ratios are the "
            "medians and ranges of the runs' ratios, run by run.\n",
            Runs());
        std::printf("%-12s %9s %22s %22s %22s %18s %18s\n", "page", "chars", "ours G/s",
                    "pcre2_jit G/s", "plain_scan G/s", "ours/pcre2", "ours/scan");
        for (const PageKind& kind : kinds) {
            const auto& ours = Rates(kind, "ours");
            const auto& pcre2 = Rates(kind, "pcre2_jit");
            const auto& scan = Rates(kind, "plain_scan");
            if (ours.empty() || pcre2.empty() || scan.empty()) {
                continue;
            }
            std::printf("%-12s %9zu %22s %22s %22s %18s %18s\n", kind.name.c_str(),
                        Page(kind).size(), Format(SpreadOf(ours), 1e-9, 2).c_str(),
                        Format(SpreadOf(pcre2), 1e-9, 2).c_str(),
                        Format(SpreadOf(scan), 1e-9, 2).c_str(),
                        Format(SpreadOf(Ratios(ours, pcre2)), 1, 2).c_str(),
                        Format(SpreadOf(Ratios(ours, scan)), 1, 2).c_str());
        }
        std::printf(
            "Rates in code units per second. Goals: ours/pcre2 >= 1 on every page, ours/scan >= "
            "0.5 on the pages of a million code units or more; on the worst lines the time per "
            "code unit must not grow with the line.\n");

        std::printf("\n%-12s %14s %18s\n", "worst line", "ours", "literal pattern");
        for (const PageKind& kind : kinds) {
            const double ours = SpreadOf(Rates(kind, "ours")).median;
            const double literal = SpreadOf(Rates(kind, "pcre2_literal")).median;
            if (ours > 0 && literal > 0) {
                const auto size = static_cast<double>(Page(kind).size());
                std::printf("%-12s %11.0f ns %15.0f ns\n", kind.name.c_str(), size / ours * 1e9,
                            size / literal * 1e9);
            }
        }
        std::printf(
            "Time per search of one line (medians); the literal pattern runs in PCRE2's "
            "JIT.\n");
    }

  private:
    const std::vector<double>& Rates(const PageKind& kind, const std::string& engine) const {
        static const std::vector<double> kNone;
        const auto page = rates_.find(kind.name);
        if (page == rates_.end()) {
            return kNone;
        }
        const auto rates = page->second.find(engine);
        return rates == page->second.end() ? kNone : rates->second;
    }

    // Run by run, the first engine's rate over the second's.
    static std::vector<double> Ratios(const std::vector<double>& first,
                                      const std::vector<double>& second) {
        std::vector<double> ratios;
        for (std::size_t run = 0; run < std::min(first.size(), second.size()); ++run) {
            if (first[run] > 0 && second[run] > 0) {
                ratios.push_back(first[run] / second[run]);
            }
        }
        return ratios;
    }

    // "median [low-high]", each scaled by `scale`, with `decimals` places.
    static std::string Format(const Spread& spread, double scale, int decimals) {
        std::array<char, 64> text{};
        std::snprintf(text.data(), text.size(), "%.*f [%.*f-%.*f]", decimals, spread.median * scale,
                      decimals, spread.low * scale, decimals, spread.high * scale);
        return text.data();
    }

    std::size_t Runs() const {
        std::size_t runs = 0;
        for (const auto& [page, engines] : rates_) {
            for (const auto& [engine, rates] : engines) {
                runs = std::max(runs, rates.size());
            }
        }
        return runs;
    }

    std::map<std::string, std::map<std::string, std::vector<double>>> rates_;
};

}  // namespace
}  // namespace brisvane::bench

int main(int argc, char** argv) {
    using namespace brisvane::bench;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const std::vector<PageKind> kinds = PageKinds();
    for (const PageKind& kind : kinds) {
        benchmark::RegisterBenchmark((kind.name + "/ours").c_str(), Ours, kind);
        benchmark::RegisterBenchmark((kind.name + "/pcre2_jit").c_str(), Pcre2, kind);
        benchmark::RegisterBenchmark((kind.name + "/plain_scan").c_str(), Scan, kind);
        if (kind.nested) {
            benchmark::RegisterBenchmark((kind.name + "/pcre2_literal").c_str(), Pcre2Literal,
                                         kind);
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTables(kinds);
    benchmark::Shutdown();
    return 0;
}
