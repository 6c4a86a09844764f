// app.h
// The application shell: program entry, the message loop with its key commands, and the display
// window with its GL context.
#pragma once

extern bool isFullscreen;    // whether the current window runs full screen (true at load)
extern bool isActive;        // false while the window is minimised
extern bool KeyState[256];   // one flag per virtual-key code, true while the key is down

enum {
    VK_ESCAPE = 27,
    VK_F1 = 112,
    VK_M = 0x4D,
    VK_N = 0x4E,
};

// The whole program: the start question, the window, the loop. Returns the exit code (always 0).
int runDemo();
// The loop alone, on an open window. Returns when the presentation ends.
void runMessageLoop();
// Applies the seek keys M and N for the given DemoTime (what one idle turn does).
void applySeekKeys(float demoTime);

bool openDisplayWindow(const char* title, int width, int height, int bits, bool fullscreen);
void closeDisplayWindow();
struct PlatformEvent;
void displayWindowProc(const PlatformEvent& event);
void resizeScene(int width, int height);
