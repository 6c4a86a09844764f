// avAnalysis.cpp
// The scroller's shift is found in two steps: column profiles of eight-row bands compared at every
// whole shift, then the full picture compared around the best one, with a parabola through three
// shifts for the fraction. Pixels are weighted by how far they exceed the scroller's dark band.
#include "tools/avoffset/avAnalysis.h"

#include <algorithm>
#include <cmath>

namespace {

const int kFloor = 150;  // the band and the sprites behind it stay below; the letters are near white
const int kBand = 8;

std::vector<float> weights(const GrayImage& image) {
    std::vector<float> w(image.pixels.size());
    for (size_t i = 0; i < w.size(); ++i) w[i] = float(std::max(0, int(image.pixels[i]) - kFloor));
    return w;
}

// Column sums of each band of kBand rows: bands x width.
std::vector<float> bandProfiles(const std::vector<float>& w, int width, int height) {
    int bands = height / kBand;
    std::vector<float> p(size_t(bands * width), 0.0f);
    for (int y = 0; y < bands * kBand; ++y)
        for (int x = 0; x < width; ++x) p[size_t((y / kBand) * width + x)] += w[size_t(y * width + x)];
    return p;
}

// Mean squared difference of frame(x) and reference(x - s) over the overlap of rows (one per band
// for profiles), -1 when the overlap is under a quarter of the width.
double difference(const std::vector<float>& f, const std::vector<float>& r, int width, int rows, int s) {
    int from = std::max(0, s), to = std::min(width, width + s);
    if (to - from < width / 4) return -1;
    double sum = 0;
    for (int y = 0; y < rows; ++y) {
        const float* a = f.data() + size_t(y * width);
        const float* b = r.data() + size_t(y * width);
        for (int x = from; x < to; ++x) {
            double d = a[x] - b[x - s];
            sum += d * d;
        }
    }
    return sum / double(rows * (to - from));
}

double correlation(const std::vector<float>& f, const std::vector<float>& r, int width, int rows, int s) {
    int from = std::max(0, s), to = std::min(width, width + s);
    double ab = 0, aa = 0, bb = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = from; x < to; ++x) {
            double a = f[size_t(y * width + x)], b = r[size_t(y * width + x - s)];
            ab += a * b;
            aa += a * a;
            bb += b * b;
        }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

}  // namespace

bool scrollerShift(const GrayImage& frame, const GrayImage& reference, int minShift, int maxShift,
                   double* shift, double* score) {
    *score = 0;
    const int w = frame.width, h = frame.height;
    if (w != reference.width || h != reference.height || w <= 0 || h < kBand) return false;
    std::vector<float> fw = weights(frame), rw = weights(reference);
    std::vector<float> fp = bandProfiles(fw, w, h), rp = bandProfiles(rw, w, h);
    int best = 0;
    double bestDiff = -1;
    for (int s = minShift; s <= maxShift; ++s) {
        double d = difference(fp, rp, w, h / kBand, s);
        if (d >= 0 && (bestDiff < 0 || d < bestDiff)) {
            bestDiff = d;
            best = s;
        }
    }
    if (bestDiff < 0) return false;
    // Refine on the full picture.
    double around[5];
    for (int i = 0; i < 5; ++i) around[i] = difference(fw, rw, w, h, best - 2 + i);
    int k = 2;
    for (int i = 0; i < 5; ++i)
        if (around[i] >= 0 && around[i] < around[k]) k = i;
    best += k - 2;
    double fraction = 0;
    double left = difference(fw, rw, w, h, best - 1), mid = difference(fw, rw, w, h, best),
           right = difference(fw, rw, w, h, best + 1);
    if (left >= 0 && right >= 0 && left + right - 2 * mid > 0)
        fraction = std::clamp(0.5 * (left - right) / (left + right - 2 * mid), -0.5, 0.5);
    *shift = best + fraction;
    *score = correlation(fw, rw, w, h, best);
    return true;
}

std::vector<int> brightenings(const std::vector<double>& levels) {
    std::vector<int> out;
    for (size_t i = 1; i < levels.size(); ++i)
        if (levels[i - 1] < 64 && levels[i] > 192) out.push_back(int(i));
    return out;
}

std::vector<long> clickOnsets(const std::vector<float>& sound, int rate) {
    std::vector<long> out;
    long quiet = 0;
    for (size_t i = 0; i < sound.size(); ++i) {
        float a = std::fabs(sound[i]);
        if (a > 0.1f && quiet >= rate / 5) out.push_back(long(i));
        quiet = a < 0.01f ? quiet + 1 : 0;
    }
    return out;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}
