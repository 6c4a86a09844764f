// score.cpp
// The composition: "Kestrane", F minor, 100 beats per minute, bars of four beats from 0.625 s.
// Each section follows one scene of the picture; the chord stabs land on the thirteen panel
// flashes, a bare pulsing bass carries the logo, and the last drop drives the glitch effect.
#include <algorithm>
#include <cmath>

#include "tools/music/synth.h"

namespace music {

namespace {

// Track indices, in mixing order.
enum Id {
    kPad,
    kBell,
    kSub,
    kBass,
    kAcid,
    kLead,
    kFlute,
    kComp,
    kHit,
    kPulse,
    kKick,
    kSnare,
    kRoll,
    kClap,
    kRim,
    kHat,
    kOpenHat,
    kShaker,
    kCrash,
    kReverse,
    kRiser,
    kImpact,
    kTrackCount
};

struct Chord {
    int bass;    // root in the bass octave
    int pad[5];  // voicing, low to high
    int arp[4];  // arpeggio cycle
};

// The opening keeps A-flat 5 (830 Hz, spectrum band 19) in every chord and arpeggio: the sprites
// of the first two scenes breathe with it. Later chords are voiced freely.
const Chord kFm = {41, {60, 65, 68, 72, 80}, {77, 80, 84, 80}};
const Chord kDb = {37, {61, 65, 68, 72, 80}, {77, 80, 85, 80}};
const Chord kAb = {44, {60, 63, 68, 72, 80}, {75, 80, 84, 80}};
const Chord kEbSus = {39, {58, 63, 68, 70, 80}, {75, 80, 82, 80}};
const Chord kEb = {39, {58, 63, 67, 70, 79}, {75, 79, 82, 79}};
const Chord kDbMaj7 = {37, {61, 65, 68, 72, 77}, {73, 77, 80, 84}};
const Chord kCm7 = {36, {58, 63, 67, 70, 75}, {72, 75, 79, 82}};
// Voicings over the logo's F pedal, all above 300 Hz so the pulse owns the low mids.
const Chord kFmHigh = {41, {65, 68, 72, 77, 80}, {77, 80, 84, 80}};
const Chord kDbHigh = {37, {65, 68, 73, 77, 80}, {77, 80, 85, 80}};
const Chord kEbHigh = {39, {63, 67, 70, 75, 79}, {75, 79, 82, 79}};

const Chord* const kMainProgression[4] = {&kFm, &kDb, &kAb, &kEb};
const Chord* const kOpeningProgression[4] = {&kFm, &kDb, &kAb, &kEbSus};
const Chord* const kDreamProgression[4] = {&kDbMaj7, &kEb, &kCm7, &kFm};

// A melody note: beat offset from the phrase start, length in beats, MIDI pitch.
struct Tone {
    double beat;
    double beats;
    int pitch;
};

// The main theme, four bars over Fm Db Ab Eb, and its answer.
const Tone kTheme[] = {
    {0, 1.5, 72}, {1.5, 0.5, 68}, {2, 1, 65},    {3, 0.5, 67},    {3.5, 0.5, 68}, {4, 2, 77},
    {6, 1, 75},   {7, 1, 73},     {8, 1.5, 72},  {9.5, 0.5, 75},  {10, 2, 68},    {12, 1, 67},
    {13, 1, 70},  {14, 1, 75},    {15, 0.5, 79}, {15.5, 0.5, 77},
};
// The same over the suspended E-flat of the opening (A-flat held above): the last bar climbs
// through the fourth and only touches G as it leaves.
const Tone kThemeSus[] = {
    {0, 1.5, 72}, {1.5, 0.5, 68}, {2, 1, 65},    {3, 0.5, 67},    {3.5, 0.5, 68}, {4, 2, 77},
    {6, 1, 75},   {7, 1, 73},     {8, 1.5, 72},  {9.5, 0.5, 75},  {10, 2, 68},    {12, 1, 68},
    {13, 1, 70},  {14, 1, 75},    {15, 0.5, 80}, {15.5, 0.5, 79},
};
const Tone kAnswer[] = {
    {0, 1.5, 80}, {1.5, 0.5, 79}, {2, 1, 77},     {3, 1, 72},      {4, 1, 73},
    {5, 1, 77},   {6, 1.5, 80},   {7.5, 0.5, 79}, {8, 1.5, 75},    {9.5, 0.5, 72},
    {10, 1, 68},  {11, 1, 72},    {12, 1.5, 70},  {13.5, 0.5, 75}, {14, 2, 67},
};
// The theme at half speed for the opening, two bars per chord.
const Tone kSlowTheme[] = {
    {0, 3, 72},  {3, 1, 68},  {4, 2, 65},  {6, 1, 67},  {7, 1, 68},  {8, 4, 77},
    {12, 2, 75}, {14, 1, 73}, {15, 1, 72}, {16, 3, 72}, {19, 1, 75}, {20, 2, 68},
    {22, 1, 70}, {23, 1, 72}, {24, 3, 70}, {27, 1, 68}, {28, 4, 70},
};
// The second theme, long and high, over Dbmaj7 Eb Cm7 Fm.
const Tone kDream[] = {
    {0, 3, 77},      {3, 0.5, 75},  {3.5, 0.5, 77},  {4, 2, 79},  {6, 1, 82},  {7, 1, 79},
    {8, 2, 75},      {10, 1, 72},   {11, 1, 70},     {12, 4, 72}, {16, 3, 80}, {19, 0.5, 79},
    {19.5, 0.5, 77}, {20, 1.5, 79}, {21.5, 0.5, 82}, {22, 2, 87}, {24, 2, 84}, {26, 1, 82},
    {27, 1, 79},     {28, 2, 80},   {30, 1, 79},     {31, 1, 77},
};
// A low, slow line for the fogged floor, over Db Eb Fm Fm.
const Tone kFloorLine[] = {
    {0, 1.5, 65},   {1.5, 1, 68}, {2.5, 1.5, 73}, {4, 1.5, 75},    {5.5, 1, 70},
    {6.5, 1.5, 67}, {8, 1.5, 68}, {9.5, 1, 72},   {10.5, 1.5, 77}, {12, 1, 75},
    {13, 1, 72},    {14, 1, 68},  {15, 1, 67},    {16, 2, 65},     {18, 2, 67},
};
// The finale's last two bars before the closing chord (Db, Eb).
const Tone kCadence[] = {
    {0, 1, 77}, {1, 1, 80}, {2, 2, 85}, {4, 1, 84}, {5, 1, 82}, {6, 1, 79}, {7, 1, 82},
};

// The thirteen panel flashes of the acid-sphere scene and the chord each stab plays.
struct Flash {
    double time;
    const int* chord;
};
const int kStabFm[5] = {60, 65, 68, 72, 77};
const int kStabEb[5] = {58, 63, 67, 70, 75};
const int kStabDb[5] = {61, 65, 68, 73, 77};
const int kStabAb[5] = {63, 68, 72, 75, 80};
const Flash kFlashes[13] = {
    {87.025, kStabFm}, {87.924, kStabEb},  {88.073, kStabFm},  {89.425, kStabDb}, {90.324, kStabEb},
    {90.494, kStabFm}, {96.625, kStabFm},  {97.525, kStabEb},  {97.695, kStabFm}, {99.024, kStabDb},
    {99.924, kStabEb}, {100.094, kStabFm}, {100.824, kStabAb},
};

// Small fixed velocity variation, so repeated hits do not sound machine-identical.
float humanize(int i) {
    uint32_t h = uint32_t(i) * 2654435761u;
    h ^= h >> 15;
    return 0.92f + 0.08f * float(h % 1000) / 1000.0f;
}

struct Arranger {
    Score score;
    int counter = 0;

    Track& track(Id id) { return score.tracks[size_t(id)]; }

    void at(Id id, double seconds, double length, float pitch, float velocity, float param = 0.0f) {
        track(id).notes.push_back({seconds, length, pitch, velocity, param});
    }
    // A note on the beat grid; length in beats.
    void note(Id id, double beat, double beats, float pitch, float velocity, float param = 0.0f) {
        at(id, beatTime(beat), beats * kBeatSeconds, pitch, velocity, param);
    }
    // Sixteen steps of one bar: 'X' accent, 'x' normal, 'o' soft, anything else a rest. Swing
    // delays the off-beat sixteenths.
    void steps(Id id, int bar, const char* pattern, float velocity, float pitch = 60.0f, double swing = 0.0,
               float param = 0.0f) {
        for (int s = 0; s < 16 && pattern[s]; ++s) {
            float v = pattern[s] == 'X' ? 1.0f : pattern[s] == 'x' ? 0.8f : pattern[s] == 'o' ? 0.5f : 0.0f;
            if (v == 0.0f) continue;
            double beat = barBeat(bar, s * 0.25 + (s % 2 ? swing * 0.25 : 0.0));
            note(id, beat, 0.2, pitch, v * velocity * humanize(++counter), param);
        }
    }
    void chord(Id id, double beat, double beats, const Chord& c, float velocity, float attack) {
        for (int p : c.pad) note(id, beat, beats, float(p), velocity, attack);
    }
    void melody(Id id, double startBeat, const Tone* tones, int count, float velocity, double legato = 0.92,
                double untilBeat = 1e9) {
        for (int i = 0; i < count; ++i) {
            double beat = startBeat + tones[i].beat;
            if (beat >= untilBeat) break;
            double beats = std::fmin(tones[i].beats, untilBeat - beat) * legato;
            float accent = std::fmod(tones[i].beat, 2.0) == 0.0 ? 1.0f : 0.88f;
            note(id, beat, beats, float(tones[i].pitch), velocity * accent);
        }
    }
    // Arpeggio over one bar: stepsPerBeat notes per beat cycling through the chord's pattern.
    void arpeggio(int bar, const Chord& c, int stepsPerBeat, float velocity, int octave = 0,
                  double untilBeat = 1e9) {
        const int order[8] = {0, 1, 2, 3, 0, 1, 2, 3};
        int count = 4 * stepsPerBeat;
        for (int s = 0; s < count; ++s) {
            double beat = barBeat(bar, double(s) / stepsPerBeat);
            if (beat >= untilBeat) break;
            float accent = s % stepsPerBeat == 0 ? 1.0f : 0.8f;
            float pan = (s % 2 ? 0.4f : -0.4f) * (octave ? 1.5f : 1.0f);
            note(kBell, beat, 0.5, float(c.arp[order[s % 8]] + 12 * octave),
                 velocity * accent * humanize(++counter), pan);
        }
    }
    // A section hit: crash, sub impact and (optionally) a chord stab.
    void hit(double beat, const int* stab, float velocity) {
        note(kCrash, beat, 0.1, 60, velocity);
        note(kImpact, beat, 0.1, 30, velocity);
        if (stab)
            for (int i = 0; i < 5; ++i) note(kHit, beat, 1.0, float(stab[i]), velocity, 1.0f);
    }
    void riser(double fromBeat, double toBeat, float velocity) {
        note(kRiser, fromBeat, toBeat - fromBeat, 60, velocity);
    }
    void reverseInto(double beat, double seconds, float velocity) {
        at(kReverse, beatTime(beat) - seconds, seconds, 60, velocity);
    }
    // A snare roll of sixteenths from one beat to another, swelling; noise only when asked.
    void roll(double fromBeat, double toBeat, float from, float to, bool noiseOnly) {
        int count = int(std::lround((toBeat - fromBeat) * 4.0));
        for (int i = 0; i < count; ++i) {
            float v = from + (to - from) * float(i) / float(std::max(1, count - 1));
            note(noiseOnly ? kRoll : kSnare, fromBeat + i * 0.25, 0.2, 60, v, noiseOnly ? 1.0f : 0.0f);
        }
    }

    // --- bass figures -------------------------------------------------------------------------
    // The groove bass: root, syncopated octave and a fifth pick-up.
    void grooveBass(int bar, const Chord& c, float velocity, double untilBeat = 1e9) {
        struct Step {
            int step, length, interval;
        };
        const Step figure[] = {{0, 2, 0},  {3, 1, 0},   {6, 2, 12}, {8, 2, 0},
                               {10, 1, 0}, {11, 1, 12}, {12, 2, 0}, {14, 2, 7}};
        for (const Step& s : figure) {
            double beat = barBeat(bar, s.step * 0.25);
            if (beat >= untilBeat) break;
            note(kBass, beat, s.length * 0.25 * 0.85, float(c.bass + s.interval),
                 velocity * humanize(++counter));
        }
    }
    // The finale bass: eighth-note octaves, the upper note (about 140-210 Hz) on the off-beats.
    void octaveBass(int bar, const Chord& c, float velocity) {
        for (int s = 0; s < 16; s += 2) {
            bool up = s % 4 == 2;
            note(kBass, barBeat(bar, s * 0.25), 0.4, float(c.bass + (up ? 12 : 0)),
                 velocity * (up ? 1.0f : 0.85f));
        }
        note(kBass, barBeat(bar, 7 * 0.25), 0.18, float(c.bass + 12), velocity * 0.7f);
        note(kBass, barBeat(bar, 15 * 0.25), 0.18, float(c.bass + 12), velocity * 0.7f);
    }
    // The acid figure: 'r' rest; otherwise semitones above the root. Accents and slides by step.
    void acidBar(int bar, const Chord& c, const int* notes, const char* accents, const char* slides,
                 float velocity, double untilBeat = 1e9) {
        for (int s = 0; s < 16; ++s) {
            if (notes[s] < 0) continue;
            double beat = barBeat(bar, s * 0.25);
            if (beat >= untilBeat) break;
            // A note that the next one slides from is held until that one starts (legato).
            int next = s + 1;
            while (next < 16 && notes[next] < 0) ++next;
            bool tie = next < 16 && slides[next] == 's';
            double beats = tie ? (next - s) * 0.25 + 0.02 : 0.13;
            float flags = float((accents[s] == 'a' ? 1 : 0) + (slides[s] == 's' ? 2 : 0));
            note(kAcid, beat, beats, float(c.bass + notes[s]), velocity, flags);
        }
    }
};

const int kAcidNotes[16] = {0, 0, 12, 0, -1, 0, 15, 12, 0, 7, 0, 10, 12, -1, 3, 5};
const char kAcidAccents[] = "a.....a.....a...";
const char kAcidSlides[] = "...s...s.......s";
const int kFogNotes[16] = {0, -1, -1, 0, -1, -1, 12, -1, 0, -1, 7, -1, 10, -1, 12, -1};
const char kFogAccents[] = "a.......a.......";
const char kFogSlides[] = "............s.s.";

void setUpTracks(Arranger& a) {
    struct Setting {
        const char* name;
        Instrument instrument;
        float gainDb, pan, reverb, delay, duck;
    };
    const Setting settings[kTrackCount] = {
        {"pad", Instrument::Pad, 0.0f, 0.0f, 0.35f, 0.05f, 0.45f},
        {"bell", Instrument::Bell, 0.0f, 0.0f, 0.3f, 0.25f, 0.15f},
        {"sub", Instrument::SubBass, -6.0f, 0.0f, 0.0f, 0.0f, 0.4f},
        {"bass", Instrument::Bass, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f},
        {"acid", Instrument::Acid, 3.0f, 0.0f, 0.1f, 0.15f, 0.3f},
        {"lead", Instrument::Lead, 6.0f, 0.0f, 0.25f, 0.3f, 0.1f},
        {"flute", Instrument::Flute, 0.0f, 0.1f, 0.4f, 0.35f, 0.0f},
        {"comp", Instrument::Stab, -6.0f, 0.0f, 0.25f, 0.2f, 0.35f},
        {"hits", Instrument::Stab, 3.0f, 0.0f, 0.35f, 0.0f, 0.0f},
        {"pulse", Instrument::PulseBass, 8.0f, 0.0f, 0.0f, 0.0f, 0.0f},
        {"kick", Instrument::Kick, -2.0f, 0.0f, 0.0f, 0.0f, 0.0f},
        {"snare", Instrument::Snare, 7.0f, 0.0f, 0.2f, 0.0f, 0.0f},
        {"roll", Instrument::Snare, 4.0f, 0.05f, 0.2f, 0.0f, 0.0f},
        {"clap", Instrument::Clap, 4.0f, 0.0f, 0.25f, 0.0f, 0.0f},
        {"rim", Instrument::Rim, 1.0f, -0.3f, 0.3f, 0.2f, 0.0f},
        {"hat", Instrument::ClosedHat, 4.0f, 0.25f, 0.05f, 0.0f, 0.0f},
        {"open hat", Instrument::OpenHat, 1.0f, -0.2f, 0.1f, 0.0f, 0.0f},
        {"shaker", Instrument::Shaker, 1.0f, 0.35f, 0.15f, 0.0f, 0.0f},
        {"crash", Instrument::Crash, -2.0f, 0.0f, 0.2f, 0.0f, 0.0f},
        {"reverse", Instrument::ReverseCrash, -3.0f, 0.0f, 0.3f, 0.0f, 0.0f},
        {"riser", Instrument::Riser, -2.0f, 0.0f, 0.3f, 0.0f, 0.0f},
        {"impact", Instrument::Impact, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    };
    a.score.tracks.resize(kTrackCount);
    for (int i = 0; i < kTrackCount; ++i) {
        Track& t = a.score.tracks[size_t(i)];
        t.name = settings[i].name;
        t.instrument = settings[i].instrument;
        t.gainDb = settings[i].gainDb;
        t.pan = settings[i].pan;
        t.reverbSend = settings[i].reverb;
        t.delaySend = settings[i].delay;
        t.duck = settings[i].duck;
        t.gapDepth = 0.85f;  // everything, earlier stabs included, hushes before a flash hit
    }
    // Filter cutoffs (Hz) and the bell's brightness over the song: the opening opens slowly,
    // the logo sweeps up into the drop, the fogged floor is dark.
    a.track(kPad).brightness.points = {{0, 450},      {19.8, 800},   {39, 1300},  {58.2, 2000},
                                       {67.8, 3200},  {87, 2400},    {106, 2600}, {124.8, 900},
                                       {135, 5000},   {135.1, 3600}, {144, 3000}, {144.1, 1400},
                                       {156.6, 1600}, {157, 2800},   {168, 3600}, {183, 4500}};
    a.track(kBell).brightness.points = {{0, 0.8}, {39, 1.4}, {67.8, 2.0}, {106, 1.2}, {135, 2.0}};
    a.track(kAcid).brightness.points = {{87, 320},  {96.6, 800},  {101.4, 1400}, {105, 600}, {106, 400},
                                        {144, 240}, {156.6, 320}, {157, 800},    {168, 2300}};
    a.track(kBass).brightness.points = {{67.8, 320}, {183, 320}, {183.1, 480}};
    a.track(kBass).level.points = {{182.9, 1.0f}, {183.0, 1.4f}};
    a.track(kLead).brightness.points = {{0, 3000}, {144, 3000}, {144.1, 1800}, {157, 3200}, {183, 4200}};
}

// 0 - 66.5 s: the water sphere. Pad and bell alone, then sub bass and shaker, then a soft beat
// and the theme on the flute; a roll and a riser carry into the first groove.
void opening(Arranger& a) {
    a.note(kBell, 0.0, 0.5, 80, 0.5f, -0.3f);  // the pick-up on beat 0
    a.note(kBell, 0.5, 0.5, 84, 0.45f, 0.3f);
    for (int bar = 0; bar < 28; ++bar) {
        const Chord& c = bar < 24 ? *kOpeningProgression[(bar / 2) % 4] : *kOpeningProgression[bar % 4];
        float level = bar < 8 ? 0.55f : bar < 16 ? 0.7f : bar < 24 ? 0.8f : 0.9f;
        bool chordStart = bar < 24 ? bar % 2 == 0 : true;
        if (chordStart) {
            double beats = bar < 24 ? 8.0 : 4.0;
            double start = bar == 0 ? -1.0 / 24.0 : barBeat(bar, 0);  // the first swell starts at 0 s
            a.chord(kPad, start, barBeat(bar, 0) + beats - start, c, level, bar == 0 ? 3.0f : 1.4f);
            if (bar >= 8) a.note(kSub, barBeat(bar, 0), beats * 0.97, float(c.bass), level);
        }
        a.arpeggio(bar, c, bar < 4 ? 1 : 2, 0.6f + 0.25f * float(bar) / 27.0f);
        if (bar >= 8 && bar < 16) a.steps(kShaker, bar, "o.x.o.x.o.x.o.x.", 0.6f);
        if (bar >= 16) a.steps(kShaker, bar, "o.x.ooxoo.x.ooxo", 0.7f);
        if (bar >= 16 && bar < 24) {
            a.steps(kKick, bar, "x.........o.....", 0.75f);
            a.steps(kRim, bar, bar % 2 ? "........x.....o." : "........x.......", 0.7f);
            a.steps(kHat, bar, "..o...o...o...o.", 0.5f);
        }
    }
    a.melody(kFlute, barBeat(16, 0), kSlowTheme, int(sizeof kSlowTheme / sizeof kSlowTheme[0]), 0.8f);
    a.melody(kFlute, barBeat(24, 0), kThemeSus, int(sizeof kThemeSus / sizeof kThemeSus[0]), 0.9f);
    // The build: four on the floor, then the snare, then the roll into bar 28 (67.8 s).
    a.steps(kKick, 24, "x...x...x...x...", 0.8f);
    a.steps(kKick, 25, "x...x...x...x...", 0.85f);
    a.steps(kKick, 26, "x...x...x...x...", 0.9f);
    a.steps(kKick, 27, "x...x...x.......", 0.95f);
    for (int bar = 24; bar < 28; ++bar) a.steps(kHat, bar, "o.x.o.x.o.x.o.x.", 0.6f);
    a.steps(kSnare, 26, "....x.......x...", 0.8f);
    a.steps(kSnare, 27, "....x...........", 0.85f);
    a.roll(barBeat(27, 2), barBeat(28, 0), 0.35f, 1.0f, false);
    a.riser(barBeat(26, 0), barBeat(28, 0), 0.8f);
    a.reverseInto(barBeat(28, 0), 1.8, 0.7f);
}

// The full groove of the drops: kick, snare and clap, sixteenth hats, groove bass, chords,
// comping stabs and the arpeggio. untilBeat cuts the bar short before a hit.
void groove(Arranger& a, int bar, const Chord& c, float level, double untilBeat = 1e9) {
    bool fullBar = untilBeat >= barBeat(bar, 4);
    const char* kick = "x.....x...x.....";
    const char* back = fullBar ? "....x.......x..." : "....x...........";
    const char* hats = fullBar ? "xoxoxoxoxoxoxo.o" : "xoxoxoxoxoxo....";
    a.steps(kKick, bar, kick, level);
    a.steps(kSnare, bar, back, level * 0.9f);
    a.steps(kClap, bar, back, level * 0.8f);
    a.steps(kHat, bar, hats, level * 0.8f);
    if (fullBar) a.steps(kOpenHat, bar, "..............x.", level * 0.7f);
    a.grooveBass(bar, c, level, untilBeat);
    a.chord(kPad, barBeat(bar, 0), std::fmin(4.0, untilBeat - barBeat(bar, 0)), c, level * 0.85f, 0.25f);
    for (double s : {0.5, 1.5, 2.5}) {
        if (barBeat(bar, s) >= untilBeat) break;
        for (int i = 0; i < 4; ++i) a.note(kComp, barBeat(bar, s), 0.3, float(c.pad[i] + 12), level * 0.8f);
    }
}

// 66.5 - 87 s: the spinning model. The first groove; the theme arrives with the glows (76 s).
void spinningModel(Arranger& a) {
    a.hit(barBeat(28, 0), nullptr, 0.8f);
    for (int bar = 28; bar < 36; ++bar) {
        const Chord& c = *kOpeningProgression[bar % 4];
        groove(a, bar, c, 0.9f);
        a.arpeggio(bar, c, bar < 32 ? 2 : 4, 0.55f);
    }
    a.melody(kLead, barBeat(32, 0), kThemeSus, int(sizeof kThemeSus / sizeof kThemeSus[0]), 0.8f);
    a.roll(barBeat(35, 2), barBeat(36, 0), 0.3f, 0.9f, false);
    a.riser(barBeat(34, 0), barBeat(36, 0), 0.7f);
}

// 87 - 106 s: the acid sphere. A resonant sixteenth line over four on the floor; a chord stab
// with a snare crack on each of the thirteen panel flashes.
void acidSphere(Arranger& a) {
    const Chord* chords[8] = {&kFm, &kDb, &kFm, &kEb, &kFm, &kDb, &kAb, &kEb};
    for (int i = 0; i < 8; ++i) {
        int bar = 36 + i;
        const Chord& c = *chords[i];
        a.acidBar(bar, c, kAcidNotes, kAcidAccents, kAcidSlides, 0.9f);
        bool lastBar = bar == 43;
        a.steps(kKick, bar, lastBar ? "x...x...x......." : "x...x...x...x...", 0.95f);
        a.steps(kClap, bar, "....x.......x...", 0.8f);
        a.steps(kOpenHat, bar, "..x...x...x...x.", 0.55f);
        a.steps(kHat, bar, ".o.o.o.o.o.o.o.o", 0.6f);
        a.chord(kPad, barBeat(bar, 0), 4.0, c, 0.55f, 0.3f);
        if (bar == 39) a.roll(barBeat(39, 3), barBeat(40, 0), 0.3f, 0.8f, false);
    }
    for (const Flash& f : kFlashes) {
        for (int i = 0; i < 5; ++i) a.at(kHit, f.time, 0.3, float(f.chord[i]), 0.95f, 0.0f);
        a.at(kRoll, f.time, 0.1, 60, 1.0f, 1.0f);
    }
    a.hit(barBeat(36, 0), nullptr, 0.9f);
    a.hit(barBeat(40, 0), nullptr, 0.8f);
    a.reverseInto(barBeat(44, 0), 2.4, 0.8f);
}

// 106 - 125 s: the star dome. Half-time, the second theme high over wide, sparkling bells.
void starDome(Arranger& a) {
    a.hit(barBeat(44, 0), nullptr, 0.6f);
    for (int bar = 44; bar < 52; ++bar) {
        const Chord& c = *kDreamProgression[(bar - 44) % 4];
        a.chord(kPad, barBeat(bar, 0), 4.0, c, 0.8f, 0.6f);
        a.note(kSub, barBeat(bar, 0), 3.9, float(c.bass), 0.85f);
        a.note(kBass, barBeat(bar, 0), 1.2, float(c.bass), 0.6f);
        a.note(kBass, barBeat(bar, 2.5), 1.2, float(c.bass), 0.5f);
        a.arpeggio(bar, c, 2, 0.35f, 1);
        bool last = bar == 51;
        a.steps(kKick, bar, last ? "x..............." : "x.........x.....", 0.85f);
        a.steps(kSnare, bar, last ? "........x......." : "........x.......", 0.75f);
        a.steps(kHat, bar, bar < 48 ? "x.o.x.o.x.o.x.o." : "xoxoxoxoxoxoxoxo", 0.55f);
        if (bar >= 48) a.steps(kShaker, bar, "o.x.o.x.o.x.o.x.", 0.6f);
    }
    a.melody(kLead, barBeat(44, 0), kDream, int(sizeof kDream / sizeof kDream[0]), 0.7f);
}

// 125 - 135 s: the logo. Only a pulse on every beat (F3 and F2), high chords and a riser that
// fills with the progress bar; the gaps between pulses stay empty below 300 Hz.
void logo(Arranger& a) {
    const Chord* chords[4] = {&kFmHigh, &kDbHigh, &kEbHigh, &kEbHigh};
    for (int i = 0; i < 4; ++i) {
        int bar = 52 + i;
        a.chord(kPad, barBeat(bar, 0), 4.0, *chords[i], 0.75f, 0.5f);
        a.arpeggio(bar, *chords[i], 2, 0.3f + 0.05f * i, 1);
        if (i >= 1) a.steps(kHat, bar, "..o...o...o...o.", 0.5f + 0.1f * i);
    }
    for (int beat = 208; beat < 225; ++beat) a.note(kPulse, beat, 0.7, 53, beat == 208 ? 0.8f : 1.0f);
    a.riser(209, 225, 1.0f);
    for (int beat = 217; beat < 221; ++beat) a.note(kRoll, beat, 0.2, 60, 0.3f + 0.03f * (beat - 217), 1.0f);
    for (int beat = 221; beat < 223; ++beat) {
        a.note(kRoll, beat, 0.2, 60, 0.45f, 1.0f);
        a.note(kRoll, beat + 0.5, 0.2, 60, 0.5f, 1.0f);
    }
    a.roll(223, 225, 0.55f, 1.0f, true);
}

// 135 - 144 s: the sprite knots. The drop: the full groove and the theme; a hit on beat 240
// (144.025 s) where the scene cuts.
void knots(Arranger& a) {
    a.hit(225, kStabFm, 1.0f);
    for (int bar = 56; bar < 60; ++bar) {
        const Chord& c = *kMainProgression[bar % 4];
        groove(a, bar, c, 1.0f, 240);
        a.arpeggio(bar, c, 4, 0.5f, 0, 240);
    }
    a.melody(kLead, 225, kTheme, int(sizeof kTheme / sizeof kTheme[0]), 0.9f, 0.92, 239.5);
    a.note(kSnare, 239.5, 0.2, 60, 0.7f);
    a.note(kSnare, 239.75, 0.2, 60, 0.85f);
    a.hit(240, kStabDb, 1.0f);
    a.note(kKick, 240, 0.2, 60, 1.0f);
}

// 144 - 157 s: the model on the fogged floor. A dark, sliding bass, sparse kit, a low line.
void fogFloor(Arranger& a) {
    const Chord* chords[5] = {&kDbMaj7, &kEb, &kFm, &kFm, &kDbMaj7};
    for (int i = 0; i < 5; ++i) {
        int bar = 60 + i;
        const Chord& c = *chords[i];
        if (bar < 64) {
            a.chord(kPad, barBeat(bar, 0), 4.0, c, 0.7f, 0.5f);
            a.acidBar(bar, c, kFogNotes, kFogAccents, kFogSlides, 0.85f);
        } else {
            a.chord(kPad, barBeat(bar, 0), 2.0, kDbMaj7, 0.7f, 0.3f);
            a.chord(kPad, barBeat(bar, 2), 2.0, kEb, 0.75f, 0.3f);
            a.acidBar(bar, kDbMaj7, kFogNotes, kFogAccents, kFogSlides, 0.85f, barBeat(bar, 2));
            a.acidBar(bar, kEb, kFogNotes, kFogAccents, kFogSlides, 0.85f);
        }
        a.steps(kKick, bar, bar < 64 ? "x..x......x....." : "x..x......x.x.x.", 0.9f);
        a.steps(kSnare, bar, bar < 64 ? "....x.......x..." : "....x.......x.xx", 0.8f);
        a.steps(kHat, bar, "x.x.x.x.x.x.x.x.", 0.5f);
        a.steps(kShaker, bar, "ooxoooxoooxoooxo", 0.5f);
        a.steps(kRim, bar, ".......o.......o", 0.6f);
        a.arpeggio(bar, c, 2, 0.35f);
    }
    a.melody(kLead, barBeat(60, 0), kFloorLine, int(sizeof kFloorLine / sizeof kFloorLine[0]), 0.7f);
}

// 157 - 168 s: the checker tunnel. Four on the floor and the acid line wide open; the answer
// phrase on the lead; a roll and a hit on beat 280 (168.025 s). The section lands on the
// off-beat at 156.925 s, pushed ahead of the bar so that it meets the cut at 157 s.
void tunnel(Arranger& a) {
    a.note(kKick, 261, 0.2, 60, 0.9f);
    a.note(kSub, 261, 0.45, 41, 0.9f);
    a.hit(261.5, kStabFm, 0.9f);
    for (int bar = 65; bar < 70; ++bar) {
        const Chord& c = bar < 69 ? *kMainProgression[(bar - 65) % 4] : kFm;
        double from = bar == 65 ? 261.5 : barBeat(bar, 0);
        a.acidBar(bar, c, kAcidNotes, kAcidAccents, kAcidSlides, 0.95f, bar == 69 ? 280.0 : 1e9);
        a.steps(kKick, bar,
                bar == 65   ? "..x.x...x...x..."
                : bar == 69 ? "x...x...x......."
                            : "x...x...x...x...",
                1.0f);
        a.steps(kClap, bar, bar == 69 ? "....x..........." : "....x.......x...", 0.85f);
        a.steps(kOpenHat, bar, bar == 69 ? "..x...x...x....." : "..x...x...x...x.", 0.6f);
        a.steps(kHat, bar, bar == 69 ? ".o.o.o.o.o.o...." : ".o.o.o.o.o.o.o.o", 0.65f);
        a.chord(kPad, from, barBeat(bar, bar == 69 ? 3 : 4) - from, c, 0.7f, 0.25f);
        a.arpeggio(bar, c, 4, 0.45f, 0, 280);
    }
    a.melody(kLead, barBeat(65, 0), kAnswer, int(sizeof kAnswer / sizeof kAnswer[0]), 0.85f);
    a.roll(barBeat(69, 0), 280, 0.3f, 1.0f, false);
    a.riser(barBeat(68, 0), 280, 0.8f);
    a.hit(280, kStabDb, 1.0f);
    a.note(kKick, 280, 0.2, 60, 1.0f);
}

// 168 - 182.5 s: the swaying sprites on white. A swung half-time groove under the second theme
// while the scroller runs; the build into the last drop at 183.025 s.
void swaying(Arranger& a) {
    for (int bar = 70; bar < 76; ++bar) {
        const Chord& c = *kDreamProgression[(bar - 70) % 4];
        a.chord(kPad, barBeat(bar, 0), 4.0, c, 0.8f, 0.5f);
        a.note(kSub, barBeat(bar, 0), 3.9, float(c.bass), 0.8f);
        a.note(kBass, barBeat(bar, 0), 0.9, float(c.bass), 0.6f);
        a.note(kBass, barBeat(bar, 1.75), 0.4, float(c.bass + 12), 0.45f);
        a.note(kBass, barBeat(bar, 2.5), 0.9, float(c.bass), 0.55f);
        a.arpeggio(bar, c, 2, 0.4f);
        bool build = bar == 75;
        a.steps(kKick, bar, build ? "x.......x...x..." : "x......x..x.....", 0.85f);
        a.steps(kSnare, bar, build ? "........x......." : "........x.......", 0.8f);
        a.steps(kHat, bar, "x.o.x.o.x.o.x.o.", 0.6f, 60, 0.35);
        a.steps(kShaker, bar, "oxoxoxoxoxoxoxox", 0.45f, 60, 0.35);
    }
    a.melody(kLead, barBeat(70, 0), kDream, 16, 0.75f);
    a.roll(barBeat(75, 2), barBeat(76, 0), 0.35f, 1.0f, false);
    a.riser(barBeat(74, 0), barBeat(76, 0), 0.9f);
    a.reverseInto(barBeat(76, 0), 2.0, 0.8f);
}

// 182.5 - 200 s: the last drop. The octave bass drives band 4 (the glitch); theme, cadence and a
// final F minor chord that the fade takes away.
void finale(Arranger& a) {
    const Chord* chords[6] = {&kFm, &kDb, &kAb, &kEb, &kDb, &kEb};
    a.hit(barBeat(76, 0), kStabFm, 1.0f);
    for (int i = 0; i < 6; ++i) {
        int bar = 76 + i;
        const Chord& c = *chords[i];
        a.steps(kKick, bar, "x.....x.x.....x.", 1.0f);
        a.steps(kSnare, bar, "....x.......x...", 0.95f);
        a.steps(kClap, bar, "....x.......x...", 0.85f);
        a.steps(kHat, bar, "xoxoxoxoxoxoxo.o", 0.8f);
        a.steps(kOpenHat, bar, "..............x.", 0.7f);
        a.octaveBass(bar, c, 1.0f);
        for (int step = 2; step < 16; step += 4)
            a.note(kPulse, barBeat(bar, step * 0.25), 0.45, float(c.bass + 12), step == 14 ? 0.95f : 0.85f);
        a.chord(kPad, barBeat(bar, 0), 4.0, c, 0.9f, 0.2f);
        for (double s : {0.5, 1.5, 2.5, 3.5})
            for (int k = 0; k < 4; ++k) a.note(kComp, barBeat(bar, s), 0.3, float(c.pad[k] + 12), 0.8f);
        a.arpeggio(bar, c, 4, 0.5f);
    }
    a.melody(kLead, barBeat(76, 0), kTheme, int(sizeof kTheme / sizeof kTheme[0]), 0.95f);
    a.melody(kLead, barBeat(80, 0), kCadence, int(sizeof kCadence / sizeof kCadence[0]), 0.95f);
    a.roll(barBeat(81, 3), barBeat(82, 0), 0.4f, 1.0f, false);
    // The closing chord at 197.425 s, held into the fade.
    const double end = barBeat(82, 0);
    a.hit(end, kStabFm, 1.0f);
    a.note(kKick, end, 0.2, 60, 1.0f);
    a.chord(kPad, end, 5.0, kFm, 0.95f, 0.05f);
    a.note(kSub, end, 5.0, 29, 0.9f);
    a.note(kLead, end, 5.0, 84, 0.9f);
    a.note(kBell, end, 0.5, 80, 0.6f, -0.3f);
    a.note(kBell, end + 0.5, 0.5, 84, 0.5f, 0.3f);
    a.note(kBell, end + 1.0, 0.5, 89, 0.4f, 0.0f);
}

}  // namespace

Score composeScore() {
    Arranger a;
    setUpTracks(a);
    opening(a);
    spinningModel(a);
    acidSphere(a);
    starDome(a);
    logo(a);
    knots(a);
    fogFloor(a);
    tunnel(a);
    swaying(a);
    finale(a);
    for (const Note& n : a.track(kKick).notes) a.score.kickTimes.push_back(n.start);
    std::sort(a.score.kickTimes.begin(), a.score.kickTimes.end());
    for (const Flash& f : kFlashes) a.score.flashHits.push_back(f.time);
    return a.score;
}

}  // namespace music
