// A picture the X server reads straight from the program's memory (MIT-SHM),
// put into a window with one copy in the server. Made only on an X display
// that shares memory with the program, at one pixel per screen pixel, for a
// window whose pixels are 32-bit words 0x00RRGGBB in the program's byte
// order; everywhere else the presenter paints through GTK. Used only inside
// the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>

namespace platform {

class X11Picture {
 public:
  // A width x height picture for `window`'s X window (realized); null where
  // the display cannot take one.
  static std::unique_ptr<X11Picture> Make(GtkWidget* window, int width, int height);
  ~X11Picture();
  X11Picture(const X11Picture&) = delete;
  X11Picture& operator=(const X11Picture&) = delete;

  uint8_t* Pixels() const { return pixels; }
  int Stride() const { return stride; }
  // Waits until the server has read the pixels of every put so far, so that
  // they may change.
  void WaitUntilRead();
  // Copies the picture's rectangle at (x, y), w x h, into `target` (a native
  // GDK window of the same display) at (to_x, to_y). The server reads the
  // pixels after this returns.
  void Put(GdkWindow* target, int x, int y, int w, int h, int to_x, int to_y);

  struct Parts;

 private:
  X11Picture(std::unique_ptr<Parts> parts, uint8_t* pixels, int stride);
  std::unique_ptr<Parts> parts;
  uint8_t* const pixels;
  const int stride;
};

}  // namespace platform
