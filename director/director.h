// director.h
// The frame director: which scene and overlays each frame shows, the post pass that draws the
// square scene region over the 4:3 picture through the blur program, and the 2D overlays in the
// picture's 800x600 units. Everything it draws is a function of DemoTime and SpectrumBands alone.
#pragma once

// DemoTime, SpectrumBands and kPresentationEnd, which the scenes read and the director sets.
#include "scenes/scenes.h"

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

// The 4:3 picture inside a drawable of any size, in pixels from the lower left. At 800x600 it is
// the whole drawable with a 512-pixel scene region; elsewhere everything scales with the height.
struct PictureRect {
    int x, y, width, height;            // the largest centred 4:3 rectangle (black outside)
    int drawableWidth, drawableHeight;  // the whole drawable (at least 1x1)
    double scale;                       // picture height / 600
    int region;                         // side of the square scene region: round(512 * scale)
};
extern PictureRect pictureRect;  // the current window's (800x600 until resizeScene says otherwise)
PictureRect fitPictureRect(int drawableWidth, int drawableHeight);
// The same, kept within GL's limits: the viewport's (for the picture) and the texture size (for the
// region). A drawable beyond them gets the largest picture within them, centred. True when reduced.
bool fitPictureRectWithin(int drawableWidth, int drawableHeight, int maxViewportWidth, int maxViewportHeight,
                          int maxTexture, PictureRect* picture);
// Makes the current picture, within the current context's limits (a line on standard error when
// the drawable is beyond them).
void fitPicture(int drawableWidth, int drawableHeight);
// Clears what lies outside the picture to black (nothing at 800x600); keeps the clear colour.
void clearOutsidePicture();

int renderFrame();  // 1 to go on, 0 when the presentation is over (frame not to be presented)
void setViewport(int width, int height);  // at the picture's lower-left corner
// The row of the schedule whose window holds t, or -1 (no scene).
int sceneIndexAt(float t);
// The timed overlays drawn at t (fades and letterbox are drawn on every frame).
enum OverlayFlag {
    OVERLAY_INTRO = 1,      // the twelve intro pictures
    OVERLAY_LOGO = 2,       // group logo and progress bar
    OVERLAY_KEEP = 4,       // the "keep" picture
    OVERLAY_MEANWHILE = 8,  // the "meanwhile" picture
    OVERLAY_SCROLLER = 16,
};
unsigned overlaysAt(float t);

float linearRamp(float start, float end, float t);

void createScreenTexture();
void drawScreenCopy(int width, int height);

// Overlays.
void drawIntroLayers();  // the twelve title pictures over the opening
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
