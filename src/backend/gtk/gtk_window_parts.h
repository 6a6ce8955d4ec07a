// What the rooms of the GTK main window share: its widgets, the input method
// of its top-level window, the picture's size and the two flags more than one
// room reads. The shell builds it before the rooms and destroys the widgets
// while the rooms still stand; the main window, menu, presenter, events and
// boxes each keep a reference. Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace platform {

struct GtkWindowParts {
  // Makes the window, hidden and not yet realized: the menu bar above an area
  // of the picture's size.
  GtkWindowParts(const std::u16string& title, int width, int height);
  ~GtkWindowParts() { Destroy(); }
  GtkWindowParts(const GtkWindowParts&) = delete;
  GtkWindowParts& operator=(const GtkWindowParts&) = delete;

  // Shows the widgets inside the window and realizes it, so the input method
  // has its client window; the rooms have connected their signals by then.
  void Realize();
  // Closes an open menu, drops the input method, destroys the window and runs
  // what the loop still holds for it. The shell calls it while every room is
  // still there for the handlers the teardown may set off; later calls do nothing.
  void Destroy();

  GtkWidget* window = nullptr;
  GtkWidget* overlay = nullptr;  // holds the box, and the menu bar over the picture in full screen
  GtkWidget* box = nullptr;
  GtkWidget* menubar = nullptr;
  GtkWidget* area = nullptr;
  GtkIMContext* im = nullptr;
  int width = 0;  // the picture's size in pixels
  int height = 0;
  bool full_screen = false;  // written by the main window; the picture's placement and the pointer follow it
  int dialogs = 0;           // > 0 while one of our boxes is up
  // Monotonic microseconds when the refresh wait last left the GLib loop with
  // nothing due; the frame's start runs the loop only when that is not fresh.
  gint64 loop_ran_us = 0;
};

// Runs the GLib loop until `done` or `ms` pass; GTK handlers only queue events.
template <class Done>
void RunLoopUntil(guint ms, Done done) {
  bool timed_out = false;
  auto on_timeout = [](gpointer data) -> gboolean {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
  };
  guint timer = g_timeout_add(ms, on_timeout, &timed_out);
  while (!timed_out && !done()) g_main_context_iteration(nullptr, TRUE);
  if (!timed_out) g_source_remove(timer);
}

}  // namespace platform
