// renderMain.cpp
// kestrane-render: draws frames of the presentation offline, headless, with the same start-up and
// the same renderFrame as the demo: as PNG files (--time, --from/--to/--fps), as an MP4 video with
// the soundtrack (--capture), or as a benchmark (--bench). Only the entry point lives here; the
// renderer itself is the kestrane_render library (tools/render).
#include <cstdio>
#include <cstdlib>

#include "assets/assets.h"
#include "tools/render/renderTool.h"

int main(int argc, char** argv) {
    RenderRequest request;
    if (int refused = parseRenderArguments(argc, argv, &request)) return refused;
    if (request.mode == RenderMode::Help) {
        printRenderUsage(stdout);
        return 0;
    }
    if (request.width != 800 || request.height != 600) {
        if (int refused = checkFrameLimit(request.width, request.height)) return refused;
    }
    if (!findDataFolder("kestrane-render", true)) exit(1);  // no frame without the data
    if (request.mode == RenderMode::StartupProbe) exit(runStartupProbe());
    switch (request.mode) {
    case RenderMode::Capture: {
        catchStopSignals();  // a Ctrl+C during start-up still stops the export
        if (!openOfflineDemo(request.width, request.height)) exit(1);
        CaptureOptions options;
        options.rate = request.rate;
        options.fromMs = request.fromMs;
        options.toMs = request.toMs;
        options.width = request.width;
        options.height = request.height;
        options.out = request.out;
        CaptureResult result;
        exit(runCapture(options, &result));
    }
    case RenderMode::Bench:
    case RenderMode::BenchFrames:
        exit(runBenchmark(request.mode == RenderMode::BenchFrames, request.width, request.height));
    default:
        exit(runPngFrames(request));
    }
}
