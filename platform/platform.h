// platform.h
// The only interface between the portable program and the system: window and GL context, events,
// message boxes, audio device and music stream, spectrum, PNG decoding and ticks. Everything here is
// implemented over SDL2, libmpg123, kissfft and libpng; no other folder includes their headers.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---------------------------------------------------------------------------------------------
// Message boxes. Styles and answers keep the values of the Windows constants the callers name.
// ---------------------------------------------------------------------------------------------
// Where <windows.h> came first (the Windows side of platform/, GL headers), its macros already give
// these names the same values.
#ifndef MB_OK
enum : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum { IDOK = 1, IDYES = 6, IDNO = 7 };
#endif
// platformMessageBox's answer when no box could be shown at all.
const int BOX_NOT_SHOWN = -1;

// Key codes: Windows virtual-key codes, which window events carry. Letters and digits are their
// upper-case ASCII codes ('A', '0'); the other keys translated are named here.
#ifndef VK_ESCAPE
enum {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_F1 = 0x70,  // F2 to F12 follow on
};
#endif
enum { VK_M = 0x4D, VK_N = 0x4E };

// Shows a modal box; Yes (or OK) is the Return-key default, No the Escape-key one. When no box can
// be shown the text goes to standard error and BOX_NOT_SHOWN is returned, which callers treat as
// "any other answer". In a Wayland session SDL shows boxes through the zenity program.
int platformMessageBox(const char* text, const char* caption, unsigned style);

// A stop (below) while a box is open ends the process at once, the box with it; platformMessageBox
// returns 0 without a box when a stop was asked for before it.

// ---------------------------------------------------------------------------------------------
// SIGTERM and SIGINT end the demo with exit code 0 (platform/stopSignalsLinux.cpp). Until the
// watcher runs, and while a message box is open, a stop ends the process at once; otherwise the
// loop ends on the next turn, and a process that has not ended half a second later exits by itself
// (start-up that is still loading, say).
// ---------------------------------------------------------------------------------------------
void platformWatchStopSignals();
// Starts the thread that acts on a stop once the start question is answered.
void platformStartStopWatcher();
bool platformStopRequested();

// Tools (the renderer's export): SIGINT, SIGTERM and SIGHUP only set a flag while caught, without
// restarting the call they interrupt, and SIGPIPE is ignored. Calls nest; the last release puts
// back what was there before.
void platformCatchStopSignals();
void platformReleaseStopSignals();
// The signal caught (0: none yet); it stays set.
const volatile sig_atomic_t* platformCaughtStopSignal();

// ---------------------------------------------------------------------------------------------
// Window and GL context (one window at a time).
// ---------------------------------------------------------------------------------------------
bool platformInitVideo();  // stands in for registering the window class
// SDL's video driver for the environment (values of SDL_VIDEODRIVER and WAYLAND_DISPLAY, null when
// unset): SDL_VIDEODRIVER set wins; a Wayland session tries wayland first and x11 when that cannot
// start; otherwise SDL chooses. first null: SDL's own choice. reason: for the trace.
struct VideoDriverChoice {
    const char* first;
    const char* fallback;
    const char* reason;
};
VideoDriverChoice chooseVideoDriver(const char* sdlVideoDriver, const char* waylandDisplay);
bool initVideoDriver();  // initialises SDL's video as chosen; says which driver under KESTRANE_TRACE
// Before platformInitVideo: windows are drawn into without ever being shown, at exactly the size
// asked for, and fit no screen (the offline renderer). SDL's offscreen driver on Linux (no display
// needed); Windows has none, so there the windows are hidden ones on the desktop.
void platformUseOffscreenVideo();
// Sets an environment variable of this process (SDL reads its settings there); overwrite false
// keeps a value already set.
void platformSetEnvironment(const char* name, const char* value, bool overwrite);
// The usable area of the first screen (no panels or docks); false where there is no screen.
bool platformWorkArea(int* width, int* height);
void platformShowCursor(bool show);
// Full screen covers the desktop in its own mode; a window is resizable, width x height at first.
bool platformCreateWindow(const char* title, int width, int height, bool fullscreen);
bool platformCreateGlContext();  // needs the window
bool platformMakeCurrent();      // the context on the window
bool platformReleaseCurrent();   // no context current
void platformDeleteGlContext();
void platformDestroyWindow();
// Whether the window may be destroyed and another created. Not on SDL 2.26's wayland driver: it
// leaks the old window's toplevel through libdecor, and the compositor's next configure for it
// reaches freed memory (a crash within a second). There the window is switched instead (below).
bool platformCanRecreateWindow();
// Switches the open window between desktop full screen and a resizable width x height window
// under a new title, keeping the window and its GL context. The new drawable size arrives as
// EVENT_RESIZED once the system has applied it.
bool platformSwitchWindow(const char* title, int width, int height, bool fullscreen);
void platformShowWindow();  // show, raise and focus
void platformSwapBuffers();
void platformDisableScreenSaver();
bool platformWindowClientSize(int* width, int* height);  // drawable size in real pixels
// Vertical sync of the current context: adaptive (a late frame is shown at once, a torn frame,
// rather than a whole refresh later), on, or off.
enum VsyncMode { VSYNC_ADAPTIVE, VSYNC_ON, VSYNC_OFF };
// Asks for mode; adaptive falls back to on where the driver has no adaptive mode, and whatever the
// driver then gives is kept. Returns the swap interval granted: -1 adaptive, 1 on, 0 off. A
// browser page is paced by its animation frames whatever is asked: 1.
int platformSetVsync(VsyncMode mode);
void* platformGetProcAddress(const char* name);  // GL entry point lookup; null when absent
// A number that changes whenever a GL context is made: GL objects and state belong to one context.
int platformGlContextSerial();
// A function run just before every swap of the buffers (the GL layer draws what it has batched).
void platformSetSwapHook(void (*hook)());

// Window events, already translated to what the window procedure needs.
enum PlatformEventType {
    EVENT_NONE,
    EVENT_QUIT,      // the quit message: ends the loop at once
    EVENT_CLOSE,     // the close button
    EVENT_KEY_DOWN,  // key: virtual-key code; repeats included
    EVENT_KEY_UP,
    EVENT_MINIMIZED,
    EVENT_RESTORED,
    EVENT_RESIZED,          // width, height: new drawable size in real pixels
    EVENT_LEFT_FULLSCREEN,  // the system took the window out of full screen (a browser's Escape)
    EVENT_OTHER,
};
struct PlatformEvent {
    PlatformEventType type;
    int key;
    int width;
    int height;
};
bool platformPollEvent(PlatformEvent* event);  // false when the queue is empty
void platformPostQuit();                       // queues EVENT_QUIT

// Runs the loop: turn (all pending events, then one frame) again and again until it returns false.
// On a desktop this returns then. In a browser page it returns at once, the turns run once per
// display frame, and after the last one the page shows its end screen, whose button calls replay
// (true: the presentation runs again from its start, turn after turn as before).
void platformRunLoop(bool (*turn)(), bool (*replay)());

// Maps an SDL keycode to the Windows virtual-key code, or -1 when it has none.
int platformVirtualKey(int sdlKeycode);

// ---------------------------------------------------------------------------------------------
// Audio. One music stream at a time. The position is the demo's only clock: it is what is heard
// now, in milliseconds, smooth between device callbacks and never running backwards while playing.
// Without a device the position comes from a silent real-time clock; in offline mode (the renderer)
// the caller sets it.
// ---------------------------------------------------------------------------------------------
struct MusicStream;

// The one sample rate of the music: the decoder always yields it and the device is opened at it.
const int kSampleRate = 44100;

bool audioInit(int rate);            // opens the device; false: the silent clock will be used
void audioClose();                   // shuts the device and frees every stream
void audioSetOffline(bool offline);  // before audioInit: never open a device, caller sets time
MusicStream* audioStreamOpen(const unsigned char* data, long length);  // null on bad data
int audioStreamPlay(MusicStream* stream, bool paused);                 // channel number, or -1
void audioSetPaused(int channel, bool paused);
int audioStreamGetTime(MusicStream* stream);  // ms heard now; 0 for null
// The ms a frame drawn now shows: what will be heard when it is presented, predicted from how late
// the frames before it were presented (musicClock.h); *shownWall is that moment on platformSeconds'
// scale. vsynced: presentations wait for the display's refresh. Offline: the time set, shown now.
int audioStreamGetFrameTime(MusicStream* stream, bool vsynced, double* shownWall);
// The frame that read audioStreamGetFrameTime last was presented at presentedWall.
void audioFramePresented(double presentedWall);
void audioStreamSetTime(MusicStream* stream, int ms);  // seek; negative clamps to 0
void audioSetOfflineTimeMs(long long ms);              // offline mode: the position
void audioSetSpectrumActive(bool active);
// 512 magnitudes 0..1 of a 1024-point FFT at the current position; all zero while inactive.
const float* audioGetSpectrum();
// Whether audioInit opened a real device (false: silent clock or offline).
bool audioHasDevice();

// Read-only view of the device side of the clock, for measuring it: at its latest callback (taken
// at callbackSeconds on platformSeconds' scale) the device had consumed consumedFrames stream
// frames and asked for bufferFrames more. callbacks counts the callbacks that played the stream.
struct AudioClockProbe {
    long long consumedFrames;
    double callbackSeconds;
    long long callbacks;
    int bufferFrames;
    int rate;
};
// False (and zeros) without a device.
bool audioClockProbe(AudioClockProbe* probe);

// Pure spectrum of 1024 mono samples (-1..1): Hann window, 512 magnitudes; a full-scale sine on a
// bin gives about 1.0 there. Used by the stream above and by tools that analyse the music.
void computeSpectrum(const float* samples1024, float* magnitudes512);

// Decodes a whole MP3 block to interleaved 16-bit stereo at its own rate (tools and tests).
// Returns false on bad data; frames receives the number of sample frames.
bool decodeMp3(const unsigned char* data, long length, int16_t** pcm, long* frames, int* rate, int* channels);

// ---------------------------------------------------------------------------------------------
// PNG pictures: decoding over libpng (assets' pngBind makes textures of them). Print nothing.
// ---------------------------------------------------------------------------------------------
struct PngImage {
    unsigned char* pixels;  // malloc'ed rows, top row first, 3 or 4 bytes per pixel; the caller's
    unsigned width;
    unsigned height;
    int fileBitDepth;  // bits per sample as the file stores them
    bool hasAlpha;     // RGBA (the file has alpha or tRNS), else RGB
};
// Reads and decodes a whole file. False, with nothing allocated, for a file that cannot be opened,
// is over 64 MiB, or cannot be decoded.
bool readPngFile(const char* filename, PngImage* image);

// Decodes PNG bytes to 8-bit RGB or RGBA rows (top row first). False on any decoding error.
// pixels is malloc'ed and owned by the caller.
bool decodePng(const unsigned char* bytes, size_t size, unsigned char** pixels, unsigned* width,
               unsigned* height, bool* hasAlpha);

// ---------------------------------------------------------------------------------------------
// Time for profiling and for the silent clock only; the picture takes its time from the music.
// ---------------------------------------------------------------------------------------------
double platformSeconds();

// ---------------------------------------------------------------------------------------------
// Files.
// ---------------------------------------------------------------------------------------------
// The folder of the running executable, links resolved, ending in '/'; null when unknown.
const char* platformExecutableFolder();

// The folder, made unless it is already there (a drive or root included); false with errno set.
bool platformMakeFolder(const char* path);
// Opens a new file for binary writing, not inherited by programs this process starts; exclusive
// fails when the file exists. Null with errno set.
FILE* platformCreateFile(const char* path, bool exclusive);
// Flushes the file and has the system write it to the disk; false with errno set.
bool platformSyncFile(FILE* file);
// Renames from to to, replacing a file of that name; false with errno set.
bool platformReplaceFile(const char* from, const char* to);
int platformProcessId();

// ---------------------------------------------------------------------------------------------
// Time (the benchmark's other measures are in measure.h).
// ---------------------------------------------------------------------------------------------
// Seconds on a clock shared by every process of the machine.
double platformMonotonicSeconds();
