// renderMain.cpp
// kestrane-render: draws frames of the presentation offline, headless, with the same start-up and
// the same renderFrame as the demo: as PNG files (--time, --from/--to/--fps), as an MP4 video with
// the soundtrack (--capture), or as a benchmark (--bench). The music position is set here, so each
// frame is a pure function of its time: before every frame SpectrumBands holds the spectrum of the
// previous frame's time. Frames of one call are drawn in time order in one GL context.
#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "tools/render/renderTool.h"

namespace {

void printUsage() {
    fprintf(stderr,
            "usage: kestrane-render --time T [--time T ...] --out DIR\n"
            "       kestrane-render --from A --to B --fps N[/D] --out DIR\n"
            "       kestrane-render --capture [--fps N|N/D] [--size WxH] [--from A --to B] [--out FILE]\n"
            "       kestrane-render --bench | --bench-frames [--size WxH]\n"
            "Writes the presented frame of each music time T (seconds) as DIR/t<T>.png.\n"
            "--capture renders the frames n*D/N s of [A, B) (default 60 fps, 0 to 203 s) into an MP4\n"
            "(H.264 and AAC, default kestrane.mp4) with the soundtrack.\n"
            "--size WxH (default 800x600; even numbers for --capture) draws every frame natively at\n"
            "that size: the 4:3 picture as large as fits, centred, black beside or above and below it.\n"
            "--bench prints frame times per schedule window, start-up, memory, export rate and the\n"
            "audio clock; --bench-frames only the frame times.\n");
}

bool writePng(const std::string& path, const unsigned char* rgb, int width, int height) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
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
    return fclose(file) == 0;
}

std::string frameName(long long ms) {
    char name[64];
    snprintf(name, sizeof name, "t%lld.%03lld.png", ms / 1000, ms % 1000);
    return name;
}

bool parseRate(const char* text, long long* numerator, long long* denominator) {
    char* end = nullptr;
    *numerator = strtoll(text, &end, 10);
    *denominator = 1;
    if (*end == '/') *denominator = strtoll(end + 1, &end, 10);
    return *end == '\0' && *numerator > 0 && *denominator > 0;
}

// kestrane-render --capture ...: parses its own options (times exact to the millisecond).
int runCaptureCommand(int argc, char** argv) {
    CaptureOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--capture") continue;
        if (!value) {
            printUsage();
            return 2;
        }
        ++i;
        if (arg == "--fps") {
            if (!parseFrameRate(value, &options.rate)) {
                fprintf(stderr, "kestrane-render: bad frame rate '%s' (use N or N/D, e.g. 60 or 60000/1001)\n", value);
                return 2;
            }
        } else if (arg == "--size") {
            if (!checkFrameSize(value, true, &options.width, &options.height)) return 2;
        } else if (arg == "--from" || arg == "--to") {
            long long ms = 0;
            if (!parseMilliseconds(value, &ms)) {
                fprintf(stderr, "kestrane-render: bad time '%s' (seconds, at most three decimals)\n", value);
                return 2;
            }
            (arg == "--from" ? options.fromMs : options.toMs) = ms;
        } else if (arg == "--out") {
            options.out = value;
        } else {
            printUsage();
            return 2;
        }
    }
    if (options.toMs > kPresentationEndMs) {
        fprintf(stderr, "kestrane-render: --to %.3f is past the end of the presentation (203 s)\n",
                double(options.toMs) / 1000.0);
        return 2;
    }
    if (options.fromMs >= options.toMs) {
        fprintf(stderr, "kestrane-render: --from must be before --to\n");
        return 2;
    }
    if (options.out.empty()) {
        printUsage();
        return 2;
    }
    catchStopSignals();  // a Ctrl+C during start-up still stops the export
    if (!openOfflineDemo(options.width, options.height)) {
        fprintf(stderr, "kestrane-render: cannot open an offscreen GL window\n");
        return 1;
    }
    CaptureResult result;
    return runCapture(options, &result);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--capture") == 0) exit(runCaptureCommand(argc, argv));
        if (strcmp(argv[i], "--startup-probe") == 0) exit(runStartupProbe());
    }
    std::vector<double> times;
    double from = -1, to = -1;
    long long rateN = 0, rateD = 1;
    const char* out = nullptr;
    bool bench = false;
    bool framesOnly = false;
    int width = 800, height = 600;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--time" && hasValue) {
            times.push_back(atof(argv[++i]));
        } else if (arg == "--from" && hasValue) {
            from = atof(argv[++i]);
        } else if (arg == "--to" && hasValue) {
            to = atof(argv[++i]);
        } else if (arg == "--fps" && hasValue) {
            if (!parseRate(argv[++i], &rateN, &rateD)) {
                fprintf(stderr, "kestrane-render: bad frame rate '%s' (use N or N/D)\n", argv[i]);
                return 2;
            }
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg == "--size" && hasValue) {
            if (!checkFrameSize(argv[++i], false, &width, &height)) return 2;
        } else if (arg == "--bench") {
            bench = true;
        } else if (arg == "--bench-frames") {
            bench = framesOnly = true;
        } else {
            printUsage();
            return 2;
        }
    }
    if (bench) return runBenchmark(framesOnly, width, height);
    bool range = rateN > 0 || from >= 0 || to >= 0;
    if (!out || (times.empty() == !range) || (range && (rateN <= 0 || from < 0 || to < from))) {
        printUsage();
        return 2;
    }
    if (mkdir(out, 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "kestrane-render: cannot create %s: %s\n", out, strerror(errno));
        return 1;
    }
    if (!openOfflineDemo(width, height)) {
        fprintf(stderr, "kestrane-render: cannot open an offscreen GL window\n");
        return 1;
    }
    // Frame times in whole milliseconds, with the time of the frame before each (for the spectrum).
    std::vector<long long> frameMs, previousMs;
    if (range) {
        long long first = (long long)std::ceil(from * double(rateN) / double(rateD) - 1e-9);
        long long last = (long long)std::floor(to * double(rateN) / double(rateD) + 1e-9);
        for (long long n = first; n <= last; ++n) {
            frameMs.push_back(n * rateD * 1000 / rateN);
            previousMs.push_back(n > 0 ? (n - 1) * rateD * 1000 / rateN : 0);
        }
    } else {
        for (double t : times) {
            long long ms = llround(t * 1000.0);
            frameMs.push_back(ms);
            previousMs.push_back(std::max(0LL, llround(t * 1000.0 - 1000.0 / 60.0)));
        }
    }
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    int failures = 0;
    for (size_t i = 0; i < frameMs.size(); ++i) {
        std::string path = std::string(out) + "/" + frameName(frameMs[i]);
        if (!renderFrameAt(frameMs[i], previousMs[i])) {
            fprintf(stderr, "kestrane-render: %.3f s is past the end of the presentation (203 s); nothing written\n",
                    frameMs[i] / 1000.0);
            ++failures;
            continue;
        }
        readFrame(rgb.data());
        platformSwapBuffers();
        if (!writePng(path, rgb.data(), width, height)) {
            fprintf(stderr, "kestrane-render: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    exit(failures == 0 ? 0 : 1);
}
