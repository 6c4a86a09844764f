// frameTiming.h
// Exact timing of exported frames and their soundtrack, in integers only: frame n of a rate N/D
// lies at n*D/N seconds, and its audio starts at sample floor(n*D*44100/N), so consecutive ranges
// join without a gap or an overlap however long the export. Header-only: the renderer and the tests
// share it.
#pragma once

#include <cstdlib>

struct FrameRate {
    long long numerator;    // frames per denominator seconds: 30000/1001 is 29.97 fps
    long long denominator;
};

// The frames n with from <= n*D/N < to (times in whole milliseconds): first, first + 1, ... end - 1.
struct FrameSpan {
    long long first;
    long long end;
};

// Reads the digits at *text as a whole number; false when there is no digit or the number passes a
// million. On success *text is left after the digits.
inline bool readWholeNumber(const char** text, long long* value) {
    const char* p = *text;
    long long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        n = n * 10 + (*p - '0');
        if (n > 1000000) return false;
    }
    if (p == *text) return false;
    *text = p;
    *value = n;
    return true;
}

// Parses "N" or "N/D": whole numbers of at most a million each (digits only, no sign or space),
// the rate N/D from 1 to 1000 fps.
inline bool parseFrameRate(const char* text, FrameRate* rate) {
    long long n = 0, d = 1;
    if (!readWholeNumber(&text, &n)) return false;
    if (*text == '/') {
        ++text;
        if (!readWholeNumber(&text, &d)) return false;
    }
    if (*text != '\0' || d <= 0 || n < d || n > 1000 * d) return false;
    *rate = {n, d};
    return true;
}

// Parses a non-negative time in seconds with at most three decimals ("12", "66.5", "0.125") into
// milliseconds. Rejects signs, exponents and finer digits, so no time is silently rounded.
inline bool parseMilliseconds(const char* text, long long* ms) {
    long long whole = 0, fraction = 0;
    int wholeDigits = 0, fractionDigits = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p, ++wholeDigits) {
        if (wholeDigits >= 9) return false;
        whole = whole * 10 + (*p - '0');
    }
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p, ++fractionDigits) {
            if (fractionDigits >= 3) return false;
            fraction = fraction * 10 + (*p - '0');
        }
    }
    if (*p != '\0' || wholeDigits + fractionDigits == 0) return false;
    for (int i = fractionDigits; i < 3; ++i) fraction *= 10;
    *ms = whole * 1000 + fraction;
    return true;
}

// Parses "WxH" with even sizes from 16 to 8192 (the encoder's 4:2:0 chroma needs even sizes).
inline bool parseFrameSize(const char* text, int* width, int* height) {
    char* end = nullptr;
    long w = strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    long h = strtol(rest, &end, 10);
    if (end == rest || *end != '\0') return false;
    if (w < 16 || h < 16 || w > 8192 || h > 8192 || w % 2 != 0 || h % 2 != 0) return false;
    *width = int(w);
    *height = int(h);
    return true;
}

// Smallest n with n*D/N >= ms/1000, that is n*D*1000 >= ms*N.
inline long long firstFrameAtOrAfter(long long ms, FrameRate rate) {
    long long scaled = ms * rate.numerator;
    long long step = rate.denominator * 1000;
    return (scaled + step - 1) / step;
}

inline FrameSpan frameSpan(long long fromMs, long long toMs, FrameRate rate) {
    FrameSpan span = {firstFrameAtOrAfter(fromMs, rate), firstFrameAtOrAfter(toMs, rate)};
    if (span.end < span.first) span.end = span.first;
    return span;
}

// The renderer's clock counts whole milliseconds: frame n is drawn at floor(n*D*1000/N) ms.
inline long long frameMilliseconds(long long n, FrameRate rate) {
    return n * rate.denominator * 1000 / rate.numerator;
}

// First audio sample of frame n at sampleRate: floor(n*D*sampleRate/N).
inline long long frameFirstSample(long long n, FrameRate rate, long long sampleRate) {
    return n * rate.denominator * sampleRate / rate.numerator;
}
