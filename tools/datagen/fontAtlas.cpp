// fontAtlas.cpp
// A bitmap font (loaded but not drawn by the demo): a 16 by 16 grid of 32-pixel cells, each
// printable ASCII character in the cell of its code, in bold mono cream with alpha coverage.
#include "tools/datagen/pictures.h"
#include "tools/datagen/typeset.h"

bool makeFontAtlas(const PictureSink& sink) {
    const int size = 512, cell = 32;
    Coverage glyphs = makeCoverage(size, size);
    const TextStyle face{"DejaVu Sans Mono", true, 26.0f, 0.0f};
    for (int code = 33; code < 127; ++code) {
        const char text[2] = {static_cast<char>(code), '\0'};
        const float x = static_cast<float>((code % 16) * cell) + cell * 0.5f;
        const float baseline = static_cast<float>((code / 16) * cell) + 24.0f;
        drawText(glyphs, face, text, x, baseline, Align::centre);
    }
    Image atlas = makeImage(size, size, true, {0, 0, 0}, 0.0f);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (glyphs.at(x, y) > 0.0f) setPixel(atlas, x, y, palette::cream, glyphs.at(x, y));
    return sink("font.png", atlas);
}
