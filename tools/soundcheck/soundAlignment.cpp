// soundAlignment.cpp
// Window-by-window alignment of a recording with the music. The first loud window is located in
// the whole music by FFT cross-correlation (kissfft) at an eighth of the rate, then refined; after
// that each window is matched within +-64 frames of the running offset, and a change of offset or
// a run of windows that match nowhere is reported with the length of the run.
#include "tools/soundcheck/soundAlignment.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>

namespace {

const long kWindow = 1024;
const long kHop = 256;
const long kNear = 64;  // frames searched either side of the running offset
const long kDecimate = 8;
// Normalized correlation that counts as the same audio. A recording of a sink's monitor is the
// music itself (gain aside, which the normalization removes); strict, so that a tone matching
// itself one period away, or a window half filled with a dropout, never passes.
const double kMatch = 0.98;
const double kLoud = 1e-3;  // RMS below which the music is too quiet to compare

double dot(const float* a, const float* b, long n) {
    double sum = 0;
    for (long i = 0; i < n; ++i) sum += double(a[i]) * b[i];
    return sum;
}

// Normalized correlation of the recording window at recStart with the music at musicStart;
// -2 when the music window leaves the music.
double correlation(const std::vector<float>& music, const std::vector<float>& rec, long recStart,
                   long musicStart, long n) {
    if (musicStart < 0 || musicStart + n > long(music.size())) return -2;
    const float* a = rec.data() + recStart;
    const float* b = music.data() + musicStart;
    double ab = dot(a, b, n), aa = dot(a, a, n), bb = dot(b, b, n);
    if (aa <= 0 || bb <= 0) return 0;
    return ab / std::sqrt(aa * bb);
}

// Best music start for the recording window at recStart (n frames) among starts lo..hi; sets score.
long bestNear(const std::vector<float>& music, const std::vector<float>& rec, long recStart, long lo, long hi,
              double* score, long n = kWindow) {
    long best = lo;
    *score = -2;
    for (long m = lo; m <= hi; ++m) {
        double c = correlation(music, rec, recStart, m, n);
        if (c > *score) {
            *score = c;
            best = m;
        }
    }
    return best;
}

std::vector<float> decimate(const float* x, long n) {
    std::vector<float> out(size_t(n / kDecimate));
    for (size_t i = 0; i < out.size(); ++i) {
        double sum = 0;
        for (long k = 0; k < kDecimate; ++k) sum += x[long(i) * kDecimate + k];
        out[i] = float(sum / kDecimate);
    }
    return out;
}

// Locates the recording block at recStart (length n) in the music segment [from, to): FFT
// cross-correlation of the decimated signals, then a full-rate search around the peak. Returns the
// music start, or -1 with score below kMatch when nothing matches.
long locate(const std::vector<float>& music, const std::vector<float>& rec, long recStart, long n, long from,
            long to, double* score) {
    *score = -2;
    from = std::max(0L, from);
    to = std::min(long(music.size()), to);
    if (to - from < n) return -1;
    std::vector<float> block = decimate(rec.data() + recStart, n);
    std::vector<float> segment = decimate(music.data() + from, to - from);
    long size = 1;
    while (size < long(segment.size() + block.size())) size *= 2;
    kiss_fftr_cfg forward = kiss_fftr_alloc(int(size), 0, nullptr, nullptr);
    kiss_fftr_cfg inverse = kiss_fftr_alloc(int(size), 1, nullptr, nullptr);
    std::vector<float> a(size_t(size), 0.0f), b(size_t(size), 0.0f), product(size_t(size), 0.0f);
    std::copy(segment.begin(), segment.end(), a.begin());
    std::copy(block.begin(), block.end(), b.begin());
    std::vector<kiss_fft_cpx> fa(size_t(size / 2 + 1)), fb(size_t(size / 2 + 1));
    kiss_fftr(forward, a.data(), fa.data());
    kiss_fftr(forward, b.data(), fb.data());
    for (size_t i = 0; i < fa.size(); ++i) {
        std::complex<float> p =
            std::complex<float>(fa[i].r, fa[i].i) * std::conj(std::complex<float>(fb[i].r, fb[i].i));
        fa[i].r = p.real();
        fa[i].i = p.imag();
    }
    kiss_fftri(inverse, fa.data(), product.data());
    kiss_fftr_free(forward);
    kiss_fftr_free(inverse);
    // Normalize each lag by the music's energy under the block (running sum of squares).
    long lags = long(segment.size()) - long(block.size());
    std::vector<double> energy(segment.size() + 1, 0.0);
    for (size_t i = 0; i < segment.size(); ++i) energy[i + 1] = energy[i] + double(segment[i]) * segment[i];
    std::vector<double> scores(size_t(lags + 1), -2.0);
    for (long lag = 0; lag <= lags; ++lag) {
        double e = energy[size_t(lag + long(block.size()))] - energy[size_t(lag)];
        if (e > 1e-12) scores[size_t(lag)] = product[size_t(lag)] / std::sqrt(e);
    }
    // Music that repeats itself within a beat scores nearly as well one period off, and the
    // decimated scores cannot tell the periods apart: the best few peaks are each refined at the
    // full rate over the whole block, where only the true place matches the recording exactly.
    std::vector<long> peaks;
    for (long lag = 0; lag <= lags; ++lag) {
        double c = scores[size_t(lag)];
        if (c <= -2.0) continue;
        if ((lag > 0 && scores[size_t(lag - 1)] > c) || (lag < lags && scores[size_t(lag + 1)] >= c))
            continue;
        peaks.push_back(lag);
    }
    const size_t kCandidates = 8;
    if (peaks.size() > kCandidates) {
        std::partial_sort(peaks.begin(), peaks.begin() + kCandidates, peaks.end(),
                          [&](long a, long b) { return scores[size_t(a)] > scores[size_t(b)]; });
        peaks.resize(kCandidates);
    }
    long best = -1;
    for (long peak : peaks) {
        long centre = from + peak * kDecimate;
        double refined = -2;
        long m = bestNear(music, rec, recStart, centre - 2 * kDecimate, centre + 2 * kDecimate, &refined, n);
        if (refined > *score) {
            *score = refined;
            best = m;
        }
    }
    return best;
}

double rms(const float* x, long n) { return std::sqrt(dot(x, x, n) / double(n)); }

// Whether the short block of the recording at n follows the music at n + offset (true where the
// music is too quiet to tell).
bool blockFollows(const std::vector<float>& music, const std::vector<float>& rec, long n, long offset) {
    const long kBlock = 64;  // as disturbedSpan's
    if (n < 0 || n + kBlock > long(rec.size())) return true;
    long m = n + offset;
    if (m < 0 || m + kBlock > long(music.size())) return true;
    if (rms(music.data() + m, kBlock) < kLoud) return true;
    return correlation(music, rec, n, m, kBlock) >= kMatch;
}

// The disturbed span between a matched window ending at lastEnd (offset before) and the next
// matched window starting at next (offset after), narrowed with 64-frame blocks every 16 frames:
// the first block that fails holds the disturbance's start near its end, the last one its end
// near its start.
long disturbedSpan(const std::vector<float>& music, const std::vector<float>& rec, long lastEnd, long before,
                   long next, long after) {
    const long kStep = 16, kBlock = 64;
    long first = lastEnd - kWindow;
    while (first < next + kWindow && blockFollows(music, rec, first, before)) first += kStep;
    long last = next + kWindow - kBlock;
    while (last > first && blockFollows(music, rec, last, after)) last -= kStep;
    return std::max(0L, (last + kStep) - (first + kBlock - kStep));
}

}  // namespace

long locateInMusic(const std::vector<float>& music, const std::vector<float>& rec, long recStart, long n,
                   long from, long to, double* score) {
    if (recStart < 0 || recStart + n > long(rec.size())) {
        *score = -2;
        return -1;
    }
    long found = locate(music, rec, recStart, n, from, to, score);
    return found >= 0 && *score >= kMatch ? found : -1;
}

bool isDisruption(const SoundEvent& event, long limitFrames) {
    // A shift is measured to the frame; the span, which includes the blocks at its edges, only
    // decides for audio replaced in place.
    if (event.shiftFrames != 0) return std::labs(event.shiftFrames) > limitFrames;
    return event.spanFrames > limitFrames;
}

SoundAlignment alignRecording(const std::vector<float>& music, const std::vector<float>& rec) {
    SoundAlignment result = {false, 0, 0, 0, 0, {}};
    const long recLength = long(rec.size());
    // The first loud stretch of the recording, found in the whole music.
    // Long enough (1.5 s) that a passage repeating itself within a beat cannot lock the start onto
    // the wrong period, which would later read as a skip.
    const long kBlock = 65536;
    long offset = 0;  // music frame = recording frame + offset
    long start = 0;
    for (; start + kBlock <= recLength; start += kHop) {
        if (rms(rec.data() + start, kHop) < kLoud || rms(rec.data() + start, kBlock) < kLoud) continue;
        double score;
        long m = locate(music, rec, start, kBlock, 0, long(music.size()), &score);
        if (m >= 0 && score >= kMatch) {
            offset = m - start;
            result.aligned = true;
            break;
        }
        start += kBlock / 16;  // not the music (or half silence): try a little further on
    }
    if (!result.aligned) return result;
    result.firstMusicFrame = start + offset;
    long lastMatchEnd = -1;  // recording frame where the last matched window ended
    long lastOffset = offset;
    long missed = 0;  // loud windows in a row that matched nothing near the offset
    for (long n = start; n + kWindow <= recLength; n += kHop) {
        long m = n + offset;
        if (m < 0 || m + kWindow > long(music.size())) break;
        if (rms(music.data() + m, kWindow) < kLoud) {
            // Too quiet to compare; a window inside a good run counts as following the music.
            if (missed == 0 && lastMatchEnd >= 0) lastMatchEnd = n + kWindow;
            continue;
        }
        double score = correlation(music, rec, n, m, kWindow);
        long best = m;
        if (score < kMatch) best = bestNear(music, rec, n, m - kNear, m + kNear, &score);
        if (score < kMatch && missed >= 8) {
            // Far from the running offset: search +-2 s around it.
            long found = locate(music, rec, n, 4 * kWindow, m - 88200, m + 88200, &score);
            if (found >= 0) best = found;
        }
        // Windows before the first that follows the music are the lead-in (the recording's start
        // straddling a silence), not part of what is checked.
        if (score < kMatch && lastMatchEnd < 0) continue;
        ++result.windows;
        if (score < kMatch) {
            ++missed;
            continue;
        }
        missed = 0;
        ++result.matchedWindows;
        offset = best - n;
        // The windows between the last match and this one did not follow the music: the part
        // that no matched window covers is the disturbed span.
        long span = lastMatchEnd < 0 ? 0 : std::max(0L, n - lastMatchEnd);
        if (lastMatchEnd >= 0 && (offset != lastOffset || span > 0)) {
            span = disturbedSpan(music, rec, lastMatchEnd, lastOffset, n, offset);
            result.events.push_back({lastMatchEnd, lastMatchEnd + lastOffset, lastOffset - offset, span});
        }
        lastOffset = offset;
        lastMatchEnd = n + kWindow;
        result.lastMusicFrame = best + kWindow;
    }
    return result;
}
