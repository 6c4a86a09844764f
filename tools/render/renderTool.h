// renderTool.h
// The offline renderer as a library (kestrane_render): its command line, frame writer, video export
// and benchmark. kestrane-render's main and the tests link it.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "director/director.h"
#include "tools/render/frameTiming.h"

// Opens the demo headless (SDL's offscreen driver whatever SDL_VIDEODRIVER says, no audio device,
// caller-driven music clock) on a drawable of width x height: the 4:3 picture drawn natively into
// it, black outside. False after one line on standard error when it cannot be opened or its
// drawable is not exactly width x height (a frame of another size is never written).
bool openOfflineDemo(int width = 800, int height = 600);
// The drawable of the open offline demo.
int offlineFrameWidth();
int offlineFrameHeight();
// Whether the open demo's drawable is width x height; false after one line on standard error.
bool offlineDrawableIs(int width, int height);
// Checks a frame size against what the GL implementation can draw (max viewport and texture
// size): 0 when it fits; 2 after one line and the usage when it is too large; 1 after one line
// when no GL window opens to tell.
int checkFrameLimit(int width, int height);
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
// The first half of renderPlayedThroughFrame: the start-up state put back and the unseen frames
// drawn, so that renderNextFrameAt(ms) then draws the played-through frame.
void playThroughTo(long long ms, FrameRate rate);
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
const int kPresentationEndSeconds = (int)kPresentationEnd;

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
// Whether this build has the video export (Windows builds do not: captureUnavailable.cpp).
extern const bool kVideoExport;
// The benchmark's export line: frames per second of 0-10 s at 60 fps, width x height.
void printExportThroughput(int width, int height);

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

// ---------------------------------------------------------------------------------------------
// The command line (renderArguments.cpp): one parser, one set of rules for every mode.
// ---------------------------------------------------------------------------------------------
enum class RenderMode { Frames, Sequence, Capture, Bench, BenchFrames, StartupProbe, Help };
struct RenderRequest {
    RenderMode mode = RenderMode::Frames;
    std::vector<long long> timesMs;  // --time, in the order given
    long long fromMs = 0;            // --from and --to: a sequence's [A, B], a video's [A, B)
    long long toMs = kPresentationEndMs;
    FrameRate rate = {60, 1};
    int width = 800;  // --size, checked against the GL implementation's limits only later
    int height = 600;
    std::string out;  // the PNG folder or the video file
};
// Reads the arguments into *request: 0 when they make one whole request (or --help), else 2
// after one line on standard error naming what is wrong, then the usage. A time is 0 to 203 s,
// a rate 1 to 1000 fps and a size at least 64x48 (even for a video) in every mode, and an option
// the mode does not use is refused.
int parseRenderArguments(int argc, char** argv, RenderRequest* request);
void printRenderUsage(FILE* stream);
// A request refused as a whole: the line why, then the usage; returns the exit code 2.
int refuseRenderRequest(const char* why);

// ---------------------------------------------------------------------------------------------
// PNG frames (pngFrames.cpp).
// ---------------------------------------------------------------------------------------------
// Draws the request's --time frames or sequence and writes them into request.out; the exit code:
// 0 when every frame was written, 1 otherwise (each failure said on standard error), 128 + signal
// when a stop came: the frame being written is finished first and nothing partial is left.
int runPngFrames(const RenderRequest& request);
// Writes folder/name under a temporary name beside it, synced to the disk, and renames it when
// complete, so the final name only ever holds a whole picture. False with a message, and nothing
// left, on any failure.
bool writePngFile(const std::string& folder, const std::string& name, const unsigned char* rgb, int width,
                  int height);
// mkdir -p: the folder and any missing parents; false with a message when one cannot be made, or
// when the folder takes no new files.
bool prepareFolder(const std::string& folder);
// The file name of the frame at ms: t<seconds>.<milliseconds>.png.
std::string frameName(long long ms);

// ---------------------------------------------------------------------------------------------
// Benchmark.
// ---------------------------------------------------------------------------------------------
// Draws one timed frame of the benchmark: the frame at ms as a run from the start at 60 fps shows
// it (its warm-up drawn and finished before the clock starts), presented and finished. Its wall
// and CPU milliseconds.
void drawBenchmarkFrame(long long ms, double* wallMs, double* cpuMs);
// Frame tables (and the rest unless framesOnly) with the picture drawn into width x height.
int runBenchmark(bool framesOnly, int width = 800, int height = 600);
// Child side of the benchmark's start-up measurement: opens the demo, draws the first frame and
// prints monotonicSeconds() when it is drawn.
int runStartupProbe();
