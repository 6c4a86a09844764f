// canvas.cpp
// Pixel buffers, blur and PNG output of the picture generator. The PNG writer stores no time
// stamp or other varying chunk, so equal pixels always give equal files.
#include "tools/datagen/canvas.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

// One horizontal box pass of width 2 * radius + 1 over every row; wrap or zero outside.
void boxPassRows(const std::vector<float>& in, std::vector<float>& out, int width, int height, int radius,
                 bool wrap) {
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    auto sample = [&](const float* row, int x) -> float {
        if (x >= 0 && x < width) return row[x];
        if (!wrap) return 0.0f;
        return row[((x % width) + width) % width];
    };
    for (int y = 0; y < height; ++y) {
        const float* row = &in[static_cast<size_t>(y) * width];
        float* target = &out[static_cast<size_t>(y) * width];
        double sum = 0.0;
        for (int x = -radius; x <= radius; ++x) sum += sample(row, x);
        for (int x = 0; x < width; ++x) {
            target[x] = static_cast<float>(sum) * scale;
            sum += sample(row, x + radius + 1) - sample(row, x - radius);
        }
    }
}

void transpose(const std::vector<float>& in, std::vector<float>& out, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[static_cast<size_t>(x) * height + y] = in[static_cast<size_t>(y) * width + x];
}

// The 4x4 Bayer threshold matrix, as fractions in [0, 1).
float bayer(int x, int y) {
    static const int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (static_cast<float>(matrix[y & 3][x & 3]) + 0.5f) / 16.0f;
}

png_byte toByte(float value, float threshold) {
    const float scaled = std::floor(clamp01(value) * 255.0f + threshold);
    return static_cast<png_byte>(std::min(255.0f, scaled));
}

// libpng reports errors by longjmp; the message is kept for the caller.
struct PngErrorSink {
    std::jmp_buf jump;
    char message[256];
};

void onPngError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", message);
    std::longjmp(sink->jump, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Encodes rows into an open file; false with a message on a libpng error.
bool encodePng(std::FILE* file, const Image& image, const std::vector<png_byte>& bytes, std::string& error) {
    PngErrorSink sink;
    sink.message[0] = '\0';
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, onPngError, onPngWarning);
    if (!png) {
        error = "cannot create a PNG writer";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "cannot create a PNG writer";
        return false;
    }
    const int channels = image.hasAlpha ? 4 : 3;
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        rows[static_cast<size_t>(y)] =
            const_cast<png_bytep>(&bytes[static_cast<size_t>(y) * image.width * channels]);
    if (setjmp(sink.jump)) {
        png_destroy_write_struct(&png, &info);
        error = sink.message;
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 image.hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

Rgb mixRgb(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb sampleGradient(const ColourStop* stops, int count, float at) {
    if (at <= stops[0].at) return stops[0].colour;
    for (int i = 1; i < count; ++i) {
        if (at <= stops[i].at) {
            const float span = stops[i].at - stops[i - 1].at;
            const float t = span > 0.0f ? (at - stops[i - 1].at) / span : 1.0f;
            return mixRgb(stops[i - 1].colour, stops[i].colour, t);
        }
    }
    return stops[count - 1].colour;
}

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float smoothStep(float edge0, float edge1, float v) {
    const float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

float mixFloat(float a, float b, float t) { return a + (b - a) * t; }

Image makeImage(int width, int height, bool hasAlpha, Rgb fill, float alpha) {
    Image image;
    image.width = width;
    image.height = height;
    image.hasAlpha = hasAlpha;
    image.pixels.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] = fill.r;
        image.pixels[i + 1] = fill.g;
        image.pixels[i + 2] = fill.b;
        image.pixels[i + 3] = alpha;
    }
    return image;
}

Coverage makeCoverage(int width, int height) {
    Coverage map;
    map.width = width;
    map.height = height;
    map.values.assign(static_cast<size_t>(width) * height, 0.0f);
    return map;
}

void setPixel(Image& image, int x, int y, Rgb colour, float alpha) {
    float* p = image.at(x, y);
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
    p[3] = alpha;
}

void blurCoverage(Coverage& map, float sigma, bool wrap) {
    // Three box passes of half-width b approximate a Gaussian of sigma close to b + 0.5.
    const int box = std::max(1, static_cast<int>(std::lround(sigma - 0.5f)));
    std::vector<float> scratch(map.values.size());
    std::vector<float> turned(map.values.size());
    for (int pass = 0; pass < 3; ++pass) {
        boxPassRows(map.values, scratch, map.width, map.height, box, wrap);
        map.values.swap(scratch);
    }
    transpose(map.values, turned, map.width, map.height);
    for (int pass = 0; pass < 3; ++pass) {
        boxPassRows(turned, scratch, map.height, map.width, box, wrap);
        turned.swap(scratch);
    }
    transpose(turned, map.values, map.height, map.width);
}

void amplifyCoverage(Coverage& map, float gain) {
    for (float& v : map.values) v = clamp01(v * gain);
}

void addGlow(Image& image, const Coverage& map, Rgb colour, float weight) {
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const float k = map.at(x, y) * weight;
            if (k <= 0.0f) continue;
            float* p = image.at(x, y);
            p[0] += colour.r * k;
            p[1] += colour.g * k;
            p[2] += colour.b * k;
        }
    }
}

bool writePng(const Image& image, const std::string& path, std::string& error) {
    const int channels = image.hasAlpha ? 4 : 3;
    std::vector<png_byte> bytes(static_cast<size_t>(image.width) * image.height * channels);
    size_t o = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const float* p = image.at(x, y);
            const float threshold = bayer(x, y);
            const png_byte alpha = toByte(p[3], threshold);
            const bool invisible = image.hasAlpha && alpha == 0;
            for (int c = 0; c < 3; ++c) bytes[o++] = invisible ? 0 : toByte(p[c], threshold);
            if (image.hasAlpha) bytes[o++] = alpha;
        }
    }
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "cannot create " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool encoded = encodePng(file, image, bytes, error);
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed) {
        if (encoded) error = "cannot write " + temporary + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
