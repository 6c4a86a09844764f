// soundtrack.cpp
// The exported video's audio: our own decode of the music file (the samples the demo's clock
// counts), cut to exactly the frames' time range and written as a 16-bit stereo WAV for
// ffmpeg. Past the end of the music, and without a music file, the track is silence.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "platform/platform.h"
#include "tools/render/renderTool.h"

namespace {

void putLe32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
}

void putLe16(unsigned char* p, uint16_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

// The whole music decoded to stereo at kSampleRate; false (and nothing) when it is missing or bad.
bool decodeMusic(int16_t** pcm, long* frames) {
    FILE* file = fopen(dataFile(kMusicPath).c_str(), "rb");
    if (!file) return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    bool readError = ferror(file) != 0;
    fclose(file);
    if (readError || bytes.empty()) return false;
    int rate = 0, channels = 0;
    if (!decodeMp3(bytes.data(), long(bytes.size()), pcm, frames, &rate, &channels)) return false;
    if (rate != kSampleRate || channels != 2) {
        free(*pcm);
        *pcm = nullptr;
        return false;
    }
    return true;
}

}  // namespace

bool writeSoundtrackWav(const char* path, long long firstSample, long long endSample, bool* hasMusic) {
    int16_t* pcm = nullptr;
    long musicFrames = 0;
    *hasMusic = decodeMusic(&pcm, &musicFrames);
    long long frames = std::max(0LL, endSample - firstSample);
    uint32_t dataBytes = uint32_t(frames * 4);
    unsigned char header[44];
    memcpy(header, "RIFF", 4);
    putLe32(header + 4, 36 + dataBytes);
    memcpy(header + 8, "WAVEfmt ", 8);
    putLe32(header + 16, 16);
    putLe16(header + 20, 1);  // PCM
    putLe16(header + 22, 2);
    putLe32(header + 24, kSampleRate);
    putLe32(header + 28, kSampleRate * 4);
    putLe16(header + 32, 4);
    putLe16(header + 34, 16);
    memcpy(header + 36, "data", 4);
    putLe32(header + 40, dataBytes);

    FILE* file = fopen(path, "wb");
    bool ok = file && fwrite(header, 1, sizeof header, file) == sizeof header;
    // Music where it exists, then silence, written in blocks.
    std::vector<int16_t> silence(2 * 4096, 0);
    long long at = firstSample;
    while (ok && at < endSample) {
        if (pcm && at < musicFrames) {
            long long n = std::min<long long>(endSample, musicFrames) - at;
            ok = fwrite(pcm + at * 2, 4, size_t(n), file) == size_t(n);
            at += n;
        } else {
            long long n = std::min<long long>(endSample - at, 4096);
            ok = fwrite(silence.data(), 4, size_t(n), file) == size_t(n);
            at += n;
        }
    }
    if (file && fclose(file) != 0) ok = false;
    free(pcm);
    return ok;
}
