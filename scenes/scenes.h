// scenes.h
// The eight scenes of the presentation. Each loads the identity, sets its own camera and draws
// the picture of DemoTime into the current 512x512 region; none keeps state between frames.
#pragma once

#include "geometry/geometry.h"

// The end of the presentation in seconds of music: the first frame past it is not presented.
const float kPresentationEnd = 203.0f;

// The frame's values that the scenes read; the director sets them (sceneFrame.cpp holds them).
extern float DemoTime;           // seconds of music, written once at the start of every frame
extern float SpectrumBands[32];  // spectrum of the previous frame (zeros at load)

void drawWaterSphereScene();     // 0 to 66.5 s
void drawSpinningModelScene();   // 66.5 to 87 s
void drawAcidSphereScene();      // 87 to 106 s
void drawStarDomeScene();        // 106 to 125 s
void drawKnotsScene();           // 135 to 144 s
void drawFloorModelScene();      // 144 to 157 s and 182.5 to 203 s
void drawTunnelScene();          // 157 to 168 s
void drawSwayingSpritesScene();  // 168 to 182.5 s

// Pieces of the scenes, each used by its own scene only; declared here so tests can drive them.

// Water sphere: half-size of the dark sprites for a value of spectrum band 19.
float darkSpriteHalfSize(float band19);

// Spinning model: the background, the glow sprites around every fourth triangle of each group
// (triangles with indices out of range are skipped), and the model's glTranslatef at music time t.
void drawScrollingChecker();
void drawVertexGlows(const ObjModel& model);
Vec3 modelFlightTranslation(float t);

// Acid sphere: one flash of panel 0, 1 or 2 as seen at DemoTime (any other panel draws nothing),
// and the half-size of dot sprite i at music time t.
void drawPanelFlash(int panel, float time);
float acidDotHalfSize(int i, float t);

// Star dome: the twirl disc's angle about y in degrees at music time t.
float twirlDiscAngle(float t);

// Sprite knots: one knot of shape factors a, b, c with the sprite texture of sceneTextures[slot];
// the rotation (degrees about (1, 0, 1)) and sprite i's half-size at music time t.
void drawSpriteKnot(float a, float b, float c, int textureSlot);
float knotRotationAngle(float t);
float knotSpriteHalfSize(int i, float t);

// Floor model: the camera at music time t; false (and eye, centre untouched) when no camera row
// applies and the identity view is kept. Half-size of particle i at music time t.
bool floorCamera(float t, double eye[3], double centre[3]);
float floorParticleHalfSize(int i, float t);

// Checker tunnel: one additive tube of radius r and length 80 along z from -40 to 40, its texture
// scaled by (scaleS, scaleT) and shifted along by shiftT; half-size of blob sprite i at time t.
void drawTunnelTube(float radius, float texScaleS, float texScaleT, float texShiftT, int textureSlot);
float tunnelBlobHalfSize(int i, float t);

// Swaying sprites: the fixed half-size of sprite i.
float swayingSpriteHalfSize(int i);
