#include "canvas.h"

#include <stdexcept>

namespace demogame {

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
    throw std::runtime_error("cairo could not make a picture");
  }
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

void SetColour(cairo_t* cr, Rgb colour, double alpha) { cairo_set_source_rgba(cr, colour.r, colour.g, colour.b, alpha); }

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

void FillGradient(cairo_t* cr, double x, double y, double w, double h, Rgb top, Rgb bottom, double alpha) {
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgba(pattern, 0, top.r, top.g, top.b, alpha);
  cairo_pattern_add_color_stop_rgba(pattern, 1, bottom.r, bottom.g, bottom.b, alpha);
  cairo_rectangle(cr, x, y, w, h);
  cairo_set_source(cr, pattern);
  cairo_fill(cr);
  cairo_pattern_destroy(pattern);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
  constexpr double kQuarter = 1.5707963267948966;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -kQuarter, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, kQuarter);
  cairo_arc(cr, x + radius, y + h - radius, radius, kQuarter, 2 * kQuarter);
  cairo_arc(cr, x + radius, y + radius, radius, 2 * kQuarter, 3 * kQuarter);
  cairo_close_path(cr);
}

void DrawText(cairo_t* cr, const std::string& text, double size, double x, double y, Rgb colour, Align align,
              bool outline) {
  if (text.empty()) return;
  cairo_save(cr);
  cairo_select_font_face(cr, "IPAGothic", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  const double left = align == Align::kCentre ? x - extents.x_advance / 2 : x;
  cairo_move_to(cr, left, y);
  cairo_text_path(cr, text.c_str());
  if (outline) {
    SetColour(cr, Darker(colour, 0.85), 0.9);
    cairo_set_line_width(cr, size / 8);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
  }
  SetColour(cr, colour);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace demogame
