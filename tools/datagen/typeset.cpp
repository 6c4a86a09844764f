// typeset.cpp
// Cairo text into coverage maps. Characters are placed one at a time when letter spacing is set;
// each glyph is shown with Cairo's toy text API, which resolves the DejaVu faces by name.
#include "tools/datagen/typeset.h"

#include <cairo.h>

#include <algorithm>
#include <string>

namespace {

// Bytes in the UTF-8 sequence that starts with lead.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xe0) == 0xc0) return 2;
    if ((lead & 0xf0) == 0xe0) return 3;
    return 4;
}

void applyStyle(cairo_t* cr, const TextStyle& style) {
    cairo_select_font_face(cr, style.family, CAIRO_FONT_SLANT_NORMAL,
                           style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, style.size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

// Walks the text one character at a time, calling visit(character, penX) and advancing the pen.
template <typename Visit>
float walkText(cairo_t* cr, const TextStyle& style, const char* text, Visit visit) {
    const std::string all(text);
    float pen = 0.0f;
    size_t i = 0;
    while (i < all.size()) {
        const int length = sequenceLength(static_cast<unsigned char>(all[i]));
        const std::string character = all.substr(i, static_cast<size_t>(length));
        cairo_text_extents_t extents;
        cairo_text_extents(cr, character.c_str(), &extents);
        visit(character, pen, extents);
        pen += static_cast<float>(extents.x_advance);
        i += static_cast<size_t>(length);
        if (i < all.size()) pen += style.tracking;
    }
    return pen;
}

}  // namespace

TextMetrics measureText(const TextStyle& style, const char* text) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    applyStyle(cr, style);
    float top = 0.0f, bottom = 0.0f;
    const float advance =
        walkText(cr, style, text, [&](const std::string&, float, const cairo_text_extents_t& e) {
            if (e.width <= 0.0) return;  // spaces have no ink
            top = std::max(top, static_cast<float>(-e.y_bearing));
            bottom = std::max(bottom, static_cast<float>(e.y_bearing + e.height));
        });
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return {advance, top, bottom};
}

void drawText(Coverage& map, const TextStyle& style, const char* text, float x, float y, Align align) {
    const TextMetrics metrics = measureText(style, text);
    float start = x;
    if (align == Align::centre) start = x - metrics.advance * 0.5f;
    if (align == Align::right) start = x - metrics.advance;

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, map.width, map.height);
    cairo_t* cr = cairo_create(surface);
    applyStyle(cr, style);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    walkText(cr, style, text, [&](const std::string& character, float pen, const cairo_text_extents_t&) {
        cairo_move_to(cr, start + pen, y);
        cairo_show_text(cr, character.c_str());
    });
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int row = 0; row < map.height; ++row) {
        for (int column = 0; column < map.width; ++column) {
            const float value = data[row * stride + column] / 255.0f;
            float& target = map.at(column, row);
            if (value > target) target = value;
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

float fitTextSize(const TextStyle& style, const char* text, float width) {
    const float advance = measureText(style, text).advance;
    if (advance <= width) return style.size;
    TextStyle smaller = style;
    smaller.size = style.size * width / advance;
    // Tracking does not scale with the size, so settle the size in a few steps.
    for (int step = 0; step < 4 && measureText(smaller, text).advance > width; ++step) smaller.size *= 0.99f;
    return smaller.size;
}

void fillBox(Coverage& map, float x0, float y0, float x1, float y1) {
    const int left = std::max(0, static_cast<int>(x0)), right = std::min(map.width - 1, static_cast<int>(x1));
    const int top = std::max(0, static_cast<int>(y0)),
              bottom = std::min(map.height - 1, static_cast<int>(y1));
    for (int y = top; y <= bottom; ++y) {
        const float cy = std::max(0.0f, std::min(y + 1.0f, y1) - std::max(static_cast<float>(y), y0));
        for (int x = left; x <= right; ++x) {
            const float cx = std::max(0.0f, std::min(x + 1.0f, x1) - std::max(static_cast<float>(x), x0));
            float& target = map.at(x, y);
            target = std::max(target, cx * cy);
        }
    }
}
