// renderTool.h
// Pieces of the offline renderer shared by its frame writer, its video export and its benchmark.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>

#include "director/director.h"
#include "tools/render/frameTiming.h"

// Opens the demo headless (offscreen window, no audio device, caller-driven music clock) on a
// drawable of width x height: the 4:3 picture drawn natively into it, black outside.
bool openOfflineDemo(int width = 800, int height = 600);
// The drawable of the open offline demo.
int offlineFrameWidth();
int offlineFrameHeight();
// Parses a --size value and checks it against what the GL implementation can draw (max viewport
// and texture size); false after one line on standard error saying why.
bool checkFrameSize(const char* text, bool even, int* width, int* height);
// Draws the frame of music time ms, with the spectrum of previousMs; renderFrame's result.
int renderFrameAt(long long ms, long long previousMs);
// Draws the frame of music time ms right after the frame drawn before it: renderFrame has already
// left that frame's spectrum in SpectrumBands, so nothing is computed twice.
int renderNextFrameAt(long long ms);

// Frames of a run played from the start (playedThrough.cpp). keepStartupState reads the start-up
// values of the state that frames carry; openOfflineDemo calls it.
void keepStartupState();
// Draws the frame at music time ms as a run from the start at `rate` shows it: the start-up state
// put back, then at most kMaxWarmUpFrames unseen frames of that run (the last to set each piece of
// carried state, the frame before ms always among them). renderFrame's result for ms.
int renderPlayedThroughFrame(long long ms, FrameRate rate);
const int kMaxWarmUpFrames = 4;
// The unseen frames' times in drawing order; their count.
int planWarmUp(long long ms, FrameRate rate, long long* frames);
// Reads the whole back buffer (offlineFrameWidth x offlineFrameHeight) as RGB rows, top row first.
void readFrame(unsigned char* rgb);
// Seconds on a clock shared by every process of the machine (for start-up timing across exec).
double monotonicSeconds();

// ---------------------------------------------------------------------------------------------
// Video export.
// ---------------------------------------------------------------------------------------------
const long long kPresentationEndMs = (long long)(kPresentationEnd * 1000.0f);

struct CaptureOptions {
    FrameRate rate = {60, 1};
    long long fromMs = 0;
    long long toMs = kPresentationEndMs;
    int width = 800;  // the frame size, drawn natively (the picture fitted, black outside)
    int height = 600;
    std::string out = "kestrane.mp4";
    bool quiet = false;  // no progress bar (the benchmark)
};
struct CaptureResult {
    long long frames = 0;
    double seconds = 0;  // from the first frame to the finished file
};
// Renders the frames of [fromMs, toMs) into ffmpeg and writes the MP4 with the soundtrack. The demo
// must be open. Returns the process exit code: 0 written, 1 failed, 128 + signal when interrupted;
// on any failure nothing is left under options.out or beside it.
int runCapture(const CaptureOptions& options, CaptureResult* result);

// Ctrl+C, kill and a closed terminal only set a flag that the export acts on (and a write to a dead
// ffmpeg fails instead of killing the process). Nested calls are counted; the last release restores
// the handlers found by the first catch. Catching before the demo opens keeps SDL from taking them.
void catchStopSignals();
void releaseStopSignals();

// Writes samples [firstSample, endSample) of the music as a 16-bit stereo WAV file at kSampleRate:
// our own decode of the same MP3 the clock plays, silence past its end. A missing or undecodable music
// file gives silence (and *hasMusic false). False when the file cannot be written.
bool writeSoundtrackWav(const char* path, long long firstSample, long long endSample, bool* hasMusic);

// A running ffmpeg that encodes raw rgb24 frames of the capture's size and the WAV into an MP4.
struct EncoderProcess {
    int pid = -1;
    int input = -1;  // the pipe into its standard input
};
// Starts ffmpeg; false with a message when it cannot be run.
bool startEncoder(EncoderProcess* encoder, const CaptureOptions& options, const char* wavPath,
                  const char* mp4Path);
// Writes one frame; false when ffmpeg has stopped reading or *stop was set by a signal handler.
bool writeEncoderFrame(EncoderProcess* encoder, const unsigned char* rgb, size_t bytes,
                       const volatile sig_atomic_t* stop);
// Closes the pipe and waits; ffmpeg's exit status (0 success), or -1 when it died by a signal.
// When *stop is set by a signal meanwhile, ffmpeg is killed instead of waited for.
int finishEncoder(EncoderProcess* encoder, const volatile sig_atomic_t* stop);
// Stops ffmpeg at once and reaps it.
void killEncoder(EncoderProcess* encoder);

// Progress on standard error: a bar redrawn in place on a terminal, a line per tenth otherwise.
struct ProgressBar {
    long long total = 0;
    double startSeconds = 0;
    double lastDrawSeconds = -1;
    int lastTenth = -1;
    bool terminal = false;
};
void startProgress(ProgressBar* bar, long long total);
void updateProgress(ProgressBar* bar, long long done);
void finishProgress(ProgressBar* bar, long long done, const char* what);

// Frame tables (and the rest unless framesOnly) with the picture drawn into width x height.
int runBenchmark(bool framesOnly, int width = 800, int height = 600);
// Child side of the benchmark's start-up measurement: opens the demo, draws the first frame and
// prints monotonicSeconds() when it is drawn.
int runStartupProbe();
