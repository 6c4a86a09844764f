// soundAlignmentTest.cpp
// The alignment finds a recording's place in the music and reports each slipped-in silence,
// skip or in-place corruption with its length, and nothing in a clean recording; the measuring
// tools' numbers and arguments are read strictly (exit 2 for anything else).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/platform.h"
#include "tools/soundcheck/recordingInput.h"
#include "tools/soundcheck/soundAlignment.h"

namespace {

const long kRate = kSampleRate;

// Twenty seconds of music-like sound: tones under a noise floor that changes every beat.
std::vector<float> makeMusic() {
    std::vector<float> music(size_t(20 * kRate), 0.0f);
    unsigned seed = 12345;
    for (size_t i = 0; i < music.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        float noise = float(int((seed >> 8) & 0xFFFF) - 32768) / 32768.0f;
        double t = double(i) / kRate;
        float beat = 0.2f + 0.3f * float(std::fmod(t * 2.0, 1.0));
        music[i] = 0.3f * beat * noise + 0.2f * float(std::sin(2 * M_PI * (220 + 40 * std::floor(t)) * t));
    }
    return music;
}

const std::vector<float>& music() {
    static const std::vector<float> m = makeMusic();
    return m;
}

// Half a second of silence, then the music from 3 s for 8 s.
std::vector<float> cleanRecording() {
    std::vector<float> rec(size_t(kRate / 2), 0.0f);
    rec.insert(rec.end(), music().begin() + 3 * kRate, music().begin() + 11 * kRate);
    return rec;
}

std::vector<SoundEvent> disruptions(const std::vector<float>& rec, long limit) {
    SoundAlignment a = alignRecording(music(), rec);
    EXPECT_TRUE(a.aligned);
    std::vector<SoundEvent> out;
    for (const SoundEvent& e : a.events)
        if (isDisruption(e, limit)) out.push_back(e);
    return out;
}

const long kFiveMs = 5 * kRate / 1000;

}  // namespace

TEST(SoundAlignment, ACleanRecordingIsFoundAndHasNoEvent) {
    SoundAlignment a = alignRecording(music(), cleanRecording());
    ASSERT_TRUE(a.aligned);
    EXPECT_NEAR(a.firstMusicFrame, 3 * kRate, kRate / 10);
    EXPECT_NEAR(a.lastMusicFrame, 11 * kRate, 1500);
    EXPECT_EQ(a.matchedWindows, a.windows);
    EXPECT_TRUE(a.events.empty());
}

TEST(SoundAlignment, SilenceSlippedInIsReportedWithItsLength) {
    std::vector<float> rec = cleanRecording();
    const long at = 4 * kRate + 123, gap = 10 * kRate / 1000;  // 10 ms
    rec.insert(rec.begin() + at, size_t(gap), 0.0f);
    std::vector<SoundEvent> events = disruptions(rec, kFiveMs);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].shiftFrames, gap);
    EXPECT_NEAR(events[0].spanFrames, gap, 80);
    EXPECT_NEAR(events[0].recordingFrame, at, 1100);
}

TEST(SoundAlignment, ADropoutUnderTheLimitIsNoDisruption) {
    std::vector<float> rec = cleanRecording();
    rec.insert(rec.begin() + 5 * kRate, size_t(3 * kRate / 1000), 0.0f);  // 3 ms
    SoundAlignment a = alignRecording(music(), rec);
    ASSERT_EQ(a.events.size(), 1u);
    EXPECT_EQ(a.events[0].shiftFrames, 3 * kRate / 1000);
    EXPECT_FALSE(isDisruption(a.events[0], kFiveMs));
}

TEST(SoundAlignment, SkippedAudioAndInPlaceCorruptionAreReported) {
    std::vector<float> rec = cleanRecording();
    const long skip = 20 * kRate / 1000;
    rec.erase(rec.begin() + 3 * kRate, rec.begin() + 3 * kRate + skip);
    const long zeroAt = 6 * kRate, zeros = 8 * kRate / 1000;  // 8 ms replaced by silence
    std::fill(rec.begin() + zeroAt, rec.begin() + zeroAt + zeros, 0.0f);
    std::vector<SoundEvent> events = disruptions(rec, kFiveMs);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].shiftFrames, -skip);
    EXPECT_EQ(events[1].shiftFrames, 0);
    EXPECT_NEAR(events[1].spanFrames, zeros, 80);
}

TEST(SoundAlignment, ALongDropoutIsFoundAgainFurtherOn) {
    std::vector<float> rec = cleanRecording();
    const long gap = kRate * 3 / 10;  // 300 ms: beyond the near search
    rec.insert(rec.begin() + 4 * kRate, size_t(gap), 0.0f);
    std::vector<SoundEvent> events = disruptions(rec, kFiveMs);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].shiftFrames, gap);
}

TEST(SoundAlignment, ARecordingOfSomethingElseIsNotAligned) {
    std::vector<float> rec(size_t(3 * kRate), 0.0f);
    for (size_t i = 0; i < rec.size(); ++i) rec[i] = 0.3f * float(std::sin(i * 0.05));
    EXPECT_FALSE(alignRecording(music(), rec).aligned);
}

// The soundtrack's opening repeats itself within a beat: a clean copy that starts there must lock
// onto its true place, not one period off (which read as a 46 ms skip a moment later).
TEST(SoundAlignment, ACleanCopyStartingInARepeatingPassageHasNoEvent) {
    std::vector<float> song;
    ASSERT_TRUE(
        readMusicMono((std::string(KESTRANE_SOURCE_DIR "/") + kMusicPath).c_str(), kSampleRate, &song))
        << "the generated music is needed (scripts/setup)";
    for (double start : {1.80, 1.90, 3.65, 3.70, 5.48, 8.44}) {
        long first = long(start * kRate);
        std::vector<float> rec(song.begin() + first, song.begin() + first + 8 * kRate);
        SoundAlignment a = alignRecording(song, rec);
        ASSERT_TRUE(a.aligned) << start;
        EXPECT_EQ(a.firstMusicFrame, first) << start;
        EXPECT_TRUE(a.events.empty()) << "copy from " << start << " s: " << a.events.size() << " events";
    }
}

namespace {

// Parses a kestrane-soundcheck command line; the exit code, with standard error in *said.
int parseSoundcheck(std::vector<const char*> args, SoundcheckOptions* options, std::string* said) {
    args.insert(args.begin(), "kestrane-soundcheck");
    testing::internal::CaptureStderr();
    int code = parseSoundcheckArguments(int(args.size()), const_cast<char**>(args.data()), options);
    *said = testing::internal::GetCapturedStderr();
    return code;
}

}  // namespace

TEST(ToolArguments, NumbersAreWholeArgumentsInRange) {
    long long n = -1;
    EXPECT_TRUE(parseWholeArgument("800", 1, 16384, &n));
    EXPECT_EQ(n, 800);
    EXPECT_TRUE(parseWholeArgument("-5", -10, 10, &n));
    EXPECT_EQ(n, -5);
    for (const char* bad : {"", "abc", "8OO", "800px", " 800", "800 ", "+800", "-800", "0x10", "1e3", "80.0",
                            "16385", "0", "99999999999999999999"}) {
        EXPECT_FALSE(parseWholeArgument(bad, 1, 16384, &n)) << bad;
    }
    double d = -1;
    EXPECT_TRUE(parseDecimalArgument("1765170000.123456789", -1e12, 1e12, &d));
    EXPECT_NEAR(d, 1765170000.123456789, 1e-6);
    EXPECT_TRUE(parseDecimalArgument("-0.021", -1e12, 1e12, &d));
    EXPECT_EQ(d, -0.021);
    EXPECT_TRUE(parseDecimalArgument(".5", 0, 1, &d));
    for (const char* bad :
         {"", ".", "-", "abc", "nan", "inf", "1e3", "0x10", "5ms", " 5", "5 ", "+5", "1,5", "2"}) {
        EXPECT_FALSE(parseDecimalArgument(bad, 0, 1, &d)) << bad;
    }
}

TEST(ToolArguments, SoundcheckTakesTwoFilesAndAStrictLimit) {
    SoundcheckOptions o;
    std::string said;
    ASSERT_EQ(parseSoundcheck({"m.mp3", "r.raw"}, &o, &said), 0);
    EXPECT_STREQ(o.music, "m.mp3");
    EXPECT_STREQ(o.recording, "r.raw");
    EXPECT_EQ(o.limitMs, 5.0);
    ASSERT_EQ(parseSoundcheck({"m.mp3", "r.raw", "--limit-ms", "2.5"}, &o, &said), 0);
    EXPECT_EQ(o.limitMs, 2.5);
    const std::vector<std::vector<const char*>> refused = {{"m.mp3", "r.raw", "--limit-ms", "abc"},
                                                           {"m.mp3", "r.raw", "--limit-ms", "-1"},
                                                           {"m.mp3", "r.raw", "--limit-ms", "5ms"},
                                                           {"m.mp3", "r.raw", "--limit-ms"},
                                                           {"m.mp3"},
                                                           {"m.mp3", "r.raw", "extra"},
                                                           {"m.mp3", "r.raw", "--limit"},
                                                           {}};
    for (const auto& args : refused) {
        EXPECT_EQ(parseSoundcheck(args, &o, &said), 2) << args.size();
        EXPECT_EQ(said.rfind("kestrane-soundcheck: ", 0), 0u) << said;
        EXPECT_NE(said.find("\nusage: kestrane-soundcheck"), std::string::npos) << said;
    }
    EXPECT_EQ(parseSoundcheck({"m.mp3", "r.raw", "--limit-ms", "abc"}, &o, &said), 2);
    EXPECT_NE(said.find("--limit-ms 'abc'"), std::string::npos) << said;
}
