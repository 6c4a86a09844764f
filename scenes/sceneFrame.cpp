// sceneFrame.cpp
// The frame's values that every scene reads: the music time and the spectrum of the frame before.
// The director writes them at the start and at the end of each frame.
#include "scenes/scenes.h"

float DemoTime = 0.0f;
float SpectrumBands[32] = {};
