// Finding the widgets of a GTK dialog under test: by the names the views give
// them, and the dialog that shows last.
#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <string>

namespace gtk_test {

// The widget of that name at or below `widget`, or null.
inline GtkWidget* FindNamed(GtkWidget* widget, const std::string& name) {
  if (name == gtk_widget_get_name(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* c = children; c != nullptr && found == nullptr; c = c->next) found = FindNamed(GTK_WIDGET(c->data), name);
  g_list_free(children);
  return found;
}

// The last visible dialog among the top-level windows (a nested one over its parent), or null.
inline GtkWidget* OpenDialog() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* w = windows; w != nullptr; w = w->next) {
    if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) found = GTK_WIDGET(w->data);
  }
  g_list_free(windows);
  return found;
}

// Whether a window manager has announced itself on the default display.
inline bool WindowManagerRuns() {
  GdkAtom type;
  gint format = 0, length = 0;
  guchar* data = nullptr;
  bool found = gdk_property_get(gdk_get_default_root_window(), gdk_atom_intern_static_string("_NET_SUPPORTING_WM_CHECK"),
                                GDK_NONE, 0, 1, FALSE, &type, &format, &length, &data) &&
               length > 0;
  g_free(data);
  return found;
}

// Runs the GLib loop until `done` or `seconds` pass; false when time ran out.
template <class Done>
bool RunUntil(Done done, int seconds = 2) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
  }
  return true;
}

}  // namespace gtk_test
