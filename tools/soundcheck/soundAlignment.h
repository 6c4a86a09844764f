// soundAlignment.h
// Aligns a recording of the demo's output with the music it played, window by window, and finds
// every place where the two part: silence slipped in (a dropout), audio skipped or corrupted.
#pragma once

#include <vector>

struct SoundEvent {
    long recordingFrame;  // where the recording parts from the music
    long musicFrame;      // the music frame that was due there
    long shiftFrames;     // how far the music moved against the recording: > 0 silence slipped in,
                          // < 0 audio skipped, 0 audio replaced in place
    long spanFrames;      // how long the recording did not follow the music around it
};

struct SoundAlignment {
    bool aligned;          // the recording was found in the music at all
    long firstMusicFrame;  // music frame at the recording's first matched window
    long lastMusicFrame;   // and at its last
    long windows;          // windows where the music is loud enough to compare
    long matchedWindows;   // of those, windows that follow the music
    std::vector<SoundEvent> events;
};

// Both signals mono, -1..1, at the same rate. Windows of 1024 frames every 256 frames are compared
// by normalized cross-correlation around the current offset; a window that matches nowhere near
// it makes the offset be searched again over +-2 s.
SoundAlignment alignRecording(const std::vector<float>& music, const std::vector<float>& recording);

// Whether an event is a dropout or discontinuity longer than limitFrames: the silence slipped in or
// the audio skipped, or for audio replaced in place the disturbed span.
bool isDisruption(const SoundEvent& event, long limitFrames);

// The music frame where the recording's n frames from recStart are found, searched among the music
// starts from..to (clamped to the music): -1 when they match nowhere. score: the normalized
// correlation there.
long locateInMusic(const std::vector<float>& music, const std::vector<float>& recording, long recStart,
                   long n, long from, long to, double* score);
