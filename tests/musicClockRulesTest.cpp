// musicClockRulesTest.cpp
// The music clock's rules fed with timing sequences, no device and no sleeping: a server's
// interpolated timing read every frame, a device's callbacks a buffer apart, seeks, pauses, an
// output that goes away and one that comes back.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/musicClock.h"

namespace {

const int kRate = 44100;
const long long kBuffer = 8192;

long long frames(double seconds) { return (long long)std::llround(seconds * kRate); }
double ms(long long frame) { return frame * 1000.0 / kRate; }

// A server whose sound starts being heard at heardFrom (seconds) and then plays in real time:
// the output frame heard at t, or -1 before anything is heard.
struct Server {
    double heardFrom;
    long long heardAt(double t) const { return t < heardFrom ? -1 : frames(t - heardFrom); }
};

class ClockTest : public ::testing::Test {
protected:
    MusicClock clock;
    // Reads the clock every frame (60 per second) from t0 to t1 as the main loop does, feeding it
    // the server's timing first; returns the largest step between two reads beyond the frame time,
    // and fails on any step backwards.
    double playFrames(const Server& server, long long deviceOffset, double t0, double t1, long long* last) {
        double worstExcessMs = 0;
        long long previous = *last;
        for (double t = t0; t <= t1; t += 1.0 / 60) {
            long long heard = server.heardAt(t);
            if (heard >= 0) clockHeard(&clock, deviceOffset + heard, t, 0);
            long long now = clockPosition(&clock, t);
            EXPECT_GE(now, previous) << "backwards at " << t;
            worstExcessMs = std::max(worstExcessMs, ms(now - previous) - 1000.0 / 60);
            previous = now;
        }
        *last = previous;
        return worstExcessMs;
    }
    // Starts the clock on an output first heard at server.heardFrom and reads it every frame until
    // t1; returns the last position read.
    long long playFromStart(const Server& server, double t1) {
        clockStart(&clock, kRate, false, 0.0);
        clockPlaceSegment(&clock, 0, 0);
        long long last = 0;
        playFrames(server, 0, server.heardFrom, t1, &last);
        return last;
    }
};

}  // namespace

TEST_F(ClockTest, HoldsTheStartUntilTheFirstFrameIsHeardThenFollowsTheServer) {
    clockStart(&clock, kRate, false, 0.0);
    EXPECT_TRUE(clockSegmentPending(&clock));
    clockPlaceSegment(&clock, 0, 0);
    // The server renders nothing for its first 1.5 s: the clock must not run ahead meanwhile, not
    // even by a frame (a clock that extrapolates from the start reached two buffers, then stood).
    Server server{1.5};
    for (double t = 0; t < 1.5; t += 0.001) EXPECT_EQ(clockPosition(&clock, t), 0) << "at " << t;
    long long last = 0;
    const double worst = playFrames(server, 0, 1.5, 4.0, &last);
    EXPECT_NEAR(ms(last), 2500.0, 17.0);
    EXPECT_LT(worst, 1.0) << "the clock jumped";
    // Every read of a moving clock moves: never standing still while the sound plays.
    long long a = clockPosition(&clock, 4.0);
    clockHeard(&clock, server.heardAt(4.0 + 1.0 / 60), 4.0 + 1.0 / 60, 0);
    EXPECT_GT(clockPosition(&clock, 4.0 + 1.0 / 60), a);
}

TEST_F(ClockTest, DeviceCallbacksAreExtrapolatedSmoothlyUpToTheirLimit) {
    // SDL's device: a callback every buffer hands out the next buffer; what it hands out is heard
    // one buffer later. The segment sits where the stream's first buffer went (after one buffer
    // of silence from before the stream played).
    clockStart(&clock, kRate, false, 0.0);
    const double period = double(kBuffer) / kRate;
    long long device = kBuffer;
    clockPlaceSegment(&clock, device, 0);
    long long previous = 0;
    for (int callback = 0; callback < 20; ++callback) {
        const double t = period * callback;
        clockHeard(&clock, device - kBuffer, t, 2 * kBuffer);
        device += kBuffer;
        for (double r = t; r < t + period; r += 0.004) {
            long long now = clockPosition(&clock, r);
            ASSERT_GE(now, previous);
            EXPECT_LE(now - previous, frames(0.004) + 1) << "a step at " << r;
            previous = now;
        }
    }
    // Nothing was heard during the first buffer (the device played the silence before the stream);
    // from the second callback on the position follows real time one buffer behind.
    EXPECT_NEAR(ms(clockPosition(&clock, period * 20)), (period * 20 - period) * 1000, 1.0);
    // A device that stops calling back: the position runs at most two buffers past the last one.
    const long long stalled = clockPosition(&clock, period * 30);
    EXPECT_EQ(stalled, (20 - 2) * kBuffer + 2 * kBuffer);
}

TEST_F(ClockTest, AServerThatReportsPerCycleIsReadAtItsCycleStarts) {
    // PipeWire's PulseAudio service reports the frame played at the start of its processing cycle
    // (2048 frames at 48 kHz, 42.7 ms) whenever it is asked: between two cycles it says too little.
    clockStart(&clock, kRate, false, 0.0);
    clockPlaceSegment(&clock, 0, 0);
    const double cycle = 2048.0 / 48000.0, heardFrom = 0.1;
    auto trueFrame = [&](double t) { return frames(t - heardFrom); };
    auto report = [&](double t) { return frames(std::floor((t - heardFrom) / cycle) * cycle); };
    long long previous = 0;
    double worstMs = 0;
    for (double t = heardFrom + 0.001; t < 3.0; t += 0.012) {
        clockHeard(&clock, report(t), t, frames(0.08));
        const long long now = clockPosition(&clock, t);
        ASSERT_GE(now, previous);
        if (t > heardFrom + 0.3) worstMs = std::max(worstMs, std::fabs(ms(now - trueFrame(t))));
        previous = now;
    }
    // Reads 12 ms apart meet a cycle start within a few milliseconds; the steps are 42.7 ms.
    EXPECT_LT(worstMs, 8.0) << "the position followed the reports' steps";
}

TEST_F(ClockTest, AServerThatFallsBehindIsFollowedSoon) {
    // A loaded server stops playing for 100 ms at 2.0 s, then plays on from where it stopped: the
    // position stops within the extrapolation limit and follows the late sound again soon after.
    clockStart(&clock, kRate, false, 0.0);
    clockPlaceSegment(&clock, 0, 0);
    auto played = [](double t) { return frames(t < 2.0 ? t : t < 2.1 ? 2.0 : t - 0.1); };
    long long previous = 0;
    for (double t = 0.01; t < 3.0; t += 0.012) {
        clockHeard(&clock, played(t), t, frames(0.08));
        const long long now = clockPosition(&clock, t);
        ASSERT_GE(now, previous);
        EXPECT_LE(ms(now - played(t)), 80.5) << "ran on too far at " << t;
        if (t > 2.4) {
            EXPECT_NEAR(ms(now), ms(played(t)), 1.0) << "still ahead at " << t;
        }
        previous = now;
    }
}

TEST_F(ClockTest, SeeksHoldTheTargetUntilItsSoundIsHeard) {
    Server server{0.1};
    playFromStart(server, 1.0);
    // Forward to 60 s at t = 1.0: the output drops what it held and resumes 4410 frames further on.
    EXPECT_EQ(clockSeek(&clock, frames(60.0), 1.0), frames(60.0));
    EXPECT_EQ(clockPosition(&clock, 1.0), frames(60.0));
    // Sound of the old segment still heard while the flush travels: the target holds.
    clockHeard(&clock, server.heardAt(1.02), 1.02, 0);
    EXPECT_EQ(clockPosition(&clock, 1.02), frames(60.0));
    const long long resumeAt = server.heardAt(1.0) + 4410;
    clockPlaceSegment(&clock, resumeAt, frames(60.0));
    clockHeard(&clock, resumeAt - 1, 1.0 + 0.1 - 1.0 / kRate, 0);
    EXPECT_EQ(clockPosition(&clock, 1.1 - 1.0 / kRate), frames(60.0));
    clockHeard(&clock, resumeAt + frames(0.05), 1.15, 0);
    EXPECT_EQ(clockPosition(&clock, 1.15), frames(60.05));
    // Backwards (N) moves the position back, and it holds there in turn.
    EXPECT_EQ(clockSeek(&clock, frames(10.0), 1.2), frames(10.0));
    EXPECT_EQ(clockPosition(&clock, 1.2), frames(10.0));
    clockPlaceSegment(&clock, resumeAt + frames(0.2), frames(10.0));
    clockHeard(&clock, resumeAt + frames(0.07), 1.22, 0);  // the 60 s segment, still playing
    EXPECT_EQ(clockPosition(&clock, 1.22), frames(10.0));
    // A negative target is the start.
    EXPECT_EQ(clockSeek(&clock, -500, 1.3), 0);
    EXPECT_EQ(clockPosition(&clock, 1.3), 0);
}

TEST_F(ClockTest, AHoldThatEndsLateShowsWhatIsHeardThenCatchesUpWithoutAJump) {
    // The first frame after the start took 0.3 s to draw, while the server played: the hold ends at
    // the next read, which shows what is heard (the picture stood still until then).
    clockStart(&clock, kRate, false, 0.0);
    clockPlaceSegment(&clock, 0, 0);
    EXPECT_EQ(clockPosition(&clock, 0.05), 0);
    EXPECT_EQ(clockPosition(&clock, 0.3), 0);  // read just before the report comes
    clockHeard(&clock, frames(0.2), 0.3, frames(0.08));
    EXPECT_NEAR(clockPosition(&clock, 0.35), frames(0.25), 1);
    // Once it moves, reports that say the sound is 0.1 s further on are caught up at most a fifth
    // faster than real time.
    long long previous = clockPosition(&clock, 0.35);
    double met = -1;
    for (double t = 0.35 + 1.0 / 60; t < 2.0; t += 1.0 / 60) {
        clockHeard(&clock, frames(t), t, frames(0.08));
        const long long now = clockPosition(&clock, t);
        EXPECT_LE(ms(now - previous), 1000.0 / 60 * 1.2 + 0.1) << "a jump at " << t;
        EXPECT_GE(now, previous);
        if (met < 0 && now >= frames(t) - 1) met = t;
        previous = now;
    }
    EXPECT_NEAR(met, 0.35 + 0.1 / 0.2, 0.05) << "caught up at the wrong time";
}

TEST_F(ClockTest, HeldSeeksInARowReleaseOnlyOnTheNewestSegment) {
    // Holding M seeks every frame: many segments are placed before any is heard, more than the
    // clock keeps. Only the newest one's sound ends the hold.
    clockStart(&clock, kRate, false, 0.0);
    clockPlaceSegment(&clock, 0, 0);
    long long device = 0;
    for (int i = 1; i <= kClockSegments + 10; ++i) {
        const double t = i / 60.0;
        clockSeek(&clock, frames(i), t);
        device += 735;
        clockPlaceSegment(&clock, device, frames(i));
        clockHeard(&clock, device - 1, t, 0);  // the previous segment's sound
        EXPECT_EQ(clockPosition(&clock, t), frames(i));
    }
    clockHeard(&clock, device + 100, 2.0, 0);
    EXPECT_EQ(clockPosition(&clock, 2.0), frames(kClockSegments + 10) + 100);
    // An observation that lands before every segment kept is no sound of this stream.
    clockSeek(&clock, 0, 2.1);
    clockPlaceSegment(&clock, device + 1000, 0);
    clockHeard(&clock, 5, 2.2, 0);
    EXPECT_EQ(clockPosition(&clock, 2.2), 0);
}

TEST_F(ClockTest, NeverRunsBackwardsWhenTheTimingIsCorrected) {
    clockStart(&clock, kRate, false, 0.0);
    clockPlaceSegment(&clock, 0, 0);
    clockHeard(&clock, frames(1.0), 1.0, kBuffer);
    const long long ahead = clockPosition(&clock, 1.1);  // extrapolated 0.1 s
    clockHeard(&clock, frames(1.05), 1.1, kBuffer);      // the device says 50 ms less
    EXPECT_EQ(clockPosition(&clock, 1.1), ahead);
    EXPECT_GE(clockPosition(&clock, 1.2), ahead);
}

TEST_F(ClockTest, PausedHoldsAndResumeWaitsForTheSound) {
    clockStart(&clock, kRate, false, 0.0);
    EXPECT_EQ(clockSetPlaying(&clock, false, 0.0), -1);
    EXPECT_EQ(clockPosition(&clock, 5.0), 0);
    EXPECT_EQ(clockSetPlaying(&clock, true, 5.0), 0);
    EXPECT_TRUE(clockSegmentPending(&clock));
    clockPlaceSegment(&clock, 100, 0);
    clockHeard(&clock, 100 + frames(0.5), 5.5, 0);
    EXPECT_EQ(clockPosition(&clock, 5.5), frames(0.5));
    // A silent clock pauses in place and resumes in real time.
    MusicClock silent;
    clockStart(&silent, kRate, true, 0.0);
    EXPECT_FALSE(clockSegmentPending(&silent));
    clockSetPlaying(&silent, false, 1.0);
    EXPECT_EQ(clockPosition(&silent, 9.0), frames(1.0));
    EXPECT_EQ(clockSetPlaying(&silent, true, 9.0), -1);
    EXPECT_EQ(clockPosition(&silent, 10.0), frames(2.0));
}

TEST_F(ClockTest, WithoutOutputTheSilentClockRunsAndSeeksInRealTime) {
    clockStart(&clock, kRate, true, 10.0);
    EXPECT_NEAR(double(clockPosition(&clock, 10.2)), double(frames(0.2)), 1.0);
    EXPECT_EQ(clockSeek(&clock, frames(100.0), 10.2), -1);
    EXPECT_NEAR(double(clockPosition(&clock, 10.5)), double(frames(100.3)), 1.0);
    clockHeard(&clock, frames(3.0), 10.6, 0);  // no output: nothing to hear
    EXPECT_NEAR(double(clockPosition(&clock, 10.6)), double(frames(100.4)), 1.0);
}

TEST_F(ClockTest, ALostOutputLeavesTheClockRunningFromWhereItWas) {
    const long long last = playFromStart(Server{0.2}, 3.0);
    clockLose(&clock, 3.0);
    EXPECT_EQ(clockPosition(&clock, 3.0), last);
    // A dying device's last callbacks must not move it.
    clockHeard(&clock, frames(10.0), 3.1, kBuffer);
    EXPECT_EQ(clockPosition(&clock, 4.0), last + frames(1.0));
    // Lost during a seek's hold: the silent clock runs on from the target.
    MusicClock held;
    clockStart(&held, kRate, false, 0.0);
    clockPlaceSegment(&held, 0, 0);
    clockSeek(&held, frames(50.0), 1.0);
    clockLose(&held, 1.1);
    EXPECT_NEAR(double(clockPosition(&held, 1.6)), double(frames(50.5)), 1.0);
}

TEST_F(ClockTest, ABetterReportDuringTheSlewIsCaughtUpWithoutAJump) {
    // The returning output is heard 25 ms after the silent clock (slewed onto), then its reports
    // say 20 ms more: slew and catch-up together stay within 1.3 times real time.
    clockStart(&clock, kRate, false, 0.0);
    clockPlaceSegment(&clock, 0, 0);
    clockHeard(&clock, 0, 0.0, frames(0.08));
    clockLose(&clock, 1.0);
    const long long aimed = clockRegain(&clock, 2.0, frames(0.2));
    clockPlaceSegment(&clock, 0, aimed);
    long long previous = clockPosition(&clock, 2.0);
    for (double t = 2.0 + 1.0 / 60; t < 4.0; t += 1.0 / 60) {
        const double heardFrom = 2.225;
        if (t >= heardFrom)
            clockHeard(&clock, frames(t - heardFrom) + (t >= 2.3 ? frames(0.02) : 0), t, frames(0.08));
        const long long now = clockPosition(&clock, t);
        ASSERT_GE(now, previous) << "backwards at " << t;
        EXPECT_LE(ms(now - previous), 1000.0 / 60 * 1.3 + 0.1) << "a jump at " << t;
        previous = now;
    }
}

TEST_F(ClockTest, AReturningOutputIsAimedAtTheSilentClockAndSlewedOntoIt) {
    const long long last = playFromStart(Server{0.1}, 2.0);
    clockLose(&clock, 2.0);
    // A new server at 3.0 s, 0.2 s of latency expected. Its segment is heard 0.3 s after it is
    // placed: the aim misses by 0.1 s and is corrected from what was learnt. The corrected one is
    // heard 0.32 s after it is placed, 20 ms late: close enough to slew onto.
    const long long aimed = clockRegain(&clock, 3.0, frames(0.2));
    EXPECT_NEAR(double(aimed), double(last + frames(1.0) + frames(0.2)), 1.0);
    clockPlaceSegment(&clock, 0, aimed);
    long long deviceBase = 0, segmentMusic = aimed;
    double heardFrom = 3.3;
    int reaims = 0;
    double t = 3.0;
    long long previous = clockPosition(&clock, t);
    for (t += 1.0 / 60; t < 8.0; t += 1.0 / 60) {
        if (t >= heardFrom && clockHeard(&clock, deviceBase + frames(t - heardFrom), t, 0)) {
            ++reaims;
            segmentMusic = clockReaim(&clock, t);
            // Aimed at where the silent clock will be when this segment is heard, as learnt.
            EXPECT_NEAR(ms(segmentMusic), ms(clockPosition(&clock, t)) + 300.0, 1.0);
            deviceBase += frames(t - heardFrom) + 1;
            clockPlaceSegment(&clock, deviceBase, segmentMusic);
            heardFrom = t + 0.32;
        }
        const long long now = clockPosition(&clock, t);
        ASSERT_GE(now, previous) << "backwards at " << t;
        // No jump and no stall: every step within a tenth of the frame time.
        EXPECT_NEAR(ms(now - previous), 1000.0 / 60, 1000.0 / 60 * 0.1 + 0.1) << "at " << t;
        previous = now;
    }
    EXPECT_EQ(reaims, 1);
    // On the sound again: reads follow the server's timing exactly.
    const long long heard = deviceBase + frames(t - heardFrom);
    clockHeard(&clock, heard, t, 0);
    EXPECT_EQ(clockPosition(&clock, t), segmentMusic + heard - deviceBase);
}

TEST_F(ClockTest, ASeekAwaitsItsSegmentBeforeAnySoundCounts) {
    // Back from about 1.9 s to 0.5 s: the old sound, reported before the output places the new
    // segment, neither ends the hold nor carries the position forward.
    Server server{0.1};
    playFromStart(server, 2.0);
    EXPECT_EQ(clockSeek(&clock, frames(0.5), 2.0), frames(0.5));
    clockHeard(&clock, server.heardAt(2.02), 2.02, 0);
    EXPECT_TRUE(clockSegmentPending(&clock));
    EXPECT_EQ(clockPosition(&clock, 2.02), frames(0.5));
    // While an output returns, a seek moves the silent clock, which runs on, and aims the output
    // ahead of it by the latency expected; heard on time, the output is followed from there.
    clockLose(&clock, 2.1);
    clockPlaceSegment(&clock, 0, clockRegain(&clock, 3.0, frames(0.2)));
    const long long aimed = clockSeek(&clock, frames(100.0), 3.1);
    EXPECT_EQ(aimed, frames(100.2));
    EXPECT_TRUE(clockSegmentPending(&clock));
    EXPECT_NEAR(double(clockPosition(&clock, 3.2)), double(frames(100.1)), 1.0);
    clockPlaceSegment(&clock, frames(1.0), aimed);
    EXPECT_FALSE(clockHeard(&clock, frames(1.0), 3.3, 0));
    clockHeard(&clock, frames(1.5), 3.8, 0);
    EXPECT_EQ(clockPosition(&clock, 3.8), frames(100.7));
}

// A browser's audio context: buffers of 8192 frames played back to back from context time 0.25 s
// on, while the context's own clock starts at wall time 1.0 s.
class ContextClockTest : public ::testing::Test {
protected:
    ContextClock context;
    const double start = 0.25;  // the first buffer's context time
    const double wall0 = 1.0;   // wall time at context time 0
    void SetUp() override { contextClockStart(&context, kRate, int(kBuffer), wall0); }
    void placeBuffers(int first, int count) {
        for (int i = first; i < first + count; ++i)
            contextBufferPlaced(&context, i * kBuffer, start + double(i * kBuffer) / kRate);
    }
    ContextVerdict readAt(double contextTime, long long* device, bool running = true) {
        return contextClockRead(&context, running, contextTime, wall0 + contextTime, device);
    }
};

TEST_F(ContextClockTest, FramesHeardFollowTheBuffersPlaybackTimesAndNeverPassWhatWasHandedOut) {
    long long device = -7;
    // Nothing is heard before the first buffer plays: the clock keeps holding the start.
    placeBuffers(0, 2);
    EXPECT_EQ(readAt(0.0, &device), CONTEXT_WAITING);
    EXPECT_EQ(readAt(start - 0.001, &device), CONTEXT_WAITING);
    EXPECT_EQ(device, -7);
    EXPECT_EQ(readAt(start, &device), CONTEXT_HEARD);
    EXPECT_EQ(device, 0);
    // Within the second buffer, by the rate.
    EXPECT_EQ(readAt(start + 0.25, &device), CONTEXT_HEARD);
    EXPECT_EQ(device, frames(0.25));
    // Past the two buffers handed out: held at their end, however late the read.
    EXPECT_EQ(readAt(start + 1.0, &device), CONTEXT_HEARD);
    EXPECT_EQ(device, 2 * kBuffer);
    // Only the latest kContextBuffers are kept, and they still map the time heard.
    placeBuffers(2, 3 * kContextBuffers);
    EXPECT_EQ(readAt(start + double((3 * kContextBuffers + 1) * kBuffer) / kRate + 0.01, &device),
              CONTEXT_HEARD);
    EXPECT_NEAR(double(device), double((3 * kContextBuffers + 1) * kBuffer + frames(0.01)), 1.0);
}

TEST_F(ContextClockTest, ReportsLateByJitterArePlacedByTheEarliestAndAGapStartsANewRun) {
    // Chromium reports the context's time when it asked the page for the buffer, plus the buffer:
    // late by 0 to 70 ms (its device callbacks are 23 ms apart). The graph plays them back to back
    // from start.
    const double late[] = {0.070, 0.046, 0.023, 0.046, 0.0, 0.070, 0.023, 0.046};
    for (int i = 0; i < 8; ++i)
        contextBufferPlaced(&context, i * kBuffer, start + double(i * kBuffer) / kRate + late[i]);
    long long device = 0;
    // Read in the seventh buffer: where the graph plays, not where the late reports would put it.
    const double t = start + double(6 * kBuffer) / kRate + 0.1;
    ASSERT_EQ(readAt(t, &device), CONTEXT_HEARD);
    EXPECT_NEAR(double(device), double(6 * kBuffer + frames(0.1)), 1.0);
    // The page was late by more than a buffer: the graph played one buffer of silence, and the next
    // buffer plays a buffer later than the run. It is reported late too, by 23 ms.
    const double gapStart = start + double(9 * kBuffer) / kRate;
    contextBufferPlaced(&context, 8 * kBuffer, gapStart + 0.023);
    contextBufferPlaced(&context, 9 * kBuffer, gapStart + double(kBuffer) / kRate);
    // Before the gap's buffer starts: held at the end of what the run played.
    ASSERT_EQ(readAt(gapStart - 0.05, &device), CONTEXT_HEARD);
    EXPECT_EQ(device, 8 * kBuffer);
    // In it: placed by the new run's earliest report.
    ASSERT_EQ(readAt(gapStart + 0.1, &device), CONTEXT_HEARD);
    EXPECT_NEAR(double(device), double(8 * kBuffer + frames(0.1)), 1.0);
}

TEST_F(ContextClockTest, ASuspendedOrStalledContextIsLostOnceAndComesBackCountingAfresh) {
    long long device = 0;
    placeBuffers(0, 4);
    ASSERT_EQ(readAt(start + 0.1, &device), CONTEXT_HEARD);
    // Suspended (a background tab): lost once, then nothing more to say while it stays so.
    EXPECT_EQ(readAt(start + 0.2, &device, false), CONTEXT_LOST);
    EXPECT_EQ(readAt(start + 0.2, &device, false), CONTEXT_WAITING);
    // Running again but its time has not moved yet: still lost.
    EXPECT_EQ(contextClockRead(&context, true, start + 0.2, wall0 + 5.0, &device), CONTEXT_WAITING);
    // Its time moves: back, with the old buffers forgotten (the output counts from frame 0 again).
    EXPECT_EQ(contextClockRead(&context, true, start + 0.3, wall0 + 5.1, &device), CONTEXT_BACK);
    EXPECT_EQ(contextClockRead(&context, true, start + 0.4, wall0 + 5.2, &device), CONTEXT_WAITING);
    contextBufferPlaced(&context, 0, start + 0.5);
    EXPECT_EQ(contextClockRead(&context, true, start + 0.6, wall0 + 5.3, &device), CONTEXT_HEARD);
    EXPECT_NEAR(double(device), double(frames(0.1)), 1.0);
    // Claims to run, but its time stands still (no output device): lost after kContextStallSeconds,
    // not before.
    EXPECT_EQ(
        contextClockRead(&context, true, start + 0.6, wall0 + 5.3 + kContextStallSeconds - 0.01, &device),
        CONTEXT_HEARD);
    EXPECT_EQ(
        contextClockRead(&context, true, start + 0.6, wall0 + 5.3 + kContextStallSeconds + 0.01, &device),
        CONTEXT_LOST);
}

// Frames predicted for their presentation: a loop that reads the clock, draws for drawSeconds and is
// presented on a 60 Hz grid (vsync) or as soon as drawn (none).
class FramePredictionTest : public ::testing::Test {
protected:
    FramePrediction prediction;
    const double refresh = 1.0 / 60;
    void SetUp() override { predictionStart(&prediction); }
    // The wake-up after each presentation comes late by up to 1.5 ms, unevenly.
    static double wakeJitter(int frame) { return 0.0015 * ((frame * 7) % 5) / 4; }
};

TEST_F(FramePredictionTest, TheLeadIsTheMedianLagOfRecentFramesBoundedAndOnlyOnceMeasured) {
    EXPECT_EQ(predictionLead(&prediction, 0.0, false), 0.0);
    predictionPresented(&prediction, 1.000, 1.012);
    predictionPresented(&prediction, 1.020, 1.031);
    EXPECT_EQ(predictionLead(&prediction, 1.04, false), 0.0) << "two frames are not yet a measure";
    predictionPresented(&prediction, 1.040, 1.090);  // one held-up frame
    EXPECT_NEAR(predictionLead(&prediction, 1.1, false), 0.012, 1e-9);
    predictionPresented(&prediction, 1.100, 1.1105);
    EXPECT_NEAR(predictionLead(&prediction, 1.12, false), (0.011 + 0.012) / 2, 1e-9);
    // The oldest frames leave the window: a lag that changed is followed within it.
    for (int i = 0; i < kPredictionSamples; ++i)
        predictionPresented(&prediction, 2.0 + i * 0.1, 2.02 + i * 0.1);
    EXPECT_NEAR(predictionLead(&prediction, 4.0, false), 0.020, 1e-9);
    // Never more than the bound, never negative (a presentation stamped before its reading).
    for (int i = 0; i < kPredictionSamples; ++i)
        predictionPresented(&prediction, 5.0 + i * 0.2, 5.15 + i * 0.2);
    EXPECT_EQ(predictionLead(&prediction, 9.0, false), kMaxPredictionSeconds);
    for (int i = 0; i < kPredictionSamples; ++i) predictionPresented(&prediction, 10.0 + i, 9.99 + i);
    EXPECT_EQ(predictionLead(&prediction, 30.0, false), 0.0);
}

TEST_F(FramePredictionTest, WithVsyncFramesLandOnTheRefreshGridSoTheStepsAreEvenWhateverTheWakeUp) {
    // Read just after each presentation, drawn in 9 ms, presented on the next line of a 60 Hz grid;
    // every ninth presentation comes 6 ms late (a compositor held up once), the grid goes on.
    const double grid0 = 0.5;
    double presented = grid0, previousShown = -1;
    double worst = 0;
    for (int frame = 0; frame < 120; ++frame) {
        const double read = presented + wakeJitter(frame);
        const long long position = frames(read);  // the clock runs in real time
        const double lead = predictionLead(&prediction, read, true);
        const long long shown = predictionFrame(&prediction, position, false, lead, kRate, frames(300));
        const double line = grid0 + (frame + 1) * refresh;
        presented = line + (frame % 9 == 4 ? 0.006 : 0.0);
        predictionPresented(&prediction, read, presented);
        if (frame >= 5) {
            // Each frame shows the music heard at its own grid line, to the frame.
            EXPECT_NEAR(ms(shown), line * 1000, 0.05) << "frame " << frame;
            worst = std::max(worst, std::fabs(ms(shown) - previousShown - refresh * 1000));
        }
        previousShown = ms(shown);
    }
    EXPECT_LT(worst, 0.05) << "steps between frames";
    // A grid is only believed from swaps a display paced: unpaced (1 ms apart) the median lag counts.
    FramePrediction unpaced;
    predictionStart(&unpaced);
    for (int i = 0; i < 10; ++i) predictionPresented(&unpaced, i * 0.001, i * 0.001 + 0.0008);
    EXPECT_NEAR(predictionLead(&unpaced, 0.0105, true), 0.0008, 1e-9);
    // Without vsync the wake-up's jitter stays in the steps, which the median lag cannot remove.
    FramePrediction late;
    predictionStart(&late);
    for (int i = 0; i < 9; ++i) predictionPresented(&late, i * refresh + wakeJitter(i), (i + 1) * refresh);
    EXPECT_NEAR(predictionLead(&late, 9 * refresh + 0.0013, false), refresh - 0.0015 * 2 / 4, 1e-9);
}

TEST_F(FramePredictionTest, ShownFramesNeverRunBackButForSeeksHoldTheTargetAndStopAtTheMusicsEnd) {
    for (int i = 0; i < 5; ++i) predictionPresented(&prediction, i * 0.02, i * 0.02 + 0.015);
    const double lead = predictionLead(&prediction, 0.1, false);
    ASSERT_NEAR(lead, 0.015, 1e-9);
    // Held at the start: the target as it is, then the lead from the first frame heard.
    EXPECT_EQ(predictionFrame(&prediction, 0, true, lead, kRate, frames(200)), 0);
    EXPECT_EQ(predictionFrame(&prediction, 0, true, lead, kRate, frames(200)), 0);
    EXPECT_EQ(predictionFrame(&prediction, frames(0.001), false, lead, kRate, frames(200)), frames(0.016));
    // A lead that shrinks does not take the picture back.
    EXPECT_EQ(predictionFrame(&prediction, frames(0.002), false, 0.0, kRate, frames(200)), frames(0.016));
    EXPECT_EQ(predictionFrame(&prediction, frames(0.020), false, 0.0, kRate, frames(200)), frames(0.020));
    // A seek back: the target while held, no smear from the frames before it, then on with the lead.
    EXPECT_EQ(predictionFrame(&prediction, frames(10.0), false, lead, kRate, frames(200)), frames(10.015));
    EXPECT_EQ(predictionFrame(&prediction, frames(9.0), true, lead, kRate, frames(200)), frames(9.0));
    EXPECT_EQ(predictionFrame(&prediction, frames(9.0), true, lead, kRate, frames(200)), frames(9.0));
    EXPECT_EQ(predictionFrame(&prediction, frames(9.001), false, lead, kRate, frames(200)), frames(9.016));
    // A seek back on the silent clock (no hold) is not held up by the frames shown before it.
    EXPECT_EQ(predictionFrame(&prediction, frames(5.0), false, lead, kRate, frames(200)), frames(5.015));
    // Never past the music's end; past it the position runs on without a lead, with no step back.
    EXPECT_EQ(predictionFrame(&prediction, frames(199.99), false, lead, kRate, frames(200)), frames(200));
    EXPECT_EQ(predictionFrame(&prediction, frames(200.01), false, lead, kRate, frames(200)), frames(200.01));
    EXPECT_EQ(predictionFrame(&prediction, frames(200.02), false, lead, kRate, frames(200)), frames(200.02));
}
