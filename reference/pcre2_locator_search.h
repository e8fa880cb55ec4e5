// The locator pattern run by PCRE2 on UTF-16 code units: the yardstick that the equivalence test
// and the fuzzer hold the locator search to, and that the benchmark measures it against.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "mount/share_locator.h"
#include "mount/text.h"

namespace brisvane::reference {

enum class LocatorPatternForm {
    // ShareLocatorPattern as written, "(.+)+" included: exponential on a bad line, so only
    // for short texts and under a match limit.
    kNested,
    // The same pattern with ".+" in place of "(.+)+": the same matches, in linear time.
    kLinear,
};

// The pattern compiled caseless, '.' refusing only a line feed, '\w' ASCII (no UTF, no UCP).
class Pcre2LocatorSearch {
  public:
    // `jit` compiles the pattern to machine code; `matchLimit` (0: PCRE2's default) bounds the
    // interpreter's backtracking. Throws std::runtime_error when PCRE2 refuses the pattern.
    Pcre2LocatorSearch(LocatorPatternForm form, bool jit, unsigned matchLimit = 0);
    ~Pcre2LocatorSearch();
    Pcre2LocatorSearch(const Pcre2LocatorSearch&) = delete;
    Pcre2LocatorSearch& operator=(const Pcre2LocatorSearch&) = delete;

    // All non-overlapping matches, left to right, as a global search collects them; nullopt
    // when the engine gives up (its match limit, say) before it has decided.
    std::optional<std::vector<LocatorMatch>> Matches(TextView text);

    // The pattern text handed to PCRE2.
    const Text& Pattern() const { return pattern_; }

  private:
    struct Engine;
    Text pattern_;
    std::unique_ptr<Engine> engine_;
};

}  // namespace brisvane::reference
