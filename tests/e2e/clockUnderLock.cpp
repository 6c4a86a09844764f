// clockUnderLock.cpp
// e2e-clock-under-lock MUSIC.mp3: the music clock on a PulseAudio-protocol server while another
// thread holds the output's lock for 30 ms every 200 ms, as libpulse's own thread may. The clock
// is read every 10 ms: first 3 s undisturbed, then 6 s with the lock taken away now and then. Each
// reading's lead over the wall clock is set against the undisturbed readings' median; a wait for
// the lock must not make the position run ahead. Prints the figures; exit 1 when the median lead
// is over 3 ms or the largest over 8 ms, 77 when no server answers, 2 for bad arguments.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/audioOutput.h"
#include "platform/platform.h"

namespace {

std::vector<double> leadsOver(MusicStream* stream, double seconds) {
    std::vector<double> leads;
    const double end = platformSeconds() + seconds;
    while (platformSeconds() < end) {
        const int ms = audioStreamGetTime(stream);
        leads.push_back(ms - platformSeconds() * 1000.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return leads;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: e2e-clock-under-lock MUSIC.mp3\n");
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    if (!file) return 2;
    std::vector<unsigned char> music(64 << 20);
    music.resize(fread(music.data(), 1, music.size(), file));
    fclose(file);
    if (!audioInit(kSampleRate) || !audioHasDevice()) {
        printf("no sound server answered\n");
        return 77;
    }
    MusicStream* stream = audioStreamOpen(music.data(), long(music.size()));
    if (!stream) return 2;
    audioSetPaused(audioStreamPlay(stream, true), false);
    while (audioStreamGetTime(stream) < 1000) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    const double calm = median(leadsOver(stream, 3.0));
    std::atomic<bool> stop{false};
    std::thread holder([&stop] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(170));
            pulseOutput.lock();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            pulseOutput.unlock();
        }
    });
    std::vector<double> ahead = leadsOver(stream, 6.0);
    stop = true;
    holder.join();
    for (double& lead : ahead) lead -= calm;
    const double typical = median(ahead);
    const double worst = *std::max_element(ahead.begin(), ahead.end());
    printf(
        "with the lock held 30 ms in every 200 ms: %zu readings, median %+.1f ms, largest %+.1f ms ahead of "
        "the undisturbed clock\n",
        ahead.size(), typical, worst);
    audioClose();
    return typical <= 3.0 && worst <= 8.0 ? 0 : 1;
}
