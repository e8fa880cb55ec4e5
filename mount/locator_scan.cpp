#include "mount/locator_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace brisvane {

namespace {

// The text is scanned a block at a time: a block is first tested as a whole, branch-free, and
// looked at unit by unit only when the test finds something. Compilers turn such tests over a
// fixed count of units into vector compares.
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

// The offsets of a scheme's "b:" and of its colon.
constexpr std::size_t kBOffset = 2;
constexpr std::size_t kColonOffset = 3;

// A block of scheme starts: the kBlock - 1 positions from `start` on. The units it reads stand
// before start + kBlock + kColonOffset.
constexpr std::size_t kBlockStarts = kBlock - 1;

// Whether a scheme starting in the block may have its "://" there: false whenever none of its
// positions is followed by a "://" at the colon's offset. Cheap: one compare per pair, which
// covers both positions of the pair.
bool BlockMayHoldColonSlashSlash(TextView text, std::size_t start) {
    std::uint32_t hits = 0;
    for (std::size_t k = 0; k < kBlock; k += 2) {
        hits |= Mask<std::uint32_t>(MayBeInColonSlashSlash(PairAt(text, start + kColonOffset + k)));
    }
    return hits != 0;
}

// Whether a scheme starting in the block may have its "b:" there (the letter in either case).
// Dearer than the test for "://", but pages full of links, whose "https://" that test lets
// through every few blocks, hold hardly any "b:".
bool BlockMayHoldBColon(TextView text, std::size_t start) {
    const TextView units = text.substr(start + kBOffset, kBlock + 1);
    std::uint16_t hits = 0;
    for (std::size_t k = 0; k < kBlock; ++k) {
        hits |= static_cast<std::uint16_t>(
            Mask<std::uint16_t>(static_cast<char16_t>(units[k] | u' ') == u'b') &
            Mask<std::uint16_t>(units[k + 1] == u':'));
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

constexpr bool IsWordOrHyphen(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') ||
           (unit >= u'0' && unit <= u'9') || unit == u'_' || unit == u'-';
}

// Whether IsWordOrHyphen holds for a unit of text[at, at + kBlock). The same test, written so
// that compilers vectorise it: ranges as unsigned differences, and one mask for each of three
// kinds of unit (with four, or with masks ORed together, GCC no longer does). The hyphen shares
// its mask with the digits: "-./0123456789" is one range, less ".".
bool BlockHoldsWordUnit(TextView text, std::size_t at) {
    constexpr char16_t kLastLetter = u'z' - u'a';
    constexpr char16_t kLastHyphenToDigit = u'9' - u'-';
    constexpr char16_t kLastDotToSlash = u'/' - u'.';
    std::uint16_t letters = 0;
    std::uint16_t hyphensAndDigits = 0;
    std::uint16_t underscores = 0;
    for (std::size_t k = 0; k < kBlock; ++k) {
        const char16_t unit = text[at + k];
        const auto lowerCase = static_cast<char16_t>(unit | (u'a' ^ u'A'));
        letters |= Mask<std::uint16_t>(static_cast<char16_t>(lowerCase - u'a') <= kLastLetter);
        hyphensAndDigits |= static_cast<std::uint16_t>(
            Mask<std::uint16_t>(static_cast<char16_t>(unit - u'-') <= kLastHyphenToDigit) &
            Mask<std::uint16_t>(static_cast<char16_t>(unit - u'.') > kLastDotToSlash));
        underscores |= Mask<std::uint16_t>(unit == u'_');
    }
    return (letters | hyphensAndDigits | underscores) != 0;
}

bool SchemeAt(TextView text, std::size_t start) {
    for (std::size_t i = 0; i < kLocatorScheme.size(); ++i) {
        if (FoldAscii(text[start + i]) != kLocatorScheme[i]) {
            return false;
        }
    }
    return true;
}

// The first scheme that starts in [start, end), or npos.
std::size_t FindSchemeByUnits(TextView text, std::size_t start, std::size_t end) {
    end = std::min(end, text.size() - std::min(text.size(), kLocatorScheme.size() - 1));
    for (; start < end; ++start) {
        if (SchemeAt(text, start)) {
            return start;
        }
    }
    return TextView::npos;
}

// After the test for "://" has let a block through, how many more blocks get the test for "b:"
// alone.
constexpr std::size_t kBColonOnlyBlocks = 16;

}  // namespace

std::size_t FindLocatorScheme(TextView text, std::size_t from) {
    // Most pages hold no "://" in most blocks, and the cheap test skips those. Pages of links
    // hold one every few blocks, and there the cheap test would let most blocks through to the
    // test for "b:" all the same: once it has let one through, the next blocks get that test
    // alone, and the cheap test only comes back after them.
    std::size_t start = from;
    while (start + kBlock + kColonOffset <= text.size()) {
        if (!BlockMayHoldColonSlashSlash(text, start)) {
            start += kBlockStarts;
            continue;
        }
        const std::size_t stop = start + kBColonOnlyBlocks * kBlockStarts;
        for (; start <= stop && start + kBlock + kColonOffset <= text.size();
             start += kBlockStarts) {
            if (BlockMayHoldBColon(text, start)) {
                const std::size_t found = FindSchemeByUnits(text, start, start + kBlockStarts);
                if (found != TextView::npos) {
                    return found;
                }
            }
        }
    }
    return FindSchemeByUnits(text, start, text.size());
}

std::size_t FindEndOfLastWordUnit(TextView text, std::size_t from, std::size_t end) {
    while (end >= from + kBlock && !BlockHoldsWordUnit(text, end - kBlock)) {
        end -= kBlock;
    }
    while (end > from && !IsWordOrHyphen(text[end - 1])) {
        --end;
    }
    return end;
}

std::size_t FindLineEnd(TextView text, std::size_t from) {
    while (from + kBlock <= text.size() && !BlockHolds(text, from, u'\n')) {
        from += kBlock;
    }
    return std::min(text.find(u'\n', from), text.size());
}

}  // namespace brisvane
