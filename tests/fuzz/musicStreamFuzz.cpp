// musicStreamFuzz.cpp
// Fuzz target for the music stream opened from a memory block, in offline mode (no device):
// open, play, seek (negative, inside, at and past the end), read the position and the spectrum,
// close. In offline mode the position is exactly the last one set (negative clamped to 0), and
// every spectrum value is a finite number in 0..1.
#include <cmath>

#include "platform/platform.h"
#include "tests/fuzz/fuzzTarget.h"

namespace {

void checkSpectrum() {
    const float* spectrum = audioGetSpectrum();
    FUZZ_CHECK(spectrum != nullptr);
    for (int k = 0; k < 512; ++k) {
        FUZZ_CHECK(std::isfinite(spectrum[k]) && spectrum[k] >= 0 && spectrum[k] <= 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    audioSetOffline(true);
    FUZZ_CHECK(!audioInit(44100));  // offline: never a device
    MusicStream* stream = audioStreamOpen(data, long(size));
    if (!stream) {
        audioClose();
        return 0;
    }
    const int channel = audioStreamPlay(stream, true);
    FUZZ_CHECK(channel >= 0);
    audioSetPaused(channel, false);
    audioSetSpectrumActive(true);
    // Positions that a short block of bytes can reach and the ones a run of the demo reaches
    // (start, N pressed in the first second, the end of the presentation and past it), plus one
    // taken from the data so the fuzzer can steer it.
    unsigned steer = 0;
    for (size_t i = 0; i < size && i < 4; ++i) steer = steer * 256 + data[size - 1 - i];
    const int positions[] = {0, 13, 26, 500, -1000, 1000, 203000, 250000, int(steer % 300000)};
    for (int ms : positions) {
        audioStreamSetTime(stream, ms);
        FUZZ_CHECK(audioStreamGetTime(stream) == (ms < 0 ? 0 : ms));
        checkSpectrum();
        audioSetOfflineTimeMs(ms + 40);
        FUZZ_CHECK(audioStreamGetTime(stream) == (ms + 40 < 0 ? 0 : ms + 40));
        checkSpectrum();
    }
    audioSetSpectrumActive(false);
    audioClose();
    return 0;
}
