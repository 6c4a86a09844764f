// soundClockAnalysis.h
// What kestrane-soundclock reads from its run: the clicks of its track found again on the sink's
// monitor, the monitor's frames placed on the monotonic clock by their arrival, how late the
// monitor shows a plain stream's clicks against the server's word for when they play, and from
// these the music clock's error at each click (the position it reported when the click was played,
// less the click's place in the music). Pure: the tool feeds it what it recorded, the tests feed it
// sequences.
#pragma once

#include <string>
#include <vector>

// A read of the music clock: monotonic seconds, and what audioStreamGetTime returned (ms).
struct ClockReading {
    double time;
    double musicMs;
};

// A chunk of the monitor as the recorder got it: monotonic seconds at its arrival, and the monitor
// frames received up to and including it.
struct MonitorChunk {
    double arrival;
    long long endFrame;
};

// The pairs of clicks where each should be (frames) and clicks found (frames): the one shift that
// pairs the most within tolerance frames, each click paired with the nearest found at that shift,
// or -1. Each found click pairs once at most.
struct ClickPairing {
    long long shift = 0;  // found frame - expected frame
    int paired = 0;
    std::vector<int> pairs;  // for each expected click: the found one, or -1
};
ClickPairing pairClicks(const std::vector<long>& expected, const std::vector<long>& found, long tolerance);

// The rules for trusting a run. Frames at rate.
struct SoundClockRules {
    int rate = 44100;
    // A paired track click may sit this far from the shift (frames): PipeWire's resampling (44.1 to
    // 48 to 44.1 kHz) moves a click's first loud frame by up to about 3. More is sound the monitor
    // lost or gained, or the stream skipped, between the clicks.
    long continuity = 22;  // 0.5 ms
    // s: the monitor's level against the clock is its lead of arrival over frames, a low one of each
    // window: long enough that some chunk ends on a period of PipeWire's graph (100 ms chunks and
    // 42.7 ms periods line up again every 3.3 s or so; PulseAudio delivers more often).
    double window = 4.0;
    double step = 0.004;  // s: the largest change of that level while the clicks play
    double paired = 0.9;  // the share of the clicks played that must be found at one shift
    // The plain stream's clicks: the share that must be found at one delay, the largest standard
    // deviation of their delays (s; the server's answer to a latency request is good to about a
    // millisecond), and the largest delay searched (s).
    double referencePaired = 0.8;
    double referenceSpread = 0.003;
    double referenceRange = 0.3;
};

struct SoundClockResult {
    std::string refusal;        // why no figure can be given; empty when errors holds one per click
    double levelSpread = 0;     // s: the largest minus the smallest window level
    double monitorDelay = 0;    // s: a plain stream's click on the monitor less when it played (median)
    double monitorDelaySd = 0;  // s: the standard deviation of those delays
    int referenceFound = 0, referencePlayed = 0;
    std::vector<double> arrivalErrors;  // ms: the clock when the click appeared on the monitor - its place
    std::vector<double> errors;         // ms: the same less the monitor's delay: > 0, the clock ahead
    std::vector<double> clickTimes;     // s of the track, of each error's click
};

// The clock's error at each click played while the clock was read. The monitor's frames go on the
// monotonic clock by their arrival (the lowest window level of arrival lead over frames: a chunk can
// only come late); a click's appearance there, less the monitor's delay (measured with the plain
// stream's clicks, whose playing starts referenceStarts are the server's answers to a latency request,
// as kestrane-avreference's), is when it played; the clock's position then is interpolated between
// its reads. Refused when: the readings do not move; fewer than rules.paired of the track's clicks
// played are found on the monitor at one shift; one lies off that shift by more than
// rules.continuity (the monitor lost or gained sound between clicks, or the stream skipped); the
// monitor's arrival level moves by more than rules.step while the clicks play (it lost or gained
// sound, or the server changed how it delivers it); the plain stream's clicks are not found at one
// delay.
SoundClockResult analyseSoundClock(const std::vector<long>& trackClicks,
                                   const std::vector<long>& monitorClicks,
                                   const std::vector<MonitorChunk>& chunks,
                                   const std::vector<ClockReading>& readings,
                                   const std::vector<double>& referenceStarts,
                                   const SoundClockRules& rules = SoundClockRules());

// The music position (ms) the readings give at time t, interpolated between the two around it; -1
// outside them.
double clockAt(const std::vector<ClockReading>& readings, double t);
