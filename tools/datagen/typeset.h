// typeset.h
// Text for the pictures, set with Cairo in the DejaVu family (Sans, Sans Mono, Serif; regular and
// bold only, the faces every system with fonts-dejavu-core has). Text lands in a coverage map, so
// pictures can colour it, blur it into halos and cut masks from it. Hinting is off so glyph
// shapes do not depend on the local font configuration.
#pragma once

#include "tools/datagen/canvas.h"

struct TextStyle {
    const char* family;  // "DejaVu Sans", "DejaVu Sans Mono" or "DejaVu Serif"
    bool bold;
    float size;      // pixels per em
    float tracking;  // extra pixels after every character (letter spacing)
};

enum class Align { left, centre, right };

struct TextMetrics {
    float advance;  // pen travel, tracking included (but not after the last character)
    float top;      // ink top above the baseline (positive up)
    float bottom;   // ink bottom below the baseline (positive down)
};

TextMetrics measureText(const TextStyle& style, const char* text);
// Draws UTF-8 text with its baseline at y, aligned on x; coverage only grows (max of old, new).
void drawText(Coverage& map, const TextStyle& style, const char* text, float x, float y, Align align);
// The largest size (at most style.size) at which the text's advance fits width.
float fitTextSize(const TextStyle& style, const char* text, float width);
// Fills an axis-aligned box with anti-aliased edges (fractional pixel coverage); for rules.
void fillBox(Coverage& map, float x0, float y0, float x1, float y1);
