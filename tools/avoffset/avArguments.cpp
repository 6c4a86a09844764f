// avArguments.cpp
// kestrane-avoffset's positional arguments, read strictly: a count other than 10 to 12, or any
// number that is not wholly a number in its range, is refused with one line and exit code 2.
#include <cstdio>
#include <string>

#include "tools/avoffset/avAnalysis.h"
#include "tools/soundcheck/recordingInput.h"

const char* const kAvOffsetUsage =
    "usage: kestrane-avoffset VIDEO.gray WIDTH HEIGHT FRAME_TIMES SOUND.raw SOUND_START SPLIT[:RESUME] "
    "MUSIC.mp3 REFERENCE_DIR TOP [SHOWN_LATE_MS [CLICKS]]";

namespace {

const char* const kProgram = "kestrane-avoffset";
const char* const kSeconds = "seconds, a plain decimal number";

bool wholeArgument(const char* text, long long min, long long max, int* value) {
    long long n = 0;
    if (!parseWholeArgument(text, min, max, &n)) return false;
    *value = int(n);
    return true;
}

// SPLIT or SPLIT:RESUME, with RESUME after SPLIT.
bool splitArgument(const char* text, double* split, double* resume) {
    const std::string value = text;
    const size_t colon = value.find(':');
    if (!parseDecimalArgument(value.substr(0, colon).c_str(), -1e12, 1e12, split)) return false;
    if (colon == std::string::npos) return true;
    return parseDecimalArgument(value.substr(colon + 1).c_str(), -1e12, 1e12, resume) && *resume > *split;
}

}  // namespace

int parseAvOffsetArguments(int argc, char** argv, AvOffsetOptions* o) {
    *o = AvOffsetOptions();
    if (argc < 11 || argc > 13) {
        fprintf(stderr, "%s: expected 10 to 12 arguments, got %d\n%s\n", kProgram, argc - 1, kAvOffsetUsage);
        return 2;
    }
    o->video = argv[1];
    o->frameTimes = argv[4];
    o->sound = argv[5];
    o->music = argv[8];
    o->referenceDir = argv[9];
    if (!wholeArgument(argv[2], 1, 16384, &o->width))
        return refuseArgument(kProgram, "WIDTH", argv[2], "pixels, a whole number from 1 to 16384",
                              kAvOffsetUsage);
    if (!wholeArgument(argv[3], 1, 16384, &o->height))
        return refuseArgument(kProgram, "HEIGHT", argv[3], "rows, a whole number from 1 to 16384",
                              kAvOffsetUsage);
    if (!parseDecimalArgument(argv[6], -1e12, 1e12, &o->soundStart))
        return refuseArgument(kProgram, "SOUND_START", argv[6], kSeconds, kAvOffsetUsage);
    if (!splitArgument(argv[7], &o->split, &o->resume))
        return refuseArgument(kProgram, "SPLIT[:RESUME]", argv[7], "seconds, RESUME after SPLIT",
                              kAvOffsetUsage);
    if (!wholeArgument(argv[10], 0, 65536, &o->top))
        return refuseArgument(kProgram, "TOP", argv[10], "a row, a whole number from 0 to 65536",
                              kAvOffsetUsage);
    if (argc > 11) {
        double ms = 0;
        if (!parseDecimalArgument(argv[11], -10000, 10000, &ms))
            return refuseArgument(kProgram, "SHOWN_LATE_MS", argv[11], "milliseconds from -10000 to 10000",
                                  kAvOffsetUsage);
        o->shownLate = ms / 1000.0;
    }
    if (argc > 12 && !wholeArgument(argv[12], 1, 1000, &o->clicks))
        return refuseArgument(kProgram, "CLICKS", argv[12], "a whole number from 1 to 1000", kAvOffsetUsage);
    return 0;
}
