#include "backend/gtk/gtk_presenter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

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

}  // namespace

GtkPresenter::GtkPresenter(const GtkWindowParts& parts)
    : window(parts.window),
      area(parts.area),
      width(parts.width),
      height(parts.height),
      parts(parts) {
  if (const char* log = std::getenv("MESRIN_PAINT_LOG"); log != nullptr && *log != 0) paint_log = std::fopen(log, "w");
  g_signal_connect(area, "draw", G_CALLBACK(OnDraw), this);
}

GtkPresenter::~GtkPresenter() {
  if (image != nullptr) cairo_surface_destroy(image);
  if (staging != nullptr) cairo_surface_destroy(staging);
  if (paint_log != nullptr) std::fclose(paint_log);
}

void GtkPresenter::Realized() {
  // The display keeps the window's picture, so a paint copies within the
  // display; black at first.
  image = gdk_window_create_similar_surface(gtk_widget_get_window(window), CAIRO_CONTENT_COLOR, width, height);
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(image);
    image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  }
  cairo_t* cr = cairo_create(image);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
}

// --- Picture placement: the picture at 1:1 in a window, scaled keeping its
// shape with black bars in full screen.
void GtkPresenter::Placement(double& scale, double& ox, double& oy) const {
  int aw = gtk_widget_get_allocated_width(area);
  int ah = gtk_widget_get_allocated_height(area);
  if (!parts.full_screen || aw <= 0 || ah <= 0) {
    scale = 1, ox = 0, oy = 0;
    return;
  }
  scale = std::min(static_cast<double>(aw) / width, static_cast<double>(ah) / height);
  ox = (aw - width * scale) / 2;
  oy = (ah - height * scale) / 2;
}

gboolean GtkPresenter::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* self = static_cast<GtkPresenter*>(data);
  if (self->image == nullptr) return FALSE;
  double scale, ox, oy;
  self->Placement(scale, ox, oy);
  if (self->parts.full_screen) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
  }
  cairo_translate(cr, ox, oy);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, self->image, 0, 0);
  if (scale != 1) cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_rectangle(cr, 0, 0, self->width, self->height);
  cairo_fill(cr);
  if (self->paint_log != nullptr) self->LogPaint(cr);
  return TRUE;
}

void GtkPresenter::LogPaint(cairo_t* cr) {
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  x0 = std::max(x0, 0.0), y0 = std::max(y0, 0.0);
  x1 = std::min(x1, static_cast<double>(width)), y1 = std::min(y1, static_cast<double>(height));
  const long area_px = x1 > x0 && y1 > y0 ? std::lround((x1 - x0) * (y1 - y0)) : 0;
  std::fprintf(paint_log, "%lld %lld %ld %016llx\n", static_cast<long long>(ClockNs(CLOCK_MONOTONIC)),
               static_cast<long long>(ClockNs(CLOCK_PROCESS_CPUTIME_ID)), area_px,
               static_cast<unsigned long long>(shown_fingerprint));
  std::fflush(paint_log);
}

// --- IPresenter
void GtkPresenter::Present(const PixelBuffer& source, const PresentRect& rect) {
  const int32_t left = std::max(rect.left, 0);
  const int32_t top = std::max(rect.top, 0);
  const int32_t right = std::min({rect.right, width, source.width});
  const int32_t bottom = std::min({rect.bottom, height, source.height});
  if (image == nullptr || source.topRow == nullptr || left >= right || top >= bottom) return;
  // cairo's RGB24 is a native-endian 0x00RRGGBB word: the bytes B, G, R, x,
  // as in the source. Top-down rows are read where they lie. Rows that run
  // upwards in memory (a bottom-up picture) are turned the right way up in
  // a picture the display reads directly (shared memory where it has it):
  // cairo draws a negative stride, but not every display upload takes one.
  cairo_t* cr = cairo_create(image);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (source.pitch > 0 && source.pitch % 4 == 0 && source.pitch <= INT32_MAX) {
    cairo_surface_t* pixels =
        cairo_image_surface_create_for_data(const_cast<uint8_t*>(source.topRow), CAIRO_FORMAT_RGB24, source.width,
                                            source.height, static_cast<int>(source.pitch));
    cairo_set_source_surface(cr, pixels, 0, 0);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
    // The context lets go of the source, and nothing may read it once this returns.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_surface_finish(pixels);
    cairo_surface_destroy(pixels);
  } else {
    if (staging == nullptr) staging = cairo_surface_create_similar_image(image, CAIRO_FORMAT_RGB24, width, height);
    // Waits, if need be, until the display has taken the last upload.
    cairo_surface_flush(staging);
    uint8_t* dst = cairo_image_surface_get_data(staging);
    const int stride = cairo_image_surface_get_stride(staging);
    for (int32_t y = top; y < bottom; ++y) {
      std::memcpy(dst + static_cast<ptrdiff_t>(y) * stride + left * 4, source.topRow + y * source.pitch + left * 4,
                  static_cast<size_t>(right - left) * 4);
    }
    cairo_surface_mark_dirty_rectangle(staging, left, top, right - left, bottom - top);
    cairo_set_source_surface(cr, staging, 0, 0);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  if (paint_log != nullptr) shown_fingerprint = PictureFingerprint(source);
  double scale, ox, oy;
  Placement(scale, ox, oy);
  int x0 = static_cast<int>(ox + left * scale), y0 = static_cast<int>(oy + top * scale);
  int x1 = static_cast<int>(ox + right * scale + 1), y1 = static_cast<int>(oy + bottom * scale + 1);
  gtk_widget_queue_draw_area(area, x0, y0, x1 - x0, y1 - y0);
  presented = true;
}

void GtkPresenter::PaintNow() {
  if (!std::exchange(presented, false)) {
    if (quiet_frames < kStagingQuietFrames && ++quiet_frames == kStagingQuietFrames) ReleaseStagingPages();
    return;
  }
  quiet_frames = 0;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gdk_window_process_updates(gtk_widget_get_window(window), TRUE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gdk_display_flush(gtk_widget_get_display(window));
}

// Each present copies its area into the upload picture before the display
// reads it, so what the picture held is never needed again: its pages go
// back to the system and come back, zeroed, at the next present's copy.
// Shared memory is freed by punching the pages out (dropping them would only
// unmap them here), private memory by dropping them.
void GtkPresenter::ReleaseStagingPages() {
  if (staging == nullptr) return;
  // Waits, if need be, until the display has taken the last upload.
  cairo_surface_flush(staging);
  uint8_t* data = cairo_image_surface_get_data(staging);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (data == nullptr || page_size <= 0) return;
  const auto page = static_cast<uintptr_t>(page_size);
  const auto start = reinterpret_cast<uintptr_t>(data);
  const uintptr_t bytes = static_cast<uintptr_t>(cairo_image_surface_get_stride(staging)) *
                          static_cast<uintptr_t>(cairo_image_surface_get_height(staging));
  // Only whole pages inside the picture: its neighbours keep theirs.
  const uintptr_t begin = (start + page - 1) / page * page;
  const uintptr_t end = (start + bytes) / page * page;
  if (end <= begin) return;
  void* at = reinterpret_cast<void*>(begin);
  if (madvise(at, end - begin, MADV_REMOVE) != 0) madvise(at, end - begin, MADV_DONTNEED);
}

}  // namespace platform
