#include "mount/locator_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace brisvane {

namespace {

// The text is scanned a block of code units at a time: a block is first tested as a whole,
// branch-free, and looked at unit by unit only when the test finds something. Compilers turn
// such tests over a fixed count of units into vector compares.
constexpr std::size_t kBlock = 128;

// All bits set when `condition` holds, none otherwise: compilers vectorise an OR of masks more
// readily than an OR of bools.
template <typename Unsigned>
constexpr Unsigned Mask(bool condition) {
    return condition ? static_cast<Unsigned>(~Unsigned{0}) : Unsigned{0};
}

// Two adjacent code units as one 32-bit value, the way they lie in memory.
constexpr std::uint32_t UnitPair(char16_t first, char16_t second) {
    return std::bit_cast<std::uint32_t>(std::array<char16_t, 2>{first, second});
}

// Two units of the text as one 32-bit value, the way they lie in memory.
std::uint32_t PairAt(TextView text, std::size_t at) {
    std::uint32_t pair = 0;
    std::memcpy(&pair, &text[at], sizeof pair);
    return pair;
}

// Every "://" puts ":/" or "//" into one of the pairs of units that a stretch of text is cut
// into from its start, and those two pairs differ only in the bits of kColonSlashDifference:
// after an OR with it, one compare finds both. The few other pairs it lets through ("./",
// ">/", "?/" and the like) are dropped by the exact check.
constexpr std::uint32_t kColonSlashDifference = UnitPair(u':' ^ u'/', 0);
constexpr std::uint32_t kColonOrSlashThenSlash = UnitPair(u':' | u'/', u'/');

constexpr bool MayBeInColonSlashSlash(std::uint32_t pair) {
    return (pair | kColonSlashDifference) == kColonOrSlashThenSlash;
}

// Whether a pair from text[at, at + kBlock), cut from `at`, may be part of a "://": false
// whenever no "://" has its colon in text[at, at + kBlock - 2].
bool BlockMayHoldColonSlashSlash(TextView text, std::size_t at) {
    std::uint32_t hits = 0;
    for (std::size_t k = 0; k < kBlock; k += 2) {
        hits |= Mask<std::uint32_t>(MayBeInColonSlashSlash(PairAt(text, at + k)));
    }
    return hits != 0;
}

// Whether `unit` stands anywhere in text[at, at + kBlock).
bool BlockHolds(TextView text, std::size_t at, char16_t unit) {
    std::uint16_t hits = 0;
    for (std::size_t k = 0; k < kBlock; ++k) {
        hits |= Mask<std::uint16_t>(text[at + k] == unit);
    }
    return hits != 0;
}

bool SchemeAt(TextView text, std::size_t start) {
    for (std::size_t i = 0; i < kLocatorScheme.size(); ++i) {
        if (FoldAscii(text[start + i]) != kLocatorScheme[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::size_t FindLocatorScheme(TextView text, std::size_t from) {
    // A scheme's "://" starts at its offset 3, and pages hold few of those: blocks without one
    // are skipped whole, and in a block that may hold one, the pair that may belong to it is
    // found pair by pair. Colons before `colon` have been ruled out.
    constexpr std::size_t kColonOffset = 3;
    std::size_t colon = from + kColonOffset;
    while (colon + 2 < text.size()) {
        while (colon + kBlock <= text.size() && !BlockMayHoldColonSlashSlash(text, colon)) {
            colon += kBlock - 1;
        }
        std::size_t pair = colon;
        while (pair + 1 < text.size() && !MayBeInColonSlashSlash(PairAt(text, pair))) {
            pair += 2;
        }
        // The pair is the ":/" of a "://" at `pair`, or the "//" of one a unit before.
        for (std::size_t candidate = std::max(pair, colon + 1) - 1; candidate <= pair;
             ++candidate) {
            if (candidate + 2 < text.size() && SchemeAt(text, candidate - kColonOffset)) {
                return candidate - kColonOffset;
            }
        }
        colon = pair + 1;
    }
    return TextView::npos;
}

std::size_t FindLineEnd(TextView text, std::size_t from) {
    while (from + kBlock <= text.size() && !BlockHolds(text, from, u'\n')) {
        from += kBlock;
    }
    return std::min(text.find(u'\n', from), text.size());
}

}  // namespace brisvane
