// The GTK back end of the main window: the shell that makes the window (menu
// bar over an 800 x 600 drawing area, X11 class "MESRIN") and joins its rooms,
// each behind the interface it serves: the main window and its menu
// (gtk_main_window, gtk_menu), the presenter (gtk_presenter: the window's
// picture as shown, put into the window before each refresh wait, straight
// from shared memory on an X display: gtk_x11_picture), the
// event source (gtk_events), the message boxes (gtk_message_box) and the
// driver dialog (gtk_monitor_dialog).
// In full screen the window covers its monitor, the picture scaled to fit
// between black bars and the menu bar, when shown, lying over its top; the
// pointer is read back in the picture's own pixels.
// GTK signals only queue events and record key state; the frame's pump takes
// them in C++, so no exception crosses a GLib frame.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backend/gtk/gtk_display.h"

namespace platform {

class IMainWindow;
class IPresenter;
class IEventSource;
class IMessageBox;

class GtkShell {
 public:
  // Opens the display (null when there is none) and makes the window, hidden,
  // centred on the primary monitor, with `class_name` as its X11 class.
  static std::unique_ptr<GtkShell> Open(const std::u16string& class_name, const std::u16string& title,
                                        int width, int height);
  // Whether a display can be opened (without making a window).
  static bool DisplayAvailable();
  // Sets what GDK reads from the environment when it starts: no OpenGL (the
  // picture is drawn in memory and shown through cairo; a GL driver stack
  // would be about half the program's resident memory), unless the user set
  // GDK_GL. It writes the environment, which is safe only while no other
  // thread runs: the program calls it first thing. Opening a display writes nothing.
  static void PrepareEnvironment();
  ~GtkShell();
  GtkShell(const GtkShell&) = delete;
  GtkShell& operator=(const GtkShell&) = delete;

  // Shows the window and installs it as the main window, presenter, event
  // source and message boxes of the program; the destructor restores the previous ones.
  void Install();
  void Show();

  // The monitors, the one the window is on first.
  std::vector<MonitorInfo> Monitors() const;
  // Puts full screen on the monitor of that number from now on.
  void UseMonitor(int number);
  // The driver dialog ("ドライバの選択"): the monitors by description; the
  // index chosen, or -1 for Cancel.
  int ChooseMonitor(const std::vector<MonitorInfo>& monitors);

  IMainWindow& window();
  IPresenter& presenter();
  IEventSource& events();
  IMessageBox& boxes();

  struct Impl;

 private:
  explicit GtkShell(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
