#include "platform/gtk_window.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <utility>

#include "platform/event_source.h"
#include "platform/gtk_keymap.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/presenter.h"
#include "platform/text.h"

namespace platform {

namespace {

// Commands the accelerator table sends.
constexpr uint32_t kAccelF10 = 40002;
constexpr uint32_t kAccelAltEnter = 40001;
constexpr uint32_t kAccelCtrlZ = 40012;

// Longest wait for a refresh: the frame clock of a display that never ticks
// (no compositor, the window unmapped) falls back to 60 Hz.
constexpr guint kRefreshFallbackMs = 17;


// "&X" marks a mnemonic; GTK writes it "_X" and a literal "_" as "__".
std::string MnemonicLabel(std::u16string_view text) {
  std::string out;
  for (char c : Utf16ToUtf8(text)) {
    if (c == '&') {
      out += '_';
    } else if (c == '_') {
      out += "__";
    } else {
      out += c;
    }
  }
  return out;
}

// Nanoseconds on a clock.
int64_t ClockNs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A cheap fingerprint of a picture: every 8th pixel of every 8th row, which
// any change of a whole frame or of a line of text reaches; 0 for all black.
uint64_t PictureFingerprint(const PixelBuffer& picture) {
  uint64_t hash = 0;
  for (int y = 0; y < picture.height; y += 8) {
    const uint8_t* row = picture.topRow + y * picture.pitch;
    for (int x = 0; x < picture.width; x += 8) {
      uint32_t pixel;
      std::memcpy(&pixel, row + x * 4, 4);
      const uint32_t rgb = pixel & 0xFFFFFF;
      hash = rgb == 0 ? hash * 31 : (hash ^ rgb) * 0x100000001B3ull + 1;
    }
  }
  return hash;
}

}  // namespace

struct GtkShell::Impl : IMainWindow, IPresenter, IEventSource, IMessageBox {
  GtkWidget* window = nullptr;
  GtkWidget* box = nullptr;
  GtkWidget* menubar = nullptr;
  GtkWidget* area = nullptr;
  GtkIMContext* im = nullptr;
  // What the window shows, kept by the display where it can (a pixmap), else
  // in memory; presents write into it and paints copy from it.
  cairo_surface_t* image = nullptr;
  int width = 0;
  int height = 0;

  std::deque<WindowEvent> queue;
  uint8_t keys[kKeyboardKeys] = {};
  uint8_t buttons[4] = {};
  // Presses since the last read: a press and release that both come between
  // two reads still show as held for one read, so a quick tap is not lost.
  uint8_t pressed_keys[kKeyboardKeys] = {};
  uint8_t pressed_buttons[4] = {};
  int32_t motion_dx = 0, motion_dy = 0, wheel = 0;
  double last_x = 0, last_y = 0;
  bool have_last = false;
  CursorPoint cursor;

  std::map<uint32_t, GtkWidget*> items;
  std::map<uint32_t, std::u16string> texts;  // item texts as given, "&" marking the mnemonic
  std::vector<GtkWidget*> tops;
  int muted = 0;          // > 0 while the program changes items itself
  int dialogs = 0;        // > 0 while one of our boxes is up
  bool full_screen = false;
  bool menu_visible = true;
  int monitor = 0;
  uint64_t ticks = 0;
  guint tick_id = 0;
  // With MESRIN_PAINT_LOG set, one line per paint of the picture for the
  // measuring scripts under bench/: monotonic and process CPU nanoseconds,
  // the painted area in pixels and the picture's fingerprint. Null otherwise.
  FILE* paint_log = nullptr;
  uint64_t shown_fingerprint = 0;  // of the last picture presented, with the log only
  bool presented = false;          // an area waits to be painted by PaintNow
  // A bottom-up source turned the right way up on its way to the display;
  // made at the first such present.
  cairo_surface_t* staging = nullptr;

  IMainWindow* prev_window = nullptr;
  IPresenter* prev_presenter = nullptr;
  IEventSource* prev_source = nullptr;
  IMessageBox* prev_boxes = nullptr;
  bool installed = false;

  ~Impl() override {
    if (installed) {
      SetMainWindow(prev_window);
      SetEventSource(prev_source);
      SetMessageBoxService(prev_boxes);
    }
    if (im != nullptr) g_object_unref(im);
    if (window != nullptr) gtk_widget_destroy(window);
    if (image != nullptr) cairo_surface_destroy(image);
    if (staging != nullptr) cairo_surface_destroy(staging);
    if (paint_log != nullptr) std::fclose(paint_log);
    while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
  }

  void Push(const WindowEvent& e) { queue.push_back(e); }

  // --- Picture placement: the picture at 1:1 in a window, scaled keeping its
  // shape with black bars in full screen.
  void Placement(double& scale, double& ox, double& oy) const {
    int aw = gtk_widget_get_allocated_width(area);
    int ah = gtk_widget_get_allocated_height(area);
    if (!full_screen || aw <= 0 || ah <= 0) {
      scale = 1, ox = 0, oy = 0;
      return;
    }
    scale = std::min(static_cast<double>(aw) / width, static_cast<double>(ah) / height);
    ox = (aw - width * scale) / 2;
    oy = (ah - height * scale) / 2;
  }

  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    double scale, ox, oy;
    self->Placement(scale, ox, oy);
    if (self->full_screen) {
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_paint(cr);
    }
    cairo_translate(cr, ox, oy);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, self->image, 0, 0);
    if (scale != 1) cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_rectangle(cr, 0, 0, self->width, self->height);
    cairo_fill(cr);
    if (self->paint_log != nullptr) self->LogPaint(cr);
    return TRUE;
  }

  void LogPaint(cairo_t* cr) {
    double x0, y0, x1, y1;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    x0 = std::max(x0, 0.0), y0 = std::max(y0, 0.0);
    x1 = std::min(x1, static_cast<double>(width)), y1 = std::min(y1, static_cast<double>(height));
    const long area = x1 > x0 && y1 > y0 ? std::lround((x1 - x0) * (y1 - y0)) : 0;
    std::fprintf(paint_log, "%lld %lld %ld %016llx\n", static_cast<long long>(ClockNs(CLOCK_MONOTONIC)),
                 static_cast<long long>(ClockNs(CLOCK_PROCESS_CPUTIME_ID)), area,
                 static_cast<unsigned long long>(shown_fingerprint));
    std::fflush(paint_log);
  }

  // --- IPresenter
  void Present(const PixelBuffer& source, const PresentRect& rect) override {
    const int32_t left = std::max(rect.left, 0);
    const int32_t top = std::max(rect.top, 0);
    const int32_t right = std::min({rect.right, width, source.width});
    const int32_t bottom = std::min({rect.bottom, height, source.height});
    if (source.topRow == nullptr || left >= right || top >= bottom) return;
    // cairo's RGB24 is a native-endian 0x00RRGGBB word: the bytes B, G, R, x,
    // as in the source. Top-down rows are read where they lie. Rows that run
    // upwards in memory (a bottom-up picture) are turned the right way up in
    // a picture the display reads directly (shared memory where it has it):
    // cairo draws a negative stride, but not every display upload takes one.
    cairo_t* cr = cairo_create(image);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (source.pitch > 0 && source.pitch % 4 == 0 && source.pitch <= INT32_MAX) {
      cairo_surface_t* pixels = cairo_image_surface_create_for_data(
          const_cast<uint8_t*>(source.topRow), CAIRO_FORMAT_RGB24, source.width, source.height,
          static_cast<int>(source.pitch));
      cairo_set_source_surface(cr, pixels, 0, 0);
      cairo_rectangle(cr, left, top, right - left, bottom - top);
      cairo_fill(cr);
      // The context lets go of the source, and nothing may read it once this returns.
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_surface_finish(pixels);
      cairo_surface_destroy(pixels);
    } else {
      if (staging == nullptr) staging = cairo_surface_create_similar_image(image, CAIRO_FORMAT_RGB24, width, height);
      // Waits, if need be, until the display has taken the last upload.
      cairo_surface_flush(staging);
      uint8_t* dst = cairo_image_surface_get_data(staging);
      const int stride = cairo_image_surface_get_stride(staging);
      for (int32_t y = top; y < bottom; ++y) {
        std::memcpy(dst + static_cast<ptrdiff_t>(y) * stride + left * 4, source.topRow + y * source.pitch + left * 4,
                    static_cast<size_t>(right - left) * 4);
      }
      cairo_surface_mark_dirty_rectangle(staging, left, top, right - left, bottom - top);
      cairo_set_source_surface(cr, staging, 0, 0);
      cairo_rectangle(cr, left, top, right - left, bottom - top);
      cairo_fill(cr);
    }
    cairo_destroy(cr);
    if (paint_log != nullptr) shown_fingerprint = PictureFingerprint(source);
    double scale, ox, oy;
    Placement(scale, ox, oy);
    int x0 = static_cast<int>(ox + left * scale), y0 = static_cast<int>(oy + top * scale);
    int x1 = static_cast<int>(ox + right * scale + 1), y1 = static_cast<int>(oy + bottom * scale + 1);
    gtk_widget_queue_draw_area(area, x0, y0, x1 - x0, y1 - y0);
    presented = true;
  }

  // Paints what the frame presented before it waits for the refresh: left to
  // GTK, the area would be painted only at the frame clock's next cycle, a
  // whole frame later. The frames keep their pace, as the wait is unchanged.
  // While GTK holds the window's paints back (a compositor has not shown the
  // last one yet) nothing is painted here and the clock paints as before.
  void PaintNow() {
    if (!std::exchange(presented, false)) return;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gdk_window_process_updates(gtk_widget_get_window(window), TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gdk_display_flush(gtk_widget_get_display(window));
  }

  // --- IEventSource
  void Dispatch() {
    // Bounded, so a source that is always ready cannot hold the frame here.
    for (int i = 0; i < 256 && g_main_context_pending(nullptr); ++i) g_main_context_iteration(nullptr, FALSE);
  }
  void BeginFrame() override { Dispatch(); }
  // The loop already ran at the frame's start, in the refresh wait and in the
  // inactive wait; the queue holds what they brought.
  bool PeekEvent(WindowEvent& out) override {
    if (queue.empty()) return false;
    out = queue.front();
    queue.pop_front();
    return true;
  }
  void AcquireInput() override {}
  bool ReadKeyboard(std::span<uint8_t, kKeyboardKeys> out) override {
    for (int i = 0; i < kKeyboardKeys; ++i) out[i] = keys[i] | std::exchange(pressed_keys[i], 0);
    return true;
  }
  bool ReadMouse(MouseState& out) override {
    out.dx = std::exchange(motion_dx, 0);
    out.dy = std::exchange(motion_dy, 0);
    out.wheel = std::exchange(wheel, 0);
    for (int i = 0; i < 4; ++i) out.buttons[i] = buttons[i] | std::exchange(pressed_buttons[i], 0);
    return true;
  }
  CursorPoint CursorPosition() override { return cursor; }

  void ReleaseAll() {
    std::memset(keys, 0, sizeof keys);
    std::memset(buttons, 0, sizeof buttons);
    std::memset(pressed_keys, 0, sizeof pressed_keys);
    std::memset(pressed_buttons, 0, sizeof pressed_buttons);
  }

  static void QueueCharacters(Impl* self, std::u16string_view text) {
    for (char16_t unit : text) self->Push(WindowEvent{WindowMessage::kCharacter, unit, 1});
  }

  static void OnCommit(GtkIMContext*, const gchar* text, gpointer data) {
    QueueCharacters(static_cast<Impl*>(data), Utf8ToUtf16(text));
  }

  // The accelerator table: these keys become commands and go no further, so
  // GTK's own F10 binding never sees F10.
  static uint32_t Accelerator(const GdkEventKey* event) {
    const guint mods = event->state & (GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK);
    switch (event->keyval) {
      case GDK_KEY_F10:
        return mods == 0 ? kAccelF10 : 0;
      case GDK_KEY_Return:
      case GDK_KEY_KP_Enter:
        return mods == GDK_MOD1_MASK ? kAccelAltEnter : 0;
      case GDK_KEY_z:
      case GDK_KEY_Z:
        return mods == GDK_CONTROL_MASK ? kAccelCtrlZ : 0;
      default:
        return 0;
    }
  }

  // Control characters a key makes without the input method.
  static char16_t ControlCharacter(const GdkEventKey* event) {
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

  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    const bool down = event->type == GDK_KEY_PRESS;
    int scan = ScanCodeFromLinuxKey(static_cast<int>(event->hardware_keycode) - 8);
    if (scan > 0 && scan < kKeyboardKeys) {
      self->keys[scan] = down ? 0x80 : 0;
      if (down) self->pressed_keys[scan] = 0x80;
    }
    if (down) {
      if (uint32_t command = Accelerator(event)) {
        self->Push(WindowEvent{WindowMessage::kCommand, command, 1});
        return TRUE;
      }
    }
    if (gtk_im_context_filter_keypress(self->im, event)) return TRUE;
    if (down) {
      if (char16_t c = ControlCharacter(event)) {
        QueueCharacters(self, std::u16string_view(&c, 1));
        return TRUE;
      }
    }
    return FALSE;  // mnemonics of the menu bar
  }

  static gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (!event->in) {
      self->ReleaseAll();
      gtk_im_context_focus_out(self->im);
    } else {
      gtk_im_context_focus_in(self->im);
    }
    // Our own boxes take the focus without the program becoming inactive.
    if (self->dialogs == 0) self->Push(WindowEvent{WindowMessage::kActivate, event->in ? 1u : 0u});
    return FALSE;
  }

  // A modal box takes the keyboard and mouse: the releases of what was held
  // when it came up go to the box, so nothing may stay held here.
  static void OnGrabNotify(GtkWidget*, gboolean was_grabbed, gpointer data) {
    if (!was_grabbed) static_cast<Impl*>(data)->ReleaseAll();
  }

  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<Impl*>(data)->Push(WindowEvent{WindowMessage::kClose});
    return TRUE;  // the window stays; the program decides
  }

  void MoveCursor(double x, double y) {
    if (have_last) {
      motion_dx += static_cast<int32_t>(x - last_x);
      motion_dy += static_cast<int32_t>(y - last_y);
    }
    last_x = x, last_y = y, have_last = true;
    double scale, ox, oy;
    Placement(scale, ox, oy);
    cursor = CursorPoint{static_cast<int32_t>((x - ox) / scale), static_cast<int32_t>((y - oy) / scale)};
    int wx = 0, wy = 0;
    gtk_widget_translate_coordinates(area, window, static_cast<int>(x), static_cast<int>(y), &wx, &wy);
    WindowEvent move{WindowMessage::kMouseMove};
    move.x = wx, move.y = wy;
    if (!queue.empty() && queue.back().message == WindowMessage::kMouseMove) {
      queue.back() = move;
    } else {
      Push(move);
    }
  }

  static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    static_cast<Impl*>(data)->MoveCursor(event->x, event->y);
    return TRUE;
  }

  static gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    int index = event->button == 1 ? 0 : event->button == 3 ? 1 : event->button == 2 ? 2 : -1;
    if (index < 0 || (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE)) return FALSE;
    const bool down = event->type == GDK_BUTTON_PRESS;
    self->buttons[index] = down ? 0x80 : 0;
    if (down) self->pressed_buttons[index] = 0x80;
    self->MoveCursor(event->x, event->y);
    return TRUE;
  }

  static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (event->direction == GDK_SCROLL_UP) self->wheel += 120;
    if (event->direction == GDK_SCROLL_DOWN) self->wheel -= 120;
    if (event->direction == GDK_SCROLL_SMOOTH) self->wheel -= static_cast<int32_t>(event->delta_y * 120);
    return TRUE;
  }

  static gboolean OnTick(GtkWidget*, GdkFrameClock*, gpointer data) {
    ++static_cast<Impl*>(data)->ticks;
    return G_SOURCE_CONTINUE;
  }

  // --- IMainWindow
  static void OnActivateItem(GtkMenuItem* item, gpointer data) {
    auto* self = static_cast<Impl*>(data);
    if (self->muted > 0) return;
    if (GTK_IS_CHECK_MENU_ITEM(item) && !gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item))) return;
    uint32_t id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "command"));
    self->Push(WindowEvent{WindowMessage::kCommand, id, 0});
  }

  void SetMenu(std::span<const MenuEntry> menu) override {
    for (GtkWidget* top : tops) gtk_widget_destroy(top);
    tops.clear();
    items.clear();
    texts.clear();
    std::vector<GtkWidget*> shells{menubar};
    GSList* group = nullptr;
    for (const MenuEntry& entry : menu) {
      if (entry.kind != MenuEntry::kRadio) group = nullptr;
      GtkWidget* item = nullptr;
      switch (entry.kind) {
        case MenuEntry::kSubmenu: {
          item = gtk_menu_item_new_with_mnemonic(MnemonicLabel(entry.text).c_str());
          GtkWidget* sub = gtk_menu_new();
          gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), sub);
          gtk_menu_shell_append(GTK_MENU_SHELL(shells.back()), item);
          if (shells.size() == 1) tops.push_back(item);
          shells.push_back(sub);
          continue;
        }
        case MenuEntry::kEnd:
          if (shells.size() > 1) shells.pop_back();
          continue;
        case MenuEntry::kSeparator:
          item = gtk_separator_menu_item_new();
          break;
        case MenuEntry::kRadio:
          item = gtk_radio_menu_item_new_with_mnemonic(group, MnemonicLabel(entry.text).c_str());
          group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
          break;
        case MenuEntry::kItem:
          item = gtk_menu_item_new_with_mnemonic(MnemonicLabel(entry.text).c_str());
          break;
      }
      if (entry.kind != MenuEntry::kSeparator) {
        g_object_set_data(G_OBJECT(item), "command", GUINT_TO_POINTER(entry.id));
        g_signal_connect(item, "activate", G_CALLBACK(OnActivateItem), this);
        items[entry.id] = item;
        texts[entry.id] = entry.text != nullptr ? entry.text : u"";
      }
      gtk_menu_shell_append(GTK_MENU_SHELL(shells.back()), item);
    }
    gtk_widget_show_all(menubar);
  }

  void RemoveTopMenu(int index) override {
    if (index < 0 || index >= static_cast<int>(tops.size())) return;
    GtkWidget* top = tops[static_cast<size_t>(index)];
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(top));
    for (auto it = items.begin(); it != items.end();) {
      if (sub != nullptr && gtk_widget_is_ancestor(it->second, sub)) {
        it = items.erase(it);
      } else {
        ++it;
      }
    }
    gtk_widget_destroy(top);
    tops.erase(tops.begin() + index);
  }

  void EnableMenuItem(uint32_t id, bool enabled) override {
    auto it = items.find(id);
    if (it != items.end()) gtk_widget_set_sensitive(it->second, enabled);
  }

  std::u16string SetMenuItemText(uint32_t id, std::u16string_view text) override {
    auto it = items.find(id);
    if (it == items.end()) return {};
    gtk_menu_item_set_label(GTK_MENU_ITEM(it->second), MnemonicLabel(text).c_str());
    gtk_menu_item_set_use_underline(GTK_MENU_ITEM(it->second), TRUE);
    return std::exchange(texts[id], std::u16string(text));
  }

  void CheckMenuItem(uint32_t id) override {
    auto it = items.find(id);
    if (it == items.end() || !GTK_IS_CHECK_MENU_ITEM(it->second)) return;
    ++muted;
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(it->second), TRUE);
    --muted;
  }

  void SetMenuBarVisible(bool visible) override {
    menu_visible = visible;
    gtk_widget_set_visible(menubar, visible);
  }
  bool IsMenuBarVisible() const override { return menu_visible; }

  bool SetFullScreen(bool full) override {
    if (full == full_screen) return true;
    full_screen = full;
    if (full) {
      SetMenuBarVisible(false);
      gtk_window_fullscreen_on_monitor(GTK_WINDOW(window), gtk_widget_get_screen(window), monitor);
    } else {
      gtk_window_unfullscreen(GTK_WINDOW(window));
      SetMenuBarVisible(true);
      gtk_window_resize(GTK_WINDOW(window), 1, 1);
    }
    gtk_widget_queue_draw(area);
    return true;
  }
  bool IsFullScreen() const override { return full_screen; }
  WindowHandle Handle() override { return window; }

  static gboolean OnTimeout(gpointer data) {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
  }

  // Runs the GLib loop until `done` or `ms` pass; GTK handlers only queue events.
  template <class Done>
  void RunLoopUntil(guint ms, Done done) {
    bool timed_out = false;
    guint timer = g_timeout_add(ms, OnTimeout, &timed_out);
    while (!timed_out && !done()) g_main_context_iteration(nullptr, TRUE);
    if (!timed_out) g_source_remove(timer);
  }

  void WaitForRefresh() override {
    PaintNow();
    const uint64_t start = ticks;
    RunLoopUntil(kRefreshFallbackMs, [&] { return ticks != start; });
  }

  // Blocks on the GLib loop: an inactive program uses no processor.
  void WaitForEvent(uint32_t timeout_ms) override {
    RunLoopUntil(timeout_ms, [&] { return !queue.empty(); });
  }

  // --- IMessageBox
  int Show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, uint32_t flags) override {
    GtkMessageType type = GTK_MESSAGE_OTHER;
    switch (flags & MB_ICONMASK) {
      case MB_ICONERROR: type = GTK_MESSAGE_ERROR; break;
      case MB_ICONQUESTION: type = GTK_MESSAGE_QUESTION; break;
      case MB_ICONWARNING: type = GTK_MESSAGE_WARNING; break;
      case MB_ICONINFORMATION: type = GTK_MESSAGE_INFO; break;
      default: break;
    }
    GtkWindow* parent = owner != nullptr ? GTK_WINDOW(owner) : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s",
                                               Utf16ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), Utf16ToUtf8(caption).c_str());
    struct Button {
      const char* label;
      int id;
    };
    std::vector<Button> set;
    switch (flags & MB_TYPEMASK) {
      case MB_OKCANCEL: set = {{"OK", IDOK}, {"キャンセル", IDCANCEL}}; break;
      case MB_ABORTRETRYIGNORE: set = {{"中止(_A)", IDABORT}, {"再試行(_R)", IDRETRY}, {"無視(_I)", IDIGNORE}}; break;
      case MB_YESNOCANCEL: set = {{"はい(_Y)", IDYES}, {"いいえ(_N)", IDNO}, {"キャンセル", IDCANCEL}}; break;
      case MB_YESNO: set = {{"はい(_Y)", IDYES}, {"いいえ(_N)", IDNO}}; break;
      case MB_RETRYCANCEL: set = {{"再試行(_R)", IDRETRY}, {"キャンセル", IDCANCEL}}; break;
      default: set = {{"OK", IDOK}}; break;
    }
    for (const Button& b : set) gtk_dialog_add_button(GTK_DIALOG(dialog), b.label, b.id);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), DefaultAnswer(flags));
    ++dialogs;
    int answer = gtk_dialog_run(GTK_DIALOG(dialog));
    --dialogs;
    gtk_widget_destroy(dialog);
    return answer > 0 ? answer : DismissedAnswer(flags);
  }

  // A box closed without a button: its Cancel, else the answer that changes
  // nothing (No, Ignore), never Yes.
  static int DismissedAnswer(uint32_t flags) {
    switch (flags & MB_TYPEMASK) {
      case MB_OKCANCEL:
      case MB_YESNOCANCEL:
      case MB_RETRYCANCEL:
        return IDCANCEL;
      case MB_YESNO:
        return IDNO;
      case MB_ABORTRETRYIGNORE:
        return IDIGNORE;
      default:
        return IDOK;
    }
  }
};

GtkShell::GtkShell(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

GtkShell::~GtkShell() = default;

namespace {

// The picture is drawn in memory and shown through cairo, never with OpenGL;
// without this GDK loads a whole GL driver stack at start-up (about half the
// program's resident memory). Set before GDK starts; a GDK_GL of the user's own
// is kept.
bool InitGtk() {
  g_setenv("GDK_GL", "disable", FALSE);
  return gtk_init_check(nullptr, nullptr) != FALSE;
}

}  // namespace

bool GtkShell::DisplayAvailable() { return InitGtk(); }

std::unique_ptr<GtkShell> GtkShell::Open(const std::u16string& class_name, const std::u16string& title, int width,
                                         int height) {
  std::string cls = Utf16ToUtf8(class_name);
  std::string prg = cls;
  std::transform(prg.begin(), prg.end(), prg.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
  if (g_get_prgname() == nullptr) g_set_prgname(prg.c_str());
  if (!InitGtk()) return nullptr;
  // After the initialisation, which sets the class from the program's name.
  gdk_set_program_class(cls.c_str());

  auto impl = std::make_unique<Impl>();
  Impl* p = impl.get();
  p->width = width;
  p->height = height;
  if (const char* log = std::getenv("MESRIN_PAINT_LOG"); log != nullptr && *log != 0) {
    p->paint_log = std::fopen(log, "w");
  }
  p->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(p->window), Utf16ToUtf8(title).c_str());
  gtk_window_set_resizable(GTK_WINDOW(p->window), FALSE);
  gtk_window_set_position(GTK_WINDOW(p->window), GTK_WIN_POS_CENTER);
  p->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  p->menubar = gtk_menu_bar_new();
  p->area = gtk_drawing_area_new();
  gtk_widget_set_size_request(p->area, width, height);
  gtk_widget_set_can_focus(p->area, TRUE);
  gtk_widget_add_events(p->area, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                     GDK_SCROLL_MASK);
  gtk_box_pack_start(GTK_BOX(p->box), p->menubar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(p->box), p->area, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(p->window), p->box);

  p->im = gtk_im_multicontext_new();
  g_signal_connect(p->im, "commit", G_CALLBACK(Impl::OnCommit), p);
  g_signal_connect(p->area, "draw", G_CALLBACK(Impl::OnDraw), p);
  g_signal_connect(p->area, "motion-notify-event", G_CALLBACK(Impl::OnMotion), p);
  g_signal_connect(p->area, "button-press-event", G_CALLBACK(Impl::OnButton), p);
  g_signal_connect(p->area, "button-release-event", G_CALLBACK(Impl::OnButton), p);
  g_signal_connect(p->area, "scroll-event", G_CALLBACK(Impl::OnScroll), p);
  g_signal_connect(p->window, "key-press-event", G_CALLBACK(Impl::OnKey), p);
  g_signal_connect(p->window, "key-release-event", G_CALLBACK(Impl::OnKey), p);
  g_signal_connect(p->window, "focus-in-event", G_CALLBACK(Impl::OnFocus), p);
  g_signal_connect(p->window, "focus-out-event", G_CALLBACK(Impl::OnFocus), p);
  g_signal_connect(p->window, "delete-event", G_CALLBACK(Impl::OnDelete), p);
  g_signal_connect(p->area, "grab-notify", G_CALLBACK(Impl::OnGrabNotify), p);
  p->tick_id = gtk_widget_add_tick_callback(p->area, Impl::OnTick, p, nullptr);
  gtk_widget_show_all(p->box);
  gtk_widget_realize(p->window);
  gtk_im_context_set_client_window(p->im, gtk_widget_get_window(p->window));
  // The display keeps the window's picture, so a paint copies within the
  // display; black at first.
  p->image = gdk_window_create_similar_surface(gtk_widget_get_window(p->window), CAIRO_CONTENT_COLOR, width, height);
  if (cairo_surface_status(p->image) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(p->image);
    p->image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  }
  cairo_t* cr = cairo_create(p->image);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  return std::unique_ptr<GtkShell>(new GtkShell(std::move(impl)));
}

void GtkShell::Install() {
  if (impl_->installed) return;
  impl_->installed = true;
  impl_->prev_window = SetMainWindow(impl_.get());
  impl_->prev_source = SetEventSource(impl_.get());
  impl_->prev_boxes = SetMessageBoxService(impl_.get());
}

void GtkShell::Show() {
  gtk_widget_show(impl_->window);
  gtk_window_present(GTK_WINDOW(impl_->window));
  gtk_widget_grab_focus(impl_->area);
}

std::vector<MonitorInfo> GtkShell::Monitors() const {
  std::vector<MonitorInfo> list;
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* current = gdk_display_get_monitor_at_window(display, gtk_widget_get_window(impl_->window));
  int n = gdk_display_get_n_monitors(display);
  for (int i = 0; i < n; ++i) {
    GdkMonitor* m = gdk_display_get_monitor(display, i);
    GdkRectangle geometry;
    gdk_monitor_get_geometry(m, &geometry);
    const char* maker = gdk_monitor_get_manufacturer(m);
    const char* model = gdk_monitor_get_model(m);
    MonitorInfo info;
    std::string description = maker != nullptr ? std::string(maker) + " " : std::string();
    description += model != nullptr ? model : "Monitor";
    info.description = Utf8ToUtf16(description);
    info.name = Utf8ToUtf16(model != nullptr ? model : "");
    info.width = geometry.width;
    info.height = geometry.height;
    info.refresh_hz = gdk_monitor_get_refresh_rate(m) / 1000;
    info.number = i;
    if (m == current) {
      list.insert(list.begin(), info);
    } else {
      list.push_back(info);
    }
  }
  return list;
}

void GtkShell::UseMonitor(int number) { impl_->monitor = number; }

int GtkShell::ChooseMonitor(const std::vector<MonitorInfo>& monitors) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons("ドライバの選択", nullptr, GTK_DIALOG_MODAL, "OK", GTK_RESPONSE_OK,
                                                  "ｷｬﾝｾﾙ", GTK_RESPONSE_CANCEL, nullptr);
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_container_set_border_width(GTK_CONTAINER(content), 8);
  gtk_box_pack_start(GTK_BOX(content), gtk_label_new("このゲームで使用する DirectDraw のドライバを選択して下さい。"), FALSE,
                     FALSE, 4);
  GtkWidget* combo = gtk_combo_box_text_new();
  for (const MonitorInfo& m : monitors) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), Utf16ToUtf8(m.description).c_str());
  }
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
  gtk_box_pack_start(GTK_BOX(content), combo, FALSE, FALSE, 4);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);
  ++impl_->dialogs;
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  --impl_->dialogs;
  int chosen = response == GTK_RESPONSE_OK ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) : -1;
  gtk_widget_destroy(dialog);
  return chosen;
}

IMainWindow& GtkShell::window() { return *impl_; }
IPresenter& GtkShell::presenter() { return *impl_; }
IEventSource& GtkShell::events() { return *impl_; }
IMessageBox& GtkShell::boxes() { return *impl_; }

}  // namespace platform
