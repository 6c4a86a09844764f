// director.h
// The frame director: which scene and overlays each frame shows, the post pass that draws the
// 512x512 scene region over the 800x600 window through the blur program, and the 2D overlays.
// Everything it draws is a function of DemoTime and SpectrumBands alone.
#pragma once

extern float DemoTime;           // seconds of music, written once at the start of every frame
extern float SpectrumBands[32];  // spectrum of the previous frame (zeros at load)
extern unsigned int screenTexture;  // the texture the scene region is copied into

// One row of the scene schedule: the scene runs while lower < DemoTime < upper.
struct SceneWindow {
    float lower;  // -1e30f for "none"
    float upper;
    void (*draw)();
    const char* name;
};
extern const SceneWindow sceneSchedule[];
extern const int sceneScheduleCount;

int renderFrame();  // 1 to go on, 0 when the presentation is over (frame not to be presented)
void setViewport(int width, int height);
// The row of the schedule whose window holds t, or -1 (no scene).
int sceneIndexAt(float t);
// The timed overlays drawn at t (fades and letterbox are drawn on every frame).
enum OverlayFlag {
    OVERLAY_INTRO = 1,       // the twelve intro pictures
    OVERLAY_LOGO = 2,        // group logo and progress bar
    OVERLAY_KEEP = 4,        // the "keep" picture
    OVERLAY_MEANWHILE = 8,   // the "meanwhile" picture
    OVERLAY_SCROLLER = 16,
};
unsigned overlaysAt(float t);

float linearRamp(float start, float end, float t);

void createScreenTexture();
void beginOrtho2D();
void beginOrtho2DFarZero();
void endOrtho2D();
void drawScreenCopy(int width, int height);

// Overlays.
void fadeFromBlack(float start, float duration);
void fadeToBlack(float start, float duration);
void drawLetterbox();
void drawAdditiveOverlay(int textureIndex, float alpha);
void drawProgressBar(float start);
void drawScroller(float distance);
void drawMaskedLayer(int index, float start, float end);
// Right edge of the progress bar and weight of a masked layer's picture at time t.
float progressBarRight(float start, float t);
float layerFlickerAlpha(float start, float t);
