// main.cpp
// kestrane-soundcheck: finds dropouts and discontinuities in a recording of the demo's sound.
//   kestrane-soundcheck MUSIC.mp3 RECORDING.raw [--limit-ms 5]
// The recording is raw 16-bit little-endian stereo at 44100 Hz (parec --raw). Prints every place
// where the recording parts from the music for longer than the limit, and a summary line; exit
// code 0 when the recording was aligned with the music, 1 when not, 2 for bad arguments or files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "tools/soundcheck/soundAlignment.h"

namespace {

const int kRate = kSampleRate;  // the music's, and the recording's

bool readFile(const char* path, std::vector<unsigned char>* bytes) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
    fclose(file);
    return true;
}

// Mono mix of interleaved 16-bit stereo.
std::vector<float> monoOf(const int16_t* pcm, long frames) {
    std::vector<float> mono(size_t(frames), 0.0f);
    for (long i = 0; i < frames; ++i) mono[size_t(i)] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
    return mono;
}

double ms(long frames) { return frames * 1000.0 / kRate; }

}  // namespace

int main(int argc, char** argv) {
    double limitMs = 5.0;
    if (argc == 5 && strcmp(argv[3], "--limit-ms") == 0) {
        limitMs = atof(argv[4]);
    } else if (argc != 3) {
        fprintf(stderr, "Usage: kestrane-soundcheck MUSIC.mp3 RECORDING.raw [--limit-ms MS]\n");
        return 2;
    }
    std::vector<unsigned char> mp3, raw;
    if (!readFile(argv[1], &mp3) || !readFile(argv[2], &raw)) {
        fprintf(stderr, "kestrane-soundcheck: cannot read %s\n", mp3.empty() ? argv[1] : argv[2]);
        return 2;
    }
    int16_t* pcm = nullptr;
    long frames = 0;
    int rate = 0, channels = 0;
    if (!decodeMp3(mp3.data(), long(mp3.size()), &pcm, &frames, &rate, &channels) || rate != kRate) {
        fprintf(stderr, "kestrane-soundcheck: %s is no 44100 Hz MP3\n", argv[1]);
        return 2;
    }
    std::vector<float> music = monoOf(pcm, frames);
    free(pcm);
    std::vector<int16_t> samples(raw.size() / 2);
    memcpy(samples.data(), raw.data(), samples.size() * 2);
    std::vector<float> recording = monoOf(samples.data(), long(samples.size() / 2));

    SoundAlignment a = alignRecording(music, recording);
    printf("recording: %.1f s\n", ms(long(recording.size())) / 1000.0);
    if (!a.aligned) {
        printf("the recording holds none of the music\n");
        return 1;
    }
    const long limit = long(limitMs * kRate / 1000.0);
    int disruptions = 0, small = 0;
    for (const SoundEvent& e : a.events) {
        if (!isDisruption(e, limit)) {
            ++small;
            continue;
        }
        ++disruptions;
        printf("at %.3f s of the recording (music %.3f s): %s %.1f ms, disturbed %.1f ms\n",
               ms(e.recordingFrame) / 1000.0, ms(e.musicFrame) / 1000.0,
               e.shiftFrames > 0   ? "silence slipped in"
               : e.shiftFrames < 0 ? "audio skipped"
                                   : "audio replaced",
               ms(std::labs(e.shiftFrames)), ms(e.spanFrames));
    }
    printf("music %.3f to %.3f s; %ld of %ld windows follow the music\n", ms(a.firstMusicFrame) / 1000.0,
           ms(a.lastMusicFrame) / 1000.0, a.matchedWindows, a.windows);
    printf("disruptions over %.0f ms: %d (shorter: %d)\n", limitMs, disruptions, small);
    return 0;
}
