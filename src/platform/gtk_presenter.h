// The main window's presenter: a cairo RGB24 copy of the back buffer, drawn
// into the window's area at 1:1 in a window, and in full screen scaled keeping
// its shape between black bars. Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include "platform/gtk_window_parts.h"
#include "platform/presenter.h"

namespace platform {

class GtkPresenter : public IPresenter {
 public:
  explicit GtkPresenter(const GtkWindowParts& parts);
  ~GtkPresenter() override;
  GtkPresenter(const GtkPresenter&) = delete;
  GtkPresenter& operator=(const GtkPresenter&) = delete;

  void Present(const PixelBuffer& source, const PresentRect& rect) override;

  // Where the picture lies in the area: its scale and the offset of its top left.
  void Placement(double& scale, double& ox, double& oy) const;

 private:
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data);

  GtkWidget* const area;
  const int width;  // the picture's size in pixels
  const int height;
  const bool& full_screen;  // the main window's
  cairo_surface_t* image = nullptr;  // what was presented, kept for the redraws
};

}  // namespace platform
