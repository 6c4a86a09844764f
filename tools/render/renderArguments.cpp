// renderArguments.cpp
// kestrane-render's command line: one parser for the PNG, video and benchmark modes, with one set
// of rules. Every value is checked the same way whatever the mode; options a mode does not use are
// refused rather than ignored. A refusal is one line on standard error, the usage, and exit code 2.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/render/renderTool.h"

namespace {

// Both name the presentation's end, kPresentationEnd (whole seconds).
const char* const kTimeExpected = "seconds from 0 to %d as a decimal number, at most three decimals";
const char* const kPastTheEnd = "past the end of the presentation, %d s";
const char* const kRateExpected = "frames per second N or N/D, whole numbers, 1 to 1000 fps";

// A refused value: one line naming the option and its value, then the usage; the exit code 2.
// expected may hold one %d: the presentation's end in whole seconds.
int refuse(const char* option, const char* value, const char* expected) {
    char why[160];
    snprintf(why, sizeof why, expected, kPresentationEndSeconds);
    fprintf(stderr, "kestrane-render: bad %s '%s' (%s)\n", option, value, why);
    printRenderUsage(stderr);
    return 2;
}

// The options given, before the mode decides which of them make sense.
struct GivenOptions {
    bool capture = false, bench = false, benchFrames = false, startupProbe = false;
    bool from = false, to = false, rate = false, size = false, out = false;
    std::string sizeText;
};

// Reads one option's value into *request; 0, or 2 after the refusal.
int readValue(const std::string& option, const char* value, RenderRequest* request, GivenOptions* given) {
    if (option == "--time" || option == "--from" || option == "--to") {
        long long ms = 0;
        if (!parseMilliseconds(value, &ms)) return refuse(option.c_str(), value, kTimeExpected);
        if (ms > kPresentationEndMs) return refuse(option.c_str(), value, kPastTheEnd);
        if (option == "--time") {
            request->timesMs.push_back(ms);
        } else if (option == "--from") {
            request->fromMs = ms;
            given->from = true;
        } else {
            request->toMs = ms;
            given->to = true;
        }
    } else if (option == "--fps") {
        if (!parseFrameRate(value, &request->rate)) return refuse("--fps", value, kRateExpected);
        given->rate = true;
    } else if (option == "--size") {
        given->sizeText = value;  // checked once the mode is known (a video needs even numbers)
        given->size = true;
    } else {
        if (!*value) return refuse("--out", value, "a file or folder name");
        request->out = value;
        given->out = true;
    }
    return 0;
}

// The mode from the flags given; 0, or 2 after the refusal.
int chooseMode(const GivenOptions& given, RenderRequest* request) {
    const int modes = int(given.capture) + int(given.bench || given.benchFrames) + int(given.startupProbe);
    if (modes > 1) return refuseRenderRequest("--capture, --bench and --bench-frames go alone");
    const bool anyFrames = !request->timesMs.empty() || given.from || given.to;
    if (given.startupProbe) {
        request->mode = RenderMode::StartupProbe;
    } else if (given.bench || given.benchFrames) {
        if (anyFrames || given.rate || given.out) return refuseRenderRequest("--bench takes only --size");
        request->mode = given.benchFrames ? RenderMode::BenchFrames : RenderMode::Bench;
    } else if (given.capture) {
        if (!request->timesMs.empty())
            return refuseRenderRequest("--capture takes --from and --to, not --time");
        if (request->fromMs >= request->toMs) return refuseRenderRequest("--from must be before --to");
        const FrameSpan span = frameSpan(request->fromMs, request->toMs, request->rate);
        if (span.end <= span.first)
            return refuseRenderRequest("no frame of this rate lies between --from and --to");
        if (!given.out) request->out = "kestrane.mp4";
        request->mode = RenderMode::Capture;
    } else {
        const bool sequence = given.from || given.to;
        if (!anyFrames) return refuseRenderRequest("no frame asked for: give --time, or --from and --to");
        if (!request->timesMs.empty() && sequence) {
            return refuseRenderRequest("--time cannot be combined with --from and --to");
        }
        if (sequence && !(given.from && given.to)) return refuseRenderRequest("--from and --to go together");
        if (sequence && !given.rate) return refuseRenderRequest("a sequence needs --fps");
        if (sequence && request->fromMs > request->toMs)
            return refuseRenderRequest("--from must not be after --to");
        if (sequence && firstFrameAtOrAfter(request->fromMs, request->rate) >
                            lastFrameAtOrBefore(request->toMs, request->rate)) {
            return refuseRenderRequest("no frame of this rate lies between --from and --to");
        }
        if (!given.out) return refuseRenderRequest("no output folder: give --out DIR");
        request->mode = sequence ? RenderMode::Sequence : RenderMode::Frames;
    }
    return 0;
}

}  // namespace

void printRenderUsage(FILE* stream) {
    fprintf(stream,
            "usage: kestrane-render --time T [--time T ...] [--fps N|N/D] [--size WxH] --out DIR\n"
            "       kestrane-render --from A --to B --fps N|N/D [--size WxH] --out DIR\n"
            "       kestrane-render --capture [--fps N|N/D] [--size WxH] [--from A --to B] [--out FILE]\n"
            "       kestrane-render --bench | --bench-frames [--size WxH]\n"
            "A frame at time T is the presented frame the demo shows at music time T (seconds,\n"
            "0 to %d, at most three decimals) when played from the start without seeking at the call's\n"
            "frame rate: --fps for sequences and videos, 60 fps for --time unless --fps is given. The\n"
            "clear colour, fog range, glitch value and spectrum that earlier frames leave are those of\n"
            "such a run, whatever order the times come in.\n"
            "PNG frames are written as DIR/t<T>.png (DIR is created), each frame n*D/N s of [A, B] for a\n"
            "sequence. Rates N/D are whole numbers, 1 to 1000 fps.\n"
            "--capture renders the frames n*D/N s of [A, B) (default 60 fps, 0 to %d s) into an MP4\n"
            "(H.264 and AAC, default kestrane.mp4) with the soundtrack.\n"
            "--size WxH (default 800x600; even numbers for --capture) draws every frame natively at\n"
            "that size: the 4:3 picture as large as fits, centred, black beside or above and below it.\n"
            "--bench prints frame times per schedule window, start-up, memory, export rate and the\n"
            "audio clock; --bench-frames only the frame times.\n"
            "Bad arguments exit with status 2 before anything is made.\n",
            kPresentationEndSeconds, kPresentationEndSeconds);
    if (!kVideoExport) {
        fprintf(stream,
                "This build has no video export: --capture exits with status 1, and --bench measures no\n"
                "export. Render a sequence of PNG frames and encode it with a program of your choice.\n");
    }
}

int refuseRenderRequest(const char* why) {
    fprintf(stderr, "kestrane-render: %s\n", why);
    printRenderUsage(stderr);
    return 2;
}

int parseRenderArguments(int argc, char** argv, RenderRequest* request) {
    *request = RenderRequest();
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            request->mode = RenderMode::Help;
            return 0;
        }
    }
    GivenOptions given;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--capture") {
            given.capture = true;
        } else if (arg == "--bench") {
            given.bench = true;
        } else if (arg == "--bench-frames") {
            given.benchFrames = true;
        } else if (arg == "--startup-probe") {  // the benchmark's own child process
            given.startupProbe = true;
        } else if (arg == "--time" || arg == "--from" || arg == "--to" || arg == "--fps" || arg == "--size" ||
                   arg == "--out") {
            if (i + 1 >= argc) return refuseRenderRequest((arg + " needs a value").c_str());
            if (int refused = readValue(arg, argv[++i], request, &given)) return refused;
        } else {
            return refuse("argument", argv[i], "not an option");
        }
    }
    if (int refused = chooseMode(given, request)) return refused;
    if (given.size) {
        const bool even = request->mode == RenderMode::Capture;
        if (!parseFrameSize(given.sizeText.c_str(), &request->width, &request->height, even)) {
            return refuse("--size", given.sizeText.c_str(),
                          even ? "WxH with even numbers, at least 64x48, e.g. 1920x1080"
                               : "WxH, at least 64x48, e.g. 1920x1080");
        }
    }
    return 0;
}
