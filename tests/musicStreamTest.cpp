// musicStreamTest.cpp
// The music stream on real MP3 data made by LAME: decoding, exact seeking, the spectrum bands the
// picture reads, and the clock with the dummy device and without any device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/audioOutput.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "tests/mp3TestData.h"

namespace {

int peakBand(const float* spectrum) { return int(std::max_element(spectrum, spectrum + 512) - spectrum); }

// A chirp has different content at every position, so a seek that is off shows in the spectrum.
float chirp(long i) {
    double t = double(i) / 44100.0;
    return float(0.6 * std::sin(2.0 * M_PI * (200.0 * t + 400.0 * t * t)));
}

// The largest difference between the spectrum the stream reports and the one of the stereo
// samples pcm holds from frame on.
float spectrumMiss(const int16_t* pcm, long frame) {
    float mono[1024], expected[512];
    for (int i = 0; i < 1024; ++i) mono[i] = (pcm[2 * (frame + i)] + pcm[2 * (frame + i) + 1]) / 65536.0f;
    computeSpectrum(mono, expected);
    const float* got = audioGetSpectrum();
    float worst = 0;
    for (int k = 0; k < 512; ++k) worst = std::max(worst, std::fabs(got[k] - expected[k]));
    return worst;
}

class OfflineStream : public ::testing::Test {
protected:
    void SetUp() override {
        audioSetOffline(true);
        audioSetSpectrumActive(true);
    }
    void TearDown() override {
        audioClose();
        audioSetOffline(false);
    }
};

}  // namespace

TEST(Mp3Decoding, LengthRateAndChannelsMatchTheEncodedSignal) {
    std::vector<unsigned char> mp3 = encodeToneMp3(2.0, 440.0, 0.5);
    int16_t* pcm = nullptr;
    long frames = 0;
    int rate = 0, channels = 0;
    ASSERT_TRUE(decodeMp3(mp3.data(), long(mp3.size()), &pcm, &frames, &rate, &channels));
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    // Gapless decoding drops the encoder's delay and padding.
    EXPECT_NEAR(frames, 88200, 1152);
    int16_t peak = 0;
    for (long i = 0; i < frames * 2; ++i) peak = std::max<int16_t>(peak, int16_t(std::abs(pcm[i])));
    EXPECT_NEAR(peak, 16384, 1500);
    free(pcm);
}

TEST(Mp3Decoding, RejectsDataWithoutMpegAudio) {
    std::vector<unsigned char> noise(20000);
    unsigned state = 7;
    for (unsigned char& b : noise) b = (unsigned char)((state = state * 1103515245u + 12345u) >> 24);
    int16_t* pcm = nullptr;
    long frames = 0;
    int rate = 0, channels = 0;
    const unsigned char empty[1] = {0};
    EXPECT_FALSE(decodeMp3(empty, 0, &pcm, &frames, &rate, &channels));
    EXPECT_EQ(audioStreamOpen(empty, 1), nullptr);
    // Random bytes may or may not resync on a fake frame header; either way nothing may crash.
    MusicStream* s = audioStreamOpen(noise.data(), long(noise.size()));
    if (s) audioStreamPlay(s, false);
    audioClose();
}

TEST(Spectrum, FullScaleSineReadsAboutOneInItsBin) {
    float samples[1024], magnitudes[512];
    for (int i = 0; i < 1024; ++i) samples[i] = std::sin(2.0f * float(M_PI) * 19.0f * float(i) / 1024.0f);
    computeSpectrum(samples, magnitudes);
    EXPECT_EQ(peakBand(magnitudes), 19);
    EXPECT_NEAR(magnitudes[19], 1.0f, 0.02f);
    EXPECT_LT(magnitudes[40], 0.01f);
}

TEST_F(OfflineStream, TonesPeakInTheBandsThePictureReads) {
    std::vector<unsigned char> low = encodeToneMp3(1.0, 190.0, 0.8);
    std::vector<unsigned char> high = encodeToneMp3(1.0, 818.0 + 21.5, 0.8);
    MusicStream* s = audioStreamOpen(low.data(), long(low.size()));
    ASSERT_NE(s, nullptr);
    audioStreamPlay(s, false);
    audioSetOfflineTimeMs(500);
    EXPECT_EQ(peakBand(audioGetSpectrum()), 4);
    EXPECT_GT(audioGetSpectrum()[4], 0.3f);
    audioClose();
    s = audioStreamOpen(high.data(), long(high.size()));
    ASSERT_NE(s, nullptr);
    audioStreamPlay(s, false);
    audioSetOfflineTimeMs(500);
    EXPECT_EQ(peakBand(audioGetSpectrum()), 19);
}

TEST_F(OfflineStream, SpectrumAtAPositionMatchesTheDecodedSamplesThere) {
    std::vector<unsigned char> mp3 = encodeTestMp3(3 * 44100, chirp);
    int16_t* pcm = nullptr;
    long frames = 0;
    int rate = 0, channels = 0;
    ASSERT_TRUE(decodeMp3(mp3.data(), long(mp3.size()), &pcm, &frames, &rate, &channels));
    MusicStream* s = audioStreamOpen(mp3.data(), long(mp3.size()));
    ASSERT_NE(s, nullptr);
    audioStreamPlay(s, false);
    for (int ms : {2000, 137, 1500, 2713}) {  // backwards too: every seek must land exactly
        audioSetOfflineTimeMs(ms);
        EXPECT_EQ(audioStreamGetTime(s), ms);
        EXPECT_LT(spectrumMiss(pcm, long(ms) * 44100 / 1000), 1e-5f) << "at " << ms << " ms";
    }
    free(pcm);
}

TEST_F(OfflineStream, PastTheEndTheClockGoesOnOverSilence) {
    std::vector<unsigned char> mp3 = encodeToneMp3(1.0, 190.0, 0.8);
    MusicStream* s = audioStreamOpen(mp3.data(), long(mp3.size()));
    ASSERT_NE(s, nullptr);
    audioStreamPlay(s, false);
    audioSetOfflineTimeMs(5000);
    EXPECT_EQ(audioStreamGetTime(s), 5000);
    const float* spectrum = audioGetSpectrum();
    EXPECT_EQ(*std::max_element(spectrum, spectrum + 512), 0.0f);
}

// A frame damaged in the middle: the sound played straight through, the sound after a seek and the
// spectrum all hold the same samples at the same music frame (two decoders, one played through and
// one seeking, put them 2107 frames apart after 100 damaged bytes, until the next seek).
TEST(DamagedMusic, PlayedSeekedAndAnalysedSamplesAgreeAfterADamagedFrame) {
    std::vector<unsigned char> mp3 = encodeTestMp3(4 * 44100, chirp);
    for (size_t i = mp3.size() / 2; i < mp3.size() / 2 + 100; ++i) mp3[i] = 0x55;
    MusicStream* s = audioStreamOpen(mp3.data(), long(mp3.size()));
    ASSERT_NE(s, nullptr);
    audioStreamPlay(s, false);  // no output: the silent clock, and the stream rendered here
    const long chunk = 4096;
    std::vector<int16_t> played;
    for (long long device = 0; device < 5 * 44100; device += chunk) {
        played.resize(played.size() + size_t(chunk) * 2);
        ASSERT_EQ(streamRender(played.data() + played.size() - size_t(chunk) * 2, chunk, device), device);
    }
    for (int ms : {3000, 2500, 3700}) {
        const long frame = long(ms) * 44100 / 1000;
        audioStreamSetTime(s, ms);
        std::vector<int16_t> seeked(size_t(chunk) * 2);
        ASSERT_EQ(streamRender(seeked.data(), chunk, 0), frame);
        EXPECT_TRUE(std::equal(seeked.begin(), seeked.end(), played.begin() + frame * 2))
            << "seek to " << ms << " ms";
        audioSetOffline(true);
        audioSetSpectrumActive(true);
        audioSetOfflineTimeMs(ms);
        EXPECT_LT(spectrumMiss(played.data(), frame), 1e-5f) << "spectrum at " << ms << " ms";
        audioSetOffline(false);
        audioSetSpectrumActive(false);
    }
    audioClose();
}

// The clock's rules are tested apart (musicClockRulesTest.cpp); these check that the stream is wired to
// them, with no device and with SDL's dummy device, without comparing wall-clock durations.
TEST(SilentClock, RunsAndSeeksWithoutAnyDevice) {
    audioClose();
    audioSetOffline(false);
    MusicStream* s = audioStreamOpen(nullptr, 0);  // no music at all: a clock over silence
    ASSERT_NE(s, nullptr);
    int channel = audioStreamPlay(s, true);
    audioSetPaused(channel, false);
    EXPECT_FALSE(audioHasDevice());
    const double start = platformSeconds();
    while (audioStreamGetTime(s) == 0 && platformSeconds() - start < 10) std::this_thread::yield();
    EXPECT_GT(audioStreamGetTime(s), 0) << "the silent clock does not run";
    audioStreamSetTime(s, 100000);
    EXPECT_GE(audioStreamGetTime(s), 100000);
    audioStreamSetTime(s, -500);  // a negative target clamps to the start
    EXPECT_LT(audioStreamGetTime(s), 100000);
    audioClose();
}

TEST(DeviceClock, HoldsSeekTargetsAndNeverRunsBackwards) {
    MusicStream* s = openToneOnDummyDevice();
    if (!s) GTEST_SKIP() << "no audio driver available";
    int channel = audioStreamPlay(s, true);
    audioSetPaused(channel, false);
    EXPECT_EQ(audioStreamGetTime(s), 0);
    // Read until the sound has played for a while (the device's pace, however busy the machine).
    const double start = platformSeconds();
    int previous = 0;
    while (previous < 500 && platformSeconds() - start < 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int now = audioStreamGetTime(s);
        ASSERT_GE(now, previous) << "the clock ran backwards";
        previous = now;
    }
    EXPECT_GE(previous, 500) << "the clock did not follow the device";
    AudioClockProbe probe;
    ASSERT_TRUE(audioClockProbe(&probe));
    // Never ahead of what the device was handed.
    EXPECT_LE((long long)previous * probe.rate / 1000, probe.consumedFrames + probe.bufferFrames);
    audioStreamSetTime(s, 3000);
    EXPECT_EQ(audioStreamGetTime(s), 3000);  // held at the target until new audio is heard
    int after = 3000;
    while (after == 3000 && platformSeconds() - start < 30) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        after = audioStreamGetTime(s);
        ASSERT_GE(after, 3000);
    }
    EXPECT_GT(after, 3000) << "the clock stayed at the seek target";
    audioStreamSetTime(s, 1000);  // backwards
    EXPECT_EQ(audioStreamGetTime(s), 1000);
    audioClose();
}

// The outputs' threads (SDL's callback, libpulse's) must not write text: a lost output is recorded
// there and said on the main thread at the next position read, in the trace's own words.
TEST(DeviceClock, ALostOutputIsTracedAtTheNextReadNotWhereItWasLost) {
    MusicStream* s = openToneOnDummyDevice();
    if (!s) GTEST_SKIP() << "no audio driver available";
    audioStreamPlay(s, false);
    const TraceLevel before = traceLevel();
    traceSetLevel(TRACE_ON);
    testing::internal::CaptureStderr();
    streamOutputLost(platformSeconds(), "pulled by the test");
    const std::string onTheOutputsThread = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    audioStreamGetTime(s);
    const std::string atTheRead = testing::internal::GetCapturedStderr();
    // Not tracing: nothing is kept for later either.
    traceSetLevel(TRACE_OFF);
    traceRecord(TRACE_STREAM_MOVED, 0.0, 0.0, "elsewhere");
    traceSetLevel(TRACE_ON);
    testing::internal::CaptureStderr();
    traceFlushEvents();
    const std::string afterSilence = testing::internal::GetCapturedStderr();
    traceSetLevel(before);
    audioClose();
    EXPECT_EQ(onTheOutputsThread, "");
    EXPECT_EQ(atTheRead.rfind("kestrane-trace: sound device lost at ", 0), 0u) << atTheRead;
    EXPECT_NE(atTheRead.find(" s of music (pulled by the test); silent clock from there\n"),
              std::string::npos)
        << atTheRead;
    EXPECT_EQ(afterSilence, "");
}
