// pageMain.cpp
// The browser page's program. The page (page.js) calls it once its data has loaded and the start
// screen was answered: with --fullscreen or --window, the presentation as on a desktop; with
// --time SECONDS, the frame at that music time as `kestrane-render --time` draws it (a run played
// from the start at 60 fps), drawn once at the canvas's size and handed to the page as a picture;
// with --bench-frames, the renderer's frame times per schedule window at the canvas's size.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/page.h"
#include "platform/platform.h"
#include "tools/render/renderTool.h"

namespace {

int drawOfflineFrame(const char* seconds) {
    long long ms = 0;
    if (!parseMilliseconds(seconds, &ms) || ms > kPresentationEndMs) {
        fprintf(stderr, "kestrane: time '%s' is not a time from 0 to %d seconds\n", seconds,
                kPresentationEndSeconds);
        return 2;
    }
    audioSetOffline(true);
    isFullscreen = false;
    if (!openDisplayWindow(kWindowTitle, 800, 600, 32, false)) return 1;
    keepStartupState();
    renderPlayedThroughFrame(ms, FrameRate{60, 1});
    std::vector<unsigned char> rgb(size_t(offlineFrameWidth()) * size_t(offlineFrameHeight()) * 3);
    readFrame(rgb.data());
    pagePublishFrame(rgb.data(), offlineFrameWidth(), offlineFrameHeight());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    findDataFolder("kestrane", false);
    if (argc == 3 && strcmp(argv[1], "--time") == 0) return drawOfflineFrame(argv[2]);
    if (argc == 2 && strcmp(argv[1], "--bench-frames") == 0) {
        int width = 0, height = 0;
        pageFitCanvas(&width, &height);  // the size the page gives the canvas
        return runBenchmark(true, width, height);
    }
    return runDemo(argc, argv);
}
