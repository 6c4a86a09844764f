// mp3Decoder.h
// libmpg123 over a memory block, always yielding stereo 16-bit at kSampleRate, with sample-exact
// seeking (a full scan at open). Used by the music stream and by decodeMp3.
#pragma once

#include <mpg123.h>

#include <cstdint>

// A read position over the shared memory block; one per decoder handle.
struct MemoryReader {
    const unsigned char* data;
    long length;
    long position;
};

// Opens a decoder over the block; null when it holds no decodable stereo MPEG audio at kSampleRate.
mpg123_handle* openDecoder(MemoryReader* reader);
void closeDecoder(mpg123_handle* h);
// Reads up to frames stereo frames; the rest of the buffer is silence. Returns frames decoded.
long readFrames(mpg123_handle* h, int16_t* out, long frames);
