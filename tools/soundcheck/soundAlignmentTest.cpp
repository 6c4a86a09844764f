// soundAlignmentTest.cpp
// The alignment finds a recording's place in the music and reports each slipped-in silence,
// skip or in-place corruption with its length, and nothing in a clean recording.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>

#include "platform/platform.h"
#include "tools/soundcheck/soundAlignment.h"

namespace {

const long kRate = 44100;

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
    FILE* file = fopen(KESTRANE_SOURCE_DIR "/data/music/ivo_marenk_-_kestrane.mp3", "rb");
    ASSERT_NE(file, nullptr) << "the generated music is needed (scripts/setup)";
    std::vector<unsigned char> mp3;
    unsigned char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) mp3.insert(mp3.end(), chunk, chunk + n);
    fclose(file);
    int16_t* pcm = nullptr;
    long frames = 0;
    int rate = 0, channels = 0;
    ASSERT_TRUE(decodeMp3(mp3.data(), long(mp3.size()), &pcm, &frames, &rate, &channels));
    ASSERT_EQ(channels, 2);
    std::vector<float> song(static_cast<size_t>(frames));
    for (long i = 0; i < frames; ++i) song[size_t(i)] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
    free(pcm);
    for (double start : {1.80, 1.90, 3.65, 3.70, 5.48, 8.44}) {
        long first = long(start * kRate);
        std::vector<float> rec(song.begin() + first, song.begin() + first + 8 * kRate);
        SoundAlignment a = alignRecording(song, rec);
        ASSERT_TRUE(a.aligned) << start;
        EXPECT_EQ(a.firstMusicFrame, first) << start;
        EXPECT_TRUE(a.events.empty()) << "copy from " << start << " s: " << a.events.size() << " events";
    }
}
