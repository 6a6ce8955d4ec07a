#include "backend/gtk/gtk_presenter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "backend/gtk/gtk_x11_picture.h"

namespace platform {

namespace {

// Nanoseconds on a clock.
int64_t ClockNs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A cheap fingerprint of a picture: every 8th pixel of every 8th row, which
// any change of a whole frame or of a line of text reaches; 0 for all black.
uint64_t PictureFingerprint(const PixelBuffer& picture) {
  uint64_t hash = 0;
  for (int y = 0; y < picture.height; y += 8) {
    const uint8_t* row = picture.topRow + y * picture.pitch;
    for (int x = 0; x < picture.width; x += 8) {
      uint32_t pixel;
      std::memcpy(&pixel, row + x * 4, 4);
      const uint32_t rgb = pixel & 0xFFFFFF;
      hash = rgb == 0 ? hash * 31 : (hash ^ rgb) * 0x100000001B3ull + 1;
    }
  }
  return hash;
}

bool IsEmpty(const PresentRect& r) { return r.left >= r.right || r.top >= r.bottom; }

PresentRect Union(const PresentRect& a, const PresentRect& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return PresentRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                     std::max(a.bottom, b.bottom)};
}

}  // namespace

GtkPresenter::GtkPresenter(const GtkWindowParts& parts)
    : window(parts.window), area(parts.area), width(parts.width), height(parts.height), parts(parts) {
  if (const char* log = std::getenv("MESRIN_PAINT_LOG"); log != nullptr && *log != 0) paint_log = std::fopen(log, "w");
  g_signal_connect(area, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(area, "unrealize", G_CALLBACK(OnUnrealize), this);
}

GtkPresenter::~GtkPresenter() {
  if (show_soon != 0) g_source_remove(show_soon);
  DropPicture();
  if (paint_log != nullptr) std::fclose(paint_log);
}

// The window goes (the shell destroys it first): nothing queued may reach it
// any more, and the picture made for it goes too.
void GtkPresenter::OnUnrealize(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkPresenter*>(data);
  if (self->show_soon != 0) g_source_remove(std::exchange(self->show_soon, 0));
  self->DropPicture();
}

void GtkPresenter::Realized() {
  Fit();
  // Nothing was presented yet: black is all of it.
  kept = true;
}

// --- The picture's layout: 1:1 at the area's top left in a window; in full
// screen as large as the area allows keeping its shape, centred between bars.
GtkPresenter::Layout GtkPresenter::CurrentLayout() const {
  const int aw = gtk_widget_get_allocated_width(area);
  const int ah = gtk_widget_get_allocated_height(area);
  if (!parts.full_screen || aw <= 1 || ah <= 1) return Layout{width, height, 0, 0};
  const PresentRect fit = FitPicture(aw, ah, width, height);
  return Layout{fit.right - fit.left, fit.bottom - fit.top, fit.left, fit.top};
}

void GtkPresenter::Placement(double& scale, double& ox, double& oy) const {
  const Layout l = CurrentLayout();
  scale = static_cast<double>(l.width) / width;
  ox = l.x;
  oy = l.y;
}

void GtkPresenter::DropPicture() {
  if (picture != nullptr) cairo_surface_destroy(picture);
  picture = nullptr;
  shared.reset();
  scaler.reset();
}

void GtkPresenter::Fit() {
  const Layout wanted = CurrentLayout();
  if (picture != nullptr && wanted == layout) return;
  if (!gtk_widget_get_realized(window)) return;
  // The old picture stays until the new one is made from it.
  std::unique_ptr<X11Picture> old_shared = std::move(shared);
  cairo_surface_t* old = std::exchange(picture, nullptr);
  const Layout was = layout;
  scaler.reset();
  layout = wanted;
  // The server's copy goes by screen pixels: a scaled-up display is left to GTK.
  if (gtk_widget_get_scale_factor(area) == 1) shared = X11Picture::Make(window, layout.width, layout.height);
  picture = shared != nullptr
                ? cairo_image_surface_create_for_data(shared->Pixels(), CAIRO_FORMAT_RGB24, layout.width,
                                                      layout.height, shared->Stride())
                : cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height);
  if (layout.width != width || layout.height != height) scaler.emplace(width, height, layout.width, layout.height);
  if (old != nullptr && !blank) {
    // Until the program draws it again (its frame loop may be held by a box
    // opened right after the switch), the new picture shows the old one
    // scaled to it rather than black.
    cairo_surface_flush(old);
    cairo_surface_flush(picture);
    const PixelBuffer from{cairo_image_surface_get_data(old), cairo_image_surface_get_stride(old), was.width,
                           was.height};
    PictureScaler(was.width, was.height, layout.width, layout.height)
        .Scale(from, PresentRect{0, 0, layout.width, layout.height}, cairo_image_surface_get_data(picture),
               cairo_image_surface_get_stride(picture));
    cairo_surface_mark_dirty(picture);
  }
  if (old != nullptr) cairo_surface_destroy(old);
  // The new picture holds none of what was shown at its own scale, so the
  // program is asked to draw it again; nothing of it is pending yet: what was
  // pending lay in the old picture's pixels.
  kept = false;
  asked = false;
  pending = PresentRect{};
  pending_source = 0;
}

// The server refused a put (its error was kept from ending the program): the
// picture moves to the program's own memory and GTK paints it from now on,
// all of it first.
void GtkPresenter::LeaveSharedIfFailed() {
  if (shared == nullptr || !shared->Failed()) return;
  cairo_surface_t* own = cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height);
  cairo_surface_flush(picture);
  cairo_surface_flush(own);
  const int stride = cairo_image_surface_get_stride(own);
  for (int y = 0; y < layout.height; ++y) {
    std::memcpy(cairo_image_surface_get_data(own) + static_cast<ptrdiff_t>(y) * stride,
                shared->Pixels() + static_cast<ptrdiff_t>(y) * shared->Stride(), static_cast<size_t>(layout.width) * 4);
  }
  cairo_surface_mark_dirty(own);
  cairo_surface_destroy(picture);
  picture = own;
  shared.reset();
  gtk_widget_queue_draw(area);
}

// The window's own copy goes straight into the window, unless something of
// GTK's lies over the picture (the menu bar in full screen).
bool GtkPresenter::DirectPut() const {
  return shared != nullptr && !(parts.full_screen && gtk_widget_get_visible(parts.menubar)) &&
         gtk_widget_get_mapped(area);
}

gboolean GtkPresenter::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* self = static_cast<GtkPresenter*>(data);
  self->Fit();
  if (self->picture == nullptr) return FALSE;
  const Layout& l = self->layout;
  if (self->parts.full_screen) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
  }
  // The picture holds what the window shows, so an exposed part shows it
  // again at once, whoever asked: the frame loop need not run (a modal
  // dialog or box may hold it).
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  const bool direct = self->DirectPut();
  if (direct) {
    // The server copies the picture in as soon as GTK has painted: its paint
    // leaves the picture's place black, and nothing of it goes through GTK.
    cairo_set_source_rgb(cr, 0, 0, 0);
    const PresentRect exposed{std::max(static_cast<int>(std::floor(x0)) - l.x, 0),
                              std::max(static_cast<int>(std::floor(y0)) - l.y, 0),
                              std::min(static_cast<int>(std::ceil(x1)) - l.x, l.width),
                              std::min(static_cast<int>(std::ceil(y1)) - l.y, l.height)};
    if (!IsEmpty(exposed)) {
      self->pending = Union(self->pending, exposed);
      self->ShowSoon();
    }
  } else {
    cairo_set_source_surface(cr, self->picture, l.x, l.y);
  }
  cairo_rectangle(cr, l.x, l.y, l.width, l.height);
  cairo_fill(cr);
  // The painted part of the picture, in source pixels.
  const double scale = static_cast<double>(l.width) / self->width;
  x0 = std::max((x0 - l.x) / scale, 0.0), y0 = std::max((y0 - l.y) / scale, 0.0);
  x1 = std::min((x1 - l.x) / scale, static_cast<double>(self->width));
  y1 = std::min((y1 - l.y) / scale, static_cast<double>(self->height));
  if (x1 <= x0 || y1 <= y0) return TRUE;
  // A picture made for a new layout holds nothing yet: the program draws it again.
  if (!self->kept && self->ask_repaint) {
    self->ask_repaint(PresentRect{static_cast<int32_t>(x0), static_cast<int32_t>(y0),
                                  static_cast<int32_t>(std::ceil(x1)), static_cast<int32_t>(std::ceil(y1))});
  }
  if (self->paint_log != nullptr && !direct) self->LogPaint(std::lround((x1 - x0) * (y1 - y0)));
  return TRUE;
}

// What is pending goes out when the loop is next idle, right after a GTK
// paint: an exposed part of the picture, or a present made outside a frame
// (a repaint while the program is inactive or a modal loop runs), which no
// refresh wait follows.
void GtkPresenter::ShowSoon() {
  if (show_soon != 0) return;
  show_soon = g_idle_add_full(
      GDK_PRIORITY_REDRAW + 1,
      [](gpointer data) {
        auto* self = static_cast<GtkPresenter*>(data);
        self->show_soon = 0;
        self->PaintNow();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

void GtkPresenter::PutPending() {
  const PresentRect p = std::exchange(pending, PresentRect{});
  const long source_area = std::exchange(pending_source, 0);
  // Into the native window that holds the area, at the area's place in it.
  GdkWindow* target = gtk_widget_get_window(area);
  double x = layout.x + p.left, y = layout.y + p.top;
  while (target != nullptr && !gdk_window_has_native(target)) {
    gdk_window_coords_to_parent(target, x, y, &x, &y);
    target = gdk_window_get_parent(target);
  }
  if (target == nullptr) return;
  shared->Put(target, p.left, p.top, p.right - p.left, p.bottom - p.top, static_cast<int>(x), static_cast<int>(y));
  gdk_display_flush(gtk_widget_get_display(window));
  if (paint_log != nullptr && source_area > 0) LogPaint(source_area);
}

void GtkPresenter::LogPaint(long area_px) {
  std::fprintf(paint_log, "%lld %lld %ld %016llx\n", static_cast<long long>(ClockNs(CLOCK_MONOTONIC)),
               static_cast<long long>(ClockNs(CLOCK_PROCESS_CPUTIME_ID)), area_px,
               static_cast<unsigned long long>(shown_fingerprint));
  std::fflush(paint_log);
}

// --- IPresenter
void GtkPresenter::Present(const PixelBuffer& source, const PresentRect& rect) {
  const PresentRect r{std::max(rect.left, 0), std::max(rect.top, 0), std::min({rect.right, width, source.width}),
                      std::min({rect.bottom, height, source.height})};
  if (source.topRow == nullptr || IsEmpty(r)) return;
  Fit();
  if (picture == nullptr) return;
  // The server may still be reading the last put of these pixels.
  if (shared != nullptr) shared->WaitUntilRead();
  cairo_surface_flush(picture);
  uint8_t* to = cairo_image_surface_get_data(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  // cairo's RGB24 and the window's pixels are native-endian 0x00RRGGBB words:
  // the bytes B, G, R, x, as in the source, whichever way its rows run.
  PresentRect shown = r;
  if (scaler) {
    shown = scaler->Covered(r);
    scaler->Scale(source, shown, to, stride);
  } else {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      std::memcpy(to + static_cast<ptrdiff_t>(y) * stride + r.left * 4, source.topRow + y * source.pitch + r.left * 4,
                  static_cast<size_t>(r.right - r.left) * 4);
    }
  }
  cairo_surface_mark_dirty_rectangle(picture, shown.left, shown.top, shown.right - shown.left,
                                     shown.bottom - shown.top);
  blank = false;
  if (shown == PresentRect{0, 0, layout.width, layout.height}) {
    kept = true;
    asked = false;
  } else if (!kept && !asked && ask_repaint) {
    // The rest of the picture is gone: the program draws all of it again.
    asked = true;
    ask_repaint(PresentRect{0, 0, width, height});
  }
  ShowSoon();
  pending = Union(pending, shown);
  pending_source += static_cast<long>(r.right - r.left) * (r.bottom - r.top);
  if (paint_log != nullptr) shown_fingerprint = PictureFingerprint(source);
}

bool GtkPresenter::PaintNow() {
  LeaveSharedIfFailed();
  if (IsEmpty(pending)) return false;
  if (DirectPut()) {
    PutPending();
    return true;
  }
  const PresentRect p = std::exchange(pending, PresentRect{});
  pending_source = 0;
  gtk_widget_queue_draw_area(area, layout.x + p.left, layout.y + p.top, p.right - p.left, p.bottom - p.top);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gdk_window_process_updates(gtk_widget_get_window(window), TRUE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gdk_display_flush(gtk_widget_get_display(window));
  return true;
}

}  // namespace platform
