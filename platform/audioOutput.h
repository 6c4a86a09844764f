// audioOutput.h
// The music stream (musicStream.cpp) and the outputs that play it: a PulseAudio-protocol server
// through libpulse (pulseOutputLinux.cpp), whose own timing says what is heard, or SDL's audio device
// (sdlOutputLinuxWindows.cpp), heard one device buffer after it was handed out. Lock order: an output's own
// lock (the server's main loop, SDL's device lock) before the stream's.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct AudioOutput {
    bool (*open)(int rate);     // false: this output cannot play here
    const char* (*describe)();  // what plays the sound, for the trace
    void (*close)();
    void (*lock)();  // keeps the output's thread out of the stream
    void (*unlock)();
    // With the lock held: drop what the output still holds unplayed, then play the stream from its
    // new segment as soon as possible.
    void (*restart)();
    // Main thread, before each position read: observe what is heard (streamHeard) and notice a
    // lost or returning output. now: the time of the call; an output that first waits for its own
    // lock reads the time again once it holds it.
    void (*poll)(double now);
    bool (*probe)(AudioClockProbe* probe);  // device side of the clock; false where there is none
};

extern const AudioOutput pulseOutput;
extern const AudioOutput sdlOutput;

// Called by the outputs with their own lock held.
// Fills frames of music for the output's frames from device on and places a pending segment at
// device. Returns the music frame of out's first frame; -1, with out untouched, when nothing plays
// (no stream, paused).
long long streamRender(int16_t* out, long frames, long long device);
// The output's frame device is heard at now. True when the output must restart (a returning
// output missed the position: the stream was aimed again).
bool streamHeard(long long device, double now, long long aheadLimit);
// The output went away; the silent clock runs on from the position reached.
void streamOutputLost(double now, const char* why);
// A new output has replaced a lost one; it plays from its first frame on after latencyFrames.
void streamOutputRegained(double now, long long latencyFrames);
// Traces what the server reported as heard: its frame device at wall time at (platformSeconds).
void streamTraceReport(long long device, double at);
// Whether the music plays (a stream, not paused); the outputs write nothing while it does not.
bool streamPlaying();
