// instruments.cpp
// Every sound of the soundtrack, made here from oscillators, envelopes and filters: one function
// per instrument renders one note (the acid line renders its whole phrase, for its slides).
// Output is dry and unpanned; the mixer applies gain, pan, sends and the side-chain.
#include <algorithm>
#include <cmath>

#include "tools/music/dsp.h"
#include "tools/music/synth.h"

namespace music {

float Curve::at(double t) const {
    if (points.empty()) return 1.0f;
    if (t <= points.front().first) return points.front().second;
    if (t >= points.back().first) return points.back().second;
    auto it = std::upper_bound(points.begin(), points.end(), t,
                               [](double v, const std::pair<double, float>& p) { return v < p.first; });
    const auto& b = *it;
    const auto& a = *(it - 1);
    double u = (t - a.first) / (b.first - a.first);
    return float(a.second + (b.second - a.second) * u);
}

namespace {

const float kInvRate = 1.0f / kRate;
const int kControlStep = 32;  // samples between filter-coefficient updates

// The span of samples a note writes: from its start to start + length + tail, inside the song.
struct Span {
    long first;
    long count;
};

Span noteSpan(const Note& n, double tail, long frames) {
    long first = std::lround(n.start * kRate);
    long last = std::lround((n.start + n.length + tail) * kRate);
    if (first < 0) first = 0;
    if (last > frames) last = frames;
    return {first, std::max(0L, last - first)};
}

float brightnessOr(const Track& track, double t, float fallback) {
    return track.brightness.points.empty() ? fallback : track.brightness.at(t);
}

// Attack then hold, then an exponential release from the end of the held length.
inline float holdEnvelope(float t, float attack, float length, float release) {
    float a = t < attack ? t / attack : 1.0f;
    if (t > length) a *= std::exp(-(t - length) * 5.0f / release);
    return a;
}

// param: attack time in seconds (default 1.4).
void renderPad(const Track& track, const Note& n, Rng& rng, float* left, float* right, long frames) {
    const float attack = n.param > 0.0f ? n.param : 1.4f, release = 2.2f;
    Span span = noteSpan(n, release, frames);
    const float detune[3] = {-0.09f, 0.0f, 0.09f};  // semitones
    Saw saws[3];
    float dt[3];
    for (int v = 0; v < 3; ++v) {
        saws[v].phase = rng.uniform();
        dt[v] = midiToHz(n.pitch + detune[v]) * kInvRate;
    }
    Svf filterL, filterR, highL, highR;
    highL.set(180.0f, 0.0f);
    highR.set(180.0f, 0.0f);
    const float amp = n.velocity * 0.11f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        if (i % kControlStep == 0) {
            float cutoff = brightnessOr(track, n.start + t, 2500.0f) * (0.7f + 0.3f * n.velocity);
            filterL.set(cutoff, 0.18f);
            filterR.set(cutoff, 0.18f);
        }
        float s0 = saws[0].next(dt[0]), s1 = saws[1].next(dt[1]), s2 = saws[2].next(dt[2]);
        float env = holdEnvelope(t, attack, float(n.length), release);
        env = env * env * (3.0f - 2.0f * env);  // smooth S-shaped swell
        filterL.process(s0 * 0.8f + s1 * 0.5f + s2 * 0.2f);
        filterR.process(s2 * 0.8f + s1 * 0.5f + s0 * 0.2f);
        highL.process(filterL.low);
        highR.process(filterR.low);
        left[span.first + i] += highL.high * env * amp;
        right[span.first + i] += highR.high * env * amp;
    }
}

// FM pluck: a sine carrier phase-modulated at twice its frequency, the index fading faster than
// the tone, so each note starts glassy and rings out round. param: pan offset.
void renderBell(const Track& track, const Note& n, float* left, float* right, long frames) {
    const float ring = 0.42f, tail = ring * 4.5f;  // rings down to -39 dB, then a short fade
    Span span = noteSpan(n, tail, frames);
    const float fadeFrom = float(n.length) + tail - 0.2f;
    float f = midiToHz(n.pitch) * kInvRate;
    float index = brightnessOr(track, n.start, 1.6f) * (0.5f + 0.5f * n.velocity);
    float pl, pr;
    panGains(std::clamp(n.param, -1.0f, 1.0f), &pl, &pr);
    float amp = n.velocity * 0.3f;
    Decay brightness(0.12f), level(ring);
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float mod = sinCycles(2.0f * f * i) * index * brightness.next();
        float env = std::min(1.0f, t / 0.002f) * level.next();
        if (t > fadeFrom) env *= std::max(0.0f, 1.0f - (t - fadeFrom) / 0.2f);
        float out = sinCycles(f * i + mod * 0.16f) * env * amp;
        left[span.first + i] += out * pl;
        right[span.first + i] += out * pr;
    }
}

void renderSubBass(const Note& n, float* left, float* right, long frames) {
    const float release = 0.25f;
    Span span = noteSpan(n, release, frames);
    float f = midiToHz(n.pitch) * kInvRate;
    float amp = n.velocity * 0.42f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float env = holdEnvelope(t, 0.03f, float(n.length), release);
        float out = (sinCycles(f * i) + 0.06f * sinCycles(3.0f * f * i)) * env * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

// Saw with a sine an octave below, through a low-pass that snaps open at the attack.
void renderBass(const Track& track, const Note& n, float* left, float* right, long frames) {
    const float release = 0.05f;
    Span span = noteSpan(n, release, frames);
    float f = midiToHz(n.pitch) * kInvRate;
    Saw saw;
    saw.phase = 0.5f;  // starts at its zero crossing, in phase with the pulse that may double it
    Svf filter;
    float base = brightnessOr(track, n.start, 320.0f);
    float amp = n.velocity * 0.34f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        if (i % kControlStep == 0) filter.set(base * (1.0f + 3.5f * std::exp(-t / 0.09f)), 0.35f);
        filter.process(saw.next(f) * 0.7f + sinCycles(0.5f * f * i) * 0.6f);
        float env = holdEnvelope(t, 0.003f, float(n.length), release);
        env *= 0.8f + 0.2f * std::exp(-t / 0.15f);
        float out = softClip(filter.low * 1.6f) * env * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

// The acid line: one voice over the whole phrase so that slides glide the pitch without a new
// attack. param bit 1: accent (louder, filter wider); bit 2: slide into this note.
void renderAcid(const Track& track, float* left, float* right, long frames) {
    Saw saw;
    Svf first, second;
    float hz = 0.0f, gain = 0.0f, filterEnv = 0.0f, accentLevel = 0.0f;
    const float glide = 1.0f - std::exp(-1.0f / (0.035f * kRate));
    const float gateSmooth = 1.0f - std::exp(-1.0f / (0.003f * kRate));
    for (size_t k = 0; k < track.notes.size(); ++k) {
        const Note& n = track.notes[k];
        long begin = std::lround(n.start * kRate);
        double endTime = k + 1 < track.notes.size() ? track.notes[k + 1].start : n.start + n.length + 0.3;
        long end = std::min(frames, long(std::lround(endTime * kRate)));
        int flags = int(n.param);
        bool accent = flags & 1, slide = (flags & 2) && hz > 0.0f;
        float target = midiToHz(n.pitch);
        if (!slide) {
            hz = target;
            filterEnv = 1.0f;
            accentLevel = accent ? 1.0f : 0.0f;
        }
        float decay = std::exp(-1.0f / ((accent ? 0.11f : 0.2f) * kRate));
        for (long i = begin; i < end; ++i) {
            float t = float(i - begin) * kInvRate;
            hz += (target - hz) * glide;
            bool gate = t < n.length;
            gain += ((gate ? (accent ? 1.25f : 0.9f) * n.velocity : 0.0f) - gain) * gateSmooth;
            if ((i - begin) % 16 == 0) {
                float base = brightnessOr(track, i * double(kInvRate), 500.0f);
                float cutoff = base * (1.0f + (2.2f + 2.8f * accentLevel) * filterEnv);
                first.set(cutoff, 0.82f);
                second.set(cutoff * 1.3f, 0.1f);
            }
            filterEnv *= decay;
            first.process(saw.next(hz * kInvRate));
            second.process(first.low);
            float out = softClip(second.low * 2.2f) * gain * 0.2f;
            left[i] += out;
            right[i] += out;
        }
    }
}

// Detuned saw lead with a delayed vibrato; the filter opens at each attack.
void renderLead(const Track& track, const Note& n, Rng& rng, float* left, float* right, long frames) {
    const float release = 0.22f;
    Span span = noteSpan(n, release, frames);
    Saw a, b, c;
    a.phase = rng.uniform();
    b.phase = rng.uniform();
    c.phase = rng.uniform();
    Svf filterL, filterR;
    float base = brightnessOr(track, n.start, 3000.0f);
    float amp = n.velocity * 0.16f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float depth = std::clamp((t - 0.25f) / 0.35f, 0.0f, 1.0f) * 0.13f;
        float pitch = n.pitch + depth * sinCycles(5.2f * t);
        float f = midiToHz(pitch) * kInvRate;
        if (i % kControlStep == 0) {
            float cutoff = base * (0.55f + 0.9f * std::exp(-t / 0.22f));
            filterL.set(cutoff, 0.22f);
            filterR.set(cutoff, 0.22f);
        }
        float sa = a.next(f * 1.004f), sb = b.next(f * 0.996f), sc = c.next(f * 0.5f);
        float env = holdEnvelope(t, 0.008f, float(n.length), release);
        env *= 0.72f + 0.28f * std::exp(-t / 0.2f);
        filterL.process(sa + 0.35f * sc);
        filterR.process(sb + 0.35f * sc);
        left[span.first + i] += filterL.low * env * amp;
        right[span.first + i] += filterR.low * env * amp;
    }
}

// A breathy sine voice for the quiet opening.
void renderFlute(const Note& n, Rng& rng, float* left, float* right, long frames) {
    const float release = 0.3f;
    Span span = noteSpan(n, release, frames);
    Svf breath;
    breath.set(midiToHz(n.pitch) * 2.0f, 0.5f);
    float amp = n.velocity * 0.24f;
    float phase = 0.0f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float depth = std::clamp((t - 0.3f) / 0.4f, 0.0f, 1.0f) * 0.1f;
        phase += midiToHz(n.pitch + depth * sinCycles(4.8f * t)) * kInvRate;
        if (phase >= 1.0f) phase -= 1.0f;
        float env = holdEnvelope(t, 0.07f, float(n.length), release);
        breath.process(rng.noise());
        float chiff = 0.25f + 0.75f * std::exp(-t / 0.08f);
        float tone = sinCycles(phase) + 0.18f * sinCycles(2.0f * phase) + 0.07f * sinCycles(3.0f * phase);
        float out = (tone + breath.band * 0.35f * chiff) * env * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

// A bright chord hit: three detuned saws per note, filter and level falling fast.
void renderStab(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 1.2, frames);
    const float detune[3] = {-0.12f, 0.0f, 0.12f};
    Saw saws[3];
    float dt[3];
    for (int v = 0; v < 3; ++v) {
        saws[v].phase = rng.uniform();
        dt[v] = midiToHz(n.pitch + detune[v]) * kInvRate;
    }
    Svf filterL, filterR;
    float amp = n.velocity * 0.17f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        if (i % 16 == 0) {
            float cutoff = 9000.0f * std::exp(-t / 0.09f) + 1100.0f;
            filterL.set(cutoff, 0.1f);
            filterR.set(cutoff, 0.1f);
        }
        float s0 = saws[0].next(dt[0]), s1 = saws[1].next(dt[1]), s2 = saws[2].next(dt[2]);
        float env = std::min(1.0f, t / 0.0008f) * std::exp(-t / (0.2f + 0.1f * float(n.length)));
        filterL.process(s0 + 0.6f * s1);
        filterR.process(s2 + 0.6f * s1);
        left[span.first + i] += filterL.low * env * amp;
        right[span.first + i] += filterR.low * env * amp;
    }
}

// The logo pulse: a round thump on the note and its lower octave that dies before the next beat.
void renderPulseBass(const Note& n, float* left, float* right, long frames) {
    Span span = noteSpan(n, 0.0, frames);
    float f = midiToHz(n.pitch) * kInvRate;
    float amp = n.velocity * 0.5f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float env = std::min(1.0f, t / 0.003f) * std::exp(-t / 0.1f);
        float fade = std::min(1.0f, (float(n.length) - t) / 0.02f);  // silent at the note's end
        float out = (sinCycles(f * i) + 0.55f * sinCycles(0.5f * f * i) + 0.12f * sinCycles(2.0f * f * i));
        out = softClip(out * 1.2f) * env * std::max(0.0f, fade) * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

void renderKick(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 1.1, frames);
    OnePole clickTone;
    clickTone.set(4500.0f);
    float phase = 0.0f;
    float amp = n.velocity * 0.78f;
    Decay sweep(0.026f), body(0.22f), snap(0.0025f);
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        phase += (47.0f + 165.0f * sweep.next()) * kInvRate;
        float tone = sinCycles(phase) * std::min(1.0f, t / 0.0008f) * body.next();
        float click = clickTone.process(rng.noise()) * snap.next() * 0.6f;
        float out = softClip((tone + click) * 1.5f) * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

// param 1: the noise alone, without the tonal body (for rolls that must not touch the low mids).
void renderSnare(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 0.6, frames);
    Svf high, low;
    high.set(1300.0f, 0.1f);
    low.set(9000.0f, 0.0f);
    float bodyGain = n.param >= 1.0f ? 0.0f : 0.55f;
    float amp = n.velocity * 0.45f;
    float phase = 0.0f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        phase += 185.0f * (1.0f + 0.4f * std::exp(-t / 0.01f)) * kInvRate;
        float body = (sinCycles(phase) + 0.5f * sinCycles(phase * 1.78f)) * std::exp(-t / 0.045f);
        high.process(rng.noise());
        low.process(high.high);
        float noise = low.low * std::exp(-t / 0.14f) * 1.3f;
        float out = (body * bodyGain + noise) * std::min(1.0f, t / 0.0006f) * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

void renderClap(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 0.6, frames);
    Svf band;
    band.set(1150.0f, 0.45f);
    float amp = n.velocity * 1.1f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float env = 0.0f;
        for (int burst = 0; burst < 3; ++burst) {
            float tb = t - 0.011f * burst;
            if (tb >= 0.0f) env = std::max(env, std::exp(-tb / 0.0045f));
        }
        if (t > 0.03f) env = std::max(env, 0.75f * std::exp(-(t - 0.03f) / 0.12f));
        band.process(rng.noise());
        float out = band.band * env * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

void renderRim(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 0.15, frames);
    Svf band;
    band.set(3200.0f, 0.5f);
    float amp = n.velocity * 0.4f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        band.process(rng.noise());
        float out =
            (sinCycles(1650.0f * t) * std::exp(-t / 0.012f) * 0.6f + band.band * std::exp(-t / 0.008f)) * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

void renderHat(const Note& n, Rng& rng, float decay, float* left, float* right, long frames) {
    Span span = noteSpan(n, decay * 6.0f, frames);
    Svf high, shine;
    high.set(7600.0f, 0.2f);
    shine.set(11000.0f, 0.55f);
    float amp = n.velocity * 0.32f;
    Decay level(decay);
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float x = rng.noise();
        high.process(x);
        shine.process(x);
        float out = (high.high + 0.6f * shine.band) * level.next() * std::min(1.0f, t / 0.0005f) * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

void renderShaker(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 0.3, frames);
    Svf band;
    band.set(6200.0f, 0.35f);
    float amp = n.velocity * 0.35f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        band.process(rng.noise());
        float env = std::min(1.0f, t / 0.012f) * std::exp(-t / 0.05f);
        float out = band.band * env * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

// Cymbal wash: two independent noise channels for width. Reverse: the same sound swelling up
// to the note's end (its hit) and stopping there.
void renderCrash(const Note& n, Rng& rng, bool reverse, float* left, float* right, long frames) {
    Span span = noteSpan(n, reverse ? 0.0 : 6.5, frames);
    Rng other(rng.nextBits());
    Svf highL, highR, ringL, ringR;
    highL.set(3600.0f, 0.1f);
    highR.set(3600.0f, 0.1f);
    ringL.set(6400.0f, 0.6f);
    ringR.set(6900.0f, 0.6f);
    float amp = n.velocity * 0.3f;
    float length = float(n.length);
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float env;
        if (reverse) {
            float u = t / length;
            env = u * u * u;
        } else {
            env = std::min(1.0f, t / 0.001f) * std::exp(-t / 1.3f);
        }
        float xl = rng.noise(), xr = other.noise();
        highL.process(xl);
        highR.process(xr);
        ringL.process(xl);
        ringR.process(xr);
        left[span.first + i] += (highL.high + 0.5f * ringL.band) * env * amp;
        right[span.first + i] += (highR.high + 0.5f * ringR.band) * env * amp;
    }
}

// Noise through a band-pass climbing five octaves over the note, swelling to its end.
void renderRiser(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 0.0, frames);
    Rng other(rng.nextBits());
    Svf bandL, bandR;
    float length = float(n.length);
    float amp = n.velocity * 0.3f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        float u = t / length;
        if (i % kControlStep == 0) {
            float hz = 350.0f * std::exp2(u * 4.6f);
            bandL.set(hz, 0.55f);
            bandR.set(hz * 1.06f, 0.55f);
        }
        bandL.process(rng.noise());
        bandR.process(other.noise());
        float env = u * u;
        left[span.first + i] += bandL.band * env * amp;
        right[span.first + i] += bandR.band * env * amp;
    }
}

// A falling sub tone with a short burst of noise: weight under section hits.
void renderImpact(const Note& n, Rng& rng, float* left, float* right, long frames) {
    Span span = noteSpan(n, 4.0, frames);
    OnePole tone;
    tone.set(2500.0f);
    float phase = 0.0f;
    float amp = n.velocity * 0.6f;
    for (long i = 0; i < span.count; ++i) {
        float t = i * kInvRate;
        phase += (30.0f + 80.0f * std::exp(-t / 0.22f)) * kInvRate;
        float body = sinCycles(phase) * std::min(1.0f, t / 0.002f) * std::exp(-t / 0.8f);
        float burst = tone.process(rng.noise()) * std::exp(-t / 0.06f) * 0.7f;
        float out = (body + burst) * amp;
        left[span.first + i] += out;
        right[span.first + i] += out;
    }
}

}  // namespace

void renderTrack(const Track& track, uint32_t seed, float* left, float* right, long frames) {
    if (track.instrument == Instrument::Acid) {
        renderAcid(track, left, right, frames);
        return;
    }
    for (size_t k = 0; k < track.notes.size(); ++k) {
        const Note& n = track.notes[k];
        Rng rng(seed ^ (uint32_t(k + 1) * 2654435761u));
        switch (track.instrument) {
        case Instrument::Pad:
            renderPad(track, n, rng, left, right, frames);
            break;
        case Instrument::Bell:
            renderBell(track, n, left, right, frames);
            break;
        case Instrument::SubBass:
            renderSubBass(n, left, right, frames);
            break;
        case Instrument::Bass:
            renderBass(track, n, left, right, frames);
            break;
        case Instrument::Lead:
            renderLead(track, n, rng, left, right, frames);
            break;
        case Instrument::Flute:
            renderFlute(n, rng, left, right, frames);
            break;
        case Instrument::Stab:
            renderStab(n, rng, left, right, frames);
            break;
        case Instrument::PulseBass:
            renderPulseBass(n, left, right, frames);
            break;
        case Instrument::Kick:
            renderKick(n, rng, left, right, frames);
            break;
        case Instrument::Snare:
            renderSnare(n, rng, left, right, frames);
            break;
        case Instrument::Clap:
            renderClap(n, rng, left, right, frames);
            break;
        case Instrument::Rim:
            renderRim(n, rng, left, right, frames);
            break;
        case Instrument::ClosedHat:
            renderHat(n, rng, 0.032f, left, right, frames);
            break;
        case Instrument::OpenHat:
            renderHat(n, rng, 0.2f, left, right, frames);
            break;
        case Instrument::Shaker:
            renderShaker(n, rng, left, right, frames);
            break;
        case Instrument::Crash:
            renderCrash(n, rng, false, left, right, frames);
            break;
        case Instrument::ReverseCrash:
            renderCrash(n, rng, true, left, right, frames);
            break;
        case Instrument::Riser:
            renderRiser(n, rng, left, right, frames);
            break;
        case Instrument::Impact:
            renderImpact(n, rng, left, right, frames);
            break;
        case Instrument::Acid:
            break;
        }
    }
}

}  // namespace music
