// renderMain.cpp
// kestrane-render: draws frames of the presentation offline, headless, with the same start-up and
// the same renderFrame as the demo: as PNG files (--time, --from/--to/--fps), as an MP4 video with
// the soundtrack (--capture), or as a benchmark (--bench). Each frame is the demo's frame at its
// music time played from the start at the call's frame rate: the state earlier frames leave behind
// (clear colour, fog range, glitch value, spectrum) is brought to that run's by playedThrough.cpp.
#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "tools/render/renderTool.h"

namespace {

void printUsage(FILE* stream = stderr) {
    fprintf(stream,
            "usage: kestrane-render --time T [--time T ...] [--fps N|N/D] [--size WxH] --out DIR\n"
            "       kestrane-render --from A --to B --fps N|N/D [--size WxH] --out DIR\n"
            "       kestrane-render --capture [--fps N|N/D] [--size WxH] [--from A --to B] [--out FILE]\n"
            "       kestrane-render --bench | --bench-frames [--size WxH]\n"
            "A frame at time T is the presented frame the demo shows at music time T (seconds,\n"
            "0 to 203, at most three decimals) when played from the start without seeking at the call's\n"
            "frame rate: --fps for sequences and videos, 60 fps for --time unless --fps is given. The\n"
            "clear colour, fog range, glitch value and spectrum that earlier frames leave are those of\n"
            "such a run, whatever order the times come in.\n"
            "PNG frames are written as DIR/t<T>.png (DIR is created), each frame n*D/N s of [A, B] for a\n"
            "sequence. Rates N/D are whole numbers, 1 to 1000 fps.\n"
            "--capture renders the frames n*D/N s of [A, B) (default 60 fps, 0 to 203 s) into an MP4\n"
            "(H.264 and AAC, default kestrane.mp4) with the soundtrack.\n"
            "--size WxH (default 800x600; even numbers for --capture) draws every frame natively at\n"
            "that size: the 4:3 picture as large as fits, centred, black beside or above and below it.\n"
            "--bench prints frame times per schedule window, start-up, memory, export rate and the\n"
            "audio clock; --bench-frames only the frame times.\n");
}

// A refused argument: one line naming it and its value, then the usage; the exit code 2.
int refuse(const char* option, const char* value, const char* expected) {
    fprintf(stderr, "kestrane-render: bad %s '%s' (%s)\n", option, value, expected);
    printUsage();
    return 2;
}

// A request that cannot be carried out as a whole: one line, then the usage; the exit code 2.
int refuseRequest(const char* why) {
    fprintf(stderr, "kestrane-render: %s\n", why);
    printUsage();
    return 2;
}

const char* const kTimeExpected = "seconds from 0 to 203 as a decimal number, at most three decimals";
const char* const kRateExpected = "frames per second N or N/D, whole numbers, 1 to 1000 fps";

bool writePng(FILE* file, const unsigned char* rgb, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<unsigned char*>(rgb + size_t(y) * width * 3));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Writes folder/name under a temporary name beside it and renames it when complete, so the final
// name only ever holds a whole picture. False with a message, and nothing left, on any failure.
bool writePngFile(const std::string& folder, const std::string& name, const unsigned char* rgb, int width,
                  int height) {
    std::string path = folder + "/" + name;
    std::string partial = folder + "/." + name + "." + std::to_string(getpid()) + ".part";
    int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!file) {
        fprintf(stderr, "kestrane-render: cannot write %s: %s\n", path.c_str(), strerror(errno));
        if (fd >= 0) close(fd);
        unlink(partial.c_str());
        return false;
    }
    bool written = writePng(file, rgb, width, height) && fflush(file) == 0 && !ferror(file);
    int error = errno;
    if (fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && rename(partial.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(partial.c_str());
        fprintf(stderr, "kestrane-render: cannot write %s: %s; nothing written\n", path.c_str(),
                error ? strerror(error) : "the PNG encoder failed");
    }
    return written;
}

// mkdir -p: the folder and any missing parents; false with a message when one cannot be made, or
// when the folder takes no new files.
bool prepareFolder(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            fprintf(stderr, "kestrane-render: cannot create the folder %s: %s\n", part.c_str(),
                    strerror(errno));
            return false;
        }
        if (slash == std::string::npos) break;
    }
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        fprintf(stderr, "kestrane-render: cannot create the folder %s: %s\n", folder.c_str(),
                strerror(errno ? errno : ENOTDIR));
        return false;
    }
    std::string probe = folder + "/.kestrane-render." + std::to_string(getpid()) + ".probe";
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        fprintf(stderr, "kestrane-render: cannot write into the folder %s: %s\n", folder.c_str(),
                strerror(errno));
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

std::string frameName(long long ms) {
    char name[64];
    snprintf(name, sizeof name, "t%lld.%03lld.png", ms / 1000, ms % 1000);
    return name;
}

// kestrane-render --capture ...: parses its own options (times exact to the millisecond).
int runCaptureCommand(int argc, char** argv) {
    CaptureOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--capture") continue;
        if (arg != "--fps" && arg != "--size" && arg != "--from" && arg != "--to" && arg != "--out") {
            return refuse("argument", arg.c_str(), "not an option of --capture");
        }
        if (!value) return refuseRequest((arg + " needs a value").c_str());
        ++i;
        if (arg == "--fps") {
            if (!parseFrameRate(value, &options.rate)) return refuse("--fps", value, kRateExpected);
        } else if (arg == "--size") {
            if (!checkFrameSize(value, true, &options.width, &options.height)) return 2;
        } else if (arg == "--from" || arg == "--to") {
            long long ms = 0;
            if (!parseMilliseconds(value, &ms)) return refuse(arg.c_str(), value, kTimeExpected);
            if (ms > kPresentationEndMs) {
                return refuse(arg.c_str(), value, "past the end of the presentation, 203 s");
            }
            (arg == "--from" ? options.fromMs : options.toMs) = ms;
        } else {
            if (!*value) return refuse("--out", value, "a file name");
            options.out = value;
        }
    }
    if (options.fromMs >= options.toMs) return refuseRequest("--from must be before --to");
    catchStopSignals();  // a Ctrl+C during start-up still stops the export
    if (!openOfflineDemo(options.width, options.height)) {
        fprintf(stderr, "kestrane-render: cannot open an offscreen GL window\n");
        return 1;
    }
    CaptureResult result;
    return runCapture(options, &result);
}

// One music time of a PNG request: strict, so that no typing slip renders 0 s.
bool parseTimeArgument(const char* option, const char* value, long long* ms, int* exitCode) {
    if (parseMilliseconds(value, ms)) return true;
    *exitCode = refuse(option, value, kTimeExpected);
    return false;
}

void sayPastTheEnd(long long fromMs, long long toMs) {
    if (fromMs == toMs) {
        fprintf(stderr,
                "kestrane-render: %.3f s is past the end of the presentation (203 s); nothing written\n",
                double(fromMs) / 1000.0);
    } else {
        fprintf(stderr,
                "kestrane-render: %.3f s to %.3f s is past the end of the presentation (203 s); nothing "
                "written there\n",
                double(fromMs) / 1000.0, double(toMs) / 1000.0);
    }
}

// Reads the drawn frame and writes it as folder/t<seconds>.png; false with a message on failure.
bool writeFrame(const std::string& folder, long long ms, std::vector<unsigned char>* rgb) {
    readFrame(rgb->data());
    platformSwapBuffers();
    return writePngFile(folder, frameName(ms), rgb->data(), offlineFrameWidth(), offlineFrameHeight());
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            printUsage(stdout);
            return 0;
        }
    }
    if (!findDataFolder("kestrane-render", true)) exit(1);  // no frame without the data
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--capture") == 0) exit(runCaptureCommand(argc, argv));
        if (strcmp(argv[i], "--startup-probe") == 0) exit(runStartupProbe());
    }
    std::vector<long long> times;
    long long fromMs = -1, toMs = -1;
    FrameRate rate = {60, 1};
    bool hasRate = false;
    const char* out = nullptr;
    bool bench = false;
    bool framesOnly = false;
    int refused = 0;
    int width = 800, height = 600;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--bench" || arg == "--bench-frames") {
            bench = true;
            framesOnly = framesOnly || arg == "--bench-frames";
            continue;
        }
        if (arg != "--time" && arg != "--from" && arg != "--to" && arg != "--fps" && arg != "--out" &&
            arg != "--size") {
            return refuse("argument", arg.c_str(), "not an option");
        }
        if (i + 1 >= argc) return refuseRequest((arg + " needs a value").c_str());
        const char* value = argv[++i];
        long long ms = 0;
        if (arg == "--time") {
            if (!parseTimeArgument("--time", value, &ms, &refused)) return refused;
            times.push_back(ms);
        } else if (arg == "--from" || arg == "--to") {
            if (!parseTimeArgument(arg.c_str(), value, &ms, &refused)) return refused;
            (arg == "--from" ? fromMs : toMs) = ms;
        } else if (arg == "--fps") {
            if (!parseFrameRate(value, &rate)) return refuse("--fps", value, kRateExpected);
            hasRate = true;
        } else if (arg == "--size") {
            if (!checkFrameSize(value, false, &width, &height)) return 2;
        } else {
            if (!*value) return refuse("--out", value, "a folder name");
            out = value;
        }
    }
    if (bench) return runBenchmark(framesOnly, width, height);
    const bool sequence = fromMs >= 0 || toMs >= 0;
    if (times.empty() && !sequence) {
        return refuseRequest("no frame asked for: give --time, or --from and --to");
    }
    if (!times.empty() && sequence) return refuseRequest("--time cannot be combined with --from and --to");
    if (sequence && (fromMs < 0 || toMs < 0)) return refuseRequest("--from and --to go together");
    if (sequence && !hasRate) return refuseRequest("a sequence needs --fps");
    if (sequence && fromMs > toMs) return refuseRequest("--from must not be after --to");
    if (sequence && firstFrameAtOrAfter(fromMs, rate) > toMs * rate.numerator / (rate.denominator * 1000)) {
        return refuseRequest("no frame of this rate lies between --from and --to");
    }
    if (!out) return refuseRequest("no output folder: give --out DIR");
    std::string folder = out;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!prepareFolder(folder)) return 1;
    if (!openOfflineDemo(width, height)) {
        fprintf(stderr, "kestrane-render: cannot open an offscreen GL window\n");
        return 1;
    }
    std::vector<unsigned char> rgb(size_t(offlineFrameWidth()) * size_t(offlineFrameHeight()) * 3);
    int failures = 0;
    if (sequence) {
        // Frames n with from <= n*D/N <= to; those past the end are only reported.
        const long long step = rate.denominator * 1000;
        long long first = firstFrameAtOrAfter(fromMs, rate);
        long long last = toMs * rate.numerator / step;
        long long lastShown = std::min(last, kPresentationEndMs * rate.numerator / step);
        for (long long n = first; n <= lastShown; ++n) {
            long long ms = frameMilliseconds(n, rate);
            if (n == first) {
                renderPlayedThroughFrame(ms, rate);
            } else {
                renderNextFrameAt(ms);
            }
            // A full disk or a vanished folder: the frames after it would fail as well.
            if (!writeFrame(folder, ms, &rgb)) {
                fprintf(stderr, "kestrane-render: stopped after %lld of %lld frames\n", n - first,
                        lastShown - first + 1);
                return 1;
            }
        }
        if (last > lastShown) {
            sayPastTheEnd(frameMilliseconds(std::max(first, lastShown + 1), rate),
                          frameMilliseconds(last, rate));
            ++failures;
        }
    } else {
        for (long long ms : times) {
            if (ms > kPresentationEndMs) {
                sayPastTheEnd(ms, ms);
                ++failures;
                continue;
            }
            renderPlayedThroughFrame(ms, rate);
            if (!writeFrame(folder, ms, &rgb)) ++failures;
        }
    }
    exit(failures == 0 ? 0 : 1);
}
