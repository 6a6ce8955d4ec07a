#include "backend/gtk/gtk_main_window.h"

namespace platform {

namespace {

// Longest wait for the window manager to map the window or to take it to
// full screen and back; a manager that has not done it by then will not.
constexpr guint kWindowManagerWaitMs = 3000;

}  // namespace

GtkMainWindow::GtkMainWindow(GtkWindowParts& parts, GtkMenu& menu, GtkPresenter& presenter)
    : parts(parts), menu(menu), presenter(presenter) {
  CountRefreshes(true);
  g_signal_connect(parts.window, "map-event", G_CALLBACK(OnMapChanged), this);
  g_signal_connect(parts.window, "unmap-event", G_CALLBACK(OnMapChanged), this);
}

// The manager maps and unmaps the window as it shows it and takes it off the
// screen (minimised, on another desktop); GDK holds its layout meanwhile.
gboolean GtkMainWindow::OnMapChanged(GtkWidget*, GdkEvent* event, gpointer data) {
  static_cast<GtkMainWindow*>(data)->on_screen = event->type == GDK_MAP;
  return FALSE;
}

gboolean GtkMainWindow::OnTick(GtkWidget*, GdkFrameClock* clock, gpointer data) {
  // The frame time is when the refresh came, however late the loop saw it.
  const gint64 frame_time = gdk_frame_clock_get_frame_time(clock);
  gint64 interval = 0, presentation = 0;
  gdk_frame_clock_get_refresh_info(clock, frame_time, &interval, &presentation);
  static_cast<GtkMainWindow*>(data)->pace.Refreshed(g_get_monotonic_time(), frame_time, interval);
  return G_SOURCE_CONTINUE;
}

void GtkMainWindow::CountRefreshes(bool on) {
  if (on && tick_callback == 0) {
    tick_callback = gtk_widget_add_tick_callback(parts.area, OnTick, this, nullptr);
  } else if (!on && tick_callback != 0) {
    gtk_widget_remove_tick_callback(parts.area, tick_callback);
    tick_callback = 0;
  }
}

void GtkMainWindow::SetMenuBarVisible(bool visible) {
  menu_visible = visible;
  gtk_widget_set_visible(parts.menubar, visible);
}

// The menu bar above the picture in a window; over the picture's top in full
// screen, so showing it there neither moves nor rescales the picture.
void GtkMainWindow::PlaceMenuBar(bool over_picture) {
  GtkWidget* menubar = parts.menubar;
  g_object_ref(menubar);
  gtk_container_remove(GTK_CONTAINER(gtk_widget_get_parent(menubar)), menubar);
  if (over_picture) {
    gtk_widget_set_valign(menubar, GTK_ALIGN_START);
    gtk_overlay_add_overlay(GTK_OVERLAY(parts.overlay), menubar);
  } else {
    gtk_widget_set_valign(menubar, GTK_ALIGN_FILL);
    gtk_box_pack_start(GTK_BOX(parts.box), menubar, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(parts.box), menubar, 0);
  }
  g_object_unref(menubar);
}

GdkWindowState GtkMainWindow::WindowState() const { return gdk_window_get_state(gtk_widget_get_window(parts.window)); }

bool GtkMainWindow::Placeable() const {
  return on_screen && (WindowState() & (GDK_WINDOW_STATE_WITHDRAWN | GDK_WINDOW_STATE_ICONIFIED)) == 0;
}

// Whether the window covers the whole of the full-screen monitor.
bool GtkMainWindow::CoversMonitor() const {
  if ((WindowState() & GDK_WINDOW_STATE_FULLSCREEN) == 0) return false;
  GdkDisplay* display = gtk_widget_get_display(parts.window);
  GdkMonitor* m = gdk_display_get_monitor(display, monitor);
  if (m == nullptr) m = gdk_display_get_monitor_at_window(display, gtk_widget_get_window(parts.window));
  GdkRectangle geometry;
  gdk_monitor_get_geometry(m, &geometry);
  return gtk_widget_get_allocated_width(parts.area) == geometry.width &&
         gtk_widget_get_allocated_height(parts.area) == geometry.height;
}

// The window's own look: a fixed-size window with its menu bar, or a
// resizable one whose menu bar lies over the picture. A window that may not
// change size pins its minimum and maximum, which a window manager honours
// even for full screen.
void GtkMainWindow::Dress(bool full) {
  parts.full_screen = full;
  PlaceMenuBar(full);
  SetMenuBarVisible(!full);
  gtk_widget_set_size_request(parts.area, full ? 1 : parts.width, full ? 1 : parts.height);
  if (full) {
    // A window that may change size takes the size last asked of it (1 x 1
    // on leaving full screen): it keeps the one it has, which the manager
    // restores when full screen ends and which holds the windowed layout.
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(parts.window), &width, &height);
    gtk_window_resize(GTK_WINDOW(parts.window), width, height);
  }
  gtk_window_set_resizable(GTK_WINDOW(parts.window), full);
  // Sends the new size hints now, before the request that depends on them.
  gtk_container_check_resize(GTK_CONTAINER(parts.window));
}

bool GtkMainWindow::SetFullScreen(bool full) {
  if (full == parts.full_screen) return true;
  GtkWindow* window = GTK_WINDOW(parts.window);
  if (full) {
    // A request made before the manager has taken the window is forgotten.
    RunLoopUntil(kWindowManagerWaitMs, [&] { return (WindowState() & GDK_WINDOW_STATE_WITHDRAWN) == 0; });
    gtk_window_get_position(window, &windowed_x, &windowed_y);
    Dress(true);
    gtk_window_fullscreen_on_monitor(window, gtk_widget_get_screen(parts.window), monitor);
    RunLoopUntil(kWindowManagerWaitMs, [&] { return CoversMonitor(); });
    if (!CoversMonitor()) {
      BackToWindow();
      return false;
    }
  } else {
    BackToWindow();
  }
  gtk_widget_queue_draw(parts.area);
  return true;
}

// The manager places a window that leaves full screen as it likes (the
// monitor's corner, under openbox); it is moved back once full screen is over.
void GtkMainWindow::BackToWindow() {
  GtkWindow* window = GTK_WINDOW(parts.window);
  gtk_window_unfullscreen(window);
  Dress(false);
  gtk_window_resize(window, 1, 1);
  RunLoopUntil(kWindowManagerWaitMs, [&] { return (WindowState() & GDK_WINDOW_STATE_FULLSCREEN) == 0; });
  gtk_window_move(window, windowed_x, windowed_y);
  // Until the window stands there at its own size, a box opened next would be
  // placed over where full screen left it. A window off the screen is neither
  // placed nor laid out before it comes back, so nothing is waited for there.
  RunLoopUntil(kWindowManagerWaitMs, [&] {
    if (!Placeable()) return true;
    int x = 0, y = 0;
    gtk_window_get_position(window, &x, &y);
    return x == windowed_x && y == windowed_y && gtk_widget_get_allocated_width(parts.area) == parts.width &&
           gtk_widget_get_allocated_height(parts.area) == parts.height;
  });
}

void GtkMainWindow::WaitForRefresh() {
  // The frame clock runs while pictures go out; with nothing shown it rests
  // and the wait sleeps until the refresh its pace foresees.
  const bool shown = presenter.PaintNow();
  CountRefreshes(shown);
  gint64 now = g_get_monotonic_time();
  pace.Begin(now, shown);
  while (!pace.Over(now)) {
    RunLoopUntil(static_cast<guint>((pace.Deadline() - now + 999) / 1000),
                 [&] { return pace.Over(g_get_monotonic_time()); });
    now = g_get_monotonic_time();
  }
  parts.loop_ran_us = now;
}

}  // namespace platform
