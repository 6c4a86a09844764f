// main.cpp
// kestrane-soundcheck: finds dropouts and discontinuities in a recording of the demo's sound.
//   kestrane-soundcheck MUSIC.mp3 RECORDING.raw [--limit-ms 5]
// The recording is raw 16-bit little-endian stereo at 44100 Hz (parec --raw). Prints every place
// where the recording parts from the music for longer than the limit, and a summary line; exit
// code 0 when the recording was aligned with the music, 1 when not, 2 for bad arguments or files.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/platform.h"
#include "tools/soundcheck/recordingInput.h"
#include "tools/soundcheck/soundAlignment.h"

namespace {

const int kRate = kSampleRate;  // the music's, and the recording's

double ms(long frames) { return frames * 1000.0 / kRate; }

}  // namespace

int main(int argc, char** argv) {
    SoundcheckOptions options;
    if (int refused = parseSoundcheckArguments(argc, argv, &options)) return refused;
    std::vector<float> music, recording;
    if (!readRawRecording(options.recording, &recording)) {
        fprintf(stderr, "kestrane-soundcheck: cannot read %s\n", options.recording);
        return 2;
    }
    if (!readMusicMono(options.music, kRate, &music)) {
        fprintf(stderr, "kestrane-soundcheck: %s is no readable %d Hz MP3\n", options.music, kSampleRate);
        return 2;
    }
    const double limitMs = options.limitMs;

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
