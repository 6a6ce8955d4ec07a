#include "backend/gtk/gtk_events.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "backend/gtk/gtk_keymap.h"
#include "backend/gtk/gtk_presenter.h"
#include "platform/menu_commands.h"
#include "platform/text.h"

// Last: X11's macros (None, Status) would clash with the names above.
#include <gdk/gdkx.h>

namespace platform {

namespace {

// How long after a refresh wait the loop counts as just run.
constexpr gint64 kFreshLoopUs = 2000;

// The accelerator table: these keys become commands and go no further, so
// GTK's own F10 binding never sees F10.
uint32_t Accelerator(const GdkEventKey* event) {
  const guint mods = event->state & (GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK);
  switch (event->keyval) {
    case GDK_KEY_F10:
      return mods == 0 ? uint32_t{kCommandF10} : 0;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return mods == GDK_MOD1_MASK ? uint32_t{kCommandToggleFullScreen} : 0;
    case GDK_KEY_z:
    case GDK_KEY_Z:
      return mods == GDK_CONTROL_MASK ? uint32_t{kCommandStepBack} : 0;
    default:
      return 0;
  }
}

// Control characters a key makes without the input method.
char16_t ControlCharacter(const GdkEventKey* event) {
  if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) return 0;
  switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return u'\r';
    case GDK_KEY_Escape:
      return 0x1B;
    case GDK_KEY_BackSpace:
      return 0x08;
    case GDK_KEY_Tab:
      return u'\t';
    default:
      return 0;
  }
}

}  // namespace

GtkEvents::GtkEvents(GtkWindowParts& parts, const GtkPresenter& presenter) : parts(parts), presenter(presenter) {
  g_signal_connect(parts.im, "commit", G_CALLBACK(OnCommit), this);
  g_signal_connect(parts.area, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(parts.area, "enter-notify-event", G_CALLBACK(OnEnter), this);
  g_signal_connect(parts.area, "button-press-event", G_CALLBACK(OnButton), this);
  g_signal_connect(parts.area, "button-release-event", G_CALLBACK(OnButton), this);
  g_signal_connect(parts.area, "scroll-event", G_CALLBACK(OnScroll), this);
  g_signal_connect(parts.window, "key-press-event", G_CALLBACK(OnKey), this);
  g_signal_connect(parts.window, "key-release-event", G_CALLBACK(OnKey), this);
  g_signal_connect(parts.window, "focus-in-event", G_CALLBACK(OnFocus), this);
  g_signal_connect(parts.window, "focus-out-event", G_CALLBACK(OnFocus), this);
  g_signal_connect(parts.window, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(parts.area, "grab-notify", G_CALLBACK(OnGrabNotify), this);
}

void GtkEvents::Dispatch() {
  // Bounded, so a source that is always ready cannot hold the frame here.
  for (int i = 0; i < 256 && g_main_context_pending(nullptr); ++i) g_main_context_iteration(nullptr, FALSE);
}

void GtkEvents::BeginFrame() {
  // Right after a refresh wait the loop has just run: what came since waits
  // for the next one, as input is read after it anyway.
  if (g_get_monotonic_time() - parts.loop_ran_us < kFreshLoopUs) return;
  Dispatch();
}

// The loop already ran at the frame's start, in the refresh wait and in the
// inactive wait; the queue holds what they brought.
bool GtkEvents::PeekEvent(WindowEvent& out) {
  if (queue.empty()) return false;
  out = queue.front();
  queue.pop_front();
  return true;
}

// Blocks on the GLib loop: an inactive program uses no processor.
void GtkEvents::WaitForEvent(uint32_t timeout_ms) {
  RunLoopUntil(timeout_ms, [&] { return !queue.empty(); });
}

bool GtkEvents::ReadKeyboard(std::span<uint8_t, kKeyboardKeys> out) {
  for (int i = 0; i < kKeyboardKeys; ++i) out[i] = keys[i] | std::exchange(pressed_keys[i], 0);
  return true;
}

bool GtkEvents::ReadMouse(MouseState& out) {
  out.dx = std::exchange(motion_dx, 0);
  out.dy = std::exchange(motion_dy, 0);
  out.wheel = std::exchange(wheel, 0);
  for (int i = 0; i < 4; ++i) out.buttons[i] = buttons[i] | std::exchange(pressed_buttons[i], 0);
  return true;
}

void GtkEvents::ReleaseAll() {
  std::memset(keys, 0, sizeof keys);
  std::memset(buttons, 0, sizeof buttons);
  std::memset(pressed_keys, 0, sizeof pressed_keys);
  std::memset(pressed_buttons, 0, sizeof pressed_buttons);
}

// Only X11 tells which keys are down. Wayland needs no reading: there the
// keyboard's repeats are GDK's own, which stop when the keyboard leaves a
// window, so a key held through a box sends this window nothing.
void GtkEvents::LatchKeysHeld() {
  GdkDisplay* display = gtk_widget_get_display(parts.window);
  if (!GDK_IS_X11_DISPLAY(display)) return;
  char down[32];
  XQueryKeymap(GDK_DISPLAY_XDISPLAY(display), down);
  std::memset(latched, 0, sizeof latched);
  for (int code = 8; code < 256; ++code) {
    const int scan = ScanCodeFromLinuxKey(code - 8);
    if (scan > 0 && scan < kKeyboardKeys && (down[code / 8] >> (code % 8) & 1) != 0 && keys[scan] == 0) {
      latched[scan] = 1;
    }
  }
}

uint32_t GtkEvents::DoubleClickTimeMs() {
  gint ms = 400;
  g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &ms, nullptr);
  return static_cast<uint32_t>(std::max(ms, 0));
}

void GtkEvents::QueueCharacters(GtkEvents* self, std::u16string_view text) {
  for (char16_t unit : text) self->Push(WindowEvent{WindowMessage::kCharacter, unit, 1});
}

void GtkEvents::OnCommit(GtkIMContext*, const gchar* text, gpointer data) {
  QueueCharacters(static_cast<GtkEvents*>(data), Utf8ToUtf16(text));
}

gboolean GtkEvents::OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<GtkEvents*>(data);
  const bool down = event->type == GDK_KEY_PRESS;
  int scan = ScanCodeFromLinuxKey(static_cast<int>(event->hardware_keycode) - 8);
  // A key held since before a box ended does nothing, its release included.
  if (scan > 0 && scan < kKeyboardKeys && self->latched[scan] != 0) {
    if (!down) self->latched[scan] = 0;
    return TRUE;
  }
  // The key that completes an accelerator is no game input: Enter of Alt+Enter
  // must not turn the page too. Its modifier was input before it came (Ctrl
  // stays the skip key).
  if (down) {
    if (uint32_t command = Accelerator(event)) {
      self->Push(WindowEvent{WindowMessage::kCommand, command, 1});
      return TRUE;
    }
  }
  if (scan > 0 && scan < kKeyboardKeys) {
    self->keys[scan] = down ? 0x80 : 0;
    if (down) self->pressed_keys[scan] = 0x80;
  }
  if (gtk_im_context_filter_keypress(self->parts.im, event)) return TRUE;
  if (down) {
    if (char16_t c = ControlCharacter(event)) {
      QueueCharacters(self, std::u16string_view(&c, 1));
      return TRUE;
    }
  }
  return FALSE;  // mnemonics of the menu bar
}

gboolean GtkEvents::OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data) {
  auto* self = static_cast<GtkEvents*>(data);
  if (!event->in) {
    self->ReleaseAll();
    gtk_im_context_focus_out(self->parts.im);
  } else {
    self->LatchKeysHeld();
    gtk_im_context_focus_in(self->parts.im);
  }
  // Our own boxes take the focus without the program becoming inactive.
  if (self->parts.dialogs == 0) self->Push(WindowEvent{WindowMessage::kActivate, event->in ? 1u : 0u});
  return FALSE;
}

// A modal box takes the keyboard and mouse: the releases of what was held
// when it came up go to the box, so nothing may stay held here. A key still
// held when it ends was pressed in the box: its repeats come here next. A
// button's press went to the box, and so does its release.
void GtkEvents::OnGrabNotify(GtkWidget*, gboolean was_grabbed, gpointer data) {
  auto* self = static_cast<GtkEvents*>(data);
  was_grabbed ? self->LatchKeysHeld() : self->ReleaseAll();
}

gboolean GtkEvents::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  static_cast<GtkEvents*>(data)->Push(WindowEvent{WindowMessage::kClose});
  return TRUE;  // the window stays; the program decides
}

void GtkEvents::MoveCursor(double x, double y) {
  if (have_last) {
    motion_dx += static_cast<int32_t>(x - last_x);
    motion_dy += static_cast<int32_t>(y - last_y);
  }
  last_x = x, last_y = y, have_last = true;
  double scale, ox, oy;
  presenter.Placement(scale, ox, oy);
  // Rounded down: a point left of or above the picture, however close, lies
  // outside it (a cast would take the last fraction of a pixel to 0).
  cursor = CursorPoint{static_cast<int32_t>(std::floor((x - ox) / scale)),
                       static_cast<int32_t>(std::floor((y - oy) / scale))};
  int wx = 0, wy = 0;
  gtk_widget_translate_coordinates(parts.area, parts.window, static_cast<int>(x), static_cast<int>(y), &wx, &wy);
  WindowEvent move{WindowMessage::kMouseMove};
  move.x = wx, move.y = wy;
  if (!queue.empty() && queue.back().message == WindowMessage::kMouseMove) {
    queue.back() = move;
  } else {
    Push(move);
  }
}

gboolean GtkEvents::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
  static_cast<GtkEvents*>(data)->MoveCursor(event->x, event->y);
  return TRUE;
}

// GDK gives a move that crosses onto the area (off the full-screen menu bar,
// in from outside the window, back from a grab) as the enter alone, with no
// motion: it is a move all the same, and the first one at the top row must
// show the bar as the first one below it must hide it.
gboolean GtkEvents::OnEnter(GtkWidget*, GdkEventCrossing* event, gpointer data) {
  static_cast<GtkEvents*>(data)->MoveCursor(event->x, event->y);
  return TRUE;
}

gboolean GtkEvents::OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<GtkEvents*>(data);
  int index = event->button == 1 ? 0 : event->button == 3 ? 1 : event->button == 2 ? 2 : -1;
  if (index < 0 || (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE)) return FALSE;
  const bool down = event->type == GDK_BUTTON_PRESS;
  self->buttons[index] = down ? 0x80 : 0;
  if (down) self->pressed_buttons[index] = 0x80;
  self->MoveCursor(event->x, event->y);
  return TRUE;
}

gboolean GtkEvents::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
  auto* self = static_cast<GtkEvents*>(data);
  if (event->direction == GDK_SCROLL_UP) self->wheel += 120;
  if (event->direction == GDK_SCROLL_DOWN) self->wheel -= 120;
  if (event->direction == GDK_SCROLL_SMOOTH) self->wheel -= static_cast<int32_t>(event->delta_y * 120);
  return TRUE;
}

}  // namespace platform
