// avAnalysisTest.cpp
// The recording's readings: the scroller's shift to a fraction of a pixel over a moving background,
// the reference's picture changes, the clicks' first frames (also through a resampler), and the
// recorder's skew with the refusal of a calibration that does not hold together; and
// kestrane-avoffset's arguments, every number read whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

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

TEST(ClickOnsets, RingingAndAFloorOfAFewPercentStillCountAsQuiet) {
    const int rate = 1000;
    std::vector<float> sound(3000, 0.0f);
    for (size_t i = 0; i < sound.size(); ++i) sound[i] = i % 2 ? 0.03f : -0.03f;  // a floor of 0.03
    for (int i = 1; i <= 4; ++i) sound[size_t(1000 - i)] = 0.08f;  // ringing over 4 ms before the rise
    sound[1000] = 0.5f;
    for (int i = 1; i <= 8; ++i) sound[size_t(2000 - i)] = 0.08f;  // 8 ms of it: the rise is no click
    sound[2000] = 0.5f;
    EXPECT_EQ(clickOnsets(sound, rate), (std::vector<long>{1000}));
}

namespace {

// Band-limited resampling as PipeWire does it by default: a Blackman-windowed sinc 24 frames of the
// lower rate each side, cut off at 0.85 of the lower rate's Nyquist frequency.
// phase: the input frame (fraction) at the first output frame.
std::vector<float> resample(const std::vector<float>& in, int from, int to, double phase) {
    const double step = double(from) / to;  // input frames per output frame
    const double lower = std::min(1.0, double(to) / from);
    const double cutoff = 0.85 * lower;  // of the input's Nyquist frequency
    const int half = int(std::ceil(24 / lower));
    std::vector<float> out(size_t(double(in.size()) / step));
    for (size_t j = 0; j < out.size(); ++j) {
        const double t = double(j) * step + phase;
        const long k0 = long(std::floor(t));
        double sum = 0;
        for (long k = k0 - half + 1; k <= k0 + half; ++k) {
            if (k < 0 || k >= long(in.size())) continue;
            const double u = t - double(k), x = cutoff * u;
            const double sinc = x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
            const double w = 0.42 + 0.5 * std::cos(M_PI * u / half) + 0.08 * std::cos(2 * M_PI * u / half);
            sum += in[size_t(k)] * cutoff * sinc * w;
        }
        out[j] = float(sum);
    }
    return out;
}

// kestrane-avreference's click (a decaying 2 kHz tone, 20000 of 32767 at first) at the given frames.
std::vector<float> clickTrain(const std::vector<long>& starts, long frames) {
    const int rate = 44100;
    std::vector<float> sound(size_t(frames), 0.0f);
    for (long start : starts)
        for (int i = 0; i < rate / 20; ++i)
            sound[size_t(start + i)] =
                float(20000.0 / 32768 * std::exp(-i / 400.0) * std::sin(2 * M_PI * 2000.0 * i / rate));
    return sound;
}

}  // namespace

TEST(ClickOnsets, ThroughResamplingTo48kHzAndBackWithinAMillisecond) {
    const int rate = 44100;
    const std::vector<long> starts = {11025, 40000, 71313, 97000, 131111, 160500};
    // The phase puts the clicks between the 48 kHz frames as in a PipeWire recording, whose ringing
    // reached 0.013 in the frame before the rise.
    std::vector<float> heard =
        resample(resample(clickTrain(starts, 4 * rate), rate, 48000, 0.4), 48000, rate, 0.0);
    double ringing = 0;  // louder than the old limit of a quiet stretch, 0.01
    for (long start : starts)
        for (long i = start - 40; i < start; ++i)
            ringing = std::max(ringing, std::fabs(double(heard[size_t(i)])));
    EXPECT_GT(ringing, 0.01);
    std::vector<long> found = clickOnsets(heard, rate);
    ASSERT_EQ(found.size(), starts.size());
    for (size_t k = 0; k < starts.size(); ++k) EXPECT_NEAR(found[k], starts[k], rate / 1000) << k;
}

namespace {

// A reference part as the recorder sees it: picture changes at kestrane-avreference's irregular
// intervals (0.6 to 1.0 s), each click heard skew later, give or take where the change fell between
// two 50 fps frames (+-10 ms).
struct Reference {
    std::vector<double> changes, clicks;
};

uint32_t nextRandom(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}
double uniform(uint32_t* state) { return nextRandom(state) / double(1u << 24); }

Reference reference(double skew, int count, uint32_t seed, double interval = -1) {
    Reference r;
    double t = 3.0;
    for (int k = 0; k < count; ++k) {
        r.changes.push_back(t);
        r.clicks.push_back(t + skew + 0.02 * (uniform(&seed) - 0.5));
        t += interval > 0 ? interval : 0.6 + 0.4 * uniform(&seed);
    }
    return r;
}

const double kTolerance = 0.025;

}  // namespace

TEST(RecorderSkew, FoundBeyondHalfTheClickSpacingWhereTheNearestClickIsWrong) {
    // ffmpeg's pulse timestamps put the sound 643 ms early: the nearest click to each change (within
    // 0.4 s) is the next one, 357 ms later, with clicks 1 s apart.
    for (double interval : {1.0, -1.0}) {
        Reference r = reference(-0.643, 15, 5, interval);
        std::vector<int> nearest = pairAtSkew(r.changes, r.clicks, 0.0, 0.4);
        ASSERT_GE(nearest[0], 0);
        EXPECT_GT(std::fabs(r.clicks[size_t(nearest[0])] - r.changes[0] + 0.643), 0.3) << interval;
        SkewFit fit = fitSkew(r.changes, r.clicks, -2, 2, kTolerance);
        ASSERT_TRUE(fit.found);
        EXPECT_NEAR(fit.skew, -0.643, 0.010) << interval;
        EXPECT_EQ(fit.agreeing, 15) << interval;
        EXPECT_LT(fit.spread, 0.010) << interval;
        for (size_t i = 0; i < r.changes.size(); ++i) EXPECT_EQ(fit.pairs[i], int(i)) << interval;
    }
}

TEST(RecorderSkew, FoundAnywhereInTheRangeAndNotOutside) {
    for (double skew : {-1.9, -0.643, -0.099, 0.0, 0.25, 1.4}) {
        Reference r = reference(skew, 15, 11);
        SkewFit fit = fitSkew(r.changes, r.clicks, -2, 2, kTolerance);
        EXPECT_NEAR(fit.skew, skew, 0.010) << skew;
        EXPECT_EQ(fit.agreeing, 15) << skew;
        EXPECT_EQ(calibrationRefusal({{fit.agreeing, 15, fit.skew}}, kTolerance), "") << skew;
    }
    Reference far = reference(-2.6, 15, 11);
    EXPECT_LT(fitSkew(far.changes, far.clicks, -2, 2, kTolerance).agreeing, 8);
    EXPECT_FALSE(fitSkew({1.0}, {5.0}, -2, 2, kTolerance).found);
}

TEST(RecorderSkew, TiesGoToTheSmallestSpread) {
    // Two changes: the clicks 0.5 s before both line up exactly, those 0.5 s after 20 ms apart.
    SkewFit fit = fitSkew({0.0, 10.0}, {-0.5, 0.5, 9.5, 10.52}, -2, 2, kTolerance);
    EXPECT_EQ(fit.agreeing, 2);
    EXPECT_NEAR(fit.skew, -0.5, 1e-9);
    EXPECT_EQ(fit.pairs, (std::vector<int>{0, 2}));
}

TEST(RecorderSkew, PairsOnlyWithinTheToleranceAndTheNearestClick) {
    std::vector<double> changes = {1.0, 2.0, 3.0};
    std::vector<double> clicks = {0.9 - 0.024, 1.9 - 0.026, 2.9 + 0.004, 2.9 - 0.002};
    EXPECT_EQ(pairAtSkew(changes, clicks, -0.1, kTolerance), (std::vector<int>{0, -1, 3}));
}

TEST(RecorderSkew, HalfTheChangesWithoutAClickFindTheSkewButAreRefused) {
    Reference r = reference(-0.643, 15, 23);
    std::vector<double> clicks;
    for (size_t k = 0; k < r.clicks.size(); k += 2) clicks.push_back(r.clicks[k]);
    SkewFit fit = fitSkew(r.changes, clicks, -2, 2, kTolerance);
    EXPECT_NEAR(fit.skew, -0.643, 0.010);
    EXPECT_EQ(fit.agreeing, 8);
    for (size_t i = 0; i < r.changes.size(); ++i) EXPECT_EQ(fit.pairs[i], i % 2 ? -1 : int(i / 2)) << i;
    Reference after = reference(-0.640, 15, 29);
    SkewFit full = fitSkew(after.changes, after.clicks, -2, 2, kTolerance);
    EXPECT_NE(calibrationRefusal({{fit.agreeing, 15, fit.skew}, {full.agreeing, 15, full.skew}}, kTolerance),
              "");
}

TEST(RecorderSkew, UnrelatedClicksAreRefused) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        for (int clicks : {15, 40}) {
            Reference r = reference(0.0, 15, seed);
            const double span = r.changes.back() - r.changes.front() + 2.0;
            r.clicks.clear();
            uint32_t state = seed * 7919u;
            for (int k = 0; k < clicks; ++k)
                r.clicks.push_back(r.changes.front() - 1.0 + span * uniform(&state));
            std::sort(r.clicks.begin(), r.clicks.end());
            SkewFit fit = fitSkew(r.changes, r.clicks, -2, 2, kTolerance);
            EXPECT_NE(
                calibrationRefusal({{fit.agreeing, 15, fit.skew}, {fit.agreeing, 15, fit.skew}}, kTolerance),
                "")
                << seed << " " << clicks;
        }
    }
}

TEST(CalibrationRefusal, FiveInSixOverAllMoreThanHalfInEachPartAndOneSkew) {
    auto refusal = [](int before, int after, double moved = 0.0) {
        return calibrationRefusal({{before, 15, -0.5}, {after, 15, -0.5 + moved}}, kTolerance);
    };
    EXPECT_EQ(refusal(15, 15), "");
    EXPECT_EQ(refusal(13, 12), "");
    EXPECT_EQ(refusal(13, 11),
              "only 24 of 30 reference changes agree with the recorder skew (five in six needed)");
    EXPECT_EQ(refusal(15, 7),
              "only 7 of 15 reference changes after the demo agree with one recorder skew (more than half "
              "needed)");
    EXPECT_NE(refusal(7, 15), "");
    EXPECT_EQ(refusal(15, 15, 0.024), "");
    EXPECT_EQ(refusal(15, 15, -0.024), "");
    // ffmpeg lost 0.5 s of PipeWire's sound during the demo: each part alone agreed perfectly.
    EXPECT_EQ(refusal(15, 15, -0.504),
              "the recorder skew moved by -504 ms between the reference runs (25 ms allowed): the recorder "
              "lost or gained sound in between");
    EXPECT_NE(refusal(15, 15, 0.026), "");
    EXPECT_EQ(calibrationRefusal({{13, 15, 0.1}}, kTolerance), "");
    EXPECT_NE(calibrationRefusal({{12, 15, 0.1}}, kTolerance), "");
    EXPECT_NE(calibrationRefusal({}, kTolerance), "");
}

namespace {

// A reference run as the recorder sees it: the true skew, each change placed at the middle of a
// 20 ms frame gap (or 40 ms where the grabber dropped a frame), so each pair's difference lies
// within its half gap of the skew.
ReferencePart steadyPart(double skew, uint32_t seed) {
    ReferencePart part{15, 15, skew, {}};
    for (int k = 0; k < 15; ++k) {
        const double halfGap = k == 6 ? 0.020 : 0.010;
        part.pairs.push_back({skew + halfGap * (2 * uniform(&seed) - 1), halfGap});
    }
    return part;
}

// The demo's stretch: 12 s of frames at 50 fps whose sound the recorder kept sample for sample
// (offset 1234 frames against the music, give or take PipeWire's 3), with one frame in a hundred
// matched to a repeat of the music 3.84 s away.
std::vector<SoundMatch> steadyStretch() {
    std::vector<SoundMatch> matches;
    uint32_t seed = 5;
    for (int i = 0; i < 600; ++i) {
        long offset = 1234 + long(7 * uniform(&seed)) - 3;
        if (i % 100 == 50) offset += 169344;
        matches.push_back({1000.0 + i * 0.02, offset});
    }
    return matches;
}

// The frames from time t on, their sound moved by frames (a loss in the recording: > 0).
void moveFrom(std::vector<SoundMatch>* matches, double t, long frames) {
    for (SoundMatch& m : *matches)
        if (m.time >= t) m.offset += frames;
}

const double kStretchLimit = 0.003;

}  // namespace

TEST(RecorderSound, SteadySoundPassesWithResamplingJitterAndStrayMatches) {
    EXPECT_EQ(stretchRefusal(steadyStretch(), 44100, kStretchLimit), "");
    EXPECT_EQ(stretchRefusal({}, 44100, kStretchLimit), "");
    for (uint32_t seed = 1; seed <= 10; ++seed)
        EXPECT_EQ(calibrationRefusal({steadyPart(-0.1, seed), steadyPart(-0.104, seed + 100)}, kTolerance),
                  "")
            << seed;
}

TEST(RecorderSound, AStepInTheStretchIsRefused) {
    // PipeWire's monitor lost 1,411 samples (32 ms) when a stream asked for 60 ms; and a smaller
    // loss, 4 ms, still over the limit.
    for (long lost : {1411L, 176L, -1411L}) {
        std::vector<SoundMatch> matches = steadyStretch();
        moveFrom(&matches, 1005.3, lost);
        const std::string refusal = stretchRefusal(matches, 44100, kStretchLimit);
        EXPECT_NE(refusal, "") << lost;
        EXPECT_NE(refusal.find(lost > 0 ? "moved by +" : "moved by -"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("between 4 s and 5 s"), std::string::npos) << refusal;
    }
}

TEST(RecorderSound, ALossAndAGainThatCancelAreRefused) {
    // The first and the last second agree: only the seconds between show the recorder's sound
    // 32 ms away.
    std::vector<SoundMatch> matches = steadyStretch();
    moveFrom(&matches, 1003.0, 1411);
    moveFrom(&matches, 1008.0, -1411);
    EXPECT_NE(stretchRefusal(matches, 44100, kStretchLimit), "");
    // Two reference runs that agree on the skew while their clicks are not all at one skew: a loss
    // and a gain within the run after the demo.
    ReferencePart after = steadyPart(-0.1, 3);
    for (size_t k = 5; k < 10; ++k) after.pairs[k].difference -= 0.032;
    EXPECT_NE(calibrationRefusal({steadyPart(-0.1, 2), after}, kTolerance), "");
}

TEST(RecorderSound, AReferenceClickFarFromTheOthersIsRefused) {
    ReferencePart before = steadyPart(-0.1, 4);
    // 20 ms off, its frames 20 ms apart: 10 ms beyond its own half gap, outside what the others
    // allow by more than 6 ms.
    before.pairs[9].difference = -0.1 + 0.020;
    const std::string refusal = calibrationRefusal({before, steadyPart(-0.1, 5)}, kTolerance);
    EXPECT_EQ(refusal.substr(0, 47), "reference click 10 before the demo lies 9 ms ou") << refusal;
    EXPECT_NE(refusal.find("outside the skew most clicks' frames allow (6 ms allowed): the recorder's sound "
                           "or picture moved within the run"),
              std::string::npos)
        << refusal;
    EXPECT_GT(pairOutside(before.pairs, 9), 0.006);
    // As far off, but where the grabber dropped a frame (40 ms between the two frames): allowed.
    ReferencePart dropped = steadyPart(-0.1, 4);
    dropped.pairs[6].difference = -0.1 - 0.020;
    EXPECT_EQ(calibrationRefusal({dropped, steadyPart(-0.1, 5)}, kTolerance), "");
    ReferencePart late = steadyPart(-0.1, 6);
    late.pairs[0].difference = -0.1 - 0.0185;
    EXPECT_NE(calibrationRefusal({steadyPart(-0.1, 5), late}, kTolerance).find("click 1 after the demo"),
              std::string::npos);
    // A steady run: every pair inside what the others allow.
    const ReferencePart steady = steadyPart(-0.1, 7);
    for (size_t i = 0; i < steady.pairs.size(); ++i) EXPECT_LE(pairOutside(steady.pairs, i), 0.0) << i;
}

TEST(Median, OddAndEvenCounts) {
    EXPECT_DOUBLE_EQ(median({3, 1, 2}), 2);
    EXPECT_DOUBLE_EQ(median({4, 1, 3, 2}), 2.5);
}

namespace {

// Parses a kestrane-avoffset command line (after the program's name); the exit code, with
// standard error in *said.
int parseAvOffset(std::vector<const char*> args, AvOffsetOptions* options, std::string* said) {
    args.insert(args.begin(), "kestrane-avoffset");
    testing::internal::CaptureStderr();
    int code = parseAvOffsetArguments(int(args.size()), const_cast<char**>(args.data()), options);
    *said = testing::internal::GetCapturedStderr();
    return code;
}

// The arguments scripts/avOffset passes, with one of them replaced.
std::vector<const char*> avOffsetArgs(size_t index = 0, const char* value = nullptr) {
    std::vector<const char*> args = {
        "f.gray", "800", "48",  "t.txt", "s.raw", "0.021000", "1765170000.5:1765170043.25",
        "m.mp3",  "off", "552", "-3.50", "15"};
    if (value) args[index] = value;
    return args;
}

}  // namespace

TEST(AvOffsetArguments, TheScriptsArgumentsAreRead) {
    AvOffsetOptions o;
    std::string said;
    ASSERT_EQ(parseAvOffset(avOffsetArgs(), &o, &said), 0) << said;
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 48);
    EXPECT_EQ(o.top, 552);
    EXPECT_DOUBLE_EQ(o.soundStart, 0.021);
    EXPECT_DOUBLE_EQ(o.split, 1765170000.5);
    EXPECT_DOUBLE_EQ(o.resume, 1765170043.25);
    EXPECT_DOUBLE_EQ(o.shownLate, -0.0035);
    EXPECT_EQ(o.clicks, 15);
    EXPECT_STREQ(o.referenceDir, "off");
    // Without the optional ones: no shown-late correction, 15 clicks; SPLIT alone: no RESUME.
    std::vector<const char*> shortest = avOffsetArgs(6, "1765170000.5");
    shortest.resize(10);
    ASSERT_EQ(parseAvOffset(shortest, &o, &said), 0) << said;
    EXPECT_EQ(o.shownLate, 0.0);
    EXPECT_EQ(o.clicks, 15);
    EXPECT_EQ(o.resume, 1e300);
}

TEST(AvOffsetArguments, BadNumbersAndCountsExitTwoNamingTheArgument) {
    AvOffsetOptions o;
    std::string said;
    const struct {
        size_t index;
        const char* value;
        const char* named;
    } bad[] = {
        {1, "abc", "WIDTH 'abc'"},
        {1, "800px", "WIDTH '800px'"},
        {1, "0", "WIDTH '0'"},
        {2, "-48", "HEIGHT '-48'"},
        {5, "N/A", "SOUND_START 'N/A'"},
        {5, "", "SOUND_START ''"},
        {6, "5:3", "SPLIT[:RESUME] '5:3'"},
        {6, "5:", "SPLIT[:RESUME] '5:'"},
        {6, "x", "SPLIT[:RESUME] 'x'"},
        {9, "1.5", "TOP '1.5'"},
        {10, "nan", "SHOWN_LATE_MS 'nan'"},
        {11, "0", "CLICKS '0'"},
        {11, "15x", "CLICKS '15x'"},
    };
    for (const auto& b : bad) {
        EXPECT_EQ(parseAvOffset(avOffsetArgs(b.index, b.value), &o, &said), 2) << b.named;
        EXPECT_NE(said.find(std::string("kestrane-avoffset: bad ") + b.named), std::string::npos) << said;
        EXPECT_NE(said.find("\nusage: kestrane-avoffset"), std::string::npos) << said;
    }
    for (size_t count : {size_t(0), size_t(9), size_t(13)}) {
        std::vector<const char*> args = avOffsetArgs();
        args.resize(count, "1");
        EXPECT_EQ(parseAvOffset(args, &o, &said), 2) << count;
        EXPECT_NE(said.find("expected 10 to 12 arguments, got " + std::to_string(count)), std::string::npos)
            << said;
    }
}
