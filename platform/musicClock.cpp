// musicClock.cpp
// The music clock's arithmetic (musicClock.h): segments map the output's frames to music frames,
// observations anchor the position, and the silent real-time clock covers the time without one.
#include "platform/musicClock.h"

#include <algorithm>
#include <cmath>

namespace {

// How far the position may differ from the returning output's sound before the output is aimed
// again instead of slewed onto it, and how many times it is aimed again at most.
const double kResyncToleranceSeconds = 0.03;
const int kMaxReaims = 4;
// The slew after a return: the position moves at most this much faster or slower than real time.
const double kSlewRate = 0.1;
// Catching up with what is heard (a better report, a returning output), the position moves at
// most a fifth faster than real time: no jump on the screen, however many reads a frame makes or
// however long it takes. A hold's end is no such case: the picture stood still at the start or the
// seek's target, and its first frame after the hold shows what is heard, however late it is read.
const double kCatchUpRate = 0.2;
// Observations older than this no longer count for the position's lead.
const double kLeadWindowSeconds = 0.15;

long long silentPosition(const MusicClock* c, double now) {
    return c->silentBase + (long long)(std::max(0.0, now - c->silentTime) * c->rate);
}

// The segment that holds the output's frame device, newest first; -1 when it precedes them all.
int segmentOf(const MusicClock* c, long long device) {
    for (int i = c->segmentCount - 1; i >= 0; --i) {
        const ClockSegment& s = c->segments[(c->segmentFirst + i) % kClockSegments];
        if (s.device <= device) return i;
    }
    return -1;
}

// Keeps the observation and returns the largest lead of the window that ends with it.
double bestLead(MusicClock* c, double now, double lead) {
    while (c->observationCount > 0 && (c->observations[c->observationFirst].time < now - kLeadWindowSeconds ||
                                       c->observationCount == kClockObservations)) {
        c->observationFirst = (c->observationFirst + 1) % kClockObservations;
        --c->observationCount;
    }
    c->observations[(c->observationFirst + c->observationCount) % kClockObservations] = {now, lead};
    ++c->observationCount;
    double best = lead;
    for (int i = 0; i < c->observationCount; ++i)
        best = std::max(best, c->observations[(c->observationFirst + i) % kClockObservations].lead);
    return best;
}

void clearSegments(MusicClock* c) {
    c->segmentFirst = 0;
    c->segmentCount = 0;
}

// What happens to the clock, each one of the calls below.
enum ClockEvent {
    EVENT_SEEK,      // a seek
    EVENT_RESUME,    // playing again after a pause
    EVENT_PLACED,    // the output placed a segment
    EVENT_HEARD,     // the newest segment's sound heard (a returning output's: close enough)
    EVENT_READ,      // the position read while playing
    EVENT_LOST,      // the output went away
    EVENT_REGAINED,  // an output came back, or a returning one is aimed again
};

// Every transition of the clock's mode: where each event leads from each mode.
ClockMode nextMode(ClockMode from, ClockEvent event) {
    const bool returning = from == CLOCK_AIMING || from == CLOCK_RETURNING;
    switch (event) {
    case EVENT_SEEK:  // the output holds the target; a returning one is aimed anew; the silent clock jumps
        return from == CLOCK_SILENT ? CLOCK_SILENT : returning ? CLOCK_AIMING : CLOCK_CUEING;
    case EVENT_RESUME:  // the output holds the resumed frame; the silent clock runs on
        return from == CLOCK_SILENT || returning ? from : CLOCK_CUEING;
    case EVENT_PLACED:
        return from == CLOCK_CUEING ? CLOCK_HOLDING : from == CLOCK_AIMING ? CLOCK_RETURNING : from;
    case EVENT_HEARD:
        return from == CLOCK_HOLDING ? CLOCK_RELEASED : from == CLOCK_RETURNING ? CLOCK_FOLLOWING : from;
    case EVENT_READ:
        return from == CLOCK_RELEASED ? CLOCK_FOLLOWING : from;
    case EVENT_LOST:
        return CLOCK_SILENT;
    case EVENT_REGAINED:
        return from == CLOCK_SILENT || returning ? CLOCK_AIMING : from;
    }
    return from;
}

void changeMode(MusicClock* c, ClockEvent event) { c->mode = nextMode(c->mode, event); }

// The output starts again from frame: a new segment is awaited and nothing heard so far counts.
void awaitSegment(MusicClock* c, long long frame, ClockEvent event) {
    c->holdFrame = frame;
    c->observationCount = 0;
    changeMode(c, event);
}

}  // namespace

void clockStart(MusicClock* c, int rate, bool silent, double now) {
    *c = MusicClock{};
    c->rate = rate;
    c->playing = true;
    c->silentTime = now;
    c->mode = silent ? CLOCK_SILENT : CLOCK_CUEING;  // the first mode, not a transition
}

long long clockSeek(MusicClock* c, long long frame, double now) {
    frame = std::max(0LL, frame);
    c->lastReported = frame;
    c->slewFrames = 0;
    if (!clockFromOutput(c)) {
        c->silentBase = frame;
        c->silentTime = now;
        if (c->mode == CLOCK_SILENT) return -1;
        // The returning output is aimed at where the silent clock will be when it is heard.
        clearSegments(c);
        awaitSegment(c, frame + c->resyncLatency, EVENT_SEEK);
        return c->holdFrame;
    }
    awaitSegment(c, frame, EVENT_SEEK);
    return frame;
}

long long clockSetPlaying(MusicClock* c, bool playing, double now) {
    if (c->playing == playing) return -1;
    if (!playing) {
        const long long frame = clockPosition(c, now);
        c->playing = false;
        c->silentBase = frame;
        c->holdFrame = frame;
        return -1;
    }
    c->playing = true;
    c->silentTime = now;
    if (!clockFromOutput(c)) return -1;
    awaitSegment(c, c->lastReported, EVENT_RESUME);
    return c->lastReported;
}

void clockPlaceSegment(MusicClock* c, long long device, long long music) {
    if (c->segmentCount == kClockSegments) {
        c->segmentFirst = (c->segmentFirst + 1) % kClockSegments;
        --c->segmentCount;
    }
    c->segments[(c->segmentFirst + c->segmentCount) % kClockSegments] = {device, music};
    ++c->segmentCount;
    changeMode(c, EVENT_PLACED);
}

bool clockSegmentPending(const MusicClock* c) { return c->mode == CLOCK_CUEING || c->mode == CLOCK_AIMING; }

bool clockPlaying(const MusicClock* c) { return c->playing; }

bool clockHolding(const MusicClock* c) { return c->mode == CLOCK_CUEING || c->mode == CLOCK_HOLDING; }

bool clockFromOutput(const MusicClock* c) {
    return c->mode == CLOCK_FOLLOWING || c->mode == CLOCK_CUEING || c->mode == CLOCK_HOLDING ||
           c->mode == CLOCK_RELEASED;
}

bool clockOutputGone(const MusicClock* c) { return c->mode == CLOCK_SILENT; }

bool clockHeard(MusicClock* c, long long device, double now, long long aheadLimit) {
    if (!c->playing || clockSegmentPending(c) || c->mode == CLOCK_SILENT) return false;
    int i = segmentOf(c, device);
    if (i < 0) return false;
    // While a target is held, only the newest segment's sound counts.
    const bool awaited = c->mode == CLOCK_HOLDING || c->mode == CLOCK_RETURNING;
    if (awaited && i != c->segmentCount - 1) return false;
    const ClockSegment& s = c->segments[(c->segmentFirst + i) % kClockSegments];
    const long long heard = s.music + (device - s.device);
    if (c->mode == CLOCK_RETURNING) {
        const double error = double(silentPosition(c, now) - heard);
        if (std::fabs(error) > kResyncToleranceSeconds * c->rate && c->reaims < kMaxReaims) {
            c->resyncLatency += (long long)error;
            return true;
        }
        c->slewFrames = error;
        c->slewTime = now;
    }
    // A server that stopped repeats the frame it stopped at: the position runs on from that frame's
    // first report only, by aheadLimit at most.
    if (awaited || heard > c->lastHeard) c->advancedFrame = heard;
    c->lastHeard = heard;
    changeMode(c, EVENT_HEARD);
    c->anchorFrame = (long long)std::llround(bestLead(c, now, double(heard) - now * c->rate) + now * c->rate);
    c->anchorTime = now;
    c->aheadLimit = aheadLimit;
    return false;
}

void clockLose(MusicClock* c, double now) {
    if (c->mode == CLOCK_SILENT) return;
    const long long frame = clockPosition(c, now);
    changeMode(c, EVENT_LOST);
    c->observationCount = 0;
    c->slewFrames = 0;
    c->silentBase = frame;
    c->silentTime = now;
    c->holdFrame = frame;
    clearSegments(c);
}

long long clockRegain(MusicClock* c, double now, long long expectedLatencyFrames) {
    if (clockFromOutput(c)) return clockPosition(c, now);
    c->reaims = 0;
    c->resyncLatency = expectedLatencyFrames;
    clearSegments(c);
    const long long frame = clockPosition(c, now) + expectedLatencyFrames;
    awaitSegment(c, frame, EVENT_REGAINED);
    return frame;
}

long long clockReaim(MusicClock* c, double now) {
    ++c->reaims;
    clearSegments(c);
    const long long frame = std::max(0LL, clockPosition(c, now) + c->resyncLatency);
    awaitSegment(c, frame, EVENT_REGAINED);
    return frame;
}

long long clockMusicAt(const MusicClock* c, long long device) {
    const int i = segmentOf(c, device);
    if (i < 0) return -1;
    const ClockSegment& s = c->segments[(c->segmentFirst + i) % kClockSegments];
    return s.music + (device - s.device);
}

long long clockPosition(MusicClock* c, double now) {
    if (!c->playing) return c->lastReported;
    long long frame;
    if (!clockFromOutput(c)) {
        frame = silentPosition(c, now);
    } else if (clockHolding(c)) {
        frame = c->holdFrame;
    } else {
        const double elapsed = std::max(0.0, now - c->anchorTime);
        frame = std::min(c->anchorFrame + (long long)(elapsed * c->rate), c->advancedFrame + c->aheadLimit);
        if (c->slewFrames != 0) {
            const double left =
                std::fabs(c->slewFrames) - kSlewRate * std::max(0.0, now - c->slewTime) * c->rate;
            if (left > 0) {
                frame += (long long)std::copysign(left, c->slewFrames);
            } else {
                c->slewFrames = 0;
            }
        }
        // The catch-up limit holds for the position as reported, slew included.
        const double sinceRead = std::max(0.0, now - c->lastRead);
        if (c->mode != CLOCK_RELEASED)
            frame =
                std::min(frame, c->lastReported + 1 + (long long)(sinceRead * (1 + kCatchUpRate) * c->rate));
        changeMode(c, EVENT_READ);
    }
    frame = std::max(frame, c->lastReported);
    c->lastReported = frame;
    c->lastRead = now;
    return frame;
}

void contextClockStart(ContextClock* clock, int rate, int bufferFrames, double wall) {
    *clock = ContextClock{};
    clock->rate = rate;
    clock->bufferFrames = bufferFrames;
    clock->lastHeardTime = -1.0;
    clock->lastAdvanceWall = wall;
}

namespace {

ContextRun& runOf(ContextClock* clock, int run) { return clock->runs[run % kContextBuffers]; }

double bufferTime(ContextClock* clock, const ContextBuffer& b) {
    const ContextRun& run = runOf(clock, b.run);
    return run.contextTime + double(b.device - run.device) / clock->rate;
}

}  // namespace

void contextBufferPlaced(ContextClock* clock, long long device, double contextTime) {
    const bool newRun = [&] {
        if (clock->bufferCount == 0) return true;
        const ContextBuffer& last =
            clock->buffers[(clock->bufferFirst + clock->bufferCount - 1) % kContextBuffers];
        if (device != last.device + clock->bufferFrames) return true;  // not the next frames
        const ContextRun& run = runOf(clock, last.run);
        const double expected = run.contextTime + double(device - run.device) / clock->rate;
        return contextTime - expected > 0.5 * clock->bufferFrames / clock->rate;
    }();
    if (newRun) {
        runOf(clock, clock->runCount) = {device, contextTime};
        ++clock->runCount;
    } else {
        // A report is never early: the run starts no later than any of its reports says.
        ContextRun& run = runOf(clock, clock->runCount - 1);
        run.contextTime = std::min(run.contextTime, contextTime - double(device - run.device) / clock->rate);
    }
    if (clock->bufferCount == kContextBuffers) {
        clock->bufferFirst = (clock->bufferFirst + 1) % kContextBuffers;
        --clock->bufferCount;
    }
    clock->buffers[(clock->bufferFirst + clock->bufferCount) % kContextBuffers] = {device,
                                                                                   clock->runCount - 1};
    ++clock->bufferCount;
}

ContextVerdict contextClockRead(ContextClock* clock, bool running, double heardTime, double wall,
                                long long* device) {
    if (heardTime > clock->lastHeardTime) {
        clock->lastHeardTime = heardTime;
        clock->lastAdvanceWall = wall;
    }
    // Stalled: the context claims to run, has buffers to play, and its heard time stood still.
    const bool stalled = clock->bufferCount > 0 && wall - clock->lastAdvanceWall > kContextStallSeconds;
    if (!running || stalled) {
        if (clock->lost) return CONTEXT_WAITING;
        clock->lost = true;
        return CONTEXT_LOST;
    }
    if (clock->lost) {
        if (wall != clock->lastAdvanceWall) return CONTEXT_WAITING;  // runs again once its time moves
        clock->lost = false;
        clock->bufferFirst = 0;
        clock->bufferCount = 0;
        return CONTEXT_BACK;
    }
    // The newest buffer that has started playing holds the frame heard.
    for (int i = clock->bufferCount - 1; i >= 0; --i) {
        const ContextBuffer& b = clock->buffers[(clock->bufferFirst + i) % kContextBuffers];
        const double starts = bufferTime(clock, b);
        if (starts > heardTime) continue;
        const long long into = std::llround((heardTime - starts) * clock->rate);
        // Past the newest buffer's end nothing was handed out: the sound cannot be heard there.
        const long long end = i == clock->bufferCount - 1
                                  ? b.device + clock->bufferFrames
                                  : clock->buffers[(clock->bufferFirst + i + 1) % kContextBuffers].device;
        *device = std::min(b.device + into, end);
        return CONTEXT_HEARD;
    }
    return CONTEXT_WAITING;
}

// ---------------------------------------------------------------------------------------------
// Frames predicted for their presentation.

namespace {

// The median of a ring's values (its order does not matter).
double medianOf(const double* values, int count) {
    double sorted[kPredictionSamples];
    for (int i = 0; i < count; ++i) {
        int j = i;
        for (; j > 0 && sorted[j - 1] > values[i]; --j) sorted[j] = sorted[j - 1];
        sorted[j] = values[i];
    }
    return count % 2 ? sorted[count / 2] : (sorted[count / 2 - 1] + sorted[count / 2]) / 2;
}

void keepSample(double* ring, int* count, int* next, double value) {
    ring[*next] = value;
    *next = (*next + 1) % kPredictionSamples;
    if (*count < kPredictionSamples) ++*count;
}

// A refresh grid is believed between these intervals (250 Hz to 20 Hz); outside them the swaps
// were not paced by a display.
const double kShortestRefresh = 0.004;
const double kLongestRefresh = 0.05;
// Presentations that vote on the grid's phase.
const int kGridPresentations = 3;
// Frames measured before any lead is predicted.
const int kFirstPredictedFrame = 3;

}  // namespace

void predictionStart(FramePrediction* p) {
    *p = FramePrediction{};
    p->lastPresented = -1.0;
}

void predictionPresented(FramePrediction* p, double readWall, double presentedWall) {
    keepSample(p->lags, &p->lagCount, &p->lagNext, std::max(0.0, presentedWall - readWall));
    if (p->lastPresented >= 0.0 && presentedWall > p->lastPresented)
        keepSample(p->intervals, &p->intervalCount, &p->intervalNext, presentedWall - p->lastPresented);
    keepSample(p->presentations, &p->presentationCount, &p->presentationNext, presentedWall);
    p->lastPresented = presentedWall;
}

double predictionLead(const FramePrediction* p, double readWall, bool vsynced) {
    if (p->lagCount < kFirstPredictedFrame) return 0.0;
    double lead = medianOf(p->lags, p->lagCount);
    if (vsynced && p->intervalCount >= kFirstPredictedFrame && p->lastPresented <= readWall) {
        const double refresh = medianOf(p->intervals, p->intervalCount);
        if (refresh >= kShortestRefresh && refresh <= kLongestRefresh) {
            // The grid's line at the latest presentation, as each of the last few puts it: one
            // that came late is outvoted, and a compositor whose cycle wanders is followed.
            double lines[kGridPresentations];
            const int count = std::min(p->presentationCount, int(kGridPresentations));
            for (int i = 0; i < count; ++i) {
                const int at = (p->presentationNext - 1 - i + kPredictionSamples) % kPredictionSamples;
                lines[i] = p->presentations[at] +
                           std::round((p->lastPresented - p->presentations[at]) / refresh) * refresh;
            }
            const double line = medianOf(lines, count);
            // The grid line nearest to where the measured lag puts the presentation, at least the
            // one after the latest presentation.
            const double ahead = std::max(1.0, std::round((readWall + lead - line) / refresh));
            lead = line + ahead * refresh - readWall;
        }
    }
    return std::min(std::max(lead, 0.0), kMaxPredictionSeconds);
}

long long predictionFrame(FramePrediction* p, long long position, bool held, double lead, int rate,
                          long long endFrame) {
    const bool seeked = p->shown && position < p->lastPosition;
    long long frame = position;
    // Past the music's end there is no sound to meet: the position as it runs on.
    if (!held && position < endFrame)
        frame = std::min(position + (long long)std::llround(lead * rate), endFrame);
    if (p->shown && !seeked) frame = std::max(frame, p->lastShown);
    p->lastPosition = position;
    p->lastShown = frame;
    p->shown = true;
    return frame;
}
