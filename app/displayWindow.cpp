// displayWindow.cpp
// The display window and its GL context: opening (display mode, window, pixel format, context,
// projection, then the start-up sequence inside the new context), teardown, and the window
// procedure that keeps KeyState, isActive and the viewport current.
#include <GL/gl.h>
#include <GL/glu.h>

#include "app/app.h"
#include "assets/assets.h"
#include "external/qrx/shaderLibrary"
#include "platform/platform.h"

bool isFullscreen = true;
bool isActive = true;
bool KeyState[256] = {};
bool KeyPressedSinceIdle[256] = {};

namespace {

bool windowHeld = false;
bool contextHeld = false;

// Reports a failed opening step after tearing down what was built.
bool failOpening(const char* text) {
    closeDisplayWindow();
    platformMessageBox(text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
    return false;
}

}  // namespace

bool openDisplayWindow(const char* title, int width, int height, int bits, bool fullscreen) {
    isFullscreen = fullscreen;
    if (!platformInitVideo()) {
        platformMessageBox("Failed To Register The Window Class.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (isFullscreen && !platformHasDisplayMode(width, height, bits)) {
        int answer = platformMessageBox(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
            "auto", MB_YESNO | MB_ICONEXCLAMATION);
        if (answer == IDYES) {
            isFullscreen = false;
        } else {
            platformMessageBox("Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
            return false;
        }
    }
    if (isFullscreen) platformShowCursor(false);
    if (!platformCreateWindow(title, width, height, isFullscreen)) return failOpening("Window Creation Error.");
    windowHeld = true;
    if (!platformCreateGlContext()) return failOpening("Can't Create A GL Rendering Context.");
    contextHeld = true;
    if (!platformMakeCurrent()) return failOpening("Can't Activate The GL Rendering Context.");
    platformShowWindow();
    platformDisableScreenSaver();
    resizeScene(width, height);
    if (!initDemo()) return failOpening("Initialization Failed.");
    return true;
}

void closeDisplayWindow() {
    if (isFullscreen) platformShowCursor(true);  // the display mode returns with the window
    if (contextHeld) {
        shaderLibrary.releaseContextObjects();
        if (!platformReleaseCurrent()) {
            platformMessageBox("Release Of DC And RC Failed.", "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
        }
        platformDeleteGlContext();
        contextHeld = false;
    }
    if (windowHeld) {
        platformDestroyWindow();
        windowHeld = false;
    }
}

void displayWindowProc(const PlatformEvent& event) {
    switch (event.type) {
    case EVENT_MINIMIZED: isActive = false; break;
    case EVENT_RESTORED: isActive = true; break;
    case EVENT_CLOSE: platformPostQuit(); break;
    case EVENT_KEY_DOWN:
        if (event.key >= 0 && event.key < 256) KeyState[event.key] = KeyPressedSinceIdle[event.key] = true;
        break;
    case EVENT_KEY_UP:
        if (event.key >= 0 && event.key < 256) KeyState[event.key] = false;
        break;
    case EVENT_RESIZED: resizeScene(event.width, event.height); break;
    default: break;
    }
}

void resizeScene(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), double(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
