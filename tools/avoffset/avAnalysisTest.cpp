// avAnalysisTest.cpp
// The recording's readings: the scroller's shift to a fraction of a pixel over a moving background,
// the reference's picture changes and the clicks' first frames.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/avoffset/avAnalysis.h"

namespace {

// Bright letter-like bars on a dark band at scroller position x0 (fractional, drawn with linear
// coverage), over dark blobs that sit at blobX.
GrayImage strip(double x0, int blobX) {
    GrayImage g;
    g.width = 400;
    g.height = 48;
    g.pixels.assign(size_t(g.width * g.height), 60);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            int bx = x - blobX;
            if (bx > 0 && bx < 30 && y > 10 && y < 40) g.pixels[size_t(y * g.width + x)] = 20;
            // Letters: bars of irregular widths and heights every so often along the strip.
            double u = x - x0;  // strip coordinate of the pixel centre
            for (int k = 0; k < 40; ++k) {
                double left = 17.0 * k + (k * k % 7), right = left + 3 + k % 5;
                int yTop = 8 + (k * 13) % 12, yBottom = 30 + (k * 5) % 14;
                double cover = std::clamp(std::min(u + 0.5, right) - std::max(u - 0.5, left), 0.0, 1.0);
                if (cover > 0 && y >= yTop && y < yBottom)
                    g.pixels[size_t(y * g.width + x)] =
                        uint8_t(std::max<double>(g.pixels[size_t(y * g.width + x)], 60 + 190 * cover));
            }
        }
    return g;
}

}  // namespace

TEST(ScrollerShift, FindsTheShiftToAFractionOfAPixelWhateverMovesBehind) {
    GrayImage reference = strip(100.0, 50);
    for (double shift : {-83.25, -40.5, -7.0, 0.0, 12.75, 61.4}) {
        double found = 0, score = 0;
        ASSERT_TRUE(scrollerShift(strip(100.0 + shift, 250), reference, -120, 120, &found, &score)) << shift;
        EXPECT_NEAR(found, shift, 0.15) << shift;
        EXPECT_GT(score, 0.9) << shift;
    }
}

TEST(ScrollerShift, SearchesOnlyTheGivenRangeAndNeedsOverlap) {
    GrayImage reference = strip(100.0, 50);
    double found = 0, score = 0;
    // The true shift, 60, lies outside 0..30: the best inside is no match.
    ASSERT_TRUE(scrollerShift(strip(160.0, 50), reference, 0, 30, &found, &score));
    EXPECT_LT(score, 0.9);
    EXPECT_FALSE(scrollerShift(strip(100.0, 50), reference, 350, 380, &found, &score));
    GrayImage other = reference;
    other.width = 200;
    EXPECT_FALSE(scrollerShift(other, reference, -10, 10, &found, &score));
}

TEST(Brightenings, OnlyDarkToBrightChangesCount) {
    std::vector<double> levels = {0, 0, 255, 255, 0, 100, 255, 0, 250, 0};
    EXPECT_EQ(brightenings(levels), (std::vector<int>{2, 8}));
}

TEST(ClickOnsets, FirstLoudFrameAfterQuietOnly) {
    const int rate = 1000;
    std::vector<float> sound(3000, 0.0f);
    for (int i = 0; i < 50; ++i) sound[size_t(500 + i)] = (i % 2 ? -0.5f : 0.5f) * std::exp(-i / 10.0f);
    sound[600] = 0.5f;  // 50 frames after the first click's end: too soon for a new one
    sound[2000] = -0.3f;
    EXPECT_EQ(clickOnsets(sound, rate), (std::vector<long>{500, 2000}));
}

TEST(Median, OddAndEvenCounts) {
    EXPECT_DOUBLE_EQ(median({3, 1, 2}), 2);
    EXPECT_DOUBLE_EQ(median({4, 1, 3, 2}), 2.5);
}
