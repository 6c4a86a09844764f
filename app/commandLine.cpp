// commandLine.cpp
// The demo's few arguments: --fullscreen or --window answer the start question in advance (for
// launchers, compo machines and scripts), --vsync chooses how frames wait for the display, --help
// and --version print and end. Without a start mode the question is asked.
#include <cstdio>
#include <cstring>

#include "app/app.h"

#ifndef KESTRANE_VERSION
#define KESTRANE_VERSION "1.0"
#endif

namespace {

const char* const kUsage =
    "Usage: kestrane [--fullscreen | --window] [--vsync on|off|adaptive] | --help | --version\n"
    "Plays the Kestrane demo. Without --fullscreen or --window it asks whether to run full screen.\n"
    "  --fullscreen  run full screen without asking\n"
    "  --window      run in a window without asking\n"
    "  --vsync MODE  wait for the display's refresh: adaptive (the default: a late frame is shown at\n"
    "                once instead of a refresh later; on where the driver has no adaptive mode), on,\n"
    "                or off (as fast as it draws, tearing)\n"
    "  --help        print this help and exit\n"
    "  --version     print the version and exit\n"
    "Keys: Escape quits, M and N jump the music one second forward and back, F1 switches between\n"
    "full screen and a window.\n";

bool readVsync(const char* text, VsyncMode* mode) {
    if (!text) return false;
    if (strcmp(text, "adaptive") == 0)
        *mode = VSYNC_ADAPTIVE;
    else if (strcmp(text, "on") == 0)
        *mode = VSYNC_ON;
    else if (strcmp(text, "off") == 0)
        *mode = VSYNC_OFF;
    else
        return false;
    return true;
}

StartMode refuse(const char* what, const char* option, int* exitCode) {
    fprintf(stderr, "kestrane: %s '%s'\n", what, option);
    fputs(kUsage, stderr);
    *exitCode = 2;
    return START_EXIT;
}

}  // namespace

VsyncMode vsyncMode = VSYNC_ADAPTIVE;

StartMode readCommandLine(int argc, char** argv, int* exitCode) {
    *exitCode = 0;
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(kUsage, stdout);
        return START_EXIT;
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("kestrane %s\n", KESTRANE_VERSION);
        return START_EXIT;
    }
    StartMode mode = START_ASK;
    bool vsyncGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (strcmp(option, "--fullscreen") == 0 || strcmp(option, "--window") == 0) {
            if (mode != START_ASK) return refuse("a second start mode", option, exitCode);
            mode = option[2] == 'f' ? START_FULLSCREEN : START_WINDOW;
        } else if (strcmp(option, "--vsync") == 0) {
            if (vsyncGiven) return refuse("a second", option, exitCode);
            if (!readVsync(i + 1 < argc ? argv[i + 1] : nullptr, &vsyncMode))
                return refuse("--vsync takes on, off or adaptive, not", i + 1 < argc ? argv[i + 1] : "",
                              exitCode);
            vsyncGiven = true;
            ++i;
        } else {
            return refuse("unknown option", option, exitCode);
        }
    }
    return mode;
}
