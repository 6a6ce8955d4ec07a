#include "platform/gtk_presenter.h"

#include <algorithm>
#include <cstring>

namespace platform {

GtkPresenter::GtkPresenter(const GtkWindowParts& parts)
    : area(parts.area), width(parts.width), height(parts.height), full_screen(parts.full_screen) {
  image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  g_signal_connect(area, "draw", G_CALLBACK(OnDraw), this);
}

GtkPresenter::~GtkPresenter() {
  if (image != nullptr) cairo_surface_destroy(image);
}

// --- Picture placement: the picture at 1:1 in a window, scaled keeping its
// shape with black bars in full screen.
void GtkPresenter::Placement(double& scale, double& ox, double& oy) const {
  int aw = gtk_widget_get_allocated_width(area);
  int ah = gtk_widget_get_allocated_height(area);
  if (!full_screen || aw <= 0 || ah <= 0) {
    scale = 1, ox = 0, oy = 0;
    return;
  }
  scale = std::min(static_cast<double>(aw) / width, static_cast<double>(ah) / height);
  ox = (aw - width * scale) / 2;
  oy = (ah - height * scale) / 2;
}

gboolean GtkPresenter::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* self = static_cast<GtkPresenter*>(data);
  double scale, ox, oy;
  self->Placement(scale, ox, oy);
  if (self->full_screen) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
  }
  cairo_translate(cr, ox, oy);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, self->image, 0, 0);
  if (scale != 1) cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_rectangle(cr, 0, 0, self->width, self->height);
  cairo_fill(cr);
  return TRUE;
}

// --- IPresenter
void GtkPresenter::Present(const PixelBuffer& source, const PresentRect& rect) {
  const int32_t left = std::max(rect.left, 0);
  const int32_t top = std::max(rect.top, 0);
  const int32_t right = std::min({rect.right, width, source.width});
  const int32_t bottom = std::min({rect.bottom, height, source.height});
  if (source.topRow == nullptr || left >= right || top >= bottom) return;
  cairo_surface_flush(image);
  uint8_t* dst = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  // cairo's RGB24 is a native-endian 0x00RRGGBB word: the bytes B, G, R, x.
  for (int32_t y = top; y < bottom; ++y) {
    std::memcpy(dst + static_cast<ptrdiff_t>(y) * stride + left * 4, source.topRow + y * source.pitch + left * 4,
                static_cast<size_t>(right - left) * 4);
  }
  cairo_surface_mark_dirty_rectangle(image, left, top, right - left, bottom - top);
  double scale, ox, oy;
  Placement(scale, ox, oy);
  int x0 = static_cast<int>(ox + left * scale), y0 = static_cast<int>(oy + top * scale);
  int x1 = static_cast<int>(ox + right * scale + 1), y1 = static_cast<int>(oy + bottom * scale + 1);
  gtk_widget_queue_draw_area(area, x0, y0, x1 - x0, y1 - y0);
}

}  // namespace platform
