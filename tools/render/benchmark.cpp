// benchmark.cpp
// kestrane-render --bench: headless figures of the whole program on this machine. Frame times
// (renderFrame, present and glFinish, so llvmpipe's rasterising counts) for a fixed number of
// frames inside each schedule window and the empty stretch; start-up to the first frame in a fresh
// process; peak resident memory; export throughput into ffmpeg; the music clock on the audio device.
#include <GL/gl.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
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
#include "platform/platform.h"
#include "tools/render/clockMeasurement.h"
#include "tools/render/renderTool.h"

extern char** environ;

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
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        char self[] = "/proc/self/exe";
        char flag[] = "--startup-probe";
        char* argv[] = {self, flag, nullptr};
        pid_t pid = -1;
        double started = monotonicSeconds();
        int error = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string text;
        char buffer[4096];
        ssize_t n;
        while (error == 0 && (n = read(fds[0], buffer, sizeof buffer)) != 0) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            text.append(buffer, size_t(n));
        }
        close(fds[0]);
        int status = 0;
        if (error == 0) waitpid(pid, &status, 0);
        size_t at = text.find("first-frame-drawn ");
        double drawn = 0, rss = 0;
        if (error != 0 || at == std::string::npos ||
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
double loadAverage() {
    double load = -1;
    if (FILE* file = fopen("/proc/loadavg", "r")) {
        if (fscanf(file, "%lf", &load) != 1) load = -1;
        fclose(file);
    }
    return load;
}

// CPU time of every thread of this process (llvmpipe's rasteriser threads included): unlike the
// wall time, it barely changes when other work shares the cores.
double processCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double peakResidentMiB() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The clock on the audio device (the dummy driver unless SDL_AUDIODRIVER names another), playing
// the music file or, without it, silence. Leaves the offline music closed.
bool measureClock(ClockFigures* figures) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
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

    int saved = dup(1);  // start-up's own lines (a missing music file) stay out of the table
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    bool opened = openOfflineDemo(width, height);
    fflush(stdout);
    dup2(saved, 1);
    close(null);
    close(saved);
    if (!opened) return 1;  // said why
    printf(
        "kestrane-render --bench: %d frames per window at %dx%d (picture %dx%d, scene region %d), "
        "time per frame = renderFrame + present + glFinish\n",
        kFramesPerWindow, width, height, pictureRect.width, pictureRect.height, pictureRect.region);
    printf("load average (1 min) at the start: %.2f\n", loadBefore);
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
        printf("| %s | %.1f-%.1f | %d | %.2f | %.2f | %.2f | %.0f | %.2f |\n", w.name.c_str(),
               w.lowerMs / 1000.0, w.upperMs / 1000.0, kFramesPerWindow, median, percentile(times, 0.95),
               *std::max_element(times.begin(), times.end()), 1000.0 / median, percentile(cpu, 0.5));
        fflush(stdout);
        all.insert(all.end(), times.begin(), times.end());
        allCpu.insert(allCpu.end(), cpu.begin(), cpu.end());
    }
    double overall = percentile(all, 0.5);
    printf("| all windows | 0-%g | %zu | %.2f | %.2f | %.2f | %.0f | %.2f |\n\n", double(kPresentationEnd),
           all.size(), overall, percentile(all, 0.95), *std::max_element(all.begin(), all.end()),
           1000.0 / overall, percentile(allCpu, 0.5));
    if (framesOnly) {
        printf("load average (1 min) at the end: %.2f\n", loadAverage());
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

    char folder[] = "/tmp/kestrane-bench-XXXXXX";
    if (mkdtemp(folder)) {
        CaptureOptions options;
        options.fromMs = 0;
        options.toMs = 10000;
        options.out = std::string(folder) + "/export.mp4";
        options.quiet = true;
        options.width = width;
        options.height = height;
        CaptureResult result;
        int status = runCapture(options, &result);
        if (status == 0 && result.seconds > 0) {
            double fps = double(result.frames) / result.seconds;
            printf(
                "export 0-10 s at 60 fps, %dx%d, into ffmpeg (libx264 veryfast, AAC): %lld frames in %.2f s "
                "= "
                "%.1f fps; the whole presentation (12180 frames) would take about %.0f s\n",
                width, height, result.frames, result.seconds, fps, 12180.0 / fps);
        } else {
            printf("export: not measured (see the message above)\n");
        }
        unlink(options.out.c_str());
        rmdir(folder);
    }
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
    printf("load average (1 min) at the end: %.2f\n", loadAverage());
    fflush(stdout);
    exit(0);
}
