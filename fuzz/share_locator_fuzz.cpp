// The whole page in, the search's outcome out, held against PCRE2 running the locator pattern:
// any difference in the matches is a finding. The linear form runs on every input in PCRE2's
// JIT; the literal nested form runs in PCRE2's interpreter where it can finish, on short pages.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "mount/share_locator.h"
#include "reference/pcre2_locator_search.h"

namespace brisvane::fuzzing {
namespace {

using reference::LocatorPatternForm;
using reference::Pcre2LocatorSearch;

// Short enough that the nested pattern mostly finishes within its match limit, and that its
// exponential attempts cost the fuzzer little.
constexpr std::size_t kNestedMaxLength = 48;
constexpr unsigned kNestedMatchLimit = 100'000;

std::string Describe(const std::vector<LocatorMatch>& matches) {
    std::ostringstream out;
    out << "[";
    for (const LocatorMatch& match : matches) {
        out << " {at " << match.position << ", length " << match.length << "}";
    }
    out << " ]";
    return out.str();
}

void ExpectSame(TextView page, const std::vector<LocatorMatch>& ours,
                const std::vector<LocatorMatch>& theirs, const char* engine) {
    if (ours != theirs) {
        Fail("FindShareLocators " + Describe(ours) + " but " + engine + " " + Describe(theirs) +
             " on \"" + Printable(page) + "\"");
    }
}

// The outcome the workflow acts on must follow from the matches.
void ExpectConsistentOutcome(TextView page, const std::vector<LocatorMatch>& matches) {
    using Outcome = ShareSearchResult::Outcome;
    const ShareSearchResult result = SearchShareLocator(page);
    const Outcome expected = matches.empty()       ? Outcome::kNone
                             : matches.size() == 1 ? Outcome::kOne
                                                   : Outcome::kSeveral;
    if (result.outcome != expected) {
        Fail("SearchShareLocator's outcome disagrees with " + Describe(matches) + " on \"" +
             Printable(page) + "\"");
    }
    const Text sharePath =
        expected == Outcome::kOne
            ? ShareFromLocator(page.substr(matches[0].position, matches[0].length))
            : Text();
    if (result.sharePath != sharePath) {
        Fail("SearchShareLocator's share path \"" + Printable(result.sharePath) +
             "\" is not the converted match on \"" + Printable(page) + "\"");
    }
}

}  // namespace
}  // namespace brisvane::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brisvane;
    using namespace brisvane::fuzzing;
    static Pcre2LocatorSearch linear(LocatorPatternForm::kLinear, /*jit=*/true);
    static Pcre2LocatorSearch nested(LocatorPatternForm::kNested, /*jit=*/false, kNestedMatchLimit);

    const Text page = DecodeText(std::span(data, size));
    const std::vector<LocatorMatch> ours = FindShareLocators(page);

    const auto theirs = linear.Matches(page);
    if (!theirs) {
        Fail("PCRE2 JIT gave up on \"" + Printable(page) + "\"");
    }
    ExpectSame(page, ours, *theirs, "PCRE2 JIT (linear pattern)");
    if (page.size() <= kNestedMaxLength) {
        if (const auto literal = nested.Matches(page)) {
            ExpectSame(page, ours, *literal, "PCRE2 (nested pattern)");
        }
    }

    for (std::size_t limit = 0; limit <= 2; ++limit) {
        const std::vector<LocatorMatch> first = FindShareLocators(page, limit);
        const std::size_t expected = std::min(limit, ours.size());
        if (first.size() != expected || !std::equal(first.begin(), first.end(), ours.begin())) {
            Fail("FindShareLocators with limit " + std::to_string(limit) + " gave " +
                 Describe(first) + " of " + Describe(ours));
        }
    }
    ExpectConsistentOutcome(page, ours);
    return 0;
}
