// The main window's presenter. It keeps the window's picture as the window
// shows it: at 1:1 in a window, and in full screen scaled to fit (keeping its
// shape, between black bars) by the program, so the display only ever copies
// pixels. Presents write what changed into that picture; `PaintNow`, called
// before each refresh wait, shows it at once. On an X display that shares
// memory the picture lives in a segment the server reads and goes straight
// into the window, one copy in the server; elsewhere (Wayland, a remote X
// display) and while the menu bar lies over the picture, GTK paints it.
// The picture is kept whole, so exposed parts of the window are painted from
// it at once, also while a modal dialog or box holds the frame loop; only a
// picture made anew for another layout asks the program to draw it again, and
// it shows the old picture scaled to it until then.
// Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "backend/gtk/gtk_window_parts.h"
#include "platform/picture_scale.h"
#include "platform/presenter.h"

namespace platform {

class X11Picture;

class GtkPresenter : public IPresenter {
 public:
  explicit GtkPresenter(const GtkWindowParts& parts);
  ~GtkPresenter() override;
  GtkPresenter(const GtkPresenter&) = delete;
  GtkPresenter& operator=(const GtkPresenter&) = delete;

  // The window is realized: the picture can be made.
  void Realized();
  // Where requests to repaint a rectangle of the picture go (the event
  // source queues them as paint messages): the picture was made anew.
  void OnRepaintNeeded(std::function<void(const PresentRect&)> ask) { ask_repaint = std::move(ask); }

  void Present(const PixelBuffer& source, const PresentRect& rect) override;

  // Shows what the frame presented before it waits for the refresh: left to
  // GTK, the area would be painted only at the frame clock's next cycle, a
  // whole frame later. Returns whether anything was shown. While GTK holds
  // the window's paints back (a compositor has not shown the last one yet)
  // its paint waits for the clock.
  bool PaintNow();

  // Where the picture lies in the area: its scale and the offset of its top left.
  void Placement(double& scale, double& ox, double& oy) const;

 private:
  // The picture's size and place in the area for its present allocation.
  struct Layout {
    int width = 0;  // the picture as shown, in screen pixels
    int height = 0;
    int x = 0;      // its top left in the area
    int y = 0;
    bool operator==(const Layout&) const = default;
  };
  Layout CurrentLayout() const;
  // Makes the picture for the area's present layout when it changed.
  void Fit();
  void DropPicture();
  void LeaveSharedIfFailed();
  static void OnUnrealize(GtkWidget*, gpointer data);
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data);
  void ShowSoon();
  // Puts what is pending into the window (the direct way only).
  void PutPending();
  void LogPaint(long area_px);
  bool DirectPut() const;

  GtkWidget* const window;
  GtkWidget* const area;
  const int width;  // the source picture's size in pixels
  const int height;
  const GtkWindowParts& parts;  // full screen and the menu bar's place are read from it
  std::function<void(const PresentRect&)> ask_repaint;

  Layout layout;                          // of the picture below
  std::unique_ptr<X11Picture> shared;     // the picture's memory where the server reads it
  cairo_surface_t* picture = nullptr;     // the picture as GTK paints it (over the shared memory, if any)
  std::optional<PictureScaler> scaler;    // while the picture is scaled
  bool kept = false;       // the picture holds all that was presented (not made anew since)
  bool asked = false;      // a repaint of the whole picture was asked since it was last kept
  bool blank = true;       // nothing was ever presented: the picture is black
  PresentRect pending{};   // what presents changed since the last paint, in the picture's pixels
  long pending_source = 0; // the same in source pixels, for the paint log
  guint show_soon = 0;     // the idle source that shows what is pending, or 0
  // With MESRIN_PAINT_LOG set, one line per paint of the picture for the
  // measuring scripts under bench/: monotonic and process CPU nanoseconds,
  // the painted area in source pixels and the picture's fingerprint. Null otherwise.
  FILE* paint_log = nullptr;
  uint64_t shown_fingerprint = 0;  // of the last picture presented, with the log only
};

}  // namespace platform
