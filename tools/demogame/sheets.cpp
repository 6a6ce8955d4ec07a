// Sheets: pictures whose regions the engine cuts out by fixed rectangles.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "pictures.h"

namespace demogame {
namespace {

constexpr double kPi = std::numbers::pi;

// A button face: a rounded box with a centred label.
void Button(cairo_t* cr, double x, double y, double w, double h, const std::string& label, Rgb colour, bool lit,
            double text_size) {
  if (label.empty()) return;
  RoundedRect(cr, x + 1, y + 1, w - 2, h - 2, std::min(8.0, h / 3));
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
  const Rgb top = lit ? Lighter(colour, 0.55) : Lighter(colour, 0.15);
  const Rgb bottom = lit ? Lighter(colour, 0.2) : Darker(colour, 0.3);
  cairo_pattern_add_color_stop_rgba(fill, 0, top.r, top.g, top.b, 0.92);
  cairo_pattern_add_color_stop_rgba(fill, 1, bottom.r, bottom.g, bottom.b, 0.92);
  cairo_set_source(cr, fill);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(fill);
  SetColour(cr, lit ? Rgb{1, 0.95, 0.6} : Lighter(colour, 0.6));
  cairo_set_line_width(cr, lit ? 2.5 : 1.5);
  cairo_stroke(cr);
  DrawText(cr, label, text_size, x + w / 2, y + h / 2 + text_size * 0.36, lit ? Rgb{1, 1, 0.8} : Rgb{1, 1, 1});
}

void Triangle(cairo_t* cr, double cx, double cy, double size, double angle) {
  for (int k = 0; k < 3; ++k) {
    const double a = angle + k * 2 * kPi / 3;
    const double x = cx + size * std::cos(a);
    const double y = cy + size * std::sin(a);
    if (k == 0) {
      cairo_move_to(cr, x, y);
    } else {
      cairo_line_to(cr, x, y);
    }
  }
  cairo_close_path(cr);
  cairo_fill(cr);
}

// The SYSTEM sheet, 800 x 808: cursors (y 0-16), the click-wait icons (y 16-32),
// the message window's panel (0, 40)-(800, 240), the choice box from (72, 240),
// the backlog's scroll track (0, 240)-(32, 808) and thumb (32, 240)-(56, 272),
// the window's five buttons at (752, 288 + 24i) and the page-wait icon at (752, 408).
std::unique_ptr<Canvas> SystemSheet(const Item& item) {
  auto canvas = std::make_unique<Canvas>(800, 808);
  cairo_t* cr = canvas->cr();
  const Rgb accent = item.Colour(2);
  const Rgb white{1, 1, 1};

  // Cursors: two arrows and a cross.
  for (int i = 0; i < 2; ++i) {
    const double x = 16.0 * i;
    SetColour(cr, white);
    cairo_move_to(cr, x + 1, 1);
    cairo_line_to(cr, x + 1, 14);
    cairo_line_to(cr, x + 5, 10);
    cairo_line_to(cr, x + 11, 11);
    cairo_close_path(cr);
    cairo_fill_preserve(cr);
    SetColour(cr, {0, 0, 0});
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  SetColour(cr, white);
  cairo_rectangle(cr, 119, 1, 2, 14);
  cairo_rectangle(cr, 113, 7, 14, 2);
  cairo_fill(cr);

  // Click-wait icons: kind 0 a bobbing arrow, kind 1 a turning triangle.
  for (int f = 0; f < 4; ++f) {
    SetColour(cr, Lighter(accent, 0.4));
    Triangle(cr, 8 + 16 * f, 22 + (f == 1 || f == 2 ? 2 : 0), 6, kPi / 2);
    SetColour(cr, Lighter(accent, 0.6));
    Triangle(cr, 72 + 16 * f, 24, 6, f * kPi / 6);
  }

  // The message window's panel, white so that the colour setting tints it.
  RoundedRect(cr, 4, 44, 792, 192, 14);
  cairo_pattern_t* panel = cairo_pattern_create_linear(0, 44, 0, 236);
  cairo_pattern_add_color_stop_rgba(panel, 0, 1, 1, 1, 1);
  cairo_pattern_add_color_stop_rgba(panel, 1, 0.82, 0.82, 0.86, 1);
  cairo_set_source(cr, panel);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(panel);
  SetColour(cr, {0.6, 0.6, 0.65});
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  SetColour(cr, white);
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, 20, 76);
  cairo_line_to(cr, 740, 76);
  cairo_stroke(cr);

  // Choice box: 584 wide, one row of 42 per choice (cut at 40, 82 or 124 high).
  FillGradient(cr, 72, 240, 584, 124, Darker(accent, 0.5), Darker(accent, 0.7));
  SetColour(cr, Lighter(accent, 0.5));
  for (int row = 0; row < 3; ++row) cairo_rectangle(cr, 72, 240 + 42 * row, 584, 2);
  cairo_rectangle(cr, 72, 240, 2, 124);
  cairo_rectangle(cr, 654, 240, 2, 124);
  cairo_fill(cr);

  // Backlog scroll track with its arrows at the ends, and the thumb.
  FillGradient(cr, 4, 240, 24, 568, Darker(accent, 0.6), Darker(accent, 0.4), 0.8);
  SetColour(cr, Lighter(accent, 0.5));
  Triangle(cr, 16, 252, 9, -kPi / 2);
  Triangle(cr, 16, 796, 9, kPi / 2);
  RoundedRect(cr, 33, 241, 22, 30, 6);
  cairo_fill(cr);

  // The window's buttons: backlog, skip, auto, quick save, quick load.
  static const char* const kButtons[5] = {"履歴", "スキップ", "オート", "Qセーブ", "Qロード"};
  for (int i = 0; i < 5; ++i) Button(cr, 752, 288 + 24 * i, 48, 24, kButtons[i], accent, false, 10);

  // The page-wait icon.
  SetColour(cr, Lighter(accent, 0.5));
  Triangle(cr, 764, 418, 9, kPi / 2);
  return canvas;
}

// NAME FMT TOP BOTTOM "title|subtitle" COLUMN0 COLUMN1 COLUMN2: the title sheet,
// 800 x 1176: the background, then columns of six 248 x 40 items at x = 256 c,
// normal from y 608, highlighted from y 896. A column lists its labels with '|';
// an empty label leaves its place empty.
// The title menu's place on the screen, as config.xml gives it.
constexpr double kTitleMenuX = 520;
constexpr double kTitleMenuY = 250;

std::unique_ptr<Canvas> TitleSheet(const Item& item) {
  auto canvas = std::make_unique<Canvas>(800, 1176);
  cairo_t* cr = canvas->cr();
  const Rgb top = item.Colour(2);
  const Rgb bottom = item.Colour(3);
  FillGradient(cr, 0, 0, 800, 380, top, Lighter(bottom, 0.5));
  FillGradient(cr, 0, 380, 800, 220, bottom, Darker(bottom, 0.5));
  // A lighthouse on its rock, and its beam.
  SetColour(cr, Darker(bottom, 0.6));
  cairo_move_to(cr, 60, 420);
  cairo_curve_to(cr, 120, 360, 220, 360, 280, 420);
  cairo_fill(cr);
  SetColour(cr, {0.95, 0.95, 0.9});
  cairo_move_to(cr, 160, 378);
  cairo_line_to(cr, 170, 250);
  cairo_line_to(cr, 190, 250);
  cairo_line_to(cr, 200, 378);
  cairo_fill(cr);
  SetColour(cr, {1, 0.95, 0.6}, 0.35);
  cairo_move_to(cr, 180, 252);
  cairo_line_to(cr, 800, 170);
  cairo_line_to(cr, 800, 300);
  cairo_fill(cr);
  const std::vector<std::string> title = SplitBars(item.Text(4));
  DrawText(cr, title[0], 64, 300, 150, {1, 1, 1});
  if (title.size() > 1) DrawText(cr, title[1], 22, 300, 190, {1, 1, 0.85});

  // The engine copies the items without blending, so each item's place first
  // gets the background it stands on: its rounded corners then match the screen.
  Canvas background(800, 600);
  cairo_set_source_surface(background.cr(), canvas->surface(), 0, 0);
  cairo_paint(background.cr());
  cairo_surface_flush(background.surface());
  for (int column = 0; column < 3; ++column) {
    const std::vector<std::string> labels = SplitBars(item.Text(5 + static_cast<std::size_t>(column)));
    for (std::size_t row = 0; row < labels.size() && row < 6; ++row) {
      if (labels[row].empty()) continue;
      const double x = 256.0 * column;
      const double normal = 608 + 48.0 * static_cast<double>(row);
      const double under = kTitleMenuY + 48.0 * static_cast<double>(row);
      for (double y : {normal, normal + 288}) {
        cairo_save(cr);
        cairo_rectangle(cr, x, y, 248, 40);
        cairo_clip(cr);
        cairo_set_source_surface(cr, background.surface(), x - kTitleMenuX, y - under);
        cairo_paint(cr);
        cairo_restore(cr);
      }
      Button(cr, x, normal, 248, 40, labels[row], Darker(top, 0.2), false, 22);
      Button(cr, x, normal + 288, 248, 40, labels[row], Darker(top, 0.2), true, 22);
    }
  }
  return canvas;
}

// NAME FMT COLOUR: the manual's buttons, 50 x 50 each: next at (0, 0), previous
// at (0, 56), close at (0, 112); the highlighted ones 56 pixels to the right.
std::unique_ptr<Canvas> ManualParts(const Item& item) {
  auto canvas = std::make_unique<Canvas>(106, 162);
  cairo_t* cr = canvas->cr();
  const Rgb colour = item.Colour(2);
  for (int lit = 0; lit < 2; ++lit) {
    for (int row = 0; row < 3; ++row) {
      const double x = 56.0 * lit;
      const double y = 56.0 * row;
      RoundedRect(cr, x + 1, y + 1, 48, 48, 10);
      SetColour(cr, lit != 0 ? Lighter(colour, 0.4) : colour, 0.95);
      cairo_fill(cr);
      SetColour(cr, {1, 1, 1});
      if (row == 2) {
        cairo_set_line_width(cr, 5);
        cairo_move_to(cr, x + 15, y + 15);
        cairo_line_to(cr, x + 35, y + 35);
        cairo_move_to(cr, x + 35, y + 15);
        cairo_line_to(cr, x + 15, y + 35);
        cairo_stroke(cr);
      } else {
        Triangle(cr, x + 25, y + 25, 14, row == 0 ? 0 : kPi);
      }
    }
  }
  return canvas;
}

// NAME FMT HAIR...: the backlog's face sheet, one 48 x 48 cell a speaker.
std::unique_ptr<Canvas> Faces(const Item& item) {
  const std::size_t count = item.Count() - 2;
  auto canvas = std::make_unique<Canvas>(static_cast<int>(48 * count), 48);
  cairo_t* cr = canvas->cr();
  for (std::size_t i = 0; i < count; ++i) {
    const double x = 48.0 * static_cast<double>(i);
    const Rgb hair = item.Colour(2 + i);
    RoundedRect(cr, x + 1, 1, 46, 46, 8);
    SetColour(cr, Lighter(hair, 0.7));
    cairo_fill(cr);
    SetColour(cr, hair);
    cairo_arc(cr, x + 24, 26, 17, 0, 2 * kPi);
    cairo_fill(cr);
    SetColour(cr, {0.98, 0.86, 0.76});
    cairo_arc(cr, x + 24, 29, 13, 0, 2 * kPi);
    cairo_fill(cr);
    SetColour(cr, hair);
    cairo_arc(cr, x + 24, 24, 14, kPi, 2 * kPi);
    cairo_fill(cr);
    SetColour(cr, {0.2, 0.2, 0.3});
    cairo_arc(cr, x + 19, 30, 2, 0, 2 * kPi);
    cairo_arc(cr, x + 29, 30, 2, 0, 2 * kPi);
    cairo_fill(cr);
  }
  return canvas;
}

// The picture a .GRP name composes: the base, then every layer whose character
// is not '0', each from the pictures drawn so far.
std::unique_ptr<Canvas> ComposeGrp(const Item& item, const std::string& name, const PictureContext& context) {
  if (name.size() != 7 && name.size() != 9) item.Fail("'" + name + "' is no .GRP name of 7 or 9 characters");
  auto canvas = std::make_unique<Canvas>(800, 600);
  cairo_t* cr = canvas->cr();
  SetColour(cr, {0, 0, 0});
  cairo_paint(cr);
  const std::string zeros(name.size() - 3, '0');
  std::vector<std::string> layers{name.substr(0, 3) + zeros};
  for (std::size_t p = 3; p < name.size(); ++p) {
    if (name[p] == '0') continue;
    std::string layer = layers[0];
    layer[p] = name[p];
    layers.push_back(layer);
  }
  for (const std::string& layer : layers) {
    const auto found = context.drawn.find(layer);
    if (found == context.drawn.end()) item.Fail("'" + name + "' needs the picture " + layer + ", not drawn before");
    cairo_set_source_surface(cr, found->second->surface(), 0, 0);
    cairo_paint(cr);
  }
  return canvas;
}

void PaintScaled(cairo_t* cr, const Canvas& source, double x, double y, double w, double h) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, w / source.width(), h / source.height());
  cairo_set_source_surface(cr, source.surface(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_restore(cr);
}

// NAME FMT W H GRP...: a thumbnail sheet, W x H cells: row k holds item k's
// thumbnail at column 0 and its highlighted one at column 1; the row after the
// last item holds the locked picture.
std::unique_ptr<Canvas> Thumbs(const Item& item, const PictureContext& context) {
  const int w = item.Int(2);
  const int h = item.Int(3);
  const std::vector<std::string> names = item.Rest(4);
  auto canvas = std::make_unique<Canvas>(2 * w, h * static_cast<int>(names.size() + 1));
  cairo_t* cr = canvas->cr();
  for (std::size_t k = 0; k < names.size(); ++k) {
    const auto picture = ComposeGrp(item, names[k], context);
    const double y = static_cast<double>(h) * static_cast<double>(k);
    PaintScaled(cr, *picture, 0, y, w, h);
    PaintScaled(cr, *picture, w, y, w, h);
    SetColour(cr, {1, 1, 0.8}, 0.25);
    cairo_rectangle(cr, w, y, w, h);
    cairo_fill(cr);
    SetColour(cr, {1, 0.9, 0.4});
    cairo_set_line_width(cr, 4);
    cairo_rectangle(cr, w + 2, y + 2, w - 4, h - 4);
    cairo_stroke(cr);
  }
  const double locked = static_cast<double>(h) * static_cast<double>(names.size());
  FillGradient(cr, 0, locked, w, h, {0.35, 0.35, 0.4}, {0.2, 0.2, 0.25});
  DrawText(cr, "？", h / 2.0, w / 2.0, locked + h * 0.68, {0.8, 0.8, 0.85});
  return canvas;
}

// NAME FMT GRP: a save thumbnail, 140 x 105.
std::unique_ptr<Canvas> Thumb(const Item& item, const PictureContext& context) {
  auto canvas = std::make_unique<Canvas>(140, 105);
  PaintScaled(canvas->cr(), *ComposeGrp(item, item.Text(2), context), 0, 0, 140, 105);
  return canvas;
}

// NAME FMT album|replay TOP BOTTOM "caption": a page of the album or the scene
// replay, with the exit, previous and next buttons where "config.xml" cuts them
// (the highlighted ones below the 600 rows the screen shows).
std::unique_ptr<Canvas> Page(const Item& item, const PictureContext& context) {
  const auto found = context.pages.find(item.Text(2));
  if (found == context.pages.end()) item.Fail("config.xml gives no buttons for '" + item.Text(2) + "'");
  int height = 600;
  for (const PageButton& b : found->second) height = std::max({height, b.sy0 + b.h, b.sy1 + b.h});
  auto canvas = std::make_unique<Canvas>(800, height);
  cairo_t* cr = canvas->cr();
  const Rgb top = item.Colour(3);
  const Rgb bottom = item.Colour(4);
  FillGradient(cr, 0, 0, 800, height, top, bottom);
  DrawText(cr, item.Text(5), 34, 400, 52, {1, 1, 1});
  static const char* const kLabels[3] = {"戻る", "前へ", "次へ"};
  for (std::size_t i = 0; i < 3; ++i) {
    const PageButton& b = found->second[i];
    cairo_save(cr);
    cairo_rectangle(cr, b.sx0, b.sy0, b.w, b.h);
    cairo_rectangle(cr, b.sx1, b.sy1, b.w, b.h);
    cairo_clip(cr);
    FillGradient(cr, 0, 0, 800, height, top, bottom);
    cairo_restore(cr);
    Button(cr, b.sx0, b.sy0, b.w, b.h, kLabels[i], Darker(top, 0.3), false, b.h * 0.5);
    Button(cr, b.sx1, b.sy1, b.w, b.h, kLabels[i], Darker(top, 0.3), true, b.h * 0.5);
  }
  return canvas;
}

}  // namespace

std::unique_ptr<Canvas> DrawSheet(const Item& item, const PictureContext& context) {
  const std::string& kind = item.kind();
  if (kind == "system") return SystemSheet(item);
  if (kind == "titlesheet") return TitleSheet(item);
  if (kind == "manualparts") return ManualParts(item);
  if (kind == "faces") return Faces(item);
  if (kind == "thumbs") return Thumbs(item, context);
  if (kind == "thumb") return Thumb(item, context);
  if (kind == "page") return Page(item, context);
  return nullptr;
}

}  // namespace demogame
