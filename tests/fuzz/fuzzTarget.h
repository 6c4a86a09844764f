// fuzzTarget.h
// The entry point every fuzz target defines. libFuzzer calls it in the fuzz build; the replay
// driver calls it on each corpus file in the normal build. A target aborts on a broken promise.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Stops the process with a message naming the promise that did not hold.
#define FUZZ_CHECK(condition)                                              \
    do {                                                                   \
        if (!(condition)) fuzzCheckFailed(#condition, __FILE__, __LINE__); \
    } while (0)
[[noreturn]] void fuzzCheckFailed(const char* condition, const char* file, int line);
