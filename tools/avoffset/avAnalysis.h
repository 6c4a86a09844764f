// avAnalysis.h
// What a screen-and-sound recording shows: the scroller's place in a captured picture against an
// offline frame, a reference picture turning white, a click's start, and the recorder's skew found
// from the reference's changes and clicks; and kestrane-avoffset's arguments, read strictly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // rows top first
};

// The horizontal shift s (pixels, to a fraction) with frame(x) = reference(x - s) for the scroller's
// bright letters, searched over minShift..maxShift; only pixels brighter than the scroller's band
// and the pictures behind it count. score: their normalized correlation at the best whole shift.
// False when no shift leaves a quarter of the width overlapping.
bool scrollerShift(const GrayImage& frame, const GrayImage& reference, int minShift, int maxShift,
                   double* shift, double* score);

// Indices of the frames whose mean brightness is high after a dark frame (mean levels 0..255).
std::vector<int> brightenings(const std::vector<double>& meanLevels);

// Frames (indices) where a click starts: the first frame louder than 0.1 (mono, -1..1) within 5 ms
// of the end of at least 0.2 s below 0.05. The quiet level and the 5 ms let through the ringing a
// resampler puts before a sharp rise (PipeWire's 44.1 -> 48 -> 44.1 kHz).
std::vector<long> clickOnsets(const std::vector<float>& sound, int rate);

// The recorder's skew (click time - picture change time, s) found from a list of picture changes
// and a list of clicks, each in its own recorder clock (s).
struct SkewFit {
    bool found = false;      // some change had a click within the search range
    double skew = 0;         // median of the agreeing pairs' differences
    double spread = 0;       // their standard deviation, s
    int agreeing = 0;        // changes with a click within the tolerance of skew
    std::vector<int> pairs;  // for each change: the click it agrees with, or -1
};

// The one shift in minShift..maxShift that puts a click within tolerance of the most changes
// (ties: the smallest spread of those differences), then every change paired at it. Each change
// counts once, however many clicks lie near it.
SkewFit fitSkew(const std::vector<double>& changes, const std::vector<double>& clicks, double minShift,
                double maxShift, double tolerance);

// For each change, the click nearest to change + skew when within tolerance of it, else -1.
std::vector<int> pairAtSkew(const std::vector<double>& changes, const std::vector<double>& clicks,
                            double skew, double tolerance);

// One agreeing pair of a reference run: click time - change time (s), and half the gap between the
// two recorded frames that hold the change (s): the change lies somewhere in that gap, so its pair
// may differ from the true skew by that much.
struct ReferencePair {
    double difference;
    double halfGap;
};

// One run of the reference as fitted: how many of the changes it played agree with its skew.
struct ReferencePart {
    int agreeing;
    int expected;
    double skew;                            // s
    std::vector<ReferencePair> pairs = {};  // the agreeing ones, in order
};

// How far pair i's span (its difference, give or take its half gap) lies outside the skew that
// most pairs of its run allow (where the most spans overlap: all of them, in a run whose sound and
// picture held steady, up to a little jitter of the grabber's timestamps and the reference's
// swaps), s; <= 0 inside it.
double pairOutside(const std::vector<ReferencePair>& pairs, size_t i);

// A pair lies far from the others when it lies more than this outside what most allow. Seen: at
// most 3.1 ms in sixteen runs whose sound held steady; a click 20 ms off among pairs 10 ms either
// side of the skew lies up to 10 ms outside.
const double kPairMargin = 0.006;

// Why a calibration from the reference parts (before and after the demo) cannot be trusted, or
// empty when it can. Each part needs more than half of its clicks to agree (its skew is then no
// chance alignment), all parts together at least five in six, no pair far from the others of its
// part (above: the recorder's sound or picture moved within the run), and the parts' skews must lie
// within tolerance of each other: the skew is interpolated between them, which holds for a slow
// drift but not for sound the recorder lost or gained in between.
std::string calibrationRefusal(const std::vector<ReferencePart>& parts, double tolerance);

// The demo's stretch, read frame by frame: where each frame's sound was found in the music, as
// the music frame less the recording's frame (one value while the recording follows the music
// sample for sample), at the recorder's time of the frame (s).
struct SoundMatch {
    double time;
    long offset;
};

// Why the recording's sound over the demo's stretch cannot be trusted, or empty when it can: the
// median offset of some second of the stretch differs from another's by more than limit (s) at
// rate (the recorder lost or gained sound there, or the demo's stream skipped: a loss and a gain
// that cancel leave the seconds between them apart). Single frames matched elsewhere (a repeated
// bar) do not move a second's median.
std::string stretchRefusal(const std::vector<SoundMatch>& matches, int rate, double limit);

double median(std::vector<double> values);

// kestrane-avoffset's arguments (avArguments.cpp):
//   VIDEO.gray WIDTH HEIGHT FRAME_TIMES SOUND.raw SOUND_START SPLIT[:RESUME] MUSIC.mp3 REFERENCE_DIR TOP
//   [SHOWN_LATE_MS [CLICKS]]
struct AvOffsetOptions {
    const char* video = nullptr;
    const char* frameTimes = nullptr;
    const char* sound = nullptr;
    const char* music = nullptr;
    const char* referenceDir = nullptr;
    int width = 0, height = 0, top = 0;  // the grabbed strip: rows top.. of the window
    double soundStart = 0;               // s, on the recorder's clock
    double split = 0, resume = 1e300;    // s: the demo between the two, the reference outside
    double shownLate = 0;                // s
    int clicks = 15;                     // per reference run
};
extern const char* const kAvOffsetUsage;
// Every number checked whole (no atoi): 0, or 2 after one line on standard error naming the bad
// argument, or saying how many were expected, and the usage.
int parseAvOffsetArguments(int argc, char** argv, AvOffsetOptions* options);
