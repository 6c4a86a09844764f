// musicFound.cpp
// kestrane-musicfound MUSIC.mp3 RECORDING.raw: whether a recording of the demo's output (16-bit
// stereo at the music's rate, as parec writes it) holds the music, for outputs too choppy for
// kestrane-soundcheck's 1.5 s start block (Wine's audio on a loaded machine). Every loud block of
// 4096 frames (93 ms) is looked for in the music; prints how many were found (normalized
// correlation at least 0.98), how many of those follow on in the music from the block before
// (forward, at most 0.5 s more than the recording moved), and the music span they cover.
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "tools/soundcheck/recordingInput.h"
#include "tools/soundcheck/soundAlignment.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: kestrane-musicfound MUSIC.mp3 RECORDING.raw\n");
        return 2;
    }
    std::vector<float> music, recording;
    if (!readMusicMono(argv[1], kSampleRate, &music) || !readRawRecording(argv[2], &recording)) {
        fprintf(stderr, "kestrane-musicfound: cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    const long kBlockFrames = 4096;
    long loud = 0, found = 0, inOrder = 0, first = -1, last = -1, previousRec = -1, previousMusic = -1;
    for (long at = 0; at + kBlockFrames <= long(recording.size()); at += kBlockFrames) {
        double energy = 0;
        for (long i = 0; i < kBlockFrames; ++i) energy += double(recording[at + i]) * recording[at + i];
        if (std::sqrt(energy / kBlockFrames) < 1e-3) continue;
        ++loud;
        // The whole music is searched until the first block is found, then only 2 s either side of
        // where the next block is due: a block with a dropout in it is then quickly passed over.
        long from = 0, to = long(music.size());
        if (previousMusic >= 0) {
            from = previousMusic + (at - previousRec) - 2 * kSampleRate;
            to = previousMusic + (at - previousRec) + 2 * kSampleRate;
        }
        double score = 0;
        long m = locateInMusic(music, recording, at, kBlockFrames, from, to, &score);
        if (m < 0 || score < 0.98) continue;
        ++found;
        if (previousMusic >= 0 && m > previousMusic &&
            m - previousMusic <= at - previousRec + kSampleRate / 2)
            ++inOrder;
        previousRec = at;
        previousMusic = m;
        if (first < 0) first = m;
        last = m + kBlockFrames;
    }
    printf("loud blocks %ld found %ld in order %ld music %.2f to %.2f s\n", loud, found, inOrder,
           first < 0 ? 0.0 : double(first) / kSampleRate, last < 0 ? 0.0 : double(last) / kSampleRate);
    return 0;
}
