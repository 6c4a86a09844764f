// main.cpp
// kestrane-music: composes, renders, masters and encodes the demo's soundtrack.
// Usage: kestrane-music <out.mp3> [--report <dir>]. The output is the same, byte for byte, on
// every run; the report (soundtrack.md, spectrogram.png) analyses the file just written.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "tools/music/dsp.h"
#include "tools/music/synth.h"

namespace {

// Calibrated so the master measures about -14 LUFS integrated (EBU R128) after limiting.
const float kMasterGainDb = -3.5f;
// Sample ceiling before encoding; MP3 decoding overshoots by a few tenths of a dB.
const float kCeilingDb = -2.5f;
const int kBitRate = 192;
// A fixed worker count keeps the mix identical on every machine.
const int kThreads = 2;

// Progress on standard error: a redrawn bar on a terminal, one line per stage otherwise.
void showProgress(const char* stage, float fraction) {
    static const char* lastStage = nullptr;
    static bool terminal = isatty(2);
    static auto stageStart = std::chrono::steady_clock::now();
    if (stage != lastStage) stageStart = std::chrono::steady_clock::now();
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - stageStart).count();
    if (terminal) {
        int filled = int(fraction * 30.0f + 0.5f);
        char bar[31];
        for (int i = 0; i < 30; ++i) bar[i] = i < filled ? '#' : '.';
        bar[30] = 0;
        fprintf(stderr, "\rkestrane-music: %-18s [%s] %3d%%", stage, bar, int(fraction * 100.0f + 0.5f));
        if (fraction >= 1.0f) fprintf(stderr, " %.1f s\n", elapsed);
    } else if (stage != lastStage || fraction >= 1.0f) {
        if (stage != lastStage || fraction < 1.0f)
            fprintf(stderr, "kestrane-music: %s...\n", stage);
        else
            fprintf(stderr, "kestrane-music: %s done in %.1f s\n", stage, elapsed);
    }
    lastStage = stage;
    fflush(stderr);
}

int usage() {
    fprintf(stderr, "usage: kestrane-music <out.mp3> [--report <dir>]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* outPath = nullptr;
    const char* reportDir = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0) {
            if (i + 1 >= argc) return usage();
            reportDir = argv[++i];
        } else if (argv[i][0] == '-' || outPath) {
            return usage();
        } else {
            outPath = argv[i];
        }
    }
    if (!outPath) return usage();
    // Fail before the long render when the output cannot be written at all.
    std::string probe = std::string(outPath) + ".part";
    FILE* file = fopen(probe.c_str(), "wb");
    if (!file) {
        fprintf(stderr, "kestrane-music: cannot write %s\n", probe.c_str());
        return 1;
    }
    fclose(file);
    std::remove(probe.c_str());

    auto started = std::chrono::steady_clock::now();
    const long frames = long(music::kSongSeconds * music::kRate);
    music::Score score = music::composeScore();
    music::Mix mix = music::mixScore(score, frames, kThreads, showProgress);
    showProgress("mastering", 0.0f);
    music::masterMix(mix, kMasterGainDb, kCeilingDb);
    showProgress("mastering", 1.0f);
    if (!music::writeMp3(mix, outPath, kBitRate, showProgress)) return 1;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    fprintf(stderr, "kestrane-music: wrote %s (%.1f s of audio in %.1f s)\n", outPath, music::kSongSeconds,
            seconds);

    if (reportDir && !music::writeReport(outPath, reportDir, seconds)) return 1;
    return 0;
}
