// benchmark.cpp
// kestrane-render --bench: frame times per schedule window (placeholder until measured).
#include <cstdio>

#include "tools/render/renderTool.h"

int runBenchmark() {
    fprintf(stderr, "kestrane-render: --bench is not available in this build\n");
    return 1;
}
