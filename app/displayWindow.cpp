// displayWindow.cpp
// The display window and its GL context: opening (a desktop full-screen or a resizable window,
// pixel format, context, projection, then the start-up sequence inside the new context), teardown,
// the switch of a kept window to the other mode, and the window procedure that keeps KeyState, isActive and
// the picture's place current.
#include "glLayer/glLayer.h"

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "external/qrx/shaderLibrary"
#include "platform/platform.h"
#include "platform/trace.h"

bool isFullscreen = true;
bool isActive = true;
bool KeyState[256] = {};
bool KeyPressedSinceIdle[256] = {};

namespace {

bool windowHeld = false;
bool contextHeld = false;

// A window of width x height, or the largest 4:3 size that fits the screen's work area when that
// is smaller.
void fitWindowToScreen(int* width, int* height) {
    int areaWidth = 0, areaHeight = 0;
    if (!platformWorkArea(&areaWidth, &areaHeight)) return;
    if (areaWidth >= *width && areaHeight >= *height) return;
    PictureRect fitted = fitPictureRect(areaWidth, areaHeight);
    *width = fitted.width;
    *height = fitted.height;
}

const char* glString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "?";
}

// A new context's state, kept on the attribute stacks so that a kept context can be brought back
// to it before the start-up sequence runs again (the scenes leave state for later frames).
void saveFreshContextState() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
}

void restoreFreshContextState() {
    glPopClientAttrib();
    glPopAttrib();
    saveFreshContextState();
}

// Reports a failed opening step after tearing down what was built.
bool failOpening(const char* text) {
    closeDisplayWindow();
    platformMessageBox(text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
    return false;
}

// Makes the window (a new one, or the kept one switched) in the mode isFullscreen asks for. A
// full-screen window that cannot be made asks whether to use a window instead; false when the
// program must close.
bool makeWindow(bool (*make)(const char*, int, int, bool), const char* title, int width, int height) {
    if (isFullscreen && !make(title, width, height, true)) {
        int answer = platformMessageBox(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
            "auto", MB_YESNO | MB_ICONEXCLAMATION);
        if (answer != IDYES) {
            platformShowCursor(true);
            platformMessageBox("Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
            return false;
        }
        isFullscreen = false;
        platformShowCursor(true);
        fitWindowToScreen(&width, &height);
    }
    if (!isFullscreen && !make(title, width, height, false)) {
        return failOpening("Window Creation Error.");
    }
    return true;
}

// Shows the made window, fits the picture to its drawable in real pixels (HiDPI included; a
// full-screen window has the desktop's size) and runs the start-up.
bool showAndStart(int width, int height) {
    platformShowWindow();
    platformDisableScreenSaver();
    int drawableWidth = width, drawableHeight = height;
    platformWindowClientSize(&drawableWidth, &drawableHeight);
    resizeScene(drawableWidth, drawableHeight);
    if (!initDemo(createScreenTexture)) return failOpening("Initialization Failed.");
    return true;
}

}  // namespace

bool openDisplayWindow(const char* title, int width, int height, int bits, bool fullscreen) {
    (void)bits;  // the pixel format always asks for 8 bits per channel; no display mode is set
    isFullscreen = fullscreen;
    if (!platformInitVideo()) {
        platformMessageBox("Failed To Register The Window Class.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (isFullscreen) platformShowCursor(false);
    if (!isFullscreen) fitWindowToScreen(&width, &height);
    // Full screen takes the desktop's own mode (no mode switch); the question remains for a
    // full-screen window that cannot be made at all.
    if (!makeWindow(platformCreateWindow, title, width, height)) return false;
    windowHeld = true;
    if (!platformCreateGlContext()) return failOpening("Can't Create A GL Rendering Context.");
    contextHeld = true;
    if (!platformMakeCurrent()) return failOpening("Can't Activate The GL Rendering Context.");
    traceLine("drawing through %s on %s (%s)", glLayerPathName, glString(GL_VERSION), glString(GL_RENDERER));
    const int granted = platformSetVsync(vsyncMode);
    static const char* const asked[] = {"adaptive", "on", "off"};
    traceLine("vsync %s asked, swap interval %d granted (%s)", asked[vsyncMode], granted,
              granted < 0   ? "adaptive"
              : granted > 0 ? "on"
                            : "off");
    musicSetDisplayPaced(granted != 0);
    saveFreshContextState();
    return showAndStart(width, height);
}

bool switchDisplayWindow(const char* title, int width, int height, int bits, bool fullscreen) {
    (void)bits;
    isFullscreen = fullscreen;
    platformShowCursor(!isFullscreen);
    if (!isFullscreen) fitWindowToScreen(&width, &height);
    if (!makeWindow(platformSwitchWindow, title, width, height)) return false;
    // The kept context still holds the pictures and the blur program, which the start-up keeps;
    // what a new context would not hold goes: the screen texture and the state the scenes left.
    glDeleteTextures(1, &screenTexture);
    restoreFreshContextState();
    return showAndStart(width, height);
}

void closeDisplayWindow() {
    if (isFullscreen) platformShowCursor(true);  // no display mode was changed: nothing to restore
    if (contextHeld) {
        shaderLibrary.releaseContextObjects();
        forgetTextures();
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
    case EVENT_MINIMIZED:
        isActive = false;
        break;
    case EVENT_RESTORED:
        isActive = true;
        break;
    case EVENT_CLOSE:
        platformPostQuit();
        break;
    case EVENT_KEY_DOWN:
        if (event.key >= 0 && event.key < 256) KeyState[event.key] = KeyPressedSinceIdle[event.key] = true;
        break;
    case EVENT_KEY_UP:
        if (event.key >= 0 && event.key < 256) KeyState[event.key] = false;
        break;
    case EVENT_RESIZED:
        resizeScene(event.width, event.height);
        break;
    case EVENT_LEFT_FULLSCREEN:
        // The picture goes on in the page; a second Escape ends it, and F1 enters full screen.
        isFullscreen = false;
        platformShowCursor(true);
        traceLine("full screen left by the system; the picture goes on in the window");
        break;
    default:
        break;
    }
}

// The 4:3 picture is fitted into the drawable; the projection's aspect is the picture's, so the
// scenes see at any size what they see in the 800x600 window.
void resizeScene(int width, int height) {
    if (height == 0) height = 1;
    fitPicture(width, height);
    traceLine("picture %dx%d at %d,%d in a %dx%d drawable", pictureRect.width, pictureRect.height,
              pictureRect.x, pictureRect.y, width, height);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 800.0 / 600.0, double(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
