// app.h
// The application shell: program entry, the message loop with its key commands, and the display
// window with its GL context.
#pragma once

#include "platform/platform.h"

extern bool isFullscreen;   // whether the current window runs full screen (true at load)
extern bool isActive;       // false while the window is minimised
extern bool KeyState[256];  // one flag per virtual-key code, true while the key is down
// One flag per virtual-key code, set by every key-down and cleared after each idle turn, so that a
// key pressed and released between two idle turns still counts once: a tap is never lost.
extern bool KeyPressedSinceIdle[256];

// The demo's window title, and that of every window opened again after F1: the second title
// differs on purpose and is kept as it is.
const char* const kWindowTitle = "Vel - Kestrane";
const char* const kReopenedWindowTitle = "Tove";

// How the program starts, from its command line.
enum StartMode { START_ASK, START_FULLSCREEN, START_WINDOW, START_EXIT };
// How frames wait for the display (--vsync; adaptive unless asked otherwise). The offline renderer
// sets it off: it never waits for a display.
extern VsyncMode vsyncMode;
// Reads the arguments: --fullscreen or --window skips the start question (without either it is
// asked), --vsync on|off|adaptive sets vsyncMode, in any order and each at most once; --help and
// --version alone print and give START_EXIT with exit code 0; anything else prints the usage on
// standard error and gives START_EXIT with exit code 2.
StartMode readCommandLine(int argc, char** argv, int* exitCode);

// The whole program: the command line, the start question, the window, the loop. Returns the exit
// code: 0 on every end of the presentation, SIGTERM and SIGINT included; 2 for a bad command line.
int runDemo(int argc, char** argv);
// The loop alone, on an open window. Returns when the presentation ends (in a browser page: at
// once, the turns running once per display frame).
void runMessageLoop();
// One turn of the loop; false once the presentation has ended.
bool runLoopTurn();
// Applies the seek keys M and N for the given DemoTime (what one idle turn does).
void applySeekKeys(float demoTime);
// Whether a key command applies on this idle turn: the key is held, or it went down since the
// last idle turn. endIdleKeyTurn forgets the presses once the turn has read them.
bool keyCommanded(int virtualKey);
void endIdleKeyTurn();

bool openDisplayWindow(const char* title, int width, int height, int bits, bool fullscreen);
void closeDisplayWindow();
// What closing and opening again does, for a window that must not be destroyed: the same window
// and GL context switch to the other mode and title, and the start-up sequence runs again in a
// context brought back to the state it had when it was made. Failures as openDisplayWindow.
bool switchDisplayWindow(const char* title, int width, int height, int bits, bool fullscreen);
struct PlatformEvent;
void displayWindowProc(const PlatformEvent& event);
void resizeScene(int width, int height);
