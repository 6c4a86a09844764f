// sdlWindow.cpp
// The window, GL context, events and message boxes over SDL2. One window and one context at a
// time, as the display window needs. Full screen is the desktop's own mode (never a mode switch);
// the window is resizable; sizes reported to the program are drawable sizes in real pixels. In a
// browser page the window is the page's canvas: its size is the page's (page.h), full screen and
// messages are the page's own.
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/stopSignals.h"
#ifdef __EMSCRIPTEN__
#include <emscripten.h>

#include "platform/page.h"
#endif

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
int contextSerial = 0;         // counts the contexts made
void (*swapHook)() = nullptr;  // run before every swap
bool videoReady = false;
// The drawable size last reported to the program. A scale change (the window moved to another
// output, the output's scale set anew) changes it without always a size event from SDL.
int reportedWidth = 0;
int reportedHeight = 0;
bool offscreenOnly = false;  // platformUseOffscreenVideo: windows are never shown

SDL_MessageBoxFlags boxFlags(unsigned style) {
    switch (style & 0xF0) {
    case MB_ICONSTOP:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION:
        return SDL_MESSAGEBOX_WARNING;
    default:
        return SDL_MESSAGEBOX_INFORMATION;
    }
}

}  // namespace

int platformMessageBox(const char* text, const char* caption, unsigned style) {
#ifdef __EMSCRIPTEN__
    // A page cannot wait for an answer: the text is shown over it, and a question counts as
    // unanswered.
    fprintf(stderr, "%s: %s\n", caption, text);
    pageShowMessage(text, caption);
    return (style & 0xF) == MB_YESNO ? BOX_NOT_SHOWN : IDOK;
#endif
    SDL_MessageBoxButtonData buttons[2];
    int count = 0;
    // Whichever box SDL shows (zenity's, where it tries zenity first, or its own X11 box), the
    // buttons read Yes then No from the left, Yes is the Return default and No the Escape one.
    const bool yesNo = (style & 0xF) == MB_YESNO;
    if (yesNo) {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
        buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
        count = 2;
    } else {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
                      "OK"};
        count = 1;
    }
    SDL_MessageBoxData data = {};
    data.flags = boxFlags(style) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;  // zenity lists them so anyway
    data.window = nullptr;
    data.title = caption;
    data.message = text;
    data.numbuttons = count;
    data.buttons = buttons;
    int answer = 0;
    bool paused = false;
    if (!stopProtocolBeforeBox(&paused)) return 0;  // SDL forks the box's child: no watcher beside it
    bool shown = SDL_ShowMessageBox(&data, &answer) == 0;
    stopProtocolAfterBox(paused);
    if (platformStopRequested()) return 0;
    // A box closed without a button (zenity's Escape, a window manager's close) answers nothing:
    // the Escape-key default.
    if (shown && answer < 0) answer = yesNo ? IDNO : IDOK;
    if (!shown || answer < 0) {
        fprintf(stderr, "%s: %s\n", caption, text);
        return shown ? 0 : BOX_NOT_SHOWN;
    }
    return answer;
}

void platformUseOffscreenVideo() {
#ifdef __EMSCRIPTEN__
    return;  // a page draws into its canvas, the one window it has
#endif
#ifdef _WIN32
    // No offscreen driver: the window is a hidden one, never shown and never fitted to a screen.
    offscreenOnly = true;
#else
    SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
#endif
    // Ctrl+C must stop the renderer; SDL would turn it into a quit event nobody reads there.
    SDL_setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
}

void platformSetEnvironment(const char* name, const char* value, bool overwrite) {
#ifdef _WIN32
    // The C runtime keeps its own copy of the environment, which getenv reads: _putenv_s sets
    // both it and the process's, which SDL reads.
    if (overwrite || !getenv(name)) _putenv_s(name, value);
#else
    SDL_setenv(name, value, overwrite ? 1 : 0);
#endif
}

bool platformInitVideo() {
    if (videoReady) return true;
    if (!initVideoDriver()) return false;
    videoReady = true;
    return true;
}

bool platformWorkArea(int* width, int* height) {
#ifdef __EMSCRIPTEN__
    (void)width, (void)height;
    return false;  // the canvas takes the page's size, whatever size is asked for
#endif
    // The offscreen driver has no screen for a window to fit on.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!videoReady || offscreenOnly || !driver || SDL_strcmp(driver, "offscreen") == 0) return false;
    SDL_Rect area;
    if (SDL_GetDisplayUsableBounds(0, &area) != 0 || area.w <= 0 || area.h <= 0) return false;
    *width = area.w;
    *height = area.h;
    return true;
}

void platformShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

bool platformCreateWindow(const char* title, int width, int height, bool fullscreen) {
    if (!videoReady || window) return false;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
#ifdef KESTRANE_GLES
    // The GLES build draws through its own layer on OpenGL ES 3.0, which WebGL 2 also is.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
#else
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
#endif
#ifdef __EMSCRIPTEN__
    // SDL only sizes the canvas once here; the page fits it from then on (and asks for full
    // screen itself, inside the click that started the presentation).
    (void)fullscreen;
    window = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL);
    if (!window) return false;
    EM_ASM({
        var canvas = document.getElementById('canvas');
        canvas.style.removeProperty("width");
        canvas.style.removeProperty("height");
    });
    pageFitCanvas(&reportedWidth, &reportedHeight);
    pageCanvasSize(&reportedWidth, &reportedHeight);
    return true;
#endif
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    flags |= fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_RESIZABLE;
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    SDL_Rect desktop;
    if (fullscreen && SDL_GetDisplayBounds(0, &desktop) == 0) {
        // Made at the desktop's size too: without a window manager to apply the full-screen state
        // (a bare X server) the window would otherwise stay at the requested size.
        x = desktop.x;
        y = desktop.y;
        width = desktop.w;
        height = desktop.h;
    }
    window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (window) SDL_GL_GetDrawableSize(window, &reportedWidth, &reportedHeight);
    return window != nullptr;
}

bool platformCreateGlContext() {
    if (!window) return false;
    context = SDL_GL_CreateContext(window);
    if (context) ++contextSerial;
#ifdef KESTRANE_GLES
    if (!context)
        fprintf(stderr, "kestrane: this build draws with OpenGL ES 3.0, which is not available here: %s\n",
                SDL_GetError());
#endif
    return context != nullptr;
}

int platformGlContextSerial() { return contextSerial; }

void platformSetSwapHook(void (*hook)()) { swapHook = hook; }

bool platformMakeCurrent() { return window && context && SDL_GL_MakeCurrent(window, context) == 0; }

bool platformReleaseCurrent() { return SDL_GL_MakeCurrent(window, nullptr) == 0; }

void platformDeleteGlContext() {
    if (context) SDL_GL_DeleteContext(context);
    context = nullptr;
}

void platformDestroyWindow() {
    if (window) SDL_DestroyWindow(window);
    window = nullptr;
}

bool platformCanRecreateWindow() {
#ifdef __EMSCRIPTEN__
    return false;  // the page's canvas and its WebGL context stay for the page's life
#endif
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || SDL_strcmp(driver, "wayland") != 0;
}

bool platformSwitchWindow(const char* title, int width, int height, bool fullscreen) {
    if (!window) return false;
    SDL_SetWindowTitle(window, title);
#ifdef __EMSCRIPTEN__
    (void)width, (void)height;
    pageSetFullscreen(fullscreen);
    return true;
#endif
    if (fullscreen) return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    // Set while still full screen, the size is the one the window returns to.
    SDL_SetWindowSize(window, width, height);
    if (SDL_SetWindowFullscreen(window, 0) != 0) return false;
    SDL_SetWindowResizable(window, SDL_TRUE);
    SDL_SetWindowSize(window, width, height);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    return true;
}

void platformShowWindow() {
    if (!window || offscreenOnly) return;
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
}

void platformSwapBuffers() {
    if (swapHook) swapHook();
    if (window) SDL_GL_SwapWindow(window);
}

void platformDisableScreenSaver() { SDL_DisableScreenSaver(); }

int platformSetVsync(VsyncMode mode) {
#ifdef __EMSCRIPTEN__
    (void)mode;
    return 1;  // SDL would move the page's loop off requestAnimationFrame for any other interval
#endif
    const int asked = mode == VSYNC_ADAPTIVE ? -1 : mode == VSYNC_ON ? 1 : 0;
    if (SDL_GL_SetSwapInterval(asked) != 0 && asked == -1) SDL_GL_SetSwapInterval(1);
    return SDL_GL_GetSwapInterval();
}

bool platformWindowClientSize(int* width, int* height) {
    if (!window) return false;
#ifdef __EMSCRIPTEN__
    pageFitCanvas(width, height);
    pageCanvasSize(width, height);
#else
    SDL_GL_GetDrawableSize(window, width, height);
#endif
    reportedWidth = *width;
    reportedHeight = *height;
    return true;
}

void* platformGetProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

int platformVirtualKey(int keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
    if (keycode >= SDLK_0 && keycode <= SDLK_9) return '0' + (keycode - SDLK_0);
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return VK_F1 + (keycode - SDLK_F1);
    switch (keycode) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    default:
        return -1;
    }
}

bool platformPollEvent(PlatformEvent* event) {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) {
        // The queue is empty: a drawable that changed size unannounced is reported now.
        if (!window) return false;
        int width = 0, height = 0;
#ifdef __EMSCRIPTEN__
        if (pageTakeLeftFullscreen()) {
            *event = {EVENT_LEFT_FULLSCREEN, 0, 0, 0};
            return true;
        }
        pageFitCanvas(&width, &height);
        pageCanvasSize(&width, &height);
#else
        SDL_GL_GetDrawableSize(window, &width, &height);
#endif
        if (width == reportedWidth && height == reportedHeight) return false;
        *event = {EVENT_RESIZED, 0, width, height};
        platformWindowClientSize(&width, &height);
        return true;
    }
    *event = {EVENT_OTHER, 0, 0, 0};
    switch (e.type) {
    case SDL_QUIT:
        event->type = EVENT_QUIT;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        // Keys pressed with Alt held were system keys and are not recorded. A key-up always is:
        // a key held while Alt is pressed (Alt+Tab) must not stay down for ever.
        if (e.type == SDL_KEYDOWN && (e.key.keysym.mod & KMOD_ALT)) break;
        event->key = platformVirtualKey(e.key.keysym.sym);
        if (event->key < 0) break;
        event->type = e.type == SDL_KEYDOWN ? EVENT_KEY_DOWN : EVENT_KEY_UP;
        break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            event->type = EVENT_CLOSE;
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            event->type = EVENT_MINIMIZED;
            break;
        case SDL_WINDOWEVENT_RESTORED:
            event->type = EVENT_RESTORED;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // The drawable's size in real pixels, not the window's (they differ on HiDPI screens).
            event->type = EVENT_RESIZED;
            event->width = e.window.data1;
            event->height = e.window.data2;
            platformWindowClientSize(&event->width, &event->height);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return true;
}

void platformPostQuit() {
    SDL_Event e = {};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

double platformSeconds() {
#ifdef __EMSCRIPTEN__
    // The page's own clock (performance.now), on which the audio context's timestamps are given.
    return emscripten_get_now() / 1000.0;
#endif
    static const Uint64 start = SDL_GetPerformanceCounter();
    return double(SDL_GetPerformanceCounter() - start) / double(SDL_GetPerformanceFrequency());
}
