// Draws the bundle's pictures at build time: the two list marks and the fallback icon.
//   draw-settings-images <output-folder>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace {
constexpr double kPi = std::numbers::pi;

void roundedRect(cairo_t* c, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(c);
    cairo_arc(c, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(c, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(c, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(c, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(c);
}

void disc(cairo_t* c, double size, double r, double g, double b)
{
    cairo_arc(c, size / 2, size / 2, size / 2 - 1, 0, 2 * kPi);
    cairo_set_source_rgb(c, r * 0.75, g * 0.75, b * 0.75);
    cairo_fill(c);
    cairo_arc(c, size / 2, size / 2, size / 2 - 2.5, 0, 2 * kPi);
    cairo_set_source_rgb(c, r, g, b);
    cairo_fill(c);
}

// Always close: a red disc with a white cross.
void drawAlways(cairo_t* c, double size)
{
    disc(c, size, 0.86, 0.18, 0.16);
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_set_line_width(c, size / 8);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    double a = size * 0.32, b = size * 0.68;
    cairo_move_to(c, a, a);
    cairo_line_to(c, b, b);
    cairo_move_to(c, b, a);
    cairo_line_to(c, a, b);
    cairo_stroke(c);
}

// Never close: a green disc with a white padlock.
void drawNever(cairo_t* c, double size)
{
    disc(c, size, 0.2, 0.66, 0.3);
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_set_line_width(c, size / 12);
    cairo_arc(c, size / 2, size * 0.42, size * 0.14, kPi, 2 * kPi);
    cairo_line_to(c, size * 0.64, size * 0.48);
    cairo_move_to(c, size * 0.36, size * 0.48);
    cairo_line_to(c, size * 0.36, size * 0.42);
    cairo_stroke(c);
    roundedRect(c, size * 0.28, size * 0.46, size * 0.44, size * 0.30, size * 0.05);
    cairo_fill(c);
}

// The fallback icon: a grey tile with a white question mark.
void drawMissing(cairo_t* c, double size)
{
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, size);
    cairo_pattern_add_color_stop_rgb(shade, 0, 0.72, 0.74, 0.78);
    cairo_pattern_add_color_stop_rgb(shade, 1, 0.45, 0.47, 0.52);
    roundedRect(c, 0, 0, size, size, size * 0.18);
    cairo_set_source(c, shade);
    cairo_fill(c);
    cairo_pattern_destroy(shade);
    cairo_set_source_rgb(c, 1, 1, 1);
    cairo_set_line_width(c, size / 9);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    cairo_arc(c, size / 2, size * 0.36, size * 0.15, -kPi * 0.95, kPi * 0.35);
    cairo_line_to(c, size / 2, size * 0.62);
    cairo_stroke(c);
    cairo_arc(c, size / 2, size * 0.78, size / 15, 0, 2 * kPi);
    cairo_fill(c);
}

bool write(const std::string& path, int size, void (*draw)(cairo_t*, double))
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* c = cairo_create(surface);
    draw(c, size);
    cairo_destroy(c);
    bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok)
        std::fprintf(stderr, "draw-settings-images: cannot write %s\n", path.c_str());
    return ok;
}
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-settings-images <output-folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    bool ok = write(folder + "/SLVAlways.png", 32, drawAlways);
    ok = write(folder + "/SLVNever.png", 32, drawNever) && ok;
    ok = write(folder + "/MissingIcon.png", 57, drawMissing) && ok;
    return ok ? 0 : 1;
}
