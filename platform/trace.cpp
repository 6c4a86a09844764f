// trace.cpp
// The trace's level, its lines, and the record of events that the audio threads leave for the main
// thread: a mutex-guarded ring of 32 entries that the writer never waits on for output.
#include "platform/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::atomic<int> level{-1};  // -1: KESTRANE_TRACE not read yet

struct Recorded {
    TraceEvent event;
    double a;
    double b;
    char text[128];
};
const int kRoom = 32;
std::mutex recordLock;  // guards the ring below; held only to copy an entry in or out
Recorded ring[kRoom];
int first = 0;  // oldest entry
int count = 0;
long dropped = 0;

}  // namespace

TraceLevel traceLevel() {
    int now = level.load(std::memory_order_relaxed);
    if (now < 0) {
        const char* value = getenv("KESTRANE_TRACE");
        now = !value ? TRACE_OFF : strcmp(value, "frames") == 0 ? TRACE_FRAMES : TRACE_ON;
        level.store(now, std::memory_order_relaxed);
    }
    return TraceLevel(now);
}

void traceSetLevel(TraceLevel to) { level.store(to); }

void traceLine(const char* format, ...) {
    if (!tracing()) return;
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    fprintf(stderr, "kestrane-trace: %s\n", text);
}

void traceRecord(TraceEvent event, double a, double b, const char* text) {
    if (!tracing()) return;
    std::lock_guard<std::mutex> guard(recordLock);
    if (count == kRoom) {
        ++dropped;
        return;
    }
    Recorded& entry = ring[(first + count) % kRoom];
    entry.event = event;
    entry.a = a;
    entry.b = b;
    size_t length = text ? strnlen(text, sizeof entry.text - 1) : 0;
    if (length) memcpy(entry.text, text, length);
    entry.text[length] = '\0';
    ++count;
}

void traceFlushEvents() {
    for (;;) {
        Recorded entry = {};
        long lost = 0;
        {
            std::lock_guard<std::mutex> guard(recordLock);
            if (count == 0 && dropped == 0) return;
            if (count == 0) {
                lost = dropped;
                dropped = 0;
            } else {
                entry = ring[first];
                first = (first + 1) % kRoom;
                --count;
            }
        }
        if (lost) {
            traceLine("%ld audio events not recorded (the record was full)", lost);
            continue;
        }
        switch (entry.event) {
        case TRACE_OUTPUT_LOST:
            traceLine("sound device lost at %.3f s of music (%s); silent clock from there", entry.a,
                      entry.text);
            break;
        case TRACE_OUTPUT_BACK:
            traceLine("sound device back at %.3f s of music; playing from %.3f s", entry.a, entry.b);
            break;
        case TRACE_STREAM_MOVED:
            traceLine("music stream moved to %s", entry.text);
            break;
        }
    }
}
