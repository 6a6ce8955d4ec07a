// Drawing helpers over cairo for the demo game's pictures: a canvas that owns
// its surface and context, gradients, rounded boxes and Japanese text in the
// IPA Gothic face.
#pragma once

#include <cairo.h>

#include <string>

#include "description.h"

namespace demogame {

// An ARGB32 cairo surface with its drawing context; starts wholly transparent.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_;
  int height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

void SetColour(cairo_t* cr, Rgb colour, double alpha = 1.0);
// t = 0 gives a, 1 gives b.
Rgb Mix(Rgb a, Rgb b, double t);
inline Rgb Lighter(Rgb c, double t) { return Mix(c, {1, 1, 1}, t); }
inline Rgb Darker(Rgb c, double t) { return Mix(c, {0, 0, 0}, t); }

// Fills the rectangle with a vertical gradient from `top` to `bottom`.
void FillGradient(cairo_t* cr, double x, double y, double w, double h, Rgb top, Rgb bottom, double alpha = 1.0);
// Adds a rounded rectangle to the path.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);

enum class Align { kLeft, kCentre };
// UTF-8 text in IPA Gothic of `size` pixels with its baseline at y; x is its
// left edge or its centre. A dark outline keeps it legible on any picture.
void DrawText(cairo_t* cr, const std::string& text, double size, double x, double y, Rgb colour,
              Align align = Align::kCentre, bool outline = true);

}  // namespace demogame
