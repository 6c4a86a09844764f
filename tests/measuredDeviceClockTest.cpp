// measuredDeviceClockTest.cpp
// The music clock measured against the dummy audio device: read every millisecond for a few
// seconds, it never runs backwards, never reports audio the device has not been given, never lags
// the device by much more than one buffer (an early callback is caught up on, not jumped to), moves
// in small steps, and lags the consumed frames by about the device latency. The precise offset and
// jitter are printed here and reported by kestrane-render --bench (a loaded machine would make
// bounds on them flaky).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "tests/mp3TestData.h"
#include "tools/render/clockMeasurement.h"

TEST(MeasuredClock, FollowsTheSamplesTheDeviceConsumes) {
    MusicStream* s = openToneOnDummyDevice();
    if (!s) GTEST_SKIP() << "no audio driver available";
    int channel = audioStreamPlay(s, true);
    audioSetPaused(channel, false);
    ClockFigures figures;
    bool measured = measureAudioClock(s, 2.5, 0.2, &figures);
    audioClose();
    ASSERT_TRUE(measured) << "the device made only " << figures.callbacks << " callbacks";
    printf(
        "clock over %ld reads: offset %.2f ms (device buffer %.2f ms), jitter %.3f ms, "
        "largest step %d ms, device rate %.0f Hz\n",
        figures.reads, figures.meanOffsetMs, figures.latencyMs, figures.jitterMs, figures.largestStepMs,
        figures.deviceRateHz);
    EXPECT_EQ(figures.backwardSteps, 0);
    EXPECT_EQ(figures.aheadOfDevice, 0);
    EXPECT_EQ(figures.behindDevice, 0);
    // A clock that only moved at callbacks would jump a whole buffer (186 ms) between two reads.
    EXPECT_LT(figures.largestExcessMs, 10.0);
    // The position is what is heard: the consumed frames less the one buffer the device holds. The
    // median keeps a few late callbacks on a loaded machine from moving it.
    EXPECT_NEAR(figures.medianOffsetMs, -figures.latencyMs, 12.0);
    // The device ran at all: at least a third of the callbacks 2.5 s of audio needs.
    EXPECT_GT(figures.callbacks, long(2.5 * 1000.0 / figures.latencyMs / 3));
}
