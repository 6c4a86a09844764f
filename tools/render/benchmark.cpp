// benchmark.cpp
// kestrane-render --bench: headless figures of the whole program on this machine. Frame times
// (renderFrame, present and glFinish, so llvmpipe's rasterising counts) for a fixed number of
// frames inside each schedule window and the empty stretch; start-up to the first frame in a fresh
// process; peak resident memory; export throughput into ffmpeg; the music clock on the audio device.
#include "glLayer/glLayer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "director/director.h"
#include "platform/measure.h"
#include "platform/platform.h"
#include "tools/render/clockMeasurement.h"
#include "tools/render/renderTool.h"

namespace {

const int kFramesPerWindow = 180;
const int kStartupRuns = 3;
const double kClockSeconds = 10.0;
// Each measured frame is the frame a run from the start at this rate shows.
const FrameRate kBenchRate = {60, 1};

struct BenchWindow {
    std::string name;
    long long lowerMs;
    long long upperMs;
};

// The schedule's windows in time order, with the empty stretch (logo and progress bar only).
std::vector<BenchWindow> benchWindows() {
    std::vector<BenchWindow> windows;
    for (int i = 0; i < sceneScheduleCount; ++i) {
        const SceneWindow& row = sceneSchedule[i];
        long long lower = row.lower < 0 ? 0 : (long long)(row.lower * 1000.0f + 0.5f);
        long long upper = (long long)(row.upper * 1000.0f + 0.5f);
        if (lower == 135000) windows.push_back({"(no scene: logo)", 125000, 135000});
        windows.push_back({row.name, lower, upper});
    }
    return windows;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    size_t index = size_t(fraction * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// One fresh process from exec to its first drawn frame: the median and the first of several runs.
bool measureStartup(double* median, double* first, double* firstFrameRss) {
    std::vector<double> runs;
    for (int run = 0; run < kStartupRuns; ++run) {
        static char output[65536];
        double started = monotonicSeconds();
        bool ran = platformRunSelf("--startup-probe", output, sizeof output);
        std::string text = output;
        size_t at = text.find("first-frame-drawn ");
        double drawn = 0, rss = 0;
        if (!ran || at == std::string::npos ||
            sscanf(text.c_str() + at, "first-frame-drawn %lf %lf", &drawn, &rss) != 2) {
            fprintf(stderr, "kestrane-render: the start-up probe failed:\n%s\n", text.c_str());
            return false;
        }
        runs.push_back(drawn - started);
        *firstFrameRss = rss;
    }
    *first = runs.front();
    *median = percentile(runs, 0.5);
    return true;
}

// The machine's load over the last minute: other work on the two cores shows in every figure.
double loadAverage() { return platformLoadAverage(); }

// The load line; a system that keeps no load average (Windows) says so.
void printLoad(const char* when, double load) {
    if (load < 0) {
        printf("load average (1 min) %s: not kept by this system\n", when);
    } else {
        printf("load average (1 min) %s: %.2f\n", when, load);
    }
}

// CPU time of every thread of this process (llvmpipe's rasteriser threads included): unlike the
// wall time, it barely changes when other work shares the cores.
double processCpuSeconds() { return platformProcessCpuSeconds(); }

double peakResidentMiB() { return platformPeakResidentMiB(); }

// The median CPU time, or "-" where the system keeps no CPU clock (a browser page).
std::string cpuFigure(const std::vector<double>& cpu) {
    const double median = percentile(cpu, 0.5);
    if (platformProcessCpuSeconds() < 0) return "-";
    char text[32];
    snprintf(text, sizeof text, "%.2f", median);
    return text;
}

// The clock on the audio device (the dummy driver unless SDL_AUDIODRIVER names another), playing
// the music file or, without it, silence. Leaves the offline music closed.
bool measureClock(ClockFigures* figures) {
    platformSetEnvironment("SDL_AUDIODRIVER", "dummy", false);
    audioClose();
    audioSetOffline(false);
    if (!audioInit(kSampleRate)) return false;
    static std::vector<unsigned char> music;
    if (FILE* file = fopen(dataFile(kMusicPath).c_str(), "rb")) {
        unsigned char chunk[65536];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) music.insert(music.end(), chunk, chunk + got);
        fclose(file);
    }
    MusicStream* stream = music.empty() ? nullptr : audioStreamOpen(music.data(), long(music.size()));
    if (!stream) stream = audioStreamOpen(nullptr, 0);
    audioSetPaused(audioStreamPlay(stream, true), false);
    bool ok = measureAudioClock(stream, kClockSeconds, 0.5, figures);
    audioClose();
    return ok;
}

}  // namespace

int runStartupProbe() {
    if (!openOfflineDemo()) return 1;
    renderPlayedThroughFrame(0, kBenchRate);
    platformSwapBuffers();
    glFinish();
    double drawn = monotonicSeconds();
    printf("first-frame-drawn %.6f %.1f\n", drawn, peakResidentMiB());
    fflush(stdout);
    return 0;
}

void drawBenchmarkFrame(long long ms, double* wallMs, double* cpuMs) {
    // The frames of a run from the start that lead to this one, outside the measured time.
    playThroughTo(ms, kBenchRate);
    glFinish();
    double t0 = monotonicSeconds();
    double c0 = processCpuSeconds();
    renderNextFrameAt(ms);
    platformSwapBuffers();
    glFinish();
    *wallMs = (monotonicSeconds() - t0) * 1000.0;
    *cpuMs = (processCpuSeconds() - c0) * 1000.0;
}

int runBenchmark(bool framesOnly, int width, int height) {
    double loadBefore = loadAverage();
    double startupMedian = 0, startupFirst = 0, startupRss = 0;
    bool startupOk = !framesOnly && measureStartup(&startupMedian, &startupFirst, &startupRss);

    int saved = platformMuteStdout();  // start-up's own lines (a missing music file) stay out of the table
    bool opened = openOfflineDemo(width, height);
    platformRestoreStdout(saved);
    if (!opened) return 1;  // said why
    printf(
        "kestrane-render --bench: %d frames per window at %dx%d (picture %dx%d, scene region %d), "
        "time per frame = renderFrame + present + glFinish\n",
        kFramesPerWindow, width, height, pictureRect.width, pictureRect.height, pictureRect.region);
    printLoad("at the start", loadBefore);
    printf("GL_RENDERER %s; GL_VERSION %s\n\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
           reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    printf(
        "| window | seconds | frames | median ms | p95 ms | worst ms | fps (median) | CPU ms (median) |\n");
    printf("|---|---|---:|---:|---:|---:|---:|---:|\n");
    fflush(stdout);
    std::vector<double> all, allCpu;
    for (const BenchWindow& w : benchWindows()) {
        std::vector<double> times, cpu;
        for (int i = 0; i < kFramesPerWindow; ++i) {
            // Evenly spread, strictly inside the open window.
            long long ms = w.lowerMs + (w.upperMs - w.lowerMs) * (i + 1) / (kFramesPerWindow + 1);
            double wallMs = 0, cpuMs = 0;
            drawBenchmarkFrame(ms, &wallMs, &cpuMs);
            times.push_back(wallMs);
            cpu.push_back(cpuMs);
        }
        double median = percentile(times, 0.5);
        printf("| %s | %.1f-%.1f | %d | %.2f | %.2f | %.2f | %.0f | %s |\n", w.name.c_str(),
               w.lowerMs / 1000.0, w.upperMs / 1000.0, kFramesPerWindow, median, percentile(times, 0.95),
               *std::max_element(times.begin(), times.end()), 1000.0 / median, cpuFigure(cpu).c_str());
        fflush(stdout);
        all.insert(all.end(), times.begin(), times.end());
        allCpu.insert(allCpu.end(), cpu.begin(), cpu.end());
    }
    double overall = percentile(all, 0.5);
    printf("| all windows | 0-%g | %zu | %.2f | %.2f | %.2f | %.0f | %s |\n\n", double(kPresentationEnd),
           all.size(), overall, percentile(all, 0.95), *std::max_element(all.begin(), all.end()),
           1000.0 / overall, cpuFigure(allCpu).c_str());
    if (framesOnly) {
        printLoad("at the end", loadAverage());
        fflush(stdout);
        exit(0);
    }
    if (startupOk) {
        printf(
            "start-up to the first frame drawn (exec, 53 textures, model, shaders, music opened): "
            "%.3f s (median of %d fresh processes; first %.3f s)\n",
            startupMedian, kStartupRuns, startupFirst);
        printf("peak resident memory: %.1f MiB after the first frame, %.1f MiB after all windows\n",
               startupRss, peakResidentMiB());
    } else {
        printf("start-up: not measured (the probe failed)\n");
        printf("peak resident memory after all windows: %.1f MiB\n", peakResidentMiB());
    }
    fflush(stdout);

    printExportThroughput(width, height);
    fflush(stdout);

    ClockFigures clock;
    bool clockOk = measureClock(&clock);
    const char* driver = getenv("SDL_AUDIODRIVER");
    if (clockOk) {
        printf(
            "clock over %.0f s on the %s audio driver (%ld reads %.2f ms apart, %ld device callbacks):\n"
            "  offset from the consumed frames: mean %.2f ms, median %.2f ms (device latency %.2f ms: "
            "%+.2f ms from the target)\n"
            "  jitter (standard deviation) %.3f ms; largest step between two reads %d ms (%.1f ms more than "
            "the\n"
            "  time between those reads); backward steps %ld\n"
            "  device consumed %.0f frames per second (nominal %d)\n",
            kClockSeconds, driver ? driver : "default", clock.reads, clock.meanReadGapMs, clock.callbacks,
            clock.meanOffsetMs, clock.medianOffsetMs, clock.latencyMs, clock.meanOffsetMs + clock.latencyMs,
            clock.jitterMs, clock.largestStepMs, clock.largestExcessMs, clock.backwardSteps,
            clock.deviceRateHz, kSampleRate);
    } else {
        printf("clock: not measured (no audio device could be opened)\n");
    }
    printLoad("at the end", loadAverage());
    fflush(stdout);
    exit(0);
}
