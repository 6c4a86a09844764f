// captureUnavailable.cpp
// The video export where it is left out (Windows, which has no ffmpeg to feed through a pipe):
// --capture says so and fails, and the benchmark measures no export. PNG frames work everywhere.
#include <cstdio>

#include "platform/platform.h"
#include "tools/render/renderTool.h"

const bool kVideoExport = false;

void catchStopSignals() { platformCatchStopSignals(); }

void releaseStopSignals() { platformReleaseStopSignals(); }

int runCapture(const CaptureOptions&, CaptureResult* result) {
    *result = CaptureResult();
    fprintf(stderr,
            "kestrane-render: this build has no video export; render PNG frames (--from, --to, --fps) "
            "and encode them with a program of your choice\n");
    return 1;
}

void printExportThroughput(int, int) { printf("export: not measured (this build has no video export)\n"); }
