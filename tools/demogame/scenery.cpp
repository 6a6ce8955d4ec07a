// Scenery: backgrounds and their layers, character bodies and faces, cards
// with text, the turn banner's band and the selection screen's items.
#include <cmath>
#include <numbers>

#include "pictures.h"

namespace demogame {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kScreenW = 800;
constexpr int kScreenH = 600;

// The lighthouse of the cliff backdrop; its lamp is where the beam layer starts.
constexpr double kTowerX = 600;
constexpr double kLampY = 150;

// Deterministic positions for scattered things (stars, waves).
double Scatter(int i, int salt) { return std::fmod(std::sin(i * 12.9898 + salt * 78.233) * 43758.5453, 1.0); }
double Unit(int i, int salt) { return std::fabs(Scatter(i, salt)); }

// A soft disc of light fading out to its rim.
void Glow(cairo_t* cr, double x, double y, double radius, Rgb colour, double alpha) {
  cairo_pattern_t* glow = cairo_pattern_create_radial(x, y, 0, x, y, radius);
  cairo_pattern_add_color_stop_rgba(glow, 0, colour.r, colour.g, colour.b, alpha);
  cairo_pattern_add_color_stop_rgba(glow, 1, colour.r, colour.g, colour.b, 0);
  cairo_set_source(cr, glow);
  cairo_arc(cr, x, y, radius, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);
}

void FillScreen(cairo_t* cr, Rgb top, Rgb bottom) { FillGradient(cr, 0, 0, kScreenW, kScreenH, top, bottom); }

void DrawSea(cairo_t* cr, Rgb sky, Rgb sea, double horizon) {
  FillGradient(cr, 0, 0, kScreenW, horizon, sky, Lighter(sky, 0.6));
  FillGradient(cr, 0, horizon, kScreenW, kScreenH - horizon, Lighter(sea, 0.2), Darker(sea, 0.3));
  cairo_set_line_width(cr, 2);
  for (int i = 0; i < 40; ++i) {
    const double y = horizon + 8 + Unit(i, 1) * (kScreenH - horizon - 10);
    const double x = Unit(i, 2) * kScreenW;
    const double w = 20 + 40 * (y - horizon) / (kScreenH - horizon);
    SetColour(cr, Lighter(sea, 0.7), 0.5);
    cairo_move_to(cr, x, y);
    cairo_curve_to(cr, x + w / 3, y - 3, x + 2 * w / 3, y - 3, x + w, y);
    cairo_stroke(cr);
  }
  // A distant island.
  SetColour(cr, Darker(sea, 0.5));
  cairo_move_to(cr, 60, horizon);
  cairo_curve_to(cr, 110, horizon - 40, 190, horizon - 45, 260, horizon);
  cairo_fill(cr);
}

void DrawLighthouse(cairo_t* cr, Rgb ground) {
  // The cliff, then the tower in white and red bands, then the lamp room.
  SetColour(cr, ground);
  cairo_move_to(cr, 360, kScreenH);
  cairo_curve_to(cr, 420, 420, 460, 400, 520, 390);
  cairo_line_to(cr, kScreenW, 380);
  cairo_line_to(cr, kScreenW, kScreenH);
  cairo_fill(cr);
  const double base = 392;
  for (int band = 0; band < 5; ++band) {
    const double y0 = kLampY + 30 + band * (base - kLampY - 30) / 5;
    const double y1 = kLampY + 30 + (band + 1) * (base - kLampY - 30) / 5;
    const double half0 = 18 + 10 * (y0 - kLampY) / (base - kLampY);
    const double half1 = 18 + 10 * (y1 - kLampY) / (base - kLampY);
    cairo_move_to(cr, kTowerX - half0, y0);
    cairo_line_to(cr, kTowerX + half0, y0);
    cairo_line_to(cr, kTowerX + half1, y1);
    cairo_line_to(cr, kTowerX - half1, y1);
    cairo_close_path(cr);
    SetColour(cr, band % 2 == 0 ? Rgb{0.95, 0.95, 0.92} : Rgb{0.78, 0.2, 0.18});
    cairo_fill(cr);
  }
  SetColour(cr, {0.2, 0.22, 0.25});
  cairo_rectangle(cr, kTowerX - 22, kLampY - 12, 44, 42);
  cairo_fill(cr);
  SetColour(cr, {0.95, 0.9, 0.6});
  cairo_rectangle(cr, kTowerX - 16, kLampY - 6, 32, 28);
  cairo_fill(cr);
  SetColour(cr, {0.2, 0.22, 0.25});
  cairo_move_to(cr, kTowerX - 26, kLampY - 12);
  cairo_line_to(cr, kTowerX, kLampY - 36);
  cairo_line_to(cr, kTowerX + 26, kLampY - 12);
  cairo_fill(cr);
}

void DrawStreet(cairo_t* cr, Rgb sky, Rgb ground) {
  FillGradient(cr, 0, 0, kScreenW, 420, sky, Lighter(sky, 0.5));
  FillGradient(cr, 0, 420, kScreenW, 180, ground, Darker(ground, 0.4));
  double x = -20;
  for (int i = 0; x < kScreenW; ++i) {
    const double w = 110 + 50 * Unit(i, 3);
    const double h = 130 + 80 * Unit(i, 4);
    const Rgb wall = Mix({0.85, 0.8, 0.7}, {0.6, 0.55, 0.5}, Unit(i, 5));
    SetColour(cr, wall);
    cairo_rectangle(cr, x, 420 - h, w - 6, h);
    cairo_fill(cr);
    SetColour(cr, Mix({0.35, 0.3, 0.35}, {0.5, 0.25, 0.2}, Unit(i, 6)));
    cairo_move_to(cr, x - 8, 420 - h);
    cairo_line_to(cr, x + (w - 6) / 2, 420 - h - 40);
    cairo_line_to(cr, x + w + 2, 420 - h);
    cairo_fill(cr);
    SetColour(cr, {0.45, 0.6, 0.75});
    cairo_rectangle(cr, x + 18, 420 - h + 30, 26, 30);
    cairo_rectangle(cr, x + w - 50, 420 - h + 30, 26, 30);
    cairo_fill(cr);
    x += w;
  }
}

void DrawRoom(cairo_t* cr, Rgb wall, Rgb floor) {
  FillGradient(cr, 0, 0, kScreenW, 430, wall, Darker(wall, 0.15));
  FillGradient(cr, 0, 430, kScreenW, 170, floor, Darker(floor, 0.35));
  // The window onto a summer sky, and a low desk.
  FillGradient(cr, 470, 80, 250, 240, {0.35, 0.6, 0.9}, {0.8, 0.9, 1.0});
  SetColour(cr, {0.95, 0.95, 0.9});
  cairo_set_line_width(cr, 10);
  cairo_rectangle(cr, 470, 80, 250, 240);
  cairo_move_to(cr, 595, 80);
  cairo_line_to(cr, 595, 320);
  cairo_stroke(cr);
  SetColour(cr, Darker(floor, 0.5));
  cairo_rectangle(cr, 90, 400, 300, 24);
  cairo_rectangle(cr, 110, 424, 16, 90);
  cairo_rectangle(cr, 354, 424, 16, 90);
  cairo_fill(cr);
}

void DrawPier(cairo_t* cr, Rgb sky, Rgb sea) {
  DrawSea(cr, sky, sea, 280);
  SetColour(cr, {0.55, 0.4, 0.28});
  cairo_move_to(cr, 330, 290);
  cairo_line_to(cr, 470, 290);
  cairo_line_to(cr, 700, kScreenH);
  cairo_line_to(cr, 100, kScreenH);
  cairo_fill(cr);
  SetColour(cr, {0.35, 0.25, 0.18});
  cairo_set_line_width(cr, 2);
  for (int i = 1; i < 12; ++i) {
    const double t = std::pow(i / 12.0, 1.6);
    const double y = 290 + t * (kScreenH - 290);
    cairo_move_to(cr, 330 - t * 230, y);
    cairo_line_to(cr, 470 + t * 230, y);
    cairo_stroke(cr);
  }
}

void DrawTowerInside(cairo_t* cr, Rgb wall, Rgb light) {
  FillScreen(cr, wall, Darker(wall, 0.5));
  // Curved stone courses, the stair rising round them, and the great lens.
  SetColour(cr, Darker(wall, 0.3), 0.6);
  cairo_set_line_width(cr, 2);
  for (int i = 0; i < 14; ++i) {
    const double y = 20 + i * 44;
    cairo_move_to(cr, 0, y);
    cairo_curve_to(cr, 260, y + 18, 540, y + 18, kScreenW, y);
    cairo_stroke(cr);
  }
  SetColour(cr, Darker(wall, 0.55));
  for (int i = 0; i < 9; ++i) {
    cairo_rectangle(cr, 60 + i * 26, 560 - i * 50, 90, 12);
  }
  cairo_fill(cr);
  Glow(cr, 520, 230, 170, light, 1.0);
  SetColour(cr, Lighter(light, 0.5), 0.8);
  cairo_set_line_width(cr, 3);
  for (int r = 30; r <= 110; r += 20) {
    cairo_arc(cr, 520, 230, r, 0, 2 * kPi);
    cairo_stroke(cr);
  }
}

std::unique_ptr<Canvas> Backdrop(const Item& item) {
  auto canvas = std::make_unique<Canvas>(kScreenW, kScreenH);
  cairo_t* cr = canvas->cr();
  const std::string& style = item.Text(2);
  const Rgb top = item.Colour(3);
  const Rgb bottom = item.Colour(4);
  if (style == "sea") {
    DrawSea(cr, top, bottom, 330);
  } else if (style == "cliff") {
    FillScreen(cr, top, Lighter(top, 0.5));
    DrawLighthouse(cr, bottom);
  } else if (style == "street") {
    DrawStreet(cr, top, bottom);
  } else if (style == "room") {
    DrawRoom(cr, top, bottom);
  } else if (style == "pier") {
    DrawPier(cr, top, bottom);
  } else if (style == "inside") {
    DrawTowerInside(cr, top, bottom);
  } else if (style == "plain") {
    FillScreen(cr, top, bottom);
  } else {
    item.Fail("unknown backdrop style '" + style + "'");
  }
  return canvas;
}

void Figure(cairo_t* cr, double x, double ground, double scale) {
  cairo_arc(cr, x, ground - 62 * scale, 9 * scale, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_move_to(cr, x - 12 * scale, ground);
  cairo_line_to(cr, x - 8 * scale, ground - 50 * scale);
  cairo_line_to(cr, x + 8 * scale, ground - 50 * scale);
  cairo_line_to(cr, x + 12 * scale, ground);
  cairo_fill(cr);
}

// A transparent 800 x 600 layer with one motif.
std::unique_ptr<Canvas> Layer(const Item& item) {
  auto canvas = std::make_unique<Canvas>(kScreenW, kScreenH);
  cairo_t* cr = canvas->cr();
  const std::string& shape = item.Text(2);
  const Rgb colour = item.Colour(3);
  if (shape == "sun") {
    Glow(cr, 640, 110, 120, colour, 0.6);
    SetColour(cr, Lighter(colour, 0.5));
    cairo_arc(cr, 640, 110, 42, 0, 2 * kPi);
    cairo_fill(cr);
  } else if (shape == "moon") {
    Glow(cr, 160, 100, 90, colour, 0.4);
    SetColour(cr, colour);
    cairo_arc(cr, 160, 100, 36, 0, 2 * kPi);
    cairo_fill(cr);
    SetColour(cr, Darker(colour, 0.15));
    cairo_arc(cr, 150, 92, 8, 0, 2 * kPi);
    cairo_arc(cr, 172, 112, 5, 0, 2 * kPi);
    cairo_fill(cr);
  } else if (shape == "boat") {
    SetColour(cr, colour);
    cairo_move_to(cr, 150, 345);
    cairo_line_to(cr, 420, 345);
    cairo_line_to(cr, 395, 375);
    cairo_line_to(cr, 175, 375);
    cairo_fill(cr);
    SetColour(cr, {0.95, 0.95, 0.95});
    cairo_rectangle(cr, 220, 315, 140, 30);
    cairo_fill(cr);
    SetColour(cr, {0.3, 0.45, 0.6});
    for (int i = 0; i < 5; ++i) cairo_rectangle(cr, 230 + i * 26, 322, 16, 12);
    cairo_fill(cr);
  } else if (shape == "clouds") {
    SetColour(cr, colour, 0.85);
    for (int i = 0; i < 3; ++i) {
      const double cx = 120 + i * 260;
      const double cy = 70 + (i % 2) * 50;
      for (int p = 0; p < 4; ++p) {
        cairo_save(cr);
        cairo_translate(cr, cx + p * 34 - 50, cy + (p % 2) * 10);
        cairo_scale(cr, 1.6, 1.0);
        cairo_arc(cr, 0, 0, 24, 0, 2 * kPi);
        cairo_restore(cr);
        cairo_fill(cr);
      }
    }
  } else if (shape == "gulls") {
    SetColour(cr, colour);
    cairo_set_line_width(cr, 3);
    for (int i = 0; i < 5; ++i) {
      const double x = 300 + i * 70 + 20 * Scatter(i, 7);
      const double y = 150 + 40 * Scatter(i, 8);
      cairo_move_to(cr, x - 14, y);
      cairo_curve_to(cr, x - 8, y - 8, x - 3, y - 6, x, y);
      cairo_curve_to(cr, x + 3, y - 6, x + 8, y - 8, x + 14, y);
      cairo_stroke(cr);
    }
  } else if (shape == "beam") {
    cairo_pattern_t* fade = cairo_pattern_create_linear(kTowerX, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(fade, 0, colour.r, colour.g, colour.b, 0.75);
    cairo_pattern_add_color_stop_rgba(fade, 1, colour.r, colour.g, colour.b, 0);
    cairo_set_source(cr, fade);
    cairo_move_to(cr, kTowerX, kLampY + 6);
    cairo_line_to(cr, 0, kLampY - 110);
    cairo_line_to(cr, 0, kLampY + 90);
    cairo_fill(cr);
    cairo_pattern_destroy(fade);
    Glow(cr, kTowerX, kLampY + 6, 60, colour, 0.9);
  } else if (shape == "stars") {
    for (int i = 0; i < 90; ++i) {
      SetColour(cr, colour, 0.5 + 0.5 * Unit(i, 9));
      cairo_arc(cr, Unit(i, 10) * kScreenW, Unit(i, 11) * 330, 1 + 1.5 * Unit(i, 12), 0, 2 * kPi);
      cairo_fill(cr);
    }
  } else if (shape == "dusk") {
    FillGradient(cr, 0, 0, kScreenW, kScreenH, colour, {0.3, 0.1, 0.4}, 0.4);
  } else if (shape == "shade") {
    SetColour(cr, colour, 0.6);
    cairo_paint(cr);
  } else if (shape == "lanterns") {
    SetColour(cr, {0.15, 0.1, 0.1});
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 0, 170);
    cairo_curve_to(cr, 260, 230, 540, 230, kScreenW, 170);
    cairo_stroke(cr);
    for (int i = 0; i < 9; ++i) {
      const double t = (i + 0.5) / 9;
      const double x = t * kScreenW;
      const double y = 170 + 4 * 60 * t * (1 - t) * 0.75 + 18;
      Glow(cr, x, y, 34, colour, 0.45);
      SetColour(cr, colour);
      cairo_save(cr);
      cairo_translate(cr, x, y);
      cairo_scale(cr, 0.8, 1.0);
      cairo_arc(cr, 0, 0, 16, 0, 2 * kPi);
      cairo_restore(cr);
      cairo_fill(cr);
    }
  } else if (shape == "fireworks") {
    const Rgb tints[3] = {colour, {0.5, 0.8, 1.0}, {1.0, 0.85, 0.4}};
    cairo_set_line_width(cr, 3);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int burst = 0; burst < 3; ++burst) {
      const double cx = 180 + burst * 220;
      const double cy = 110 + (burst % 2) * 70;
      SetColour(cr, tints[burst]);
      for (int ray = 0; ray < 24; ++ray) {
        const double a = ray * 2 * kPi / 24;
        cairo_move_to(cr, cx + 20 * std::cos(a), cy + 20 * std::sin(a));
        cairo_line_to(cr, cx + 80 * std::cos(a), cy + 80 * std::sin(a));
      }
      cairo_stroke(cr);
    }
  } else if (shape == "pair") {
    SetColour(cr, colour);
    Figure(cr, 470, 392, 1.0);
    Figure(cr, 500, 390, 1.1);
  } else if (shape == "night") {
    FillGradient(cr, 470, 80, 250, 240, {0.05, 0.07, 0.2}, colour);
    SetColour(cr, {1.0, 1.0, 0.85});
    cairo_arc(cr, 660, 130, 18, 0, 2 * kPi);
    cairo_fill(cr);
    FillGradient(cr, 0, 0, kScreenW, kScreenH, {0.05, 0.05, 0.2}, {0.05, 0.05, 0.2}, 0.35);
  } else {
    item.Fail("unknown layer shape '" + shape + "'");
  }
  return canvas;
}

// Character pictures are 320 x 600, drawn at the character's stage position.
constexpr int kCharW = 320;
constexpr double kHeadX = 160;
constexpr double kHeadY = 170;
constexpr double kHeadR = 62;

std::unique_ptr<Canvas> Body(const Item& item) {
  auto canvas = std::make_unique<Canvas>(kCharW, kScreenH);
  cairo_t* cr = canvas->cr();
  const Rgb dress = item.Colour(2);
  const Rgb hair = item.Colour(3);
  const Rgb skin{0.98, 0.86, 0.76};
  // Hair behind, dress, arms, neck, head, fringe.
  SetColour(cr, hair);
  RoundedRect(cr, kHeadX - 78, kHeadY - 70, 156, 200, 60);
  cairo_fill(cr);
  SetColour(cr, dress);
  cairo_move_to(cr, kHeadX - 60, 250);
  cairo_curve_to(cr, kHeadX - 120, 330, kHeadX - 150, 520, kHeadX - 150, kScreenH);
  cairo_line_to(cr, kHeadX + 150, kScreenH);
  cairo_curve_to(cr, kHeadX + 150, 520, kHeadX + 120, 330, kHeadX + 60, 250);
  cairo_close_path(cr);
  cairo_fill(cr);
  SetColour(cr, Darker(dress, 0.3));
  cairo_set_line_width(cr, 4);
  cairo_move_to(cr, kHeadX - 40, 250);
  cairo_line_to(cr, kHeadX, 300);
  cairo_line_to(cr, kHeadX + 40, 250);
  cairo_stroke(cr);
  SetColour(cr, skin);
  cairo_rectangle(cr, kHeadX - 16, kHeadY + 40, 32, 45);
  cairo_fill(cr);
  cairo_arc(cr, kHeadX, kHeadY, kHeadR, 0, 2 * kPi);
  cairo_fill(cr);
  SetColour(cr, hair);
  cairo_arc(cr, kHeadX, kHeadY - 8, kHeadR + 4, kPi, 2 * kPi);
  cairo_line_to(cr, kHeadX + kHeadR + 4, kHeadY - 20);
  cairo_curve_to(cr, kHeadX + 30, kHeadY - 40, kHeadX - 30, kHeadY - 40, kHeadX - kHeadR - 4, kHeadY - 20);
  cairo_fill(cr);
  return canvas;
}

std::unique_ptr<Canvas> Face(const Item& item) {
  auto canvas = std::make_unique<Canvas>(kCharW, 300);
  cairo_t* cr = canvas->cr();
  const std::string& mood = item.Text(2);
  const Rgb eyes = item.Colour(3);
  const double eyeY = kHeadY + 2;
  const double mouthY = kHeadY + 34;
  SetColour(cr, eyes);
  cairo_set_line_width(cr, 4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int side : {-1, 1}) {
    const double x = kHeadX + side * 24;
    if (mood == "calm") {
      cairo_move_to(cr, x - 10, eyeY);
      cairo_curve_to(cr, x - 4, eyeY + 6, x + 4, eyeY + 6, x + 10, eyeY);
      cairo_stroke(cr);
    } else {
      cairo_save(cr);
      cairo_translate(cr, x, eyeY);
      cairo_scale(cr, 1.0, mood == "surprised" ? 1.6 : 1.3);
      cairo_arc(cr, 0, 0, 8, 0, 2 * kPi);
      cairo_restore(cr);
      cairo_fill(cr);
      if (mood == "sad") {
        cairo_move_to(cr, x - 12, eyeY - 16 - side * 5);
        cairo_line_to(cr, x + 12, eyeY - 16 + side * 5);
        cairo_stroke(cr);
      }
    }
  }
  SetColour(cr, {0.75, 0.3, 0.3});
  cairo_set_line_width(cr, 3);
  if (mood == "surprised") {
    cairo_arc(cr, kHeadX, mouthY, 7, 0, 2 * kPi);
    cairo_fill(cr);
  } else if (mood == "sad") {
    cairo_move_to(cr, kHeadX - 12, mouthY + 4);
    cairo_curve_to(cr, kHeadX - 4, mouthY - 4, kHeadX + 4, mouthY - 4, kHeadX + 12, mouthY + 4);
    cairo_stroke(cr);
  } else if (mood == "smile" || mood == "calm") {
    cairo_move_to(cr, kHeadX - 14, mouthY - 2);
    cairo_curve_to(cr, kHeadX - 5, mouthY + 8, kHeadX + 5, mouthY + 8, kHeadX + 14, mouthY - 2);
    cairo_stroke(cr);
  } else {
    item.Fail("unknown mood '" + mood + "'");
  }
  // Cheeks.
  SetColour(cr, {1.0, 0.55, 0.55}, 0.35);
  cairo_arc(cr, kHeadX - 38, kHeadY + 22, 10, 0, 2 * kPi);
  cairo_arc(cr, kHeadX + 38, kHeadY + 22, 10, 0, 2 * kPi);
  cairo_fill(cr);
  return canvas;
}

// NAME FMT W H TOP BOTTOM "first line|further lines" [top]: a gradient with a
// heading and smaller lines under it, centred, or at the top with "top".
std::unique_ptr<Canvas> Card(const Item& item) {
  const int w = item.Int(2);
  const int h = item.Int(3);
  auto canvas = std::make_unique<Canvas>(w, h);
  cairo_t* cr = canvas->cr();
  FillGradient(cr, 0, 0, w, h, item.Colour(4), item.Colour(5));
  const std::vector<std::string> lines = SplitBars(item.Text(6));
  const double heading = std::min(48.0, h / 6.0);
  const double small = heading * 0.55;
  const bool at_top = item.Count() > 7 && item.Text(7) == "top";
  double y = at_top ? heading * 1.6
                    : h / 2.0 - (heading + small * 1.6 * static_cast<double>(lines.size() - 1)) / 2 + heading * 0.8;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    DrawText(cr, lines[i], i == 0 ? heading : small, w / 2.0, y, {1, 1, 1});
    y += i == 0 ? heading * 1.2 : small * 1.6;
  }
  return canvas;
}

// NAME FMT COLOUR: the turn banner's band across the middle of the screen.
std::unique_ptr<Canvas> Band(const Item& item) {
  auto canvas = std::make_unique<Canvas>(kScreenW, kScreenH);
  cairo_t* cr = canvas->cr();
  const Rgb colour = item.Colour(2);
  FillGradient(cr, 0, 262, kScreenW, 76, Darker(colour, 0.2), colour, 0.85);
  SetColour(cr, Lighter(colour, 0.6));
  cairo_rectangle(cr, 0, 258, kScreenW, 3);
  cairo_rectangle(cr, 0, 339, kScreenW, 3);
  cairo_fill(cr);
  return canvas;
}

// NAME FMT W COLOUR "label" normal|lit: an item of the selection screen, W x 300.
std::unique_ptr<Canvas> Choice(const Item& item) {
  const int w = item.Int(2);
  constexpr int kH = 300;
  auto canvas = std::make_unique<Canvas>(w, kH);
  cairo_t* cr = canvas->cr();
  const Rgb colour = item.Colour(3);
  const bool lit = item.Text(5) == "lit";
  FillGradient(cr, 0, 0, w, kH, lit ? Lighter(colour, 0.45) : colour, Darker(colour, 0.45));
  SetColour(cr, lit ? Rgb{1, 0.95, 0.6} : Lighter(colour, 0.5));
  cairo_set_line_width(cr, lit ? 8 : 4);
  cairo_rectangle(cr, 4, 4, w - 8, kH - 8);
  cairo_stroke(cr);
  const std::vector<std::string> lines = SplitBars(item.Text(4));
  double y = kH / 2.0 - 18.0 * static_cast<double>(lines.size() - 1);
  for (const std::string& line : lines) {
    DrawText(cr, line, 30, w / 2.0, y + 10, {1, 1, 1});
    y += 36;
  }
  return canvas;
}

}  // namespace

std::unique_ptr<Canvas> DrawScenery(const Item& item) {
  const std::string& kind = item.kind();
  if (kind == "backdrop") return Backdrop(item);
  if (kind == "layer") return Layer(item);
  if (kind == "body") return Body(item);
  if (kind == "face") return Face(item);
  if (kind == "card") return Card(item);
  if (kind == "band") return Band(item);
  if (kind == "choice") return Choice(item);
  return nullptr;
}

std::unique_ptr<Canvas> DrawPicture(const Item& item, const PictureContext& context) {
  if (auto canvas = DrawScenery(item)) return canvas;
  return DrawSheet(item, context);
}

}  // namespace demogame
