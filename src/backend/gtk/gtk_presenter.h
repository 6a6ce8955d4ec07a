// The main window's presenter: the window's picture, kept by the display where
// it can (a pixmap) and else in memory, drawn into the window's area at 1:1 in
// a window, and in full screen scaled keeping its shape between black bars.
// Presents write into the picture and queue the area; `PaintNow`, called before
// each refresh wait, paints it at once. Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <cstdio>

#include "backend/gtk/gtk_window_parts.h"
#include "platform/presenter.h"

namespace platform {

class GtkPresenter : public IPresenter {
 public:
  explicit GtkPresenter(const GtkWindowParts& parts);
  ~GtkPresenter() override;
  GtkPresenter(const GtkPresenter&) = delete;
  GtkPresenter& operator=(const GtkPresenter&) = delete;

  // Makes the window's picture, black; the window is realized by then.
  void Realized();

  void Present(const PixelBuffer& source, const PresentRect& rect) override;

  // Paints what the frame presented before it waits for the refresh: left to
  // GTK, the area would be painted only at the frame clock's next cycle, a
  // whole frame later. The frames keep their pace, as the wait is unchanged.
  // While GTK holds the window's paints back (a compositor has not shown the
  // last one yet) nothing is painted here and the clock paints as before.
  void PaintNow();

  // Where the picture lies in the area: its scale and the offset of its top left.
  void Placement(double& scale, double& ox, double& oy) const;

  // Refresh waits without a present after which the upload picture's memory
  // goes back to the system while the screen stands still.
  static constexpr int kStagingQuietFrames = 30;

 private:
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data);
  void LogPaint(cairo_t* cr);
  void ReleaseStagingPages();

  GtkWidget* const window;
  GtkWidget* const area;
  const int width;  // the picture's size in pixels
  const int height;
  // The shell's shared parts, built before this presenter and kept until after
  // it is gone; their full_screen flag (the main window writes it) places the picture.
  const GtkWindowParts& parts;
  cairo_surface_t* image = nullptr;  // what was presented, kept for the redraws
  // A bottom-up source turned the right way up on its way to the display;
  // made at the first such present.
  cairo_surface_t* staging = nullptr;
  bool presented = false;  // an area waits to be painted by PaintNow
  int quiet_frames = 0;    // refresh waits since the last present, up to kStagingQuietFrames
  // With MESRIN_PAINT_LOG set, one line per paint of the picture for the
  // measuring scripts under bench/: monotonic and process CPU nanoseconds,
  // the painted area in pixels and the picture's fingerprint. Null otherwise.
  FILE* paint_log = nullptr;
  uint64_t shown_fingerprint = 0;  // of the last picture presented, with the log only
};

}  // namespace platform
