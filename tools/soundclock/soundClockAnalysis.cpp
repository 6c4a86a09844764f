// soundClockAnalysis.cpp
// The click pairing (the one shift that pairs the most, as the A/V tool's skew), the monitor's
// frames on the monotonic clock by the lowest arrival lead in each window, and the clock's position
// interpolated between its reads.
#include "tools/soundclock/soundClockAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

ClickPairing pairClicks(const std::vector<long>& track, const std::vector<long>& monitor, long tolerance) {
    ClickPairing best;
    best.pairs.assign(track.size(), -1);
    // Every difference is tried as the shift; the one pairing the most wins (ties: the first).
    for (long t : track)
        for (long m : monitor) {
            const long long shift = (long long)m - t;
            std::vector<int> pairs(track.size(), -1);
            std::vector<bool> taken(monitor.size(), false);
            int paired = 0;
            for (size_t k = 0; k < track.size(); ++k) {
                long long nearest = tolerance + 1;
                for (size_t j = 0; j < monitor.size(); ++j) {
                    const long long miss = std::llabs((long long)monitor[j] - track[k] - shift);
                    if (!taken[j] && miss < nearest) {
                        nearest = miss;
                        pairs[k] = int(j);
                    }
                }
                if (pairs[k] >= 0) {
                    taken[size_t(pairs[k])] = true;
                    ++paired;
                }
            }
            if (paired > best.paired) {
                best.paired = paired;
                best.shift = shift;
                best.pairs = pairs;
            }
        }
    return best;
}

double clockAt(const std::vector<ClockReading>& readings, double t) {
    if (readings.empty() || t < readings.front().time || t > readings.back().time) return -1;
    const auto after = std::lower_bound(readings.begin(), readings.end(), t,
                                        [](const ClockReading& r, double at) { return r.time < at; });
    if (after == readings.begin()) return after->musicMs;
    const ClockReading& a = *(after - 1);
    const ClockReading& b = *after;
    if (b.time <= a.time) return b.musicMs;
    return a.musicMs + (b.musicMs - a.musicMs) * (t - a.time) / (b.time - a.time);
}

namespace {

std::string format(const char* pattern, ...) {
    char text[300];
    va_list args;
    va_start(args, pattern);
    vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

}  // namespace

SoundClockResult analyseSoundClock(const std::vector<long>& track, const std::vector<long>& monitor,
                                   const std::vector<MonitorChunk>& chunks,
                                   const std::vector<ClockReading>& readings,
                                   const std::vector<double>& referenceStarts, const SoundClockRules& rules) {
    SoundClockResult result;
    const double rate = rules.rate;
    if (readings.size() < 2 || readings.back().musicMs <= readings.front().musicMs) {
        result.refusal = "the music clock did not move";
        return result;
    }
    if (chunks.empty()) {
        result.refusal = "the monitor delivered nothing";
        return result;
    }
    // The clicks the clock went through: those are the ones played.
    std::vector<long> played;
    for (long t : track) {
        const double ms = t * 1000.0 / rate;
        if (ms > readings.front().musicMs && ms < readings.back().musicMs) played.push_back(t);
    }
    const ClickPairing pairing = pairClicks(played, monitor, long(rate / 100));
    if (played.empty() || pairing.paired < rules.paired * double(played.size())) {
        result.refusal = format(
            "only %.0f of the %.0f clicks played were found on the monitor at one shift: the monitor lost "
            "or gained sound, or did not hear them",
            double(pairing.paired), double(played.size()));
        return result;
    }
    for (size_t k = 0; k < played.size(); ++k) {
        if (pairing.pairs[k] < 0) continue;
        const long long off = (long long)monitor[size_t(pairing.pairs[k])] - played[k] - pairing.shift;
        if (std::llabs(off) > rules.continuity) {
            result.refusal = format(
                "the click at %.3f s of the track lies %+.1f ms off the others on the monitor: the monitor "
                "lost or gained sound, or the stream skipped",
                played[k] / rate, off * 1000.0 / rate);
            return result;
        }
    }
    // The monitor on the clock, over the frames from half a second before the first click heard to
    // half a second after the last (the server delivers what it held at the recorder's start in one
    // burst, and the end of the stream changes the sink's timing): each window's level of arrival
    // lead over the frames received.
    long long fromFrame = -1, toFrame = -1;
    for (size_t k = 0; k < played.size(); ++k) {
        if (pairing.pairs[k] < 0) continue;
        const long long m = monitor[size_t(pairing.pairs[k])];
        if (fromFrame < 0) fromFrame = m - (long long)(rate / 2);
        toFrame = m + (long long)(rate / 2);
    }
    // Windows from the first chunk of the span on; a shorter last one joins the one before it (a few
    // chunks need not reach the envelope). A window's level is its lead of rank n/20, at least the
    // second lowest: PulseAudio delivers one chunk early when a stream joins, and that is no level.
    std::vector<std::vector<double>> leads;
    double first = -1, last = -1;
    for (const MonitorChunk& c : chunks)
        if (c.endFrame >= fromFrame && c.endFrame <= toFrame) {
            if (first < 0) first = c.arrival;
            last = c.arrival;
        }
    const size_t windows = std::max<size_t>(1, size_t((last - first) / rules.window));
    for (const MonitorChunk& c : chunks) {
        if (c.endFrame < fromFrame || c.endFrame > toFrame) continue;
        const size_t w = std::min(windows - 1, size_t((c.arrival - first) / rules.window));
        if (leads.size() <= w) leads.resize(w + 1);
        leads[w].push_back(c.arrival - double(c.endFrame) / rate);
    }
    std::vector<double> levels(leads.size(), 1e300);
    for (size_t w = 0; w < leads.size(); ++w) {
        std::vector<double>& v = leads[w];
        if (v.empty()) continue;
        std::sort(v.begin(), v.end());
        levels[w] = v[std::min(v.size() - 1, std::max<size_t>(1, v.size() / 20))];
    }
    double lowest = 1e300, highest = -1e300;
    size_t lowestAt = 0, highestAt = 0;
    for (size_t w = 0; w < levels.size(); ++w) {
        if (levels[w] >= 1e300) {
            result.refusal = format("the monitor delivered nothing for %.0f s from %.0f s of the clicks",
                                    rules.window, double(w) * rules.window);
            return result;
        }
        if (levels[w] < lowest) lowest = levels[w], lowestAt = w;
        if (levels[w] > highest) highest = levels[w], highestAt = w;
    }
    if (levels.empty()) {
        result.refusal = "the monitor delivered nothing while the clicks played";
        return result;
    }
    result.levelSpread = highest - lowest;
    if (result.levelSpread > rules.step) {
        result.refusal = format(
            "the monitor's frames against the monotonic clock moved by %+.1f ms between %.0f s and %.0f s of "
            "the "
            "clicks (%.0f ms allowed): it lost or gained sound",
            (levels[std::max(lowestAt, highestAt)] - levels[std::min(lowestAt, highestAt)]) * 1000,
            double(std::min(lowestAt, highestAt)) * rules.window,
            double(std::max(lowestAt, highestAt)) * rules.window, rules.step * 1000);
        return result;
    }
    // The plain stream's clicks: the monitor's clicks the track does not claim, against where their
    // starts put them on the monitor at no delay.
    std::vector<bool> claimed(monitor.size(), false);
    for (int j : pairing.pairs)
        if (j >= 0) claimed[size_t(j)] = true;
    std::vector<long> others, expected;
    for (size_t j = 0; j < monitor.size(); ++j)
        if (!claimed[j]) others.push_back(monitor[j]);
    for (double start : referenceStarts) expected.push_back(long(std::lround((start - lowest) * rate)));
    const ClickPairing reference = pairClicks(expected, others, long(rate / 100));
    result.referencePlayed = int(expected.size());
    result.referenceFound = reference.paired;
    if (expected.empty() || reference.paired < rules.referencePaired * double(expected.size()) ||
        std::fabs(double(reference.shift) / rate) > rules.referenceRange) {
        result.refusal =
            format("only %d of the plain stream's %d clicks were found on the monitor at one delay",
                   reference.paired, int(expected.size()));
        return result;
    }
    std::vector<double> delays;
    for (size_t k = 0; k < expected.size(); ++k)
        if (reference.pairs[k] >= 0)
            delays.push_back(double(others[size_t(reference.pairs[k])] - expected[k]) / rate);
    std::sort(delays.begin(), delays.end());
    double mean = 0, var = 0;
    for (double d : delays) mean += d;
    mean /= double(delays.size());
    for (double d : delays) var += (d - mean) * (d - mean);
    result.monitorDelay = delays[delays.size() / 2];
    result.monitorDelaySd = std::sqrt(var / double(delays.size()));
    if (result.monitorDelaySd > rules.referenceSpread) {
        result.refusal = format(
            "the plain stream's clicks appear on the monitor %.1f ms after they play with a standard "
            "deviation of "
            "%.1f ms (%.0f ms allowed)",
            result.monitorDelay * 1000, result.monitorDelaySd * 1000, rules.referenceSpread * 1000);
        return result;
    }
    for (size_t k = 0; k < played.size(); ++k) {
        if (pairing.pairs[k] < 0) continue;
        const double appeared = lowest + double(monitor[size_t(pairing.pairs[k])]) / rate;
        const double reported = clockAt(readings, appeared);
        if (reported < 0) continue;
        result.arrivalErrors.push_back(reported - played[k] * 1000.0 / rate);
        result.errors.push_back(result.arrivalErrors.back() - result.monitorDelay * 1000);
        result.clickTimes.push_back(played[k] / rate);
    }
    if (result.errors.empty()) result.refusal = "no click appeared on the monitor while the clock was read";
    return result;
}
