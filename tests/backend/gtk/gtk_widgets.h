// Finding the widgets of a GTK dialog under test: by the names the views give
// them, and the dialog that shows last.
#pragma once

#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <string>

// Goes on when `have` holds; else leaves a window test that lacks `what` (a
// display, a window manager): skipped, with the words CTest looks for to show
// it so, or failed where the run requires a display (ENGINE_REQUIRE_DISPLAY,
// which scripts/test sets under xvfb-run).
#define GTK_TEST_REQUIRE(have, what)                              \
  if (have) {                                                     \
  } else if (std::getenv("ENGINE_REQUIRE_DISPLAY") != nullptr)    \
    GTEST_FAIL() << "no " << (what);                              \
  else                                                            \
    GTEST_SKIP() << "window test skipped: no " << (what)

namespace gtk_test {

// The first widget at or below `widget` (through menu items' submenus too)
// for which `match` holds, or null.
template <class Match>
GtkWidget* Find(GtkWidget* widget, const Match& match) {
  if (match(widget)) return widget;
  if (GTK_IS_MENU_ITEM(widget)) {
    GtkWidget* submenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(widget));
    return submenu != nullptr ? Find(submenu, match) : nullptr;
  }
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* c = children; c != nullptr && found == nullptr; c = c->next) found = Find(GTK_WIDGET(c->data), match);
  g_list_free(children);
  return found;
}

// The widget of that name at or below `widget`, or null.
inline GtkWidget* FindNamed(GtkWidget* widget, const std::string& name) {
  return Find(widget, [&](GtkWidget* w) { return name == gtk_widget_get_name(w); });
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

// Gives `widget` the focus of its window, or takes it, and tells it so as if the window were active.
inline void Focus(GtkWidget* widget, bool in = true) {
  if (in) gtk_widget_grab_focus(widget);
  GdkEvent* event = gdk_event_new(GDK_FOCUS_CHANGE);
  event->focus_change.in = in;
  gtk_widget_send_focus_change(widget, event);
  gdk_event_free(event);
}

// Whether the X window has the property `name`, empty or not (asked of the server).
inline bool HasProperty(GdkWindow* window, const char* name) {
  GdkAtom type = GDK_NONE;
  gint format = 0, length = 0;
  guchar* data = nullptr;
  bool found = window != nullptr &&
               gdk_property_get(window, gdk_atom_intern(name, FALSE), GDK_NONE, 0, 1, FALSE, &type, &format,
                                &length, &data) &&
               type != GDK_NONE;
  g_free(data);
  return found;
}

// Whether a window manager has announced itself on the default display.
inline bool WindowManagerRuns() { return HasProperty(gdk_get_default_root_window(), "_NET_SUPPORTING_WM_CHECK"); }

// The criticals and warnings GTK, GDK and GObject's casts log while it lives, one a line.
struct LoggedWarnings {
  LoggedWarnings() {
    for (size_t i = 0; i < std::size(kDomains); ++i) ids[i] = g_log_set_handler(kDomains[i], kLevels, Note, &text);
  }
  ~LoggedWarnings() {
    for (size_t i = 0; i < std::size(kDomains); ++i) g_log_remove_handler(kDomains[i], ids[i]);
  }
  static void Note(const gchar*, GLogLevelFlags, const gchar* message, gpointer text) {
    *static_cast<std::string*>(text) += std::string(message) + "\n";
  }
  static constexpr const char* kDomains[] = {"Gtk", "Gdk", "GLib-GObject"};
  static constexpr auto kLevels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING);
  guint ids[std::size(kDomains)] = {};
  std::string text;
};

// Runs the GLib loop until `done` or `seconds` pass (ample on a busy machine); false when time ran out.
template <class Done>
bool RunUntil(Done done, int seconds = 20) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
  }
  return true;
}

// Openbox on the default display while it lives, where no window manager
// runs yet; it waits (up to `seconds`) until openbox manages a window of its
// own. A window mapped while openbox still starts up may never be managed, so
// that one is mapped afresh every few seconds until it is.
class WindowManager {
 public:
  explicit WindowManager(int seconds) {
    if (!gtk_init_check(nullptr, nullptr) || WindowManagerRuns()) return;
    gchar* argv[] = {const_cast<gchar*>("openbox"), const_cast<gchar*>("--sm-disable"), nullptr};
    if (g_spawn_async(nullptr, argv, nullptr, static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH),
                      nullptr, nullptr, &pid_, nullptr)) {
      GtkWidget* probe = gtk_window_new(GTK_WINDOW_TOPLEVEL);
      auto managed = [probe] { return HasProperty(gtk_widget_get_window(probe), "WM_STATE"); };
      for (int waited = 0; waited < seconds && !managed(); waited += 5) {
        gtk_widget_hide(probe);
        gtk_widget_show(probe);
        RunUntil(managed, 5);
      }
      gtk_widget_destroy(probe);
    }
  }
  ~WindowManager() {
    if (pid_ != 0) kill(pid_, SIGTERM), waitpid(pid_, nullptr, 0);
  }
  // Whether this one started openbox and it runs.
  bool Started() const { return pid_ != 0 && WindowManagerRuns(); }

 private:
  GPid pid_ = 0;
};

// Runs xdotool with `command`: input through the X server, as a user's; false where it failed or is missing.
inline bool XdoTool(const std::string& command) {
  gint status = -1;
  return g_spawn_command_line_sync(("xdotool " + command).c_str(), nullptr, nullptr, &status, nullptr) && status == 0;
}

}  // namespace gtk_test
