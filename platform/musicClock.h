// musicClock.h
// The music clock's rules, apart from any device: the position is the music frame heard now. An
// output tells the clock where each stretch of music starts in its own frame count (a segment) and
// which of its frames is heard at a given time; the clock maps one to the other, holds a start or
// seek target until its first frame is heard, never runs backwards, runs on silently in real time
// when the output goes away, and slews back onto the output's timing when it returns. Every
// function takes the time (seconds, any steady scale) as an argument, so it is tested without
// sleeping.
#pragma once

enum { kClockSegments = 64, kClockObservations = 32 };

struct ClockSegment {
    long long device;  // the output's frame at which this stretch starts
    long long music;   // the music frame played there
};

// What an observation said: the frame heard less the time in frames. A server that reports only at
// its processing cycles says too little between them, never too much, so the largest lead of the
// last 0.15 s (a few cycles, short enough to follow a server that falls behind) is the position's.
struct ClockObservation {
    double time;
    double lead;
};

// What the position comes from. A start, seek or resume on an output is cued and then held; the
// first sound of its segment releases it, and the position follows the output from then on. Without
// an output the silent clock runs in real time; an output that comes back is aimed at it and runs
// beside it until it is heard, then followed. The zero value (a clock not started) reads as
// following with nothing heard: not held, no segment pending.
enum ClockMode {
    CLOCK_FOLLOWING,  // the position follows what the output is heard playing
    CLOCK_CUEING,     // a start, seek or resume on the output: holdFrame held, its segment not placed yet
    CLOCK_HOLDING,    // the segment is placed: holdFrame held until its first frame is heard
    CLOCK_RELEASED,   // a hold just ended: the next read shows what is heard, however far, then follows
    CLOCK_SILENT,     // no output: real time from silentBase at silentTime
    CLOCK_AIMING,     // an output came back, aimed at the silent clock, which runs on: segment not placed yet
    CLOCK_RETURNING,  // the returning output's segment is placed: the silent clock runs until it is heard
};

struct MusicClock {
    int rate;  // frames per second
    // Started and not paused. Apart from the mode: under a pause the output may still be lost,
    // regained or seeked, and a resume goes on from whatever mode that left.
    bool playing;
    ClockMode mode;  // changed only through the transitions in musicClock.cpp
    long long silentBase;
    double silentTime;
    ClockSegment segments[kClockSegments];  // ring, oldest first from segmentFirst
    int segmentFirst;
    int segmentCount;
    long long holdFrame;
    ClockObservation observations[kClockObservations];  // ring, oldest first, this segment's only
    int observationFirst;
    int observationCount;
    long long anchorFrame;  // following: anchorFrame heard at anchorTime
    double anchorTime;
    long long aheadLimit;     // frames the position may run past the latest frame heard
    long long lastHeard;      // the latest observation's frame
    long long advancedFrame;  // the latest observation that had moved on from the one before
    long long resyncLatency;  // frames from placing a segment to hearing it, as learnt while returning
    int reaims;               // times the returning output was aimed again
    double slewFrames;        // position minus heard frame when the output was heard again
    double slewTime;
    long long lastReported;  // never report less while playing
    double lastRead;         // when lastReported was read
};

// Resets to the music's start, playing, held at frame 0 until the output's first frame is heard
// (with silent set: running in real time from now).
void clockStart(MusicClock* clock, int rate, bool silent, double now);
// Functions that return a frame start a new segment there: the caller seeks the music to that
// frame, drops what the output holds and places the segment where the output resumes.
//
// Seek: held at frame (negative is 0) until the output's new segment is heard; the silent clock
// runs on from there at once. Returns where the output plays from (-1: no output).
long long clockSeek(MusicClock* clock, long long frame, double now);
// Pause and resume; a resumed device clock holds until the resumed audio is heard, like a seek.
// Returns where the output plays from on a resume with an output, else -1.
long long clockSetPlaying(MusicClock* clock, bool playing, double now);
// The output places the pending start, seek or resume at its frame device.
void clockPlaceSegment(MusicClock* clock, long long device, long long music);
// A start, seek, resume or returning output waits for the output to place its segment.
bool clockSegmentPending(const MusicClock* clock);
// Started and not paused.
bool clockPlaying(const MusicClock* clock);
// A start, seek or resume target is held until its sound is heard.
bool clockHolding(const MusicClock* clock);
// The position comes from the output (held or following); false while the silent clock runs.
bool clockFromOutput(const MusicClock* clock);
// No output plays at all: none at the start, or lost and not come back yet.
bool clockOutputGone(const MusicClock* clock);
// An observation: the output's frame device is heard at now; the position may be extrapolated in
// real time up to aheadLimit frames beyond it until an observation says the sound moved on. True when a
// returning output is heard too far from the silent clock: the caller then calls clockReaim.
bool clockHeard(MusicClock* clock, long long device, double now, long long aheadLimit);
// The output went away: from the position reached, the clock runs on in real time.
void clockLose(MusicClock* clock, double now);
// A new output (device frames from 0 again) will play from the frame returned, which the caller
// places as its first segment. The silent clock runs on until that segment is heard; the position
// then moves at most a tenth faster or slower than real time until it meets what is heard.
long long clockRegain(MusicClock* clock, double now, long long expectedLatencyFrames);
// The returning output missed the silent clock by more than a few milliseconds: it plays again
// from the frame returned, corrected by the latency learnt from the miss.
long long clockReaim(MusicClock* clock, double now);
// The music frame that the output plays at its frame device, by the segments kept; -1 when none
// holds it.
long long clockMusicAt(const MusicClock* clock, long long device);
// The music frame heard now: monotonic while playing, moved back only by seeks.
long long clockPosition(MusicClock* clock, double now);

// ---------------------------------------------------------------------------------------------
// A browser's audio graph as the output. Each buffer the output hands out is played from a time on
// the audio context's clock; the context says which of its times is heard now (its output
// timestamp). From the two the output's frame heard now follows, which the clock above takes as an
// observation. The time a buffer is said to play (the event's playbackTime) is no better than the
// context's time when the page was asked for it, plus the buffer: late by up to the device's
// callback period and the page's delay, never early. The graph plays the buffers back to back, so
// a run of buffers is placed by the earliest of its reports; a buffer reported later than its run
// allows by half a buffer (the graph played silence while the page was late) starts a new run. The
// context may stop (suspended: a background tab, no output device, no user gesture yet) or stall
// while it claims to run: the output is then lost, and the silent clock runs on until the context
// plays again.
enum { kContextBuffers = 8 };

struct ContextBuffer {
    long long device;  // the output's first frame in the buffer
    int run;           // the run it belongs to (a count)
};

// Buffers played back to back: the run's first buffer starts at the output's frame device, played at
// contextTime.
struct ContextRun {
    long long device;
    double contextTime;
};

struct ContextClock {
    int rate;                                // the context's frames per second
    int bufferFrames;                        // frames per buffer
    ContextBuffer buffers[kContextBuffers];  // ring, oldest first from bufferFirst
    int bufferFirst;
    int bufferCount;
    ContextRun runs[kContextBuffers];  // by run count modulo kContextBuffers
    int runCount;
    bool lost;               // the context stopped or stalled
    double lastHeardTime;    // the latest context time heard
    double lastAdvanceWall;  // when the context time heard last moved on
};

// What one reading of the context says.
enum ContextVerdict {
    CONTEXT_WAITING,  // nothing of the output heard yet (or no reading): no observation
    CONTEXT_HEARD,    // the output's frame heard now is given
    CONTEXT_LOST,     // the context has just stopped or stalled: the output is lost
    CONTEXT_BACK,     // a lost context plays again: the output starts anew from device frame 0
};

// A context stalls when the time it plays has not moved for this long while it claims to run.
const double kContextStallSeconds = 0.5;

void contextClockStart(ContextClock* clock, int rate, int bufferFrames, double wall);
// The output handed out the buffer that starts at its frame device, reported to play at contextTime.
void contextBufferPlaced(ContextClock* clock, long long device, double contextTime);
// A reading at wall time wall: whether the context runs and the context time heard now (its
// output timestamp, brought forward to now). On CONTEXT_HEARD *device is the output's frame heard
// now: within the latest buffer that has started by its run's placing, never past the end of the
// buffers handed out.
// On CONTEXT_BACK the buffers are forgotten (the output counts from 0 again).
ContextVerdict contextClockRead(ContextClock* clock, bool running, double heardTime, double wall,
                                long long* device);

// ---------------------------------------------------------------------------------------------
// Each frame drawn for the moment it is seen. A frame reads the clock, is drawn, and is presented
// some milliseconds later: it should show the music heard then, not at its reading. The lag from
// reading to presenting is measured on recent frames (their median: a frame held up now and then
// does not move it). With vsync the presentations fall on the display's refresh grid, whose cycle
// (the median interval) and phase (the median of where the last three presentations put it) are
// measured: the presentation is then the grid line nearest to the measured lag, so neither the
// wake-up's jitter nor a presentation that came late once moves the steps between frames. The lead is
// bounded, never carries the position past the music's end, and is left out while the clock holds a start or
// a seek (the picture shows the target until it is heard, and then moves on with no smear). What a
// frame shows never runs back, but for seeks.
enum { kPredictionSamples = 15 };

// Never predict further ahead than this, however late the frames are presented.
const double kMaxPredictionSeconds = 0.05;

struct FramePrediction {
    double lags[kPredictionSamples];  // reading to presenting, seconds: a ring
    int lagCount;
    int lagNext;
    double intervals[kPredictionSamples];  // between consecutive presentations: a ring
    int intervalCount;
    int intervalNext;
    double presentations[kPredictionSamples];  // the latest presentations: a ring
    int presentationCount;
    int presentationNext;
    double lastPresented;    // the latest presentation (negative: none yet)
    long long lastPosition;  // the clock's position at the latest frame (seeks move it back)
    long long lastShown;     // the latest frame's music frame
    bool shown;              // lastShown and lastPosition hold
};

void predictionStart(FramePrediction* prediction);
// A frame that read the clock at readWall was presented at presentedWall (on the clock's scale).
void predictionPresented(FramePrediction* prediction, double readWall, double presentedWall);
// Seconds from readWall until the frame drawn now is presented: 0 until three frames were
// measured, at most kMaxPredictionSeconds. vsynced: presentations wait for the display's refresh.
double predictionLead(const FramePrediction* prediction, double readWall, bool vsynced);
// The music frame to draw: position is the clock's at the reading, lead from predictionLead, held
// whether the clock holds a start or seek target (or is paused), endFrame the music's end: no lead
// carries a frame past it, and past it none is added.
long long predictionFrame(FramePrediction* prediction, long long position, bool held, double lead, int rate,
                          long long endFrame);
