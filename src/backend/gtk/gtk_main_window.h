// The GTK main window as the shell sees it: its menu bar (kept by the menu),
// full screen on the chosen monitor, and the wait for the display's refresh.
// In full screen the window covers its monitor and the menu bar, when shown,
// lies over the picture's top. Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include "backend/gtk/gtk_menu.h"
#include "backend/gtk/gtk_presenter.h"
#include "backend/gtk/gtk_window_parts.h"
#include "platform/main_window.h"
#include "platform/refresh_pace.h"

namespace platform {

class GtkMainWindow : public IMainWindow {
 public:
  // The presenter's picture is painted before each wait for a refresh. The
  // wait after a frame that showed something ends at the display's next
  // refresh after the picture went out (the frame clock's, or the one its
  // pace foresees when the clock is late or never ticks); a frame that showed
  // nothing sleeps until the refresh the pace foresees, and the clock rests
  // meanwhile, as the display has nothing to pace.
  GtkMainWindow(GtkWindowParts& parts, GtkMenu& menu, GtkPresenter& presenter);
  GtkMainWindow(const GtkMainWindow&) = delete;
  GtkMainWindow& operator=(const GtkMainWindow&) = delete;

  void SetMenu(std::span<const MenuEntry> entries) override { menu.SetMenu(entries); }
  void RemoveTopMenu(int index) override { menu.RemoveTopMenu(index); }
  void EnableMenuItem(uint32_t id, bool enabled) override { menu.EnableMenuItem(id, enabled); }
  bool IsMenuItemEnabled(uint32_t id) const override { return menu.IsMenuItemEnabled(id); }
  void CheckMenuItem(uint32_t id) override { menu.CheckMenuItem(id); }
  bool IsMenuItemChecked(uint32_t id) const override { return menu.IsMenuItemChecked(id); }
  std::u16string SetMenuItemText(uint32_t id, std::u16string_view text) override {
    return menu.SetMenuItemText(id, text);
  }
  void SetMenuBarVisible(bool visible) override;
  bool IsMenuBarVisible() const override { return menu_visible; }
  bool SetFullScreen(bool full) override;
  bool IsFullScreen() const override { return parts.full_screen; }
  WindowHandle Handle() override { return parts.window; }
  void WaitForRefresh() override;

  // Puts full screen on the monitor of that number from now on.
  void UseMonitor(int number) { monitor = number; }
  // The pace of the refresh waits, as the frame clock's ticks feed it.
  const RefreshPace& Pace() const { return pace; }

 private:
  void PlaceMenuBar(bool over_picture);
  GdkWindowState WindowState() const;
  bool CoversMonitor() const;
  // Whether the window stands on the screen, where the manager places it and
  // GTK lays it out: shown, not minimised, not on another desktop.
  bool Placeable() const;
  static gboolean OnMapChanged(GtkWidget*, GdkEvent* event, gpointer data);
  void Dress(bool full);
  // Back to the fixed-size window, where it stood before full screen.
  void BackToWindow();
  static gboolean OnTick(GtkWidget*, GdkFrameClock*, gpointer data);
  // Has the frame clock report the display's refreshes, or lets it rest.
  void CountRefreshes(bool on);

  GtkWindowParts& parts;
  GtkMenu& menu;
  GtkPresenter& presenter;
  bool menu_visible = true;
  int monitor = 0;     // the display's number of the full-screen monitor
  // Where the window stood (its frame's top-left on the screen) when full
  // screen began; leaving full screen puts it back there.
  int windowed_x = 0;
  int windowed_y = 0;
  bool on_screen = false;   // mapped by the manager, as its last map or unmap said
  guint tick_callback = 0;  // while the frame clock reports refreshes, else 0
  RefreshPace pace;         // of the refresh waits, on the monotonic clock
};

}  // namespace platform
