// logoPictures.cpp
// The group logo (added over black between the scenes, above the progress bar at rows 470-502),
// the scroller strip with its mask (2048x256, drawn across rows 128-384 as it slides), and a
// framing overlay that is loaded but not shown.
#include <algorithm>
#include <cmath>

#include "tools/datagen/pictures.h"
#include "tools/datagen/typeset.h"

namespace {

const float centreX = 400.0f;

// Premultiplied light to straight colour plus alpha (alpha = brightest channel).
void storeLight(Image& image, int x, int y, Rgb light) {
    const float alpha = std::min(1.0f, std::max({light.r, light.g, light.b}));
    if (alpha <= 0.0f) return;
    const Rgb colour = light * (1.0f / alpha);
    setPixel(image, x, y, {std::min(1.0f, colour.r), std::min(1.0f, colour.g), std::min(1.0f, colour.b)},
             alpha);
}

// "vel" in heavy type filled with a sunset gradient that breaks into thinning slices towards
// its foot, a teal glow around it, a horizon rule through its base and the title spaced below.
Image makeLogo() {
    const int width = 1024, height = 512;
    Coverage letters = makeCoverage(width, height);
    const TextStyle face{"DejaVu Sans", true, 290.0f, -6.0f};
    const float baseline = 372.0f;
    const TextMetrics metrics = measureText(face, "vel");
    drawText(letters, face, "vel", centreX, baseline, Align::centre);
    Coverage title = makeCoverage(width, height);
    drawText(title, {"DejaVu Sans Mono", true, 24.0f, 22.0f}, "kestrane", centreX, baseline + 62.0f,
             Align::centre);
    Coverage horizon = makeCoverage(width, height);
    fillBox(horizon, 30.0f, baseline + 14.0f, 770.0f, baseline + 16.0f);
    Coverage glow = letters;
    blurCoverage(glow, 14.0f, false);
    Coverage wideGlow = letters;
    blurCoverage(wideGlow, 40.0f, false);

    static const ColourStop fill[] = {
        {0.0f, palette::cream}, {0.3f, palette::amber}, {0.65f, palette::coral}, {1.0f, palette::violet}};
    const float top = baseline - metrics.top, span = metrics.top;
    Image image = makeImage(width, height, true, {0, 0, 0}, 0.0f);
    for (int y = 0; y < height; ++y) {
        const float along = clamp01((static_cast<float>(y) - top) / span);
        // Slices: from half-way down, a dark gap every 14 rows that widens towards the foot.
        const float gapWidth = std::max(0.0f, (along - 0.5f) * 2.0f) * 8.0f;
        const float phase = std::fmod(static_cast<float>(y) - top, 14.0f);
        const float slice = phase < gapWidth ? 0.0f : 1.0f;
        const Rgb body = sampleGradient(fill, 4, along);
        for (int x = 0; x < width; ++x) {
            const float fade = smoothStep(30.0f, 200.0f, static_cast<float>(x)) *
                               smoothStep(770.0f, 600.0f, static_cast<float>(x));
            const float outside = 1.0f - letters.at(x, y);  // glows only around the letters
            const Rgb light =
                body * (letters.at(x, y) * slice) + palette::teal * (0.55f * outside * glow.at(x, y)) +
                palette::violet * (0.35f * outside * wideGlow.at(x, y)) +
                palette::cream * (0.9f * title.at(x, y)) + palette::teal * (0.8f * fade * horizon.at(x, y));
            storeLight(image, x, y, light);
        }
    }
    return image;
}

// One long line of scroll text on a dark band with soft ends and thin teal rules above and
// below; the mask darkens the band so the text reads over the white scene it crosses.
void makeScroller(Image& picture, Image& mask) {
    const int width = 2048, height = 256;
    CardInk ink = makeCardInk(width, height);
    const char* text = "kestrane  \xc2\xb7  a vel production  \xc2\xb7  thank you for watching";
    TextStyle face{"DejaVu Sans", true, 96.0f, 1.0f};
    face.size = fitTextSize(face, text, 1880.0f);
    const TextMetrics metrics = measureText(face, text);
    drawText(ink.main, face, text, width * 0.5f, height * 0.5f + (metrics.top - metrics.bottom) * 0.5f,
             Align::centre);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            const float ends =
                smoothStep(0.0f, 90.0f, fx) * smoothStep(static_cast<float>(width), width - 90.0f, fx);
            ink.panel.at(x, y) = ends * smoothStep(90.0f, 70.0f, std::fabs(fy - height * 0.5f));
            const float rule = std::fabs(fy + 0.5f - height * 0.5f);
            if (rule > 74.0f && rule < 76.0f) ink.accent.at(x, y) = 0.8f * ends;
        }
    }
    const CardPair pair = composeCard(ink, 16.0f);
    picture = pair.picture;
    mask = pair.mask;
}

// A viewfinder frame: teal corner brackets around the visible picture, faint scan lines, and
// the title in small mono type in the lower right corner.
Image makeOverlay() {
    const int width = 1024, height = 512;
    Coverage lines = makeCoverage(width, height);
    const float left = 28.0f, right = 772.0f, top = 104.0f, bottom = 488.0f, arm = 44.0f, weight = 3.0f;
    for (int side = 0; side < 2; ++side) {
        const float x = side ? right - weight : left;
        const float armX = side ? right - arm : left;
        fillBox(lines, armX, top, armX + arm, top + weight);
        fillBox(lines, armX, bottom - weight, armX + arm, bottom);
        fillBox(lines, x, top, x + weight, top + arm);
        fillBox(lines, x, bottom - arm, x + weight, bottom);
    }
    Coverage label = makeCoverage(width, height);
    drawText(label, {"DejaVu Sans Mono", true, 16.0f, 6.0f}, "vel / kestrane", right - 14.0f, bottom - 16.0f,
             Align::right);
    Image image = makeImage(width, height, true, {0, 0, 0}, 0.0f);
    for (int y = 0; y < height; ++y) {
        const bool scan = y >= 80 && (y % 4) == 0;
        for (int x = 0; x < width; ++x) {
            Rgb light = palette::teal * lines.at(x, y) + palette::cream * (0.8f * label.at(x, y));
            if (scan && x < 800) light = light + palette::indigo * 0.18f;
            storeLight(image, x, y, light);
        }
    }
    return image;
}

}  // namespace

Image makeGroupLogo() { return makeLogo(); }

bool makeLogoPictures(const PictureSink& sink) {
    Image scroller, scrollerMask;
    makeScroller(scroller, scrollerMask);
    return sink("vel_logo.png", makeLogo()) && sink("scroller_layer.png", scroller) &&
           sink("scroller_mask.png", scrollerMask) && sink("overlay.png", makeOverlay());
}
