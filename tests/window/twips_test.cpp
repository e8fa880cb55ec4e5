#include "window/twips.h"

#include <gtest/gtest.h>

namespace brisvane::test_support {
namespace {

struct PixelCase {
    int twips;
    int dpi;
    int pixels;
};

TEST(TwipsToPixelsTest, RoundsToTheNearestPixelWithHalvesAwayFromZero) {
    const PixelCase cases[] = {
        {15, 96, 1},     {7, 96, 0},      {8, 96, 1},       {-8, 96, -1},     {1935, 96, 129},
        {2335, 96, 156}, {5215, 96, 348}, {2335, 144, 234}, {3705, 120, 309}, {0, 192, 0},
    };
    for (const PixelCase& c : cases) {
        EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
    }
}

TEST(TwipsToPixelsTest, ControlsWhoseEdgesMeetInTwipsMeetInPixelsAtEveryDpi) {
    for (const int dpi : {96, 120, 144, 168, 192}) {
        for (int start = 0; start < 60; start += 7) {
            for (int size = 1; size < 40; size += 3) {
                const PixelRect first = TwipsToPixels(TwipsRect{start, start, size, size}, dpi);
                const PixelRect second =
                    TwipsToPixels(TwipsRect{start + size, start + size, size, size}, dpi);
                ASSERT_EQ(first.x + first.width, second.x) << start << "+" << size << " at " << dpi;
                ASSERT_EQ(first.y + first.height, second.y)
                    << start << "+" << size << " at " << dpi;
            }
        }
    }
}

}  // namespace
}  // namespace brisvane::test_support
