// The main window's event source: GTK signals queue the window messages and
// record the keys and buttons held and pressed; the frame's pump takes them in
// C++, so no exception crosses a GLib frame. Keys are read by their hardware
// code as scan codes; F10, Alt+Enter and Ctrl+Z are the accelerators and go
// no further. A key held when a box ends or when the window takes the focus
// back was pressed elsewhere: it reads as up and its repeats go nowhere until
// it is let go. Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <string_view>

#include "platform/event_source.h"
#include "backend/gtk/gtk_window_parts.h"

namespace platform {

class GtkPresenter;

class GtkEvents : public IEventSource {
 public:
  // Connects the window's and the area's signals; the pointer is read back
  // through the presenter's placement of the picture.
  GtkEvents(GtkWindowParts& parts, const GtkPresenter& presenter);
  GtkEvents(const GtkEvents&) = delete;
  GtkEvents& operator=(const GtkEvents&) = delete;

  void BeginFrame() override;
  bool PeekEvent(WindowEvent& out) override;
  void WaitForEvent(uint32_t timeout_ms) override;
  void AcquireInput() override {}
  bool ReadKeyboard(std::span<uint8_t, kKeyboardKeys> out) override;
  bool ReadMouse(MouseState& out) override;
  CursorPoint CursorPosition() override { return cursor; }
  uint32_t DoubleClickTimeMs() override;

  // Queues a window message (the menu's commands come this way).
  void Push(const WindowEvent& e) { queue.push_back(e); }

 private:
  void Dispatch();
  void ReleaseAll();
  void LatchKeysHeld();
  void MoveCursor(double x, double y);

  static void QueueCharacters(GtkEvents* self, std::u16string_view text);
  static void OnCommit(GtkIMContext*, const gchar* text, gpointer data);
  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data);
  static gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data);
  static void OnGrabNotify(GtkWidget*, gboolean was_grabbed, gpointer data);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data);
  static gboolean OnEnter(GtkWidget*, GdkEventCrossing* event, gpointer data);
  static gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data);
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data);

  GtkWindowParts& parts;
  const GtkPresenter& presenter;
  std::deque<WindowEvent> queue;
  uint8_t keys[kKeyboardKeys] = {};
  uint8_t buttons[4] = {};
  // Presses since the last read: a press and release that both come between
  // two reads still show as held for one read, so a quick tap is not lost.
  uint8_t pressed_keys[kKeyboardKeys] = {};
  uint8_t pressed_buttons[4] = {};
  // Keys down that this window never saw pressed (1): down when a box ended or
  // the focus came back. Their presses are the keyboard's repeats, never a
  // new press; their release ends the latch, as a later reading that finds
  // them up does (a release made while the window was elsewhere).
  uint8_t latched[kKeyboardKeys] = {};
  int32_t motion_dx = 0, motion_dy = 0, wheel = 0;
  double last_x = 0, last_y = 0;
  bool have_last = false;
  CursorPoint cursor;
};

}  // namespace platform
