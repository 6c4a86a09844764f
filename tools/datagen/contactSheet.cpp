// contactSheet.cpp
// One overview picture of everything the generator makes: each picture (read back from disk, so
// it shows what was written) with its name, size and kind, grouped as the demo uses them, and a
// small rendering of the model sphere-mapped with the particle glow as the demo draws it.
// Pictures with alpha are shown as the light they add over black.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/datagen/canvas.h"
#include "tools/datagen/datagen.h"

namespace {

const int sheetWidth = 1680;
const double margin = 40.0;

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void setFace(cairo_t* cr, const char* family, bool bold, double size) {
    cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

void showText(cairo_t* cr, double x, double y, const std::string& text) {
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

struct Tile {
    std::string name;
    cairo_surface_t* picture;  // owned; null when the file could not be read
    double x, y, width, height;
};

// Places tiles of the given thumbnail height left to right, wrapping at the margin.
double flowTiles(std::vector<Tile>& tiles, double top, double thumbHeight) {
    const double gap = 18.0, caption = 40.0;
    double x = margin, y = top;
    for (Tile& tile : tiles) {
        const double aspect = tile.picture
                                  ? static_cast<double>(cairo_image_surface_get_width(tile.picture)) /
                                        cairo_image_surface_get_height(tile.picture)
                                  : 1.0;
        double width = thumbHeight * aspect, height = thumbHeight;
        const double room = sheetWidth - 2.0 * margin;
        if (width > room) {
            width = room;
            height = room / aspect;
        }
        if (x + width > sheetWidth - margin + 0.5) {
            x = margin;
            y += thumbHeight + caption + gap;
        }
        tile.x = x;
        tile.y = y;
        tile.width = width;
        tile.height = height;
        x += width + gap;
    }
    return tiles.empty() ? top : y + thumbHeight + caption + gap;
}

void drawTile(cairo_t* cr, const Tile& tile) {
    setColour(cr, {0, 0, 0});
    cairo_rectangle(cr, tile.x, tile.y, tile.width, tile.height);
    cairo_fill(cr);
    std::string kind = "unreadable";
    if (tile.picture) {
        const int w = cairo_image_surface_get_width(tile.picture),
                  h = cairo_image_surface_get_height(tile.picture);
        const bool alpha = cairo_image_surface_get_format(tile.picture) == CAIRO_FORMAT_ARGB32;
        kind = std::to_string(w) + "x" + std::to_string(h) + (alpha ? "  RGBA" : "  RGB");
        cairo_save(cr);
        cairo_translate(cr, tile.x, tile.y);
        cairo_scale(cr, tile.width / w, tile.height / h);
        cairo_set_source_surface(cr, tile.picture, 0, 0);
        // Enlarged pictures keep their texels, as the demo's nearest filtering shows them.
        cairo_pattern_set_filter(cairo_get_source(cr),
                                 tile.width > w ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    setColour(cr, palette::indigo);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, tile.x - 0.5, tile.y - 0.5, tile.width + 1.0, tile.height + 1.0);
    cairo_stroke(cr);
    setFace(cr, "DejaVu Sans", true, 13.0);
    setColour(cr, palette::cream);
    showText(cr, tile.x, tile.y + tile.height + 17.0, tile.name);
    setFace(cr, "DejaVu Sans Mono", false, 11.0);
    setColour(cr, palette::teal, 0.8);
    showText(cr, tile.x, tile.y + tile.height + 32.0, kind);
}

double sectionTitle(cairo_t* cr, double y, const char* title, bool draw) {
    if (draw) {
        setFace(cr, "DejaVu Sans Mono", true, 15.0);
        setColour(cr, palette::teal);
        showText(cr, margin, y + 16.0, title);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, title, &extents);
        setColour(cr, palette::indigo);
        cairo_rectangle(cr, margin + extents.x_advance + 16.0, y + 10.0,
                        sheetWidth - 2 * margin - extents.x_advance - 16.0, 1.0);
        cairo_fill(cr);
    }
    return y + 34.0;
}

// The model as the floor scene shows it: sphere-mapped with the particle glow, which for a
// distant viewer samples the glow at (0.5 + nx / 2, 0.5 + ny / 2) of the eye-space normal.
// Triangles are painted far to near with flat colours, after a turn that shows the knot well.
struct ModelStats {
    int vertices = 0, texcoords = 0, triangles = 0, groups = 0;
};

bool drawModel(cairo_t* cr, const std::string& modelPath, cairo_surface_t* glow, double cx, double cy,
               double scale, ModelStats& stats) {
    std::ifstream file(modelPath);
    if (!file) return false;
    std::vector<double> p(3, 0.0);  // slot 0 unused, as the file's indices are 1-based
    std::vector<std::vector<int>> faces;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        std::string key;
        in >> key;
        if (key == "v") {
            double x, y, z;
            in >> x >> y >> z;
            p.insert(p.end(), {x, y, z});
            ++stats.vertices;
        } else if (key == "vt") {
            ++stats.texcoords;
        } else if (key == "g") {
            ++stats.groups;
        } else if (key == "f") {
            std::vector<int> face;
            std::string corner;
            while (in >> corner) face.push_back(std::atoi(corner.c_str()));
            faces.push_back(face);
        }
    }
    // A fixed turn: 35 degrees about x, then 20 about y.
    const double ax = 0.61, ay = 0.35;
    std::vector<double> q(p.size());
    for (size_t i = 3; i + 2 < p.size(); i += 3) {
        const double x = p[i], y = p[i + 1] * std::cos(ax) - p[i + 2] * std::sin(ax);
        const double z = p[i + 1] * std::sin(ax) + p[i + 2] * std::cos(ax);
        q[i] = x * std::cos(ay) + z * std::sin(ay);
        q[i + 1] = y;
        q[i + 2] = -x * std::sin(ay) + z * std::cos(ay);
    }
    std::vector<double> normals(q.size(), 0.0);
    struct Triangle {
        int v[3];
        double depth;
    };
    std::vector<Triangle> triangles;
    for (const std::vector<int>& face : faces) {
        for (size_t k = 1; k + 1 < face.size(); ++k) {
            Triangle t{{face[0], face[k], face[k + 1]}, 0.0};
            const double* a = &q[3 * t.v[0]];
            const double* b = &q[3 * t.v[1]];
            const double* c = &q[3 * t.v[2]];
            const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]},
                         e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
            for (int corner : t.v)
                for (int c3 = 0; c3 < 3; ++c3) normals[3 * corner + c3] += n[c3];
            t.depth = a[2] + b[2] + c[2];
            triangles.push_back(t);
        }
    }
    stats.triangles = static_cast<int>(triangles.size());
    std::sort(triangles.begin(), triangles.end(),
              [](const Triangle& l, const Triangle& r) { return l.depth < r.depth; });
    cairo_surface_flush(glow);
    const unsigned char* texels = cairo_image_surface_get_data(glow);
    const int gw = cairo_image_surface_get_width(glow), gh = cairo_image_surface_get_height(glow);
    const int stride = cairo_image_surface_get_stride(glow);
    cairo_set_line_width(cr, 0.7);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const Triangle& t : triangles) {
        // Gouraud shading: a three-corner mesh patch coloured by the glow under each normal.
        cairo_pattern_t* patch = cairo_pattern_create_mesh();
        cairo_mesh_pattern_begin_patch(patch);
        double px[3], py[3];
        for (int k = 0; k < 3; ++k) {
            const double* v = &q[3 * t.v[k]];
            px[k] = cx + v[0] * scale;
            py[k] = cy - v[1] * scale;
            if (k == 0)
                cairo_mesh_pattern_move_to(patch, px[k], py[k]);
            else
                cairo_mesh_pattern_line_to(patch, px[k], py[k]);
        }
        for (int k = 0; k < 3; ++k) {
            const double* n = &normals[3 * t.v[k]];
            const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            const double s = 0.5 + 0.5 * n[0] / len, u = 0.5 + 0.5 * n[1] / len;
            const int tx = std::min(gw - 1, static_cast<int>(s * gw)),
                      ty = std::min(gh - 1, static_cast<int>(u * gh));
            const uint32_t texel = *reinterpret_cast<const uint32_t*>(texels + ty * stride + tx * 4);
            cairo_mesh_pattern_set_corner_color_rgb(patch, static_cast<unsigned>(k),
                                                    ((texel >> 16) & 255) / 255.0,
                                                    ((texel >> 8) & 255) / 255.0, (texel & 255) / 255.0);
        }
        cairo_mesh_pattern_end_patch(patch);
        cairo_set_source(cr, patch);
        cairo_move_to(cr, px[0], py[0]);
        cairo_line_to(cr, px[1], py[1]);
        cairo_line_to(cr, px[2], py[2]);
        cairo_close_path(cr);
        cairo_fill_preserve(cr);
        cairo_stroke(cr);  // covers the hairline seams between neighbouring triangles
        cairo_pattern_destroy(patch);
    }
    return true;
}

// Lays out (draw false) or draws (draw true) the whole sheet; returns its height.
double composeSheet(cairo_t* cr, std::vector<Tile>& scene, std::vector<Tile>& intro,
                    std::vector<Tile>& overlays, const std::string& modelPath, cairo_surface_t* glow,
                    bool draw, std::string& error) {
    double y = margin;
    if (draw) {
        setFace(cr, "DejaVu Sans", true, 44.0);
        setColour(cr, palette::cream);
        showText(cr, margin, y + 40.0, "kestrane");
        setFace(cr, "DejaVu Sans Mono", true, 15.0);
        setColour(cr, palette::teal);
        showText(cr, margin + 236.0, y + 38.0, "pictures and model  \xc2\xb7  generated by kestrane-datagen");
        setFace(cr, "DejaVu Serif", false, 15.0);
        setColour(cr, palette::cream, 0.7);
        showText(
            cr, margin, y + 70.0,
            "pictures with alpha are shown as the light they add over black; masks darken what lies below "
            "(white keeps, dark cuts); billboard sprites are stored upside down");
    }
    y += 100.0;
    y = sectionTitle(cr, y, "SCENE TEXTURES, SPRITES AND FONT", draw);
    y = flowTiles(scene, y, 170.0);
    y = sectionTitle(cr, y, "TITLE SEQUENCE  (PICTURE, MASK)", draw);
    y = flowTiles(intro, y, 120.0);
    y = sectionTitle(cr, y, "PHRASES, TITLES, LOGO, SCROLLER, OVERLAY", draw);
    y = flowTiles(overlays, y, 120.0);
    y = sectionTitle(cr, y, "MODEL  (data/3d/deformed2.obj, sphere-mapped with particle.png)", draw);
    const double modelSize = 400.0;
    if (draw) {
        for (auto* tiles : {&scene, &intro, &overlays})
            for (const Tile& tile : *tiles) drawTile(cr, tile);
        setColour(cr, {0, 0, 0});
        cairo_rectangle(cr, margin, y, modelSize * 1.4, modelSize);
        cairo_fill(cr);
        ModelStats stats;
        if (!glow ||
            !drawModel(cr, modelPath, glow, margin + modelSize * 0.7, y + modelSize * 0.5, 40.0, stats)) {
            error = "cannot read " + modelPath + " or particle.png";
            return -1.0;
        }
        char caption[160];
        std::snprintf(caption, sizeof caption, "%d vertices, %d texture coordinates, %d triangles, %d groups",
                      stats.vertices, stats.texcoords, stats.triangles, stats.groups);
        setFace(cr, "DejaVu Sans Mono", false, 12.0);
        setColour(cr, palette::teal, 0.8);
        showText(cr, margin + modelSize * 1.4 + 24.0, y + 20.0, "trefoil knot tube, three lobe groups");
        showText(cr, margin + modelSize * 1.4 + 24.0, y + 40.0, caption);
    }
    return y + modelSize + margin;
}

}  // namespace

bool writeContactSheet(const std::string& texturesDir, const std::vector<SheetEntry>& entries,
                       const std::string& modelPath, const std::string& sheetPath, std::string& error) {
    std::vector<Tile> scene, intro, overlays;
    for (const SheetEntry& entry : entries) {
        cairo_surface_t* picture =
            cairo_image_surface_create_from_png((texturesDir + "/" + entry.name).c_str());
        if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(picture);
            picture = nullptr;
        }
        Tile tile{entry.name, picture, 0, 0, 0, 0};
        const std::string& n = entry.name;
        if (n.rfind("intro/", 0) == 0)
            intro.push_back(tile);
        else if (n.find("keep") == 0 || n.find("meanwhile") == 0 || n.find("kestrane") != std::string::npos ||
                 n.find("logo") != std::string::npos || n.find("scroller") == 0 || n == "overlay.png")
            overlays.push_back(tile);
        else
            scene.push_back(tile);
    }
    cairo_surface_t* glow = cairo_image_surface_create_from_png((texturesDir + "/particle.png").c_str());
    if (cairo_surface_status(glow) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(glow);
        glow = nullptr;
    }

    const double height = composeSheet(nullptr, scene, intro, overlays, modelPath, glow, false, error);
    cairo_surface_t* sheet =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, sheetWidth, static_cast<int>(height));
    cairo_t* cr = cairo_create(sheet);
    setColour(cr, palette::night);
    cairo_paint(cr);
    bool ok = composeSheet(cr, scene, intro, overlays, modelPath, glow, true, error) > 0.0;
    cairo_destroy(cr);
    if (ok) {
        const std::string temporary = sheetPath + ".part";
        ok = cairo_surface_write_to_png(sheet, temporary.c_str()) == CAIRO_STATUS_SUCCESS &&
             std::rename(temporary.c_str(), sheetPath.c_str()) == 0;
        if (!ok) {
            std::remove(temporary.c_str());
            error = "cannot write " + sheetPath;
        }
    }
    cairo_surface_destroy(sheet);
    if (glow) cairo_surface_destroy(glow);
    for (auto* tiles : {&scene, &intro, &overlays})
        for (Tile& tile : *tiles)
            if (tile.picture) cairo_surface_destroy(tile.picture);
    return ok;
}
