// mp3TestData.h
// MP3 test signals made on the spot with LAME: tones and chirps of known content.
#pragma once

#include <functional>
#include <vector>

// Encodes frames of 44100 Hz stereo given by sample(frame) (-1..1, the same on both channels)
// as a 192 kbit/s MP3 with a LAME tag, so decoders can drop the padding.
std::vector<unsigned char> encodeTestMp3(long frames, const std::function<float(long)>& sample);
std::vector<unsigned char> encodeToneMp3(double seconds, double hz, double amplitude);
