// commandLine.cpp
// The demo's few arguments: --fullscreen or --window answer the start question in advance (for
// launchers, compo machines and scripts), --help and --version print and end. No argument asks.
#include <cstdio>
#include <cstring>

#include "app/app.h"

#ifndef KESTRANE_VERSION
#define KESTRANE_VERSION "1.0"
#endif

namespace {

const char* const kUsage =
    "Usage: kestrane [--fullscreen | --window | --help | --version]\n"
    "Plays the Kestrane demo. Without an option it asks whether to run full screen.\n"
    "  --fullscreen  run full screen without asking\n"
    "  --window      run in a window without asking\n"
    "  --help        print this help and exit\n"
    "  --version     print the version and exit\n"
    "Keys: Escape quits, M and N jump the music one second forward and back, F1 switches between\n"
    "full screen and a window.\n";

}  // namespace

StartMode readCommandLine(int argc, char** argv, int* exitCode) {
    *exitCode = 0;
    if (argc <= 1) return START_ASK;
    const char* option = argv[1];
    if (argc == 2 && strcmp(option, "--fullscreen") == 0) return START_FULLSCREEN;
    if (argc == 2 && strcmp(option, "--window") == 0) return START_WINDOW;
    if (argc == 2 && strcmp(option, "--help") == 0) {
        fputs(kUsage, stdout);
        return START_EXIT;
    }
    if (argc == 2 && strcmp(option, "--version") == 0) {
        printf("kestrane %s\n", KESTRANE_VERSION);
        return START_EXIT;
    }
    if (argc == 2) {
        fprintf(stderr, "kestrane: unknown option '%s'\n", option);
    } else {
        fprintf(stderr, "kestrane: expected at most one option\n");
    }
    fputs(kUsage, stderr);
    *exitCode = 2;
    return START_EXIT;
}
