// soundtrackTest.cpp
// The generated soundtrack, decoded as the demo decodes it and read through the demo's own
// spectrum: format, length and headroom; what bands 4 and 19 carry where the picture reads them;
// silence after the fade; a hit on every panel flash; byte-identical output from the generator.
// Also the generator's signal kit (sine, saw, filter, decay) against what its instruments assume.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/platform.h"
#include "tools/music/dsp.h"

namespace {

const std::string kSourceMusic = std::string(KESTRANE_SOURCE_DIR "/") + kMusicPath;
const char* const kGenerator = KESTRANE_BINARY_DIR "/tools/music/kestrane-music";
const double kFlashes[13] = {87.025, 87.924, 88.073, 89.425, 90.324,  90.494, 96.625,
                             97.525, 97.695, 99.024, 99.924, 100.094, 100.824};

std::vector<unsigned char> readFile(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    unsigned char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(file);
    return bytes;
}

struct Decoded {
    bool ok = false;
    long frames = 0;
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> pcm;  // interleaved stereo
    std::vector<float> mono;   // (L + R) / 2, -1..1
};

// Decoded once for the whole file of tests.
const Decoded& music() {
    static Decoded d = [] {
        Decoded out;
        std::vector<unsigned char> bytes = readFile(kSourceMusic);
        int16_t* pcm = nullptr;
        if (bytes.empty() ||
            !decodeMp3(bytes.data(), long(bytes.size()), &pcm, &out.frames, &out.rate, &out.channels))
            return out;
        out.pcm.assign(pcm, pcm + out.frames * out.channels);
        free(pcm);
        out.mono.resize(size_t(out.frames));
        for (long i = 0; i < out.frames; ++i)
            out.mono[size_t(i)] = (out.pcm[size_t(2 * i)] + out.pcm[size_t(2 * i + 1)]) / 65536.0f;
        out.ok = out.channels == 2 && out.rate == 44100;
        return out;
    }();
    return d;
}

// One band of the demo's spectrum at time t: the 1024 samples from t, as the demo takes them.
float bandAt(double t, int band) {
    const Decoded& d = music();
    long first = std::lround(t * d.rate);
    if (first < 0 || first + 1024 > d.frames) return 0.0f;
    float magnitudes[512];
    computeSpectrum(d.mono.data() + first, magnitudes);
    return magnitudes[band];
}

// The band every 10 ms over [from, to), as frames of the demo would see it.
std::vector<float> bandSeries(double from, double to, int band) {
    std::vector<float> values;
    for (double t = from; t < to; t += 0.01) values.push_back(bandAt(t, band));
    return values;
}

double mean(const std::vector<float>& v) {
    double sum = 0.0;
    for (float x : v) sum += x;
    return v.empty() ? 0.0 : sum / double(v.size());
}

// Swings between clearly high and clearly low: counts the returns to low after a high, with
// thresholds at 60% and 25% of the stretch's 95th percentile.
int countPulses(const std::vector<float>& v) {
    std::vector<float> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    float top = sorted[size_t(double(sorted.size()) * 0.95)];
    int pulses = 0;
    bool high = false;
    for (float x : v) {
        if (!high && x > 0.6f * top) high = true;
        if (high && x < 0.25f * top) {
            high = false;
            ++pulses;
        }
    }
    return pulses;
}

// Mean square of the mono mix over [from, to) seconds.
double energy(double from, double to) {
    const Decoded& d = music();
    long a = std::max(0L, long(std::lround(from * d.rate)));
    long b = std::min(d.frames, long(std::lround(to * d.rate)));
    double sum = 0.0;
    for (long i = a; i < b; ++i) sum += double(d.mono[size_t(i)]) * d.mono[size_t(i)];
    return b > a ? sum / double(b - a) : 0.0;
}

// The largest rise in broadband energy at any candidate instant within 10 ms of t: the energy of
// the 5 ms after the instant over that of the 20 ms before it.
double strongestRiseNear(double t) {
    double best = 0.0;
    for (double c = t - 0.010; c <= t + 0.010 + 1e-9; c += 0.0005)
        best = std::max(best, energy(c, c + 0.005) / std::max(energy(c - 0.020, c), 1e-12));
    return best;
}

class Soundtrack : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(music().ok) << "cannot decode " << kSourceMusic; }
};

TEST_F(Soundtrack, FormatLengthAndHeadroom) {
    const Decoded& d = music();
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_GE(double(d.frames) / d.rate, 205.0);
    int peak = 0;
    for (int16_t s : d.pcm) peak = std::max(peak, std::abs(int(s)));
    EXPECT_LT(peak, 32767) << "a sample at full scale";
    EXPECT_LE(peak, 29205) << "peak above -1 dBFS: " << 20.0 * std::log10(peak / 32768.0) << " dBFS";
    EXPECT_GT(peak, 16384) << "the master is far too quiet";
}

TEST_F(Soundtrack, Band4PulsesUnderTheLogo) {
    std::vector<float> opening = bandSeries(0.0, 60.0, 4);
    std::vector<float> logo = bandSeries(125.0, 135.0, 4);
    EXPECT_GT(mean(logo), 3.0 * mean(opening)) << "logo " << mean(logo) << ", opening " << mean(opening);
    EXPECT_GT(*std::max_element(logo.begin(), logo.end()), 0.3f);
    // A pulse on every beat: about sixteen in ten seconds.
    EXPECT_GE(countPulses(logo), 12);
}

TEST_F(Soundtrack, Band4DrivesTheLastDrop) {
    // The glitch effect reads band 4 x 40 from 183 s: it needs a strong, rhythmic value there.
    std::vector<float> drop = bandSeries(183.0, 197.0, 4);
    EXPECT_GT(mean(drop), 0.06);
    EXPECT_GT(mean(drop), 4.0 * mean(bandSeries(0.0, 60.0, 4)));
    EXPECT_GE(countPulses(drop), 20);
}

TEST_F(Soundtrack, Band19CarriesTheOpening) {
    // Every second of the first two scenes keeps band 19 alive (the sprites never rest).
    for (int second = 0; second < 87; ++second) {
        double m = mean(bandSeries(second, second + 1.0, 19));
        EXPECT_GT(m, 0.02) << "band 19 falls silent at " << second << " s";
    }
}

TEST_F(Soundtrack, SilentAfterTheFade) {
    const Decoded& d = music();
    int peak = 0;
    for (long i = long(200.05 * d.rate); i < d.frames; ++i)
        peak = std::max({peak, std::abs(int(d.pcm[size_t(2 * i)])), std::abs(int(d.pcm[size_t(2 * i + 1)]))});
    EXPECT_LE(peak, 8);
    EXPECT_LT(energy(198.0, 199.0), energy(195.0, 196.0) * 0.1) << "the fade does not fade";
}

TEST_F(Soundtrack, HitOnEveryPanelFlash) {
    for (double t : kFlashes) EXPECT_GE(strongestRiseNear(t), 4.0) << "no hit at " << t << " s";
    // The bars between the two groups of flashes carry no such hits.
    int quietInstants = 0;
    for (double t = 92.0; t < 96.0; t += 0.137)
        if (strongestRiseNear(t) < 4.0) ++quietInstants;
    EXPECT_GT(quietInstants, 15);
}

// Amplitude of a steady sine of the given frequency after the filter output picked by `pick`.
template <typename Pick>
double filteredAmplitude(float hz, float cutoff, Pick pick) {
    music::Svf filter;
    filter.set(cutoff, 0.0f);
    double peak = 0.0;
    for (int i = 0; i < music::kRate; ++i) {
        filter.process(music::sinCycles(hz * i / float(music::kRate)));
        if (i > music::kRate / 2) peak = std::max(peak, std::fabs(double(pick(filter))));
    }
    return peak;
}

TEST(SoundtrackDsp, SineMatchesTheLibrary) {
    for (int i = -5000; i < 5000; ++i) {
        float phase = i * 0.01237f;
        EXPECT_NEAR(music::sinCycles(phase), std::sin(2.0 * M_PI * double(phase)), 2e-4) << phase;
    }
}

TEST(SoundtrackDsp, FilterPassesAndStops) {
    auto low = [](const music::Svf& f) { return f.low; };
    auto high = [](const music::Svf& f) { return f.high; };
    EXPECT_NEAR(filteredAmplitude(100.0f, 1000.0f, low), 1.0, 0.02);
    EXPECT_LT(filteredAmplitude(10000.0f, 1000.0f, low), 0.015);  // two octaves+ above: < -36 dB
    EXPECT_NEAR(filteredAmplitude(10000.0f, 1000.0f, high), 1.0, 0.02);
    EXPECT_LT(filteredAmplitude(100.0f, 1000.0f, high), 0.015);
}

TEST(SoundtrackDsp, SawHasItsPitchAndNoOffset) {
    music::Saw saw;
    const float hz = 440.0f;
    int resets = 0;
    double sum = 0.0, peak = 0.0;
    float previous = saw.next(hz / music::kRate);
    for (int i = 1; i < music::kRate; ++i) {
        float x = saw.next(hz / music::kRate);
        if (previous > 0.0f && x <= 0.0f) ++resets;  // the ramp only ever falls through 0 at its reset
        sum += x;
        peak = std::max(peak, std::fabs(double(x)));
        previous = x;
    }
    EXPECT_NEAR(resets, 440, 1);
    EXPECT_NEAR(sum / music::kRate, 0.0, 0.01);
    EXPECT_LT(peak, 1.15);
}

TEST(SoundtrackDsp, DecayAndNoiseBehave) {
    music::Decay decay(0.1f);
    float value = 1.0f;
    for (int i = 0; i <= music::kRate / 10; ++i) value = decay.next();
    EXPECT_NEAR(value, std::exp(-1.0f), 0.01f);
    music::Rng a(42), b(42);
    double sum = 0.0;
    for (int i = 0; i < 100000; ++i) {
        float x = a.noise();
        ASSERT_EQ(x, b.noise());
        ASSERT_GE(x, -1.0f);
        ASSERT_LT(x, 1.0f);
        sum += x;
    }
    EXPECT_NEAR(sum / 100000.0, 0.0, 0.01);
}

TEST(SoundtrackGenerator, TwoRunsGiveIdenticalBytes) {
    char dir[] = "/tmp/kestraneMusicXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string first = std::string(dir) + "/first.mp3", second = std::string(dir) + "/second.mp3";
    for (const std::string& out : {first, second}) {
        std::string command = std::string("'") + kGenerator + "' '" + out + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    std::vector<unsigned char> a = readFile(first), b = readFile(second);
    EXPECT_GT(a.size(), 4000000u);  // 205 s at 192 kbit/s
    EXPECT_TRUE(a == b) << "the two runs differ";
    std::remove(first.c_str());
    std::remove(second.c_str());
    rmdir(dir);
}

}  // namespace
