// pageWeb.cpp
// The program's side of the browser page: the loop runs once per display frame (the browser's
// requestAnimationFrame), the canvas takes its size on the page in real pixels, full screen goes
// through the page, and the end of the presentation hands over to the page's end screen, whose
// button runs the presentation again. The page's script is web/page.js.
#include <emscripten.h>
#include <emscripten/html5.h>

#include "platform/page.h"
#include "platform/platform.h"

namespace {

bool (*loopTurn)() = nullptr;
bool (*replayStart)() = nullptr;

void runTurn() {
    if (loopTurn()) return;
    // The presentation ended: the page goes quiet and shows its end screen.
    emscripten_cancel_main_loop();
    pagePauseSound(true);
    pageSetFullscreen(false);
    EM_ASM({
        if (Module['onPresentationEnd']) Module['onPresentationEnd']();
    });
}

void startLoop() {
    // 0: at the browser's display rate. Not simulating an infinite loop: the caller returns.
    emscripten_set_main_loop(runTurn, 0, 0);
}

}  // namespace

void platformRunLoop(bool (*turn)(), bool (*replay)()) {
    loopTurn = turn;
    replayStart = replay;
    startLoop();
}

// The end screen's button: the presentation from its start, in the page's present mode.
extern "C" EMSCRIPTEN_KEEPALIVE void kestraneReplay() {
    if (!loopTurn || !replayStart) return;
    pagePauseSound(false);
    if (replayStart()) startLoop();
}

bool pageFitCanvas(int* width, int* height) {
    double cssWidth = 0, cssHeight = 0;
    if (emscripten_get_element_css_size("#canvas", &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS)
        return false;
    const double ratio = emscripten_get_device_pixel_ratio();
    const int wantWidth = cssWidth > 0 ? int(cssWidth * ratio + 0.5) : 1;
    const int wantHeight = cssHeight > 0 ? int(cssHeight * ratio + 0.5) : 1;
    int nowWidth = 0, nowHeight = 0;
    pageCanvasSize(&nowWidth, &nowHeight);
    *width = wantWidth;
    *height = wantHeight;
    if (nowWidth == wantWidth && nowHeight == wantHeight) return false;
    emscripten_set_canvas_element_size("#canvas", wantWidth, wantHeight);
    return true;
}

void pageCanvasSize(int* width, int* height) { emscripten_get_canvas_element_size("#canvas", width, height); }

void pageSetFullscreen(bool fullscreen) {
    EM_ASM(
        {
            if (Module['setFullscreen']) Module['setFullscreen']($0 != 0);
        },
        fullscreen);
}

bool pageTakeLeftFullscreen() {
    return EM_ASM_INT({
               var left = Module['leftFullscreen'] ? 1 : 0;
               Module['leftFullscreen'] = false;
               return left;
           }) != 0;
}

void pageShowMessage(const char* text, const char* caption) {
    EM_ASM(
        {
            if (Module['showMessage']) Module['showMessage'](UTF8ToString($0), UTF8ToString($1));
        },
        text, caption);
}

void pagePublishFrame(const unsigned char* rgb, int width, int height) {
    EM_ASM(
        {
            if (Module['showFrame']) Module['showFrame'](HEAPU8.subarray($0, $0 + $1 * $2 * 3), $1, $2);
        },
        rgb, width, height);
}
