// renderMain.cpp
// kestrane-render: draws frames of the presentation offline, headless, with the same start-up and
// the same renderFrame as the demo. The music position is set here, so each frame is a pure
// function of its time: before every frame SpectrumBands holds the spectrum of the previous
// frame's time. Frames of one call are drawn in time order in one GL context.
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
            "       kestrane-render --bench\n"
            "Writes the presented 800x600 frame of each music time T (seconds) as DIR/t<T>.png.\n");
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

}  // namespace

bool openOfflineDemo() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    audioSetOffline(true);
    isFullscreen = false;
    return openDisplayWindow("Vel - Kestrane", 800, 600, 32, false);
}

int renderFrameAt(long long ms, long long previousMs) {
    audioSetOfflineTimeMs(previousMs);
    memcpy(SpectrumBands, musicSpectrum(), sizeof SpectrumBands);
    audioSetOfflineTimeMs(ms);
    return renderFrame();
}

void readFrame(unsigned char* rgb) {
    static std::vector<unsigned char> flipped(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, flipped.data());
    for (int y = 0; y < 600; ++y) memcpy(rgb + size_t(y) * 2400, flipped.data() + size_t(599 - y) * 2400, 2400);
}

bool parseRate(const char* text, long long* numerator, long long* denominator) {
    char* end = nullptr;
    *numerator = strtoll(text, &end, 10);
    *denominator = 1;
    if (*end == '/') *denominator = strtoll(end + 1, &end, 10);
    return *end == '\0' && *numerator > 0 && *denominator > 0;
}

int main(int argc, char** argv) {
    std::vector<double> times;
    double from = -1, to = -1;
    long long rateN = 0, rateD = 1;
    const char* out = nullptr;
    bool bench = false;
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
        } else if (arg == "--bench") {
            bench = true;
        } else {
            printUsage();
            return 2;
        }
    }
    if (bench) return runBenchmark();
    bool range = rateN > 0 || from >= 0 || to >= 0;
    if (!out || (times.empty() == !range) || (range && (rateN <= 0 || from < 0 || to < from))) {
        printUsage();
        return 2;
    }
    if (mkdir(out, 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "kestrane-render: cannot create %s: %s\n", out, strerror(errno));
        return 1;
    }
    if (!openOfflineDemo()) {
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
    std::vector<unsigned char> rgb(800 * 600 * 3);
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
        if (!writePng(path, rgb.data(), 800, 600)) {
            fprintf(stderr, "kestrane-render: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    exit(failures == 0 ? 0 : 1);
}
