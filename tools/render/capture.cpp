// capture.cpp
// kestrane-render --capture: renders the frames of a time range at a fixed rate and has ffmpeg
// encode them with the soundtrack into an MP4. Everything is written under temporary names in the
// output's folder and renamed only when ffmpeg has finished, so a failure of ffmpeg, a full disk or
// Ctrl+C leaves a message and no half-written video.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/platform.h"
#include "tools/render/renderTool.h"

namespace {

// The signal that stopped the export (platform/stopSignalsLinux.cpp catches it), 0 while none has.
const volatile sig_atomic_t& stopSignal = *platformCaughtStopSignal();

}  // namespace

const bool kVideoExport = true;

void catchStopSignals() { platformCatchStopSignals(); }

void releaseStopSignals() { platformReleaseStopSignals(); }

namespace {

// Holds the stop signals caught for the length of one export.
struct StopSignalScope {
    StopSignalScope() { catchStopSignals(); }
    ~StopSignalScope() { releaseStopSignals(); }
};

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool diskNearlyFull(const std::string& folder) {
    struct statvfs fs;
    return statvfs(folder.c_str(), &fs) == 0 && (unsigned long long)fs.f_bavail * fs.f_frsize < (4ull << 20);
}

// Reserves a temporary name beside the output: fails early on a missing or read-only folder.
bool reserve(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        fprintf(stderr, "kestrane-render: cannot write %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    close(fd);
    return true;
}

// Makes the finished file durable before it takes the final name.
bool syncFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

}  // namespace

int runCapture(const CaptureOptions& options, CaptureResult* result) {
    *result = CaptureResult();
    if (!offlineDrawableIs(options.width, options.height)) return 1;
    FrameSpan span = frameSpan(options.fromMs, options.toMs, options.rate);
    long long total = span.end - span.first;
    if (total <= 0) {
        fprintf(stderr, "kestrane-render: no frame lies in the range at this rate\n");
        return 1;
    }
    struct stat existing;
    if (stat(options.out.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        fprintf(stderr, "kestrane-render: %s is a folder; give the video's file name\n", options.out.c_str());
        return 1;
    }
    StopSignalScope signals;
    if (stopSignal) {
        fprintf(stderr, "kestrane-render: interrupted before the export began; nothing was written\n");
        return 128 + stopSignal;
    }
    std::string partial = options.out + "." + std::to_string(getpid()) + ".part";
    std::string wav = options.out + "." + std::to_string(getpid()) + ".wav";
    if (!reserve(partial)) return 1;
    if (!reserve(wav)) {
        unlink(partial.c_str());
        return 1;
    }
    auto discard = [&](const char* why) {
        unlink(partial.c_str());
        unlink(wav.c_str());
        fprintf(stderr, "kestrane-render: %s; nothing was written to %s\n", why, options.out.c_str());
    };

    // The soundtrack covers exactly the frames: from the first frame's time to the end of the last.
    bool hasMusic = false;
    if (!writeSoundtrackWav(wav.c_str(), frameFirstSample(span.first, options.rate, kSampleRate),
                            frameFirstSample(span.end, options.rate, kSampleRate), &hasMusic)) {
        discard(diskNearlyFull(folderOf(options.out)) ? "cannot write the soundtrack: the disk is full"
                                                      : "cannot write the soundtrack");
        return 1;
    }
    if (!hasMusic && !options.quiet) {
        fprintf(stderr,
                "kestrane-render: %s is missing or holds no MP3 audio; the video gets a silent track\n",
                dataFile(kMusicPath).c_str());
    }

    EncoderProcess encoder;
    if (!startEncoder(&encoder, options, wav.c_str(), partial.c_str())) {
        discard("ffmpeg could not be started");
        return 1;
    }
    double start = monotonicSeconds();
    ProgressBar bar;
    if (!options.quiet) startProgress(&bar, total);
    std::vector<unsigned char> rgb(size_t(offlineFrameWidth()) * size_t(offlineFrameHeight()) * 3);
    long long done = 0;
    bool pipeBroken = false;
    for (long long n = span.first; n < span.end && !stopSignal; ++n) {
        long long ms = frameMilliseconds(n, options.rate);
        if (n == span.first) {
            renderPlayedThroughFrame(ms, options.rate);  // the state a run from the start has here
        } else {
            renderNextFrameAt(ms);
        }
        readFrame(rgb.data());
        if (!writeEncoderFrame(&encoder, rgb.data(), rgb.size(), &stopSignal)) {
            pipeBroken = !stopSignal;
            break;
        }
        ++done;
        if (!options.quiet) updateProgress(&bar, done);
    }
    if (stopSignal) {
        killEncoder(&encoder);
        if (!options.quiet && bar.terminal) fputc('\n', stderr);
        discard(stopSignal == SIGINT ? "interrupted" : "stopped by a signal");
        return 128 + stopSignal;
    }
    int status = finishEncoder(&encoder, &stopSignal);
    if (stopSignal) {  // arrived while ffmpeg was finishing
        discard(stopSignal == SIGINT ? "interrupted" : "stopped by a signal");
        return 128 + stopSignal;
    }
    if (pipeBroken || status != 0) {
        if (!options.quiet && bar.terminal) fputc('\n', stderr);
        char why[160];
        if (diskNearlyFull(folderOf(options.out))) {
            snprintf(why, sizeof why, "ffmpeg failed: the disk holding %s is full",
                     folderOf(options.out).c_str());
        } else if (status < 0) {
            snprintf(why, sizeof why, "ffmpeg died after %lld of %lld frames (see its message above)", done,
                     total);
        } else {
            snprintf(why, sizeof why,
                     "ffmpeg failed with exit status %d after %lld of %lld frames (see its message above)",
                     status, done, total);
        }
        discard(why);
        return 1;
    }
    unlink(wav.c_str());
    if (!syncFile(partial) || rename(partial.c_str(), options.out.c_str()) != 0) {
        int error = errno;
        unlink(partial.c_str());
        fprintf(stderr, "kestrane-render: cannot finish %s: %s; nothing was written\n", options.out.c_str(),
                strerror(error));
        return 1;
    }
    result->frames = done;
    result->seconds = monotonicSeconds() - start;
    if (!options.quiet) {
        finishProgress(&bar, done, "kestrane-render");
        fprintf(stderr, "kestrane-render: wrote %s (%lld frames at %lld/%lld fps, %.3f s to %.3f s%s)\n",
                options.out.c_str(), done, options.rate.numerator, options.rate.denominator,
                double(frameMilliseconds(span.first, options.rate)) / 1000.0,
                double(span.end * options.rate.denominator) / double(options.rate.numerator),
                hasMusic ? "" : ", silent");
    }
    return 0;
}

void printExportThroughput(int width, int height) {
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
}
