// frameTiming.h
// Exact timing of exported frames and their soundtrack, in integers only: frame n of a rate N/D
// lies at n*D/N seconds, and its audio at R samples a second starts at sample floor(n*D*R/N), so
// consecutive ranges join without a gap or an overlap however long the export. Header-only: the
// renderer and the tests share it.
#pragma once

#include <cstdlib>

struct FrameRate {
    long long numerator;  // frames per denominator seconds: 30000/1001 is 29.97 fps
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

// Parses "WxH" (digits only) with W at least 64 and H at least 48; even sizes only when even is
// set (the encoder's 4:2:0 chroma needs them). The upper limit is the GL implementation's, checked
// once a context exists (checkFrameSize); anything above 65536 is refused here already.
inline bool parseFrameSize(const char* text, int* width, int* height, bool even = false) {
    long long size[2] = {0, 0};
    const char* p = text;
    for (int i = 0; i < 2; ++i) {
        if (*p < '0' || *p > '9') return false;
        while (*p >= '0' && *p <= '9') {
            size[i] = size[i] * 10 + (*p++ - '0');
            if (size[i] > 65536) return false;
        }
        if (i == 0 && *p != 'x' && *p != 'X') return false;
        if (i == 0) ++p;
    }
    if (*p != '\0' || size[0] < 64 || size[1] < 48) return false;
    if (even && (size[0] % 2 != 0 || size[1] % 2 != 0)) return false;
    *width = int(size[0]);
    *height = int(size[1]);
    return true;
}

// Smallest n with n*D/N >= ms/1000, that is n*D*1000 >= ms*N.
inline long long firstFrameAtOrAfter(long long ms, FrameRate rate) {
    long long scaled = ms * rate.numerator;
    long long step = rate.denominator * 1000;
    return (scaled + step - 1) / step;
}

// Largest n with n*D/N <= ms/1000.
inline long long lastFrameAtOrBefore(long long ms, FrameRate rate) {
    return ms * rate.numerator / (rate.denominator * 1000);
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
