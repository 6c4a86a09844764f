// captureTimingTest.cpp
// The export's frame and soundtrack timing: exact frame counts for whole and rational rates, frame
// times that never drift over the whole presentation, audio ranges that join without gaps, and
// the parsing of rates, times and sizes.
#include <gtest/gtest.h>

#include "tools/render/frameTiming.h"

TEST(CaptureTiming, FrameCountsAreExactForWholeAndRationalRates) {
    struct Case {
        long long fromMs, toMs;
        FrameRate rate;
        long long first, end;
    };
    const Case cases[] = {
        {0, 2000, {30, 1}, 0, 60},             // [0, 2): the frame at 2.0 s belongs to the next range
        {0, 203000, {60, 1}, 0, 12180},        // the whole presentation
        {0, 203000, {60000, 1001}, 0, 12168},  // 203 s * 59.94 = 12167.53 frames
        {1000, 3500, {30000, 1001}, 30, 105},  // 29.97 -> first 30; 104.895 -> last 104
        {0, 2000, {7, 3}, 0, 5},               // 0, 3/7, 6/7, 9/7, 12/7 s
        {1001, 2002, {30000, 1001}, 30, 60},   // bounds exactly on frames: from included, to excluded
        {500, 500, {60, 1}, 30, 30},           // empty range
    };
    for (const Case& c : cases) {
        FrameSpan span = frameSpan(c.fromMs, c.toMs, c.rate);
        EXPECT_EQ(span.first, c.first) << c.fromMs << " at " << c.rate.numerator << "/" << c.rate.denominator;
        EXPECT_EQ(span.end, c.end) << c.toMs << " at " << c.rate.numerator << "/" << c.rate.denominator;
    }
}

TEST(CaptureTiming, FrameTimesAreWholeMillisecondsWithoutDrift) {
    FrameRate ntsc = {60000, 1001};
    EXPECT_EQ(frameMilliseconds(0, ntsc), 0);
    EXPECT_EQ(frameMilliseconds(1, ntsc), 16);          // 16.683
    EXPECT_EQ(frameMilliseconds(3, ntsc), 50);          // 50.05
    EXPECT_EQ(frameMilliseconds(12167, ntsc), 202986);  // 202986.1: no error accumulated
    // Adding the float duration up frame by frame drifts away from the exact time.
    float summed = 0;
    for (int n = 0; n < 12167; ++n) summed += 1001.0f / 60000.0f;
    EXPECT_NE((long long)(summed * 1000.0f), frameMilliseconds(12167, ntsc));
    // Every frame's time lies inside the range that produced it.
    FrameSpan span = frameSpan(1000, 3500, {30000, 1001});
    EXPECT_GE(frameMilliseconds(span.first, {30000, 1001}), 1000);
    EXPECT_LT(frameMilliseconds(span.end - 1, {30000, 1001}), 3500);
}

TEST(CaptureTiming, SoundtrackMatchesTheVideoLength) {
    FrameRate ntsc = {30000, 1001};
    // 2 s at 30 fps is exactly 88200 samples.
    EXPECT_EQ(frameFirstSample(60, {30, 1}, 44100) - frameFirstSample(0, {30, 1}, 44100), 88200);
    // The audio of n frames lasts n*D/N seconds to within one sample.
    long long samples = frameFirstSample(105, ntsc, 44100) - frameFirstSample(30, ntsc, 44100);
    EXPECT_NEAR(double(samples), 75.0 * 1001.0 / 30000.0 * 44100.0, 1.0);
}

TEST(CaptureTiming, ParsesRatesTimesAndSizesStrictly) {
    FrameRate rate = {};
    EXPECT_TRUE(parseFrameRate("60", &rate));
    EXPECT_EQ(rate.numerator, 60);
    EXPECT_EQ(rate.denominator, 1);
    EXPECT_TRUE(parseFrameRate("60000/1001", &rate));
    EXPECT_EQ(rate.denominator, 1001);
    for (const char* bad : {"", "0", "-30", "30/0", "30/", "/2", "29.97", "30fps", "30/1/2", "99999999"}) {
        EXPECT_FALSE(parseFrameRate(bad, &rate)) << bad;
    }

    long long ms = -1;
    EXPECT_TRUE(parseMilliseconds("66.5", &ms));
    EXPECT_EQ(ms, 66500);
    EXPECT_TRUE(parseMilliseconds("0.125", &ms));
    EXPECT_EQ(ms, 125);
    EXPECT_TRUE(parseMilliseconds("203", &ms));
    EXPECT_EQ(ms, 203000);
    EXPECT_TRUE(parseMilliseconds(".5", &ms));
    EXPECT_EQ(ms, 500);
    for (const char* bad : {"", ".", "-1", "+1", "1e3", "0.0001", "1.5s", "1,5"}) {
        EXPECT_FALSE(parseMilliseconds(bad, &ms)) << bad;
    }

    int w = 0, h = 0;
    EXPECT_TRUE(parseFrameSize("1600x1200", &w, &h));
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 1200);
    for (const char* bad : {"800", "0x0", "8x6", "800x600x", "x600", "16384x16", "63x48", "64x47", " 800x600",
                            "+800x600", "800x-600", "800x600 ", "99999999999x600", "65537x600"}) {
        EXPECT_FALSE(parseFrameSize(bad, &w, &h)) << bad;
    }
    // Any size from 64x48 for frames; even sizes only for the encoder's 4:2:0 chroma.
    EXPECT_TRUE(parseFrameSize("64x48", &w, &h));
    EXPECT_TRUE(parseFrameSize("801x601", &w, &h));
    EXPECT_EQ(w, 801);
    EXPECT_TRUE(parseFrameSize("1920X1080", &w, &h, true));
    for (const char* odd : {"801x600", "800x601"}) EXPECT_FALSE(parseFrameSize(odd, &w, &h, true)) << odd;
}
