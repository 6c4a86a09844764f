// iconPicture.cpp
// The program's icon for desktop menus: the group logo's letters and title, cropped square and
// halved to 256x256, added over a dark rounded plate so it reads on light and dark themes alike.
#include <algorithm>
#include <cmath>

#include "tools/datagen/pictures.h"

namespace {

const int iconSize = 256;
// The 512x512 square of the logo that holds the letters and the title (rows past the logo's
// foot count as empty).
const int cropLeft = 134, cropTop = 40;
const float cornerRadius = 40.0f;

// Coverage of the rounded plate at pixel centre (x + 0.5, y + 0.5), anti-aliased over one pixel.
float plateCoverage(int x, int y) {
    const float half = iconSize * 0.5f;
    const float dx = std::max(0.0f, std::fabs(x + 0.5f - half) - (half - cornerRadius));
    const float dy = std::max(0.0f, std::fabs(y + 0.5f - half) - (half - cornerRadius));
    return clamp01(cornerRadius + 0.5f - std::sqrt(dx * dx + dy * dy));
}

}  // namespace

Image makeIcon() {
    const Image logo = makeGroupLogo();
    Image icon = makeImage(iconSize, iconSize, true, {0, 0, 0}, 0.0f);
    for (int y = 0; y < iconSize; ++y) {
        const Rgb plate = mixRgb(palette::indigo * 0.55f, palette::night, static_cast<float>(y) / iconSize);
        for (int x = 0; x < iconSize; ++x) {
            // The logo's light (colour times alpha, as the demo adds it), averaged over 2x2 pixels.
            Rgb light{0, 0, 0};
            for (int sy = 0; sy < 2; ++sy) {
                for (int sx = 0; sx < 2; ++sx) {
                    const int lx = cropLeft + 2 * x + sx, ly = cropTop + 2 * y + sy;
                    if (lx >= logo.width || ly >= logo.height) continue;
                    const float* p = logo.at(lx, ly);
                    light = light + Rgb{p[0], p[1], p[2]} * (p[3] * 0.25f);
                }
            }
            const Rgb colour = plate + light;
            const Rgb clamped{clamp01(colour.r), clamp01(colour.g), clamp01(colour.b)};
            setPixel(icon, x, y, clamped, plateCoverage(x, y));
        }
    }
    return icon;
}
