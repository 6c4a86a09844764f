// synth.h
// The soundtrack generator's shared model: notes on the beat grid, tracks of one instrument each,
// and the stages that turn them into an MP3 (score, track rendering, effects, master, encoder).
// Times are seconds of music; the beat grid is 0.025 + 0.6 n s (100 beats per minute).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace music {

constexpr double kBeatSeconds = 0.6;
constexpr double kGridOffset = 0.025;
constexpr double kSongSeconds = 206.0;  // the file's length: music, fade to 200 s, then silence
constexpr double kFadeStart = 197.0;
constexpr double kFadeEnd = 200.0;

inline double beatTime(double beat) { return kGridOffset + kBeatSeconds * beat; }
// Bars are four beats; bar 0 starts on beat 1, so beat 0 (0.025 s) is a pick-up.
inline double barBeat(int bar, double beatInBar) { return 4.0 * bar + 1.0 + beatInBar; }

enum class Instrument {
    Pad,        // detuned saws, slow envelope, filter follows the track's brightness curve
    Bell,       // two-operator FM pluck (the arpeggio)
    SubBass,    // near-pure sine bass
    Bass,       // saw + sub through an enveloped low-pass
    Acid,       // resonant mono line with accents and slides
    Lead,       // detuned saw lead with vibrato
    Flute,      // soft sine lead with breath
    Stab,       // bright chord hit, one note per event
    PulseBass,  // short thumping F3/F2 pulse
    Kick,
    Snare,  // param 1: noise only (no tonal body)
    Clap,
    Rim,
    ClosedHat,
    OpenHat,
    Shaker,
    Crash,
    ReverseCrash,  // swells up to its end time
    Riser,         // noise sweep up to its end time
    Impact,        // sub drop and noise burst under section hits
};

struct Note {
    double start;    // seconds
    double length;   // seconds of held note (release follows)
    float pitch;     // MIDI note number
    float velocity;  // 0..1
    float param;     // instrument-specific: accent, slide, pan offset, brightness
};

// A value that changes over the song, given as (time, value) points joined by straight lines.
struct Curve {
    std::vector<std::pair<double, float>> points;
    float at(double t) const;
};

struct Track {
    std::string name;
    Instrument instrument;
    std::vector<Note> notes;
    float gainDb = 0.0f;
    float pan = 0.0f;
    float reverbSend = 0.0f;
    float delaySend = 0.0f;
    float duck = 0.0f;      // depth of the kick side-chain, 0..1
    float gapDepth = 0.0f;  // how far the track dips just before each flash hit, 0..1
    Curve brightness;       // filter cutoff in Hz for instruments that follow it; empty: default
    Curve level;            // extra gain over time (1 = unchanged); empty: constant 1
};

struct Score {
    std::vector<Track> tracks;
    std::vector<double> kickTimes;  // for the side-chain
    std::vector<double> flashHits;  // the thirteen stab times
};

// The composition: every note of the song.
Score composeScore();

// Renders one track alone into left/right (added), frames long.
void renderTrack(const Track& track, uint32_t seed, float* left, float* right, long frames);

struct Mix {
    std::vector<float> left, right;
};

// Renders all tracks on the given number of threads, mixes them with sends, side-chain,
// reverb and delay. Deterministic for a given thread count and score.
Mix mixScore(const Score& score, long frames, int threads, void (*progress)(const char*, float));

// Fade-out, DC removal, master gain and a look-ahead peak limiter to ceilingDb.
void masterMix(Mix& mix, float gainDb, float ceilingDb);

// Encodes stereo floats at kRate to a constant-bit-rate MP3 with LAME (gapless info tag, no ID3).
bool writeMp3(const Mix& mix, const char* path, int kbps, void (*progress)(const char*, float));

// Decodes the written file and writes soundtrack.md and spectrogram.png into dir.
bool writeReport(const char* mp3Path, const char* dir, double generationSeconds);

}  // namespace music
