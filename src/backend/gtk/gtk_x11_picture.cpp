#include "backend/gtk/gtk_x11_picture.h"

#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <gdk/gdkx.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

namespace platform {

#ifdef GDK_WINDOWING_X11

struct X11Picture::Parts {
  GdkDisplay* gdk_display = nullptr;
  Display* display = nullptr;
  XShmSegmentInfo segment{};
  XImage* image = nullptr;
  GC gc = nullptr;
  Window gc_window = 0;          // the window the context was made for
  unsigned long last_put = 0;    // request number of the last put; 0 before any
};

std::unique_ptr<X11Picture> X11Picture::Make(GtkWidget* window, int width, int height) {
  GdkDisplay* gdk_display = gtk_widget_get_display(window);
  GdkWindow* gdk_window = gtk_widget_get_window(window);
  if (!GDK_IS_X11_DISPLAY(gdk_display) || gdk_window == nullptr || width <= 0 || height <= 0) return nullptr;
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display);
  if (!XShmQueryExtension(display)) return nullptr;
  // The window's pixels must be the picture's words as they are.
  GdkVisual* visual = gdk_window_get_visual(gdk_window);
  guint32 red, green, blue;
  gdk_visual_get_red_pixel_details(visual, &red, nullptr, nullptr);
  gdk_visual_get_green_pixel_details(visual, &green, nullptr, nullptr);
  gdk_visual_get_blue_pixel_details(visual, &blue, nullptr, nullptr);
  const int depth = gdk_visual_get_depth(visual);
  if (red != 0xFF0000 || green != 0xFF00 || blue != 0xFF || (depth != 24 && depth != 32)) return nullptr;

  auto parts = std::make_unique<Parts>();
  parts->gdk_display = gdk_display;
  parts->display = display;
  XImage* image = XShmCreateImage(display, GDK_VISUAL_XVISUAL(visual), static_cast<unsigned>(depth), ZPixmap,
                                  nullptr, &parts->segment, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height));
  if (image == nullptr) return nullptr;
  const uint16_t probe = 1;
  const bool little_endian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  if (image->bits_per_pixel != 32 || (image->byte_order == LSBFirst) != little_endian) {
    XDestroyImage(image);
    return nullptr;
  }
  parts->image = image;
  const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
  parts->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (parts->segment.shmid < 0) {
    XDestroyImage(image);
    return nullptr;
  }
  void* at = shmat(parts->segment.shmid, nullptr, 0);
  // The segment goes once both sides have let go of it, however the program ends.
  shmctl(parts->segment.shmid, IPC_RMID, nullptr);
  if (at == reinterpret_cast<void*>(-1)) {
    XDestroyImage(image);
    return nullptr;
  }
  parts->segment.shmaddr = image->data = static_cast<char*>(at);
  parts->segment.readOnly = True;
  // A display on another machine refuses the segment, by an error that comes later.
  gdk_x11_display_error_trap_push(gdk_display);
  XShmAttach(display, &parts->segment);
  XSync(display, False);
  if (gdk_x11_display_error_trap_pop(gdk_display) != 0) {
    image->data = nullptr;
    XDestroyImage(image);
    shmdt(at);
    return nullptr;
  }
  auto* pixels = static_cast<uint8_t*>(at);
  const int stride = image->bytes_per_line;
  return std::unique_ptr<X11Picture>(new X11Picture(std::move(parts), pixels, stride));
}

X11Picture::X11Picture(std::unique_ptr<Parts> parts, uint8_t* pixels, int stride)
    : parts(std::move(parts)), pixels(pixels), stride(stride) {}

X11Picture::~X11Picture() {
  Display* display = parts->display;
  XShmDetach(display, &parts->segment);
  if (parts->gc != nullptr) XFreeGC(display, parts->gc);
  // The server lets go of the segment before this side does.
  XSync(display, False);
  parts->image->data = nullptr;
  XDestroyImage(parts->image);
  shmdt(parts->segment.shmaddr);
}

void X11Picture::WaitUntilRead() {
  if (parts->last_put == 0 || LastKnownRequestProcessed(parts->display) >= parts->last_put) return;
  // The put's completion event has not been read yet: ask and wait.
  XSync(parts->display, False);
}

void X11Picture::Put(GdkWindow* target, int x, int y, int w, int h, int to_x, int to_y) {
  Display* display = parts->display;
  const Window window = GDK_WINDOW_XID(target);
  if (parts->gc == nullptr || parts->gc_window != window) {
    if (parts->gc != nullptr) XFreeGC(display, parts->gc);
    XGCValues values{};
    values.graphics_exposures = False;
    parts->gc = XCreateGC(display, window, GCGraphicsExposures, &values);
    parts->gc_window = window;
  }
  parts->last_put = NextRequest(display);
  // With a completion event, so that the request counts as read soon after.
  XShmPutImage(display, window, parts->gc, parts->image, x, y, to_x, to_y, static_cast<unsigned>(w),
               static_cast<unsigned>(h), True);
}

#else

struct X11Picture::Parts {};

std::unique_ptr<X11Picture> X11Picture::Make(GtkWidget*, int, int) { return nullptr; }
X11Picture::X11Picture(std::unique_ptr<Parts> parts, uint8_t* pixels, int stride)
    : parts(std::move(parts)), pixels(pixels), stride(stride) {}
X11Picture::~X11Picture() = default;
void X11Picture::WaitUntilRead() {}
void X11Picture::Put(GdkWindow*, int, int, int, int, int, int) {}

#endif

}  // namespace platform
