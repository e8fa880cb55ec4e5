// Written by scripts/make-unicode-tables.py from the Unicode 15.0.0 data: do not edit.
// The characters that show nothing of their own: Default_Ignorable_Code_Point and general
// category Cf (format).
#include <algorithm>
#include <array>

#include "mount/shown_text.h"

namespace brisvane {

namespace {

struct CodePointRange {
    char32_t first;
    char32_t last;
};

// Sorted and disjoint.
// clang-format off
constexpr std::array kInvisibleCharacters{
    CodePointRange{0x00AD, 0x00AD},
    CodePointRange{0x034F, 0x034F},
    CodePointRange{0x0600, 0x0605},
    CodePointRange{0x061C, 0x061C},
    CodePointRange{0x06DD, 0x06DD},
    CodePointRange{0x070F, 0x070F},
    CodePointRange{0x0890, 0x0891},
    CodePointRange{0x08E2, 0x08E2},
    CodePointRange{0x115F, 0x1160},
    CodePointRange{0x17B4, 0x17B5},
    CodePointRange{0x180B, 0x180F},
    CodePointRange{0x200B, 0x200F},
    CodePointRange{0x202A, 0x202E},
    CodePointRange{0x2060, 0x206F},
    CodePointRange{0x3164, 0x3164},
    CodePointRange{0xFE00, 0xFE0F},
    CodePointRange{0xFEFF, 0xFEFF},
    CodePointRange{0xFFA0, 0xFFA0},
    CodePointRange{0xFFF0, 0xFFFB},
    CodePointRange{0x110BD, 0x110BD},
    CodePointRange{0x110CD, 0x110CD},
    CodePointRange{0x13430, 0x1343F},
    CodePointRange{0x1BCA0, 0x1BCA3},
    CodePointRange{0x1D173, 0x1D17A},
    CodePointRange{0xE0000, 0xE0FFF},
};
// clang-format on

}  // namespace

bool IsInvisibleCharacter(char32_t codePoint) {
    const auto* range =
        std::ranges::lower_bound(kInvisibleCharacters, codePoint, {}, &CodePointRange::last);
    return range != kInvisibleCharacters.end() && range->first <= codePoint;
}

}  // namespace brisvane
