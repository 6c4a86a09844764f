// soundClockAnalysisTest.cpp
// kestrane-soundclock's reading of a run, on made-up runs: the clock's error found whatever the
// monitor's delay and the clock's own error, and refused when the monitor lost sound (the clicks
// move against the track), when its frames step against the monotonic clock, when the plain
// stream's clicks disagree, or when the clock never moved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/soundclock/soundClockAnalysis.h"

namespace {

const int kRate = 44100;

// A run: the track's clicks play at start + frame / rate; the clock reads their position plus
// clockErrorMs; the monitor's frame f shows what played at monitorStart + f / rate less delay
// after it played; its 100 ms chunks arrive up to 3 ms late; the plain stream's clicks play half-way
// between the track's.
struct SoundRun {
    std::vector<long> track, monitor;
    std::vector<MonitorChunk> chunks;
    std::vector<ClockReading> readings;
    std::vector<double> references;
};

const double kStart = 100.0;  // monotonic s at which the track's frame 0 plays
const long kShift = 30000;    // the monitor's frame of the track's frame 0

SoundRun makeRun(double clockErrorMs, double delay, long lostAtFrame = -1, long lost = 0,
                 double levelStepAt = -1, double levelStep = 0) {
    SoundRun run;
    for (int k = 0; k < 16; ++k) run.track.push_back(kRate * (1 + k) + (k % 7) * 331);
    // Monitor frame f appears at monitorZero + f / rate.
    const double monitorZero = kStart - double(kShift) / kRate + delay;
    auto monitorFrame = [&](double played) {
        long f = long(std::lround((played + delay - monitorZero) * kRate));
        if (lostAtFrame >= 0 && f >= lostAtFrame) f -= lost;
        return f;
    };
    for (long t : run.track) run.monitor.push_back(monitorFrame(kStart + double(t) / kRate));
    for (size_t k = 0; k + 1 < run.track.size(); ++k) {
        const double played = kStart + 0.5 * double(run.track[k] + run.track[k + 1]) / kRate;
        run.references.push_back(played);
        run.monitor.push_back(monitorFrame(played));
    }
    std::sort(run.monitor.begin(), run.monitor.end());
    unsigned seed = 1;
    for (double t = monitorZero + 0.1; t < kStart + 18.0; t += 0.1) {
        seed = seed * 1103515245u + 12345u;
        const double late = 0.003 * double((seed >> 8) % 1000) / 1000.0;
        long long end = (long long)((t - monitorZero) * kRate);
        if (lostAtFrame >= 0 && end >= lostAtFrame) end -= lost;
        run.chunks.push_back({t + late + (levelStepAt >= 0 && t >= levelStepAt ? levelStep : 0), end});
    }
    for (double t = kStart - 0.5; t < kStart + 17.0; t += 0.002)
        run.readings.push_back({t, std::max(0.0, (t - kStart) * 1000.0 + clockErrorMs)});
    return run;
}

SoundClockResult analyse(const SoundRun& run) {
    return analyseSoundClock(run.track, run.monitor, run.chunks, run.readings, run.references);
}

double medianOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

TEST(SoundClock, FindsTheClocksErrorWhateverTheMonitorsDelay) {
    // PulseAudio's null sink hands its monitor what it renders ahead (the monitor early); PipeWire's
    // a period after it plays (late).
    for (double delay : {-0.040, 0.0, 0.043})
        for (double error : {-10.0, 0.0, 7.5}) {
            const SoundClockResult r = analyse(makeRun(error, delay));
            ASSERT_EQ(r.refusal, "") << delay << " " << error;
            ASSERT_EQ(r.errors.size(), 16u);
            EXPECT_NEAR(medianOf(r.errors), error, 0.5) << delay << " " << error;
            EXPECT_NEAR(medianOf(r.arrivalErrors), error + delay * 1000, 3.5) << delay << " " << error;
            EXPECT_NEAR(r.monitorDelay, delay, 0.0035) << delay << " " << error;
            EXPECT_EQ(r.referenceFound, 15);
            EXPECT_LT(r.levelSpread, 0.004);
        }
}

TEST(SoundClock, AMonitorThatLostSoundIsRefused) {
    // 1,411 frames (32 ms) lost between two clicks, as PipeWire's monitor lost them: the clicks
    // after it come that much early against the track, half of them then pair at another shift.
    const SoundClockResult lost = analyse(makeRun(0, 0.01, kShift + 8 * kRate, 1411));
    EXPECT_NE(lost.refusal.find("lost or gained sound"), std::string::npos) << lost.refusal;
    // 5 ms lost, or gained: the later clicks pair, off the earlier ones.
    for (long frames : {220L, -220L}) {
        const SoundClockResult small = analyse(makeRun(0, 0.01, kShift + 8 * kRate, frames));
        EXPECT_NE(small.refusal.find("off the others on the monitor"), std::string::npos) << small.refusal;
    }
    // The frames fall behind the clock without a click moving (the monitor delivers later for good):
    // the level steps.
    const SoundClockResult late = analyse(makeRun(0, 0.01, -1, 0, kStart + 8.0, 0.010));
    EXPECT_NE(late.refusal.find("against the monotonic clock moved by +10"), std::string::npos)
        << late.refusal;
    // A step under the limit passes.
    EXPECT_EQ(analyse(makeRun(0, 0.01, -1, 0, kStart + 8.0, 0.002)).refusal, "");
}

TEST(SoundClock, ThePlainStreamMustAgreeWithItself) {
    // Its clicks 4 ms either side of one delay: the server's answers are no measure of when they
    // played.
    SoundRun run = makeRun(0, 0.01);
    for (size_t k = 0; k < run.references.size(); ++k) run.references[k] += (k % 2 ? 0.004 : -0.004);
    EXPECT_NE(analyse(run).refusal.find("standard deviation"), std::string::npos) << analyse(run).refusal;
    // Without any: no delay, no figure.
    run.references.clear();
    EXPECT_NE(analyse(run).refusal.find("plain stream"), std::string::npos);
}

TEST(SoundClock, AClockThatDoesNotMoveOrMissingClicksAreRefused) {
    SoundRun still = makeRun(0, 0.01);
    for (ClockReading& r : still.readings) r.musicMs = 0;
    EXPECT_EQ(analyse(still).refusal, "the music clock did not move");
    SoundRun missing = makeRun(0, 0.01);
    missing.monitor.erase(missing.monitor.begin() + 4, missing.monitor.begin() + 12);
    EXPECT_NE(analyse(missing).refusal.find("clicks played were found"), std::string::npos)
        << analyse(missing).refusal;
}

TEST(SoundClock, PairsEachFoundClickOnceAtTheShiftPairingMost) {
    const ClickPairing p = pairClicks({100, 1100, 2300}, {600, 650, 1600, 2800, 5000}, 10);
    EXPECT_EQ(p.shift, 500);
    EXPECT_EQ(p.paired, 3);
    EXPECT_EQ(p.pairs, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(pairClicks({100, 105}, {600}, 10).paired, 1);
}

TEST(SoundClock, ClockInterpolatedBetweenReads) {
    const std::vector<ClockReading> reads = {{1.0, 100}, {1.01, 110}, {1.03, 110}};
    EXPECT_NEAR(clockAt(reads, 1.005), 105, 1e-6);
    EXPECT_NEAR(clockAt(reads, 1.02), 110, 1e-6);
    EXPECT_EQ(clockAt(reads, 0.9), -1);
    EXPECT_EQ(clockAt(reads, 1.04), -1);
}
