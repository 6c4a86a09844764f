// scenes.h
// The eight scenes of the presentation. Each loads the identity, sets its own camera and draws
// the picture of DemoTime into the current 512x512 region; none keeps state between frames.
#pragma once

void drawWaterSphereScene();     // 0 to 66.5 s
void drawIntroLayers();          // the twelve title pictures over the opening
void drawSpinningModelScene();   // 66.5 to 87 s
void drawAcidSphereScene();      // 87 to 106 s
void drawStarDomeScene();        // 106 to 125 s
void drawKnotsScene();           // 135 to 144 s
void drawFloorModelScene();      // 144 to 157 s and 182.5 to 203 s
void drawTunnelScene();          // 157 to 168 s
void drawSwayingSpritesScene();  // 168 to 182.5 s
