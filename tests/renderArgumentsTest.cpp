// renderArgumentsTest.cpp
// The offline renderer's number parsers, shared by its PNG and video modes: a rate is N or N/D in
// plain digits from 1 to 1000 fps, a time plain decimal seconds with at most three decimals.
#include <gtest/gtest.h>

#include "tools/render/frameTiming.h"

TEST(RenderArguments, RatesAreWholeNumbersFromOneToAThousandFramesPerSecond) {
    FrameRate rate = {};
    for (const char* good : {"1", "1000", "30000/1001", "2000/2", "1000000/1000", "7/7"}) {
        EXPECT_TRUE(parseFrameRate(good, &rate)) << good;
    }
    EXPECT_TRUE(parseFrameRate("1000000/1000", &rate));
    EXPECT_EQ(rate.numerator, 1000000);
    EXPECT_EQ(rate.denominator, 1000);
    for (const char* bad : {"1001", "1/2", "2001/2", "999/1000", " 60", "60 ", "+60", "-60", "60.0", "6e1",
                            "0/0", "1000001/1000", "60/+1", "nan", "inf"}) {
        EXPECT_FALSE(parseFrameRate(bad, &rate)) << bad;
    }
}

TEST(RenderArguments, TimesAreWholeDecimalArgumentsWithoutOverflow) {
    long long ms = -1;
    EXPECT_TRUE(parseMilliseconds("999999999.999", &ms));
    EXPECT_EQ(ms, 999999999999LL);
    // Times that the frame arithmetic multiplies by a rate of a million stay in range.
    EXPECT_LT(ms, (1LL << 62) / 1000000);
    for (const char* bad :
         {"1000000000", "abc", "nan", "inf", "1e300", "5s", " 5", "5 ", "0x10", "1..2", "-0.5"}) {
        EXPECT_FALSE(parseMilliseconds(bad, &ms)) << bad;
    }
}
