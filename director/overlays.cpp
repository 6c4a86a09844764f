// overlays.cpp (placeholder until the overlays are built: they draw nothing)
#include "director/director.h"

void fadeFromBlack(float, float) {}
void fadeToBlack(float, float) {}
void drawLetterbox() {}
void drawAdditiveOverlay(int, float) {}
void drawProgressBar(float) {}
void drawScroller(float) {}
void drawMaskedLayer(int, float, float) {}
float progressBarRight(float, float) { return 205; }
float layerFlickerAlpha(float, float) { return 0; }
