// trace.h
// KESTRANE_TRACE: diagnostic lines on standard error ("kestrane-trace: ..."), read by the tests and
// by long runs. The variable is read once; "frames" adds a line per frame. Threads that must not
// format text (the audio callbacks) record an event instead, which the main thread prints later.
#pragma once

enum TraceLevel { TRACE_OFF, TRACE_ON, TRACE_FRAMES };

TraceLevel traceLevel();  // KESTRANE_TRACE as read at the first call
inline bool tracing() { return traceLevel() != TRACE_OFF; }
void traceSetLevel(TraceLevel level);  // for tests: as if KESTRANE_TRACE had said so

// One line, "kestrane-trace: " and the text, when tracing. Main thread (or any thread that may
// block on standard error).
void traceLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Events of the audio threads, kept unformatted in a small fixed record.
enum TraceEvent {
    TRACE_OUTPUT_LOST,   // a: music seconds reached; text: why
    TRACE_OUTPUT_BACK,   // a: music seconds heard; b: music seconds played from
    TRACE_STREAM_MOVED,  // text: the new device
};
// Safe on an audio callback: no formatting, no allocation, no output; text is copied (cut at 127
// characters). Nothing is kept when not tracing; events beyond the record's room are counted.
void traceRecord(TraceEvent event, double a, double b, const char* text);
// Prints the recorded events in order (main thread: where the music position is read).
void traceFlushEvents();
