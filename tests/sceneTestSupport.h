// sceneTestSupport.h
// Shared steps of the scene tests: start-up as opening the window runs it (offline clock, the
// window's perspective), one scene frame as the director draws it, and ways to look at the result
// (the camera a modelview matrix holds, the region's brightness, primitives counted by feedback).
#pragma once

#include <gtest/gtest.h>

#include <functional>

// Opens the test context and runs the start-up sequence with the 800x600 window's projection and
// no audio device. With fresh false, a start-up already done in this process is reused.
bool startDemoForTests(bool fresh = false);

// Sets DemoTime to t, then does what the director does before a scene (512x512 viewport, white,
// colour and depth cleared) and draws the scene.
void drawSceneFrame(void (*scene)(), float t);

void readModelview(float m[16]);
// The eye position and unit gaze direction of a view matrix without scaling.
void eyeOfView(const float m[16], double eye[3]);
void gazeOfView(const float m[16], double gaze[3]);

// Sum of the red, green and blue bytes of the 512x512 region.
long long regionBrightness();
// Reads one pixel of the back buffer (x, y from the lower left).
void readPixel(int x, int y, unsigned char rgb[3]);

// How many polygons draw() sends down the pipeline after clipping (GL feedback mode).
int countPolygons(const std::function<void()>& draw);

// Every matrix stack back at depth 1, the modelview mode current, no GL error pending.
::testing::AssertionResult glStateIsBalanced();
