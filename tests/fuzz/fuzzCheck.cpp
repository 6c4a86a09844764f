// fuzzCheck.cpp
// The failure path of FUZZ_CHECK: one line on standard error, then abort, which libFuzzer and the
// replay driver both report as a crash of the current input.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzzTarget.h"

void fuzzCheckFailed(const char* condition, const char* file, int line) {
    fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    fflush(stderr);
    abort();
}
