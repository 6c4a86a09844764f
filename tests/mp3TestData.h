// mp3TestData.h
// MP3 test signals made on the spot with LAME: tones and chirps of known content, and a tone
// opened on SDL's dummy audio device for the clock tests.
#pragma once

#include <functional>
#include <vector>

// Encodes frames of 44100 Hz stereo given by sample(frame) (-1..1, the same on both channels)
// as a 192 kbit/s MP3 with a LAME tag, so decoders can drop the padding.
std::vector<unsigned char> encodeTestMp3(long frames, const std::function<float(long)>& sample);
std::vector<unsigned char> encodeToneMp3(double seconds, double hz, double amplitude);

struct MusicStream;
// Opens the audio layer on SDL's dummy device (unless SDL_AUDIODRIVER names another) with a 4 s
// 440 Hz tone as its stream, not yet playing. Null when no device opens: the caller skips.
MusicStream* openToneOnDummyDevice();
