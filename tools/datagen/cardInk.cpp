// cardInk.cpp
// Turns the coverage of a card's text into its additive picture and its mask. The picture's
// alpha is the brightness it adds, so it looks the same whatever the scene below; the mask is
// white everywhere except a soft violet-dark halo around the ink, where the picture also adds a
// faint tint (the picture is transparent exactly where the mask is white).
#include "tools/datagen/pictures.h"

#include <algorithm>

CardInk makeCardInk(int width, int height) {
    return {makeCoverage(width, height), makeCoverage(width, height), makeCoverage(width, height),
            makeCoverage(width, height)};
}

CardPair composeCard(const CardInk& ink, float haloSigma) {
    const int width = ink.main.width, height = ink.main.height;
    Coverage all = makeCoverage(width, height);
    for (size_t i = 0; i < all.values.size(); ++i)
        all.values[i] = std::max({ink.main.values[i], ink.accent.values[i], ink.soft.values[i]});

    Coverage mainGlow = ink.main;
    blurCoverage(mainGlow, 5.0f, false);
    Coverage accentGlow = ink.accent;
    blurCoverage(accentGlow, 4.0f, false);
    // The halo: the ink spread out (blur, then boosted back to full strength), then softened.
    Coverage halo = all;
    blurCoverage(halo, haloSigma * 0.5f, false);
    amplifyCoverage(halo, 8.0f);
    blurCoverage(halo, haloSigma * 0.5f, false);
    // Close around every stroke the halo is at full strength, however thin the type.
    Coverage seat = all;
    blurCoverage(seat, 2.0f, false);
    amplifyCoverage(seat, 4.0f);
    for (size_t i = 0; i < halo.values.size(); ++i)
        halo.values[i] = std::max({halo.values[i], seat.values[i], ink.panel.values[i]});

    const Rgb softCream = palette::cream * 0.78f;
    const Rgb maskDark{0.11f, 0.10f, 0.21f};
    CardPair pair{makeImage(width, height, true, {0, 0, 0}, 0.0f),
                  makeImage(width, height, false, {1, 1, 1}, 1.0f)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float h = halo.at(x, y);
            // Large type warms from cream at the top of the frame to pale amber at the bottom.
            const Rgb type = mixRgb(palette::cream, mixRgb(palette::cream, palette::amber, 0.55f),
                                    smoothStep(160.0f, 470.0f, static_cast<float>(y)));
            Rgb light = type * ink.main.at(x, y) + palette::teal * ink.accent.at(x, y) +
                        softCream * ink.soft.at(x, y) + palette::amber * (0.45f * mainGlow.at(x, y)) +
                        palette::teal * (0.35f * accentGlow.at(x, y)) + palette::indigo * (0.16f * h);
            const float alpha = std::min(1.0f, std::max({light.r, light.g, light.b}));
            if (alpha > 0.0f) {
                light = light * (1.0f / alpha);
                setPixel(pair.picture, x, y,
                         {std::min(1.0f, light.r), std::min(1.0f, light.g), std::min(1.0f, light.b)}, alpha);
            }
            setPixel(pair.mask, x, y, mixRgb({1, 1, 1}, maskDark, 0.92f * h), 1.0f);
        }
    }
    return pair;
}
