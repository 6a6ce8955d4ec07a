// A picture the X server reads straight from the program's memory (MIT-SHM),
// put into a window with one copy in the server. Made only on an X display
// that shares memory with the program, at one pixel per screen pixel, for a
// window of depth 24 whose pixels are 32-bit words 0x00RRGGBB in the
// program's byte order (a depth-32 window would read the fourth byte as
// alpha); everywhere else the presenter paints through GTK. Used only inside
// the GTK back end.
//
// The memory is handed to the server as a file descriptor where the server
// takes one. Otherwise it is named by its System V id, which the server looks
// up in its own IPC namespace: a program in another one (a container, a
// sandbox) could make it attach someone else's segment. So by id the picture
// is made only once the server has read back a pattern from it.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>

namespace platform {

// How the picture's memory is named to the server. Tests take the id path,
// and name another segment's id there as a server in another namespace would find it.
struct X11PictureNaming {
  bool descriptor = true;  // by a file descriptor where the server takes one
  int id_seen = -1;        // >= 0: the id the server is told instead of the segment's own
};

class X11Picture {
 public:
  using Naming = X11PictureNaming;
  // A width x height picture for `window`'s X window (realized); null where
  // the display cannot take one.
  static std::unique_ptr<X11Picture> Make(GtkWidget* window, int width, int height, Naming naming = {});
  ~X11Picture();
  X11Picture(const X11Picture&) = delete;
  X11Picture& operator=(const X11Picture&) = delete;

  uint8_t* Pixels() const { return pixels; }
  int Stride() const { return stride; }
  // Whether the server holds the memory by a file descriptor.
  bool ByDescriptor() const;
  // Waits until the server has read the pixels of every put so far, so that
  // they may change.
  void WaitUntilRead();
  // Copies the picture's rectangle at (x, y), w x h, cut to the picture, into
  // `target` (a native GDK window of the same display) at (to_x, to_y). The
  // server reads the pixels after this returns. An error the server answers
  // with is kept from GDK, which would end the program, and shows in Failed.
  void Put(GdkWindow* target, int x, int y, int w, int h, int to_x, int to_y);
  // Whether a put the server has dealt with failed. It does not wait for the
  // server; once true, it stays true.
  bool Failed();

  struct Parts;

 private:
  X11Picture(std::unique_ptr<Parts> parts, uint8_t* pixels, int stride);
  std::unique_ptr<Parts> parts;
  uint8_t* const pixels;
  const int stride;
};

}  // namespace platform
