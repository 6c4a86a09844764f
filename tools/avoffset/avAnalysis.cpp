// avAnalysis.cpp
// The scroller's shift: column profiles of eight-row bands compared at every whole shift, then the
// full picture around the best one, with a parabola through three shifts for the fraction; pixels
// weigh by how far they exceed the scroller's dark band. The recorder's skew: the shift that lines
// up the most reference changes with clicks.
#include "tools/avoffset/avAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

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
    const float rise = 0.1f, quietLevel = 0.05f;
    const long needQuiet = rate / 5, ringing = rate / 200;
    std::vector<long> out;
    long quiet = 0;                // frames below quietLevel up to here
    long quietEnd = -ringing - 1;  // the last frame of the latest stretch of needQuiet quiet frames
    for (size_t i = 0; i < sound.size(); ++i) {
        float a = std::fabs(sound[i]);
        if (a > rise && long(i) - quietEnd <= ringing) {
            out.push_back(long(i));
            quietEnd = -ringing - 1;  // the next click needs a quiet stretch of its own
        }
        quiet = a < quietLevel ? quiet + 1 : 0;
        if (quiet >= needQuiet) quietEnd = long(i);
    }
    return out;
}

std::vector<int> pairAtSkew(const std::vector<double>& changes, const std::vector<double>& clicks,
                            double skew, double tolerance) {
    std::vector<int> pairs(changes.size(), -1);
    for (size_t i = 0; i < changes.size(); ++i) {
        double best = tolerance;
        for (size_t k = 0; k < clicks.size(); ++k) {
            double miss = std::fabs(clicks[k] - changes[i] - skew);
            if (miss <= best) {
                best = miss;
                pairs[i] = int(k);
            }
        }
    }
    return pairs;
}

namespace {

double standardDeviation(const std::vector<double>& v) {
    if (v.empty()) return 0;
    double mean = 0, var = 0;
    for (double x : v) mean += x;
    mean /= double(v.size());
    for (double x : v) var += (x - mean) * (x - mean);
    return std::sqrt(var / double(v.size()));
}

// The differences click - change of each change's pair at skew.
std::vector<double> pairedDifferences(const std::vector<double>& changes, const std::vector<double>& clicks,
                                      const std::vector<int>& pairs) {
    std::vector<double> d;
    for (size_t i = 0; i < changes.size(); ++i)
        if (pairs[i] >= 0) d.push_back(clicks[size_t(pairs[i])] - changes[i]);
    return d;
}

// For each change with a difference click - change in lo..hi, the one nearest their middle.
std::vector<double> differencesWithin(const std::vector<double>& changes, const std::vector<double>& clicks,
                                      double lo, double hi) {
    std::vector<double> out;
    const double middle = 0.5 * (lo + hi);
    for (double change : changes) {
        double best = 0;
        bool any = false;
        for (double click : clicks) {
            double d = click - change;
            if (d >= lo && d <= hi && (!any || std::fabs(d - middle) < std::fabs(best - middle))) {
                best = d;
                any = true;
            }
        }
        if (any) out.push_back(best);
    }
    return out;
}

}  // namespace

SkewFit fitSkew(const std::vector<double>& changes, const std::vector<double>& clicks, double minShift,
                double maxShift, double tolerance) {
    // A window of 2 * tolerance that holds the most changes' differences can always slide right
    // until a difference sits on its left edge: trying every difference as that edge finds the best
    // shift exactly.
    SkewFit fit;
    size_t bestCount = 0;
    double bestSpread = 0;
    for (double change : changes)
        for (double click : clicks) {
            const double edge = click - change;
            if (edge < minShift - tolerance || edge > maxShift - tolerance) continue;
            std::vector<double> d = differencesWithin(changes, clicks, edge, edge + 2 * tolerance);
            const double spread = standardDeviation(d);
            if (!fit.found || d.size() > bestCount || (d.size() == bestCount && spread < bestSpread)) {
                fit.found = true;
                bestCount = d.size();
                bestSpread = spread;
                fit.skew = median(d);
            }
        }
    if (!fit.found) return fit;
    fit.pairs = pairAtSkew(changes, clicks, fit.skew, tolerance);
    std::vector<double> d = pairedDifferences(changes, clicks, fit.pairs);
    fit.agreeing = int(d.size());
    fit.spread = standardDeviation(d);
    return fit;
}

double pairOutside(const std::vector<ReferencePair>& pairs, size_t i) {
    // The skew most spans allow: the endpoint inside the most spans, then the overlap of those.
    size_t bestDepth = 0;
    double lo = 0, hi = 0;
    for (const ReferencePair& p : pairs)
        for (double x : {p.difference - p.halfGap, p.difference + p.halfGap}) {
            size_t depth = 0;
            double from = -1e300, to = 1e300;
            for (const ReferencePair& q : pairs)
                if (std::fabs(x - q.difference) <= q.halfGap + 1e-12) {
                    ++depth;
                    from = std::max(from, q.difference - q.halfGap);
                    to = std::min(to, q.difference + q.halfGap);
                }
            if (depth > bestDepth) bestDepth = depth, lo = from, hi = to;
        }
    if (bestDepth == 0) return 0;
    return std::max(lo - (pairs[i].difference + pairs[i].halfGap),
                    (pairs[i].difference - pairs[i].halfGap) - hi);
}

std::string calibrationRefusal(const std::vector<ReferencePart>& parts, double tolerance) {
    static const char* const kParts[] = {"before the demo", "after the demo"};
    int agreeing = 0, expected = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
        const char* part = k < 2 ? kParts[k] : "of a further part";
        if (2 * parts[k].agreeing <= parts[k].expected)
            return "only " + std::to_string(parts[k].agreeing) + " of " + std::to_string(parts[k].expected) +
                   " reference changes " + part + " agree with one recorder skew (more than half needed)";
        agreeing += parts[k].agreeing;
        expected += parts[k].expected;
    }
    if (parts.empty() || 6 * agreeing < 5 * expected)
        return "only " + std::to_string(agreeing) + " of " + std::to_string(expected) +
               " reference changes agree with the recorder skew (five in six needed)";
    for (size_t k = 0; k < parts.size(); ++k) {
        const char* part = k < 2 ? kParts[k] : "of a further part";
        const std::vector<ReferencePair>& pairs = parts[k].pairs;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const double outside = pairOutside(pairs, i);
            if (outside > kPairMargin) {
                char text[300];
                snprintf(text, sizeof text,
                         "reference click %zu %s lies %.0f ms outside the skew most clicks' frames allow "
                         "(%.0f ms allowed): the recorder's sound or picture moved within the run",
                         i + 1, part, outside * 1000, kPairMargin * 1000);
                return text;
            }
        }
    }
    for (size_t k = 1; k < parts.size(); ++k) {
        const double moved = parts[k].skew - parts[k - 1].skew;
        if (std::fabs(moved) > tolerance) {
            char text[200];
            snprintf(text, sizeof text,
                     "the recorder skew moved by %.0f ms between the reference runs (%.0f ms allowed): the "
                     "recorder lost or gained sound in between",
                     moved * 1000, tolerance * 1000);
            return text;
        }
    }
    return "";
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

std::string stretchRefusal(const std::vector<SoundMatch>& matches, int rate, double limit) {
    if (matches.empty()) return "";
    // The median offset of each second from the first match on.
    std::vector<std::vector<double>> seconds;
    for (const SoundMatch& m : matches) {
        const size_t s = size_t(std::max(0.0, m.time - matches.front().time));
        if (seconds.size() <= s) seconds.resize(s + 1);
        seconds[s].push_back(double(m.offset));
    }
    std::vector<double> levels;
    std::vector<size_t> at;
    for (size_t s = 0; s < seconds.size(); ++s)
        if (!seconds[s].empty()) {
            levels.push_back(median(seconds[s]));
            at.push_back(s);
        }
    // Every second against every other: the first pair apart by more than the limit names the
    // move and where it was seen first.
    for (size_t b = 1; b < levels.size(); ++b)
        for (size_t a = 0; a < b; ++a) {
            const double moved = (levels[b] - levels[a]) / rate;
            if (std::fabs(moved) <= limit) continue;
            char text[300];
            snprintf(
                text, sizeof text,
                "the recorded sound moved by %+.1f ms against the music between %zu s and %zu s of the "
                "demo's "
                "stretch (%.0f ms allowed): the recorder lost or gained sound, or the demo's stream skipped",
                moved * 1000, at[b - 1], at[b], limit * 1000);
            return text;
        }
    return "";
}
