// soundtrackTest.cpp
// The generated soundtrack, decoded as the demo decodes it and read through the demo's own
// spectrum: format, length and headroom; what bands 4 and 19 carry where the picture reads them;
// silence after the fade; a hit on every panel flash; byte-identical output from the generator.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

const char* const kMusicPath = KESTRANE_SOURCE_DIR "/data/music/ivo_marenk_-_kestrane.mp3";
const char* const kGenerator = KESTRANE_BINARY_DIR "/tools/music/kestrane-music";
const double kFlashes[13] = {87.025, 87.924, 88.073, 89.425, 90.324, 90.494, 96.625,
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
    std::vector<int16_t> pcm;   // interleaved stereo
    std::vector<float> mono;    // (L + R) / 2, -1..1
};

// Decoded once for the whole file of tests.
const Decoded& music() {
    static Decoded d = [] {
        Decoded out;
        std::vector<unsigned char> bytes = readFile(kMusicPath);
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
    void SetUp() override { ASSERT_TRUE(music().ok) << "cannot decode " << kMusicPath; }
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
    std::vector<float> drop = bandSeries(183.0, 197.0, 4);
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
