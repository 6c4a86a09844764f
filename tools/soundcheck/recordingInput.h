// recordingInput.h
// What the measuring tools (kestrane-soundcheck, kestrane-avoffset) read: whole files, 16-bit
// stereo recordings and the music as mono samples, and their arguments, parsed strictly: a number
// is the whole argument, so no typing slip is read as 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The whole file; false when it cannot be read.
bool readFile(const char* path, std::vector<unsigned char>* bytes);
// Mono mix of interleaved 16-bit stereo, -1..1.
std::vector<float> monoOf(const int16_t* pcm, long frames);
// A raw recording (16-bit little-endian stereo) as mono; false when it cannot be read.
bool readRawRecording(const char* path, std::vector<float>* mono);
// The MP3 file decoded to mono; false when it cannot be read or decoded, or its rate is not rate.
bool readMusicMono(const char* path, int rate, std::vector<float>* mono);

// A whole number in plain digits (a leading '-' only when min < 0) from min to max.
bool parseWholeArgument(const char* text, long long min, long long max, long long* value);
// A plain decimal number (an optional '-', digits, an optional fraction; no exponent, no space)
// from min to max.
bool parseDecimalArgument(const char* text, double min, double max, double* value);
// Refuses an argument: "<program>: bad <name> '<value>' (<expected>)", then the usage line; 2.
int refuseArgument(const char* program, const char* name, const char* value, const char* expected,
                   const char* usage);

// kestrane-soundcheck MUSIC.mp3 RECORDING.raw [--limit-ms MS]
struct SoundcheckOptions {
    const char* music = nullptr;
    const char* recording = nullptr;
    double limitMs = 5.0;  // shorter disruptions are only counted
};
extern const char* const kSoundcheckUsage;
// 0, or 2 after one line on standard error saying what is wrong and the usage.
int parseSoundcheckArguments(int argc, char** argv, SoundcheckOptions* options);
