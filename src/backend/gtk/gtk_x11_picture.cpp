#include "backend/gtk/gtk_x11_picture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef GDK_WINDOWING_X11
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <gdk/gdkx.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/shm.h>
#endif

namespace platform {

#ifdef GDK_WINDOWING_X11

struct X11Picture::Parts {
  ~Parts();
  // Hands the memory to the server by a file descriptor (MIT-SHM 1.2, over a
  // local socket only); false where that cannot be done.
  bool AttachByDescriptor();
  // Names a System V segment to the server by `id_seen`, or by its own id.
  bool AttachById(int id_seen);
  // Whether the server reads this memory: it puts a pattern from it into a
  // pixmap, and the pixmap is read back.
  bool ServerSeesMemory();
  // Notes the event when it is the completion of one of this picture's puts.
  bool Completes(const XEvent& event);

  GdkDisplay* gdk_display = nullptr;
  Display* display = nullptr;
  Window window = 0;             // the X window the picture was made for
  int width = 0;
  int height = 0;
  XShmSegmentInfo segment{};     // its shmaddr: the memory, mapped here, `bytes` long
  XImage* image = nullptr;
  size_t bytes = 0;
  bool by_descriptor = false;    // the memory is a file's (else a System V segment)
  bool attached = false;         // the server holds the memory
  bool filtering = false;        // completions are looked for among GDK's events
  int completion_type = 0;
  GC gc = nullptr;
  Window gc_window = 0;          // the window the context was made for
  unsigned long last_put = 0;    // request number of the last put; 0 before any
  unsigned long completed = 0;   // request number of the last put the server completed
  bool failed = false;
};

namespace {

GdkFilterReturn OnEvent(GdkXEvent* xevent, GdkEvent*, gpointer data) {
  auto* parts = static_cast<X11Picture::Parts*>(data);
  return parts->Completes(*static_cast<XEvent*>(xevent)) ? GDK_FILTER_REMOVE : GDK_FILTER_CONTINUE;
}

// Looks at each event queued in Xlib, taking none.
Bool PeekCompletion(Display*, XEvent* event, XPointer data) {
  reinterpret_cast<X11Picture::Parts*>(data)->Completes(*event);
  return False;
}

}  // namespace

X11Picture::Parts::~Parts() {
  if (filtering) gdk_window_remove_filter(nullptr, OnEvent, this);
  gdk_x11_display_error_trap_push(gdk_display);
  if (attached) XShmDetach(display, &segment);
  if (gc != nullptr) XFreeGC(display, gc);
  // The server lets go of the memory before this side does.
  if (attached) XSync(display, False);
  gdk_x11_display_error_trap_pop_ignored(gdk_display);
  if (image != nullptr) {
    image->data = nullptr;
    XDestroyImage(image);
  }
  if (segment.shmaddr != nullptr) by_descriptor ? munmap(segment.shmaddr, bytes) : shmdt(segment.shmaddr);
}

bool X11Picture::Parts::AttachByDescriptor() {
  int major = 0, minor = 0;
  Bool pixmaps = False;
  if (!XShmQueryVersion(display, &major, &minor, &pixmaps) || major < 1 || (major == 1 && minor < 2)) return false;
  xcb_connection_t* connection = XGetXCBConnection(display);
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(xcb_get_file_descriptor(connection), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.ss_family != AF_UNIX) {
    return false;
  }
  const int fd = memfd_create("picture", MFD_CLOEXEC);
  if (fd < 0) return false;
  void* at = ftruncate(fd, static_cast<off_t>(bytes)) == 0
                 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                 : MAP_FAILED;
  if (at == MAP_FAILED) {
    close(fd);
    return false;
  }
  const uint32_t seg = xcb_generate_id(connection);
  // The connection closes the descriptor once it has sent it.
  xcb_generic_error_t* error = xcb_request_check(connection, xcb_shm_attach_fd_checked(connection, seg, fd, 1));
  if (error != nullptr) {
    std::free(error);
    munmap(at, bytes);
    return false;
  }
  by_descriptor = attached = true;
  segment.shmseg = seg;
  segment.shmid = -1;
  segment.shmaddr = static_cast<char*>(at);
  segment.readOnly = True;
  return true;
}

bool X11Picture::Parts::AttachById(int id_seen) {
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* at = shmat(id, nullptr, 0);
  // The segment goes once both sides have let go of it, however the program ends.
  shmctl(id, IPC_RMID, nullptr);
  if (at == reinterpret_cast<void*>(-1)) return false;
  segment.shmid = id_seen >= 0 ? id_seen : id;
  segment.shmaddr = static_cast<char*>(at);
  segment.readOnly = True;
  // A display on another machine refuses the segment, by an error that comes later.
  gdk_x11_display_error_trap_push(gdk_display);
  XShmAttach(display, &segment);
  XSync(display, False);
  attached = gdk_x11_display_error_trap_pop(gdk_display) == 0;
  return attached && ServerSeesMemory();
}

bool X11Picture::Parts::ServerSeesMemory() {
  const int probe = std::min(width, 4);
  auto* words = reinterpret_cast<uint32_t*>(segment.shmaddr);
  const uint32_t salt = g_random_int();
  for (int i = 0; i < probe; ++i) words[i] = (salt + static_cast<uint32_t>(i) * 0x9E3779B9u) & 0xFFFFFF;
  image->data = segment.shmaddr;
  gdk_x11_display_error_trap_push(gdk_display);
  const Pixmap pixmap = XCreatePixmap(display, window, static_cast<unsigned>(probe), 1, 24);
  GC probe_gc = XCreateGC(display, pixmap, 0, nullptr);
  XShmPutImage(display, pixmap, probe_gc, image, 0, 0, 0, 0, static_cast<unsigned>(probe), 1, False);
  XImage* back = XGetImage(display, pixmap, 0, 0, static_cast<unsigned>(probe), 1, AllPlanes, ZPixmap);
  XFreeGC(display, probe_gc);
  XFreePixmap(display, pixmap);
  gdk_x11_display_error_trap_pop_ignored(gdk_display);
  bool same = back != nullptr;
  for (int i = 0; same && i < probe; ++i) same = (XGetPixel(back, i, 0) & 0xFFFFFF) == words[i];
  if (back != nullptr) XDestroyImage(back);
  std::memset(words, 0, static_cast<size_t>(probe) * 4);
  return same;
}

bool X11Picture::Parts::Completes(const XEvent& event) {
  if (event.type != completion_type || reinterpret_cast<const XShmCompletionEvent&>(event).shmseg != segment.shmseg) {
    return false;
  }
  completed = std::max(completed, event.xany.serial);
  return true;
}

std::unique_ptr<X11Picture> X11Picture::Make(GtkWidget* window, int width, int height, Naming naming) {
  GdkDisplay* gdk_display = gtk_widget_get_display(window);
  GdkWindow* gdk_window = gtk_widget_get_window(window);
  if (!GDK_IS_X11_DISPLAY(gdk_display) || gdk_window == nullptr || width <= 0 || height <= 0) return nullptr;
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display);
  if (!XShmQueryExtension(display)) return nullptr;
  // The window's pixels must be the picture's words as they are, with no alpha.
  GdkVisual* visual = gdk_window_get_visual(gdk_window);
  guint32 red, green, blue;
  gdk_visual_get_red_pixel_details(visual, &red, nullptr, nullptr);
  gdk_visual_get_green_pixel_details(visual, &green, nullptr, nullptr);
  gdk_visual_get_blue_pixel_details(visual, &blue, nullptr, nullptr);
  if (red != 0xFF0000 || green != 0xFF00 || blue != 0xFF || gdk_visual_get_depth(visual) != 24) return nullptr;

  auto parts = std::make_unique<Parts>();
  parts->gdk_display = gdk_display;
  parts->display = display;
  parts->window = GDK_WINDOW_XID(gdk_window);
  parts->width = width;
  parts->height = height;
  parts->image = XShmCreateImage(display, GDK_VISUAL_XVISUAL(visual), 24, ZPixmap, nullptr, &parts->segment,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (parts->image == nullptr) return nullptr;
  const uint16_t probe = 1;
  const bool little_endian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  if (parts->image->bits_per_pixel != 32 || (parts->image->byte_order == LSBFirst) != little_endian) return nullptr;
  parts->bytes = static_cast<size_t>(parts->image->bytes_per_line) * static_cast<size_t>(height);
  if (!(naming.descriptor && parts->AttachByDescriptor()) && !parts->AttachById(naming.id_seen)) return nullptr;
  parts->image->data = parts->segment.shmaddr;
  parts->completion_type = XShmGetEventBase(display) + ShmCompletion;
  gdk_window_add_filter(nullptr, OnEvent, parts.get());
  parts->filtering = true;
  auto* pixels = reinterpret_cast<uint8_t*>(parts->segment.shmaddr);
  const int stride = parts->image->bytes_per_line;
  return std::unique_ptr<X11Picture>(new X11Picture(std::move(parts), pixels, stride));
}

X11Picture::X11Picture(std::unique_ptr<Parts> parts, uint8_t* pixels, int stride)
    : parts(std::move(parts)), pixels(pixels), stride(stride) {}

X11Picture::~X11Picture() = default;

bool X11Picture::ByDescriptor() const { return parts->by_descriptor; }

void X11Picture::WaitUntilRead() {
  if (parts->last_put == 0 || LastKnownRequestProcessed(parts->display) >= parts->last_put) return;
  // The put's completion event has not been read yet: ask and wait.
  XSync(parts->display, False);
}

void X11Picture::Put(GdkWindow* target, int x, int y, int w, int h, int to_x, int to_y) {
  Parts& p = *parts;
  const int left = std::max(x, 0), top = std::max(y, 0);
  const int right = std::min(x + w, p.width), bottom = std::min(y + h, p.height);
  if (right <= left || bottom <= top) return;
  const Window window = GDK_WINDOW_XID(target);
  gdk_x11_display_error_trap_push(p.gdk_display);
  if (p.gc == nullptr || p.gc_window != window) {
    if (p.gc != nullptr) XFreeGC(p.display, p.gc);
    XGCValues values{};
    values.graphics_exposures = False;
    p.gc = XCreateGC(p.display, window, GCGraphicsExposures, &values);
    p.gc_window = window;
  }
  p.last_put = NextRequest(p.display);
  // With a completion event, so that the request counts as read soon after,
  // and its absence tells that the put failed.
  XShmPutImage(p.display, window, p.gc, p.image, left, top, to_x + left - x, to_y + top - y,
               static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top), True);
  gdk_x11_display_error_trap_pop_ignored(p.gdk_display);
}

bool X11Picture::Failed() {
  Parts& p = *parts;
  if (p.failed || p.last_put == 0 || p.completed >= p.last_put ||
      LastKnownRequestProcessed(p.display) < p.last_put) {
    return p.failed;
  }
  // The server has dealt with the last put: its completion has come unless
  // the put failed, and may still wait in Xlib's queue.
  XEvent event;
  XCheckIfEvent(p.display, &event, PeekCompletion, reinterpret_cast<XPointer>(&p));
  p.failed = p.completed < p.last_put;
  return p.failed;
}

#else

struct X11Picture::Parts {};

std::unique_ptr<X11Picture> X11Picture::Make(GtkWidget*, int, int, Naming) { return nullptr; }
X11Picture::X11Picture(std::unique_ptr<Parts> parts, uint8_t* pixels, int stride)
    : parts(std::move(parts)), pixels(pixels), stride(stride) {}
X11Picture::~X11Picture() = default;
bool X11Picture::ByDescriptor() const { return false; }
void X11Picture::WaitUntilRead() {}
void X11Picture::Put(GdkWindow*, int, int, int, int, int, int) {}
bool X11Picture::Failed() { return false; }

#endif

}  // namespace platform
