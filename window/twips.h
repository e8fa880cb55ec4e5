// Twips (1/1440 inch) to device pixels at a given DPI.
#pragma once

#include <cstdint>

#include "window/control_table.h"

namespace brisvane {

inline constexpr int kTwipsPerInch = 1440;

// Rounds to the nearest pixel, halves away from zero (as the platform's MulDiv does).
constexpr int TwipsToPixels(int twips, int dpi) {
    const std::int64_t scaled = std::int64_t{twips} * dpi;
    const std::int64_t half = kTwipsPerInch / 2;
    return static_cast<int>((scaled >= 0 ? scaled + half : scaled - half) / kTwipsPerInch);
}

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

// Converts the edges rather than the sizes, so that controls whose edges meet in twips meet in
// pixels too, at every DPI.
constexpr PixelRect TwipsToPixels(const TwipsRect& twips, int dpi) {
    const int left = TwipsToPixels(twips.left, dpi);
    const int top = TwipsToPixels(twips.top, dpi);
    return {left, top, TwipsToPixels(twips.left + twips.width, dpi) - left,
            TwipsToPixels(twips.top + twips.height, dpi) - top};
}

}  // namespace brisvane
