#include "backend/gtk/gtk_window.h"

#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <sys/shm.h>

#include <algorithm>
#include <cstring>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/event_source.h"
#include "backend/gtk/gtk_keymap.h"
#include "backend/gtk/gtk_main_window.h"
#include "backend/gtk/gtk_presenter.h"
#include "backend/gtk/gtk_x11_picture.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/presenter.h"
#include "backend/gtk/gtk_widgets.h"

namespace platform {
namespace {

TEST(GtkKeymapTest, LinuxKeysBecomeScanCodes) {
  struct Row {
    int linux_code;
    int scan;
  } rows[] = {
      {1, 0x01},   {28, 0x1C},  {29, 0x1D},  {30, 0x1E}, {57, 0x39}, {71, 0x47}, {83, 0x53},
      {87, 0x57},  {88, 0x58},  {96, 0x9C},  {97, 0x9D}, {100, 0xB8}, {103, 0xC8}, {105, 0xCB},
      {106, 0xCD}, {108, 0xD0}, {111, 0xD3}, {102, 0xC7}, {104, 0xC9}, {107, 0xCF}, {109, 0xD1}, {110, 0xD2},
      {0, 0},      {84, 0},     {200, 0},
  };
  for (const Row& row : rows) EXPECT_EQ(ScanCodeFromLinuxKey(row.linux_code), row.scan) << row.linux_code;
}

const MenuEntry kMenu[] = {
    {MenuEntry::kSubmenu, u"システム"},
    {MenuEntry::kRadio, u"通常", 40004},
    {MenuEntry::kRadio, u"２倍速", 40005},
    {MenuEntry::kSeparator},
    {MenuEntry::kItem, u"終了(&X)", 40000},
    {MenuEntry::kEnd},
    {MenuEntry::kSubmenu, u"オート速度"},
    {MenuEntry::kRadio, u"速い", 40022},
    {MenuEntry::kRadio, u"遅い", 40025},
    {MenuEntry::kEnd},
};

using gtk_test::RunUntil;

class GtkShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GtkShell::PrepareEnvironment();
    shell_ = GtkShell::Open(u"MESRIN", u"test", 800, 600);
    GTK_TEST_REQUIRE(shell_, "display");
    shell_->window().SetMenu(kMenu);
    shell_->Install();
    shell_->Show();
    widget_ = static_cast<GtkWidget*>(shell_->window().Handle());
    ASSERT_TRUE(RunUntil([&] { return gtk_widget_get_mapped(widget_); }));
  }

  // Sends a key through the window as the X server would.
  void Key(bool down, guint keyval, int linux_code, guint state = 0) {
    GdkEvent* event = gdk_event_new(down ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget_)));
    event->key.keyval = keyval;
    event->key.hardware_keycode = static_cast<guint16>(linux_code + 8);
    event->key.state = state;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }

  // Sends a pointer event to the area; `fill` sets its own fields.
  template <class Fill>
  void Pointer(GdkEventType type, Fill fill) {
    GdkEvent* event = gdk_event_new(type);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(Named("area"))));
    fill(event);
    gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }

  std::vector<WindowEvent> Drain() {
    std::vector<WindowEvent> out;
    WindowEvent e;
    while (EventSource().PeekEvent(e)) out.push_back(e);
    return out;
  }

  GtkWidget* Named(const char* name) { return gtk_test::FindNamed(widget_, name); }

  // The menu item of that command.
  GtkWidget* Item(uint32_t id) {
    return gtk_test::Find(Named("menubar"), [id](GtkWidget* w) {
      return GTK_IS_MENU_ITEM(w) && GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(w), "command")) == id;
    });
  }

  static bool HasCommand(const std::vector<WindowEvent>& events, uint32_t id) {
    for (const WindowEvent& e : events) {
      if (e.message == WindowMessage::kCommand && e.value == id) return true;
    }
    return false;
  }

  std::unique_ptr<GtkShell> shell_;
  GtkWidget* widget_ = nullptr;
};

TEST_F(GtkShellTest, WindowHasTheClassTheAreaAndTheMenuBar) {
  GtkWidget* menubar = Named("menubar");
  GtkWidget* area = Named("area");
  ASSERT_TRUE(GTK_IS_MENU_BAR(menubar));
  ASSERT_NE(area, nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(menubar));
  ASSERT_TRUE(RunUntil([&] { return gtk_widget_get_allocated_width(area) == 800; }));
  EXPECT_EQ(gtk_widget_get_allocated_height(area), 600);
  EXPECT_STREQ(gdk_get_program_class(), "MESRIN");
}

TEST_F(GtkShellTest, KeysReachTheStateAndAcceleratorsBecomeCommands) {
  Key(true, GDK_KEY_a, 30);
  uint8_t keys[kKeyboardKeys];
  ASSERT_TRUE(EventSource().ReadKeyboard(keys));
  EXPECT_EQ(keys[0x1E], 0x80);
  Key(false, GDK_KEY_a, 30);
  Key(true, GDK_KEY_Up, 103);
  ASSERT_TRUE(EventSource().ReadKeyboard(keys));
  EXPECT_EQ(keys[0x1E], 0);
  EXPECT_EQ(keys[0xC8], 0x80);
  Drain();

  Key(true, GDK_KEY_Control_L, 29);
  Key(true, GDK_KEY_z, 44, GDK_CONTROL_MASK);
  Key(true, GDK_KEY_F10, 68);
  Key(true, GDK_KEY_Alt_L, 56);
  Key(true, GDK_KEY_Return, 28, GDK_MOD1_MASK);
  std::vector<WindowEvent> events = Drain();
  EXPECT_TRUE(HasCommand(events, 40012));
  EXPECT_TRUE(HasCommand(events, 40002));
  EXPECT_TRUE(HasCommand(events, 40001));
  // F10 went to the program, not to the menu bar.
  EXPECT_EQ(gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(Named("menubar"))), nullptr);
  // The keys that completed the accelerators are no game input (Enter would
  // turn the page); Ctrl, pressed on its own first, still is.
  ASSERT_TRUE(EventSource().ReadKeyboard(keys));
  EXPECT_EQ(keys[0x2C], 0);  // Z
  EXPECT_EQ(keys[0x44], 0);  // F10
  EXPECT_EQ(keys[0x1C], 0);  // Enter
  EXPECT_EQ(keys[0x1D], 0x80);
}

// The pointer is read in the picture's pixels, rounded down: a point left of
// or above the picture (a grab outside the window) is outside however close.
TEST_F(GtkShellTest, ThePointerIsReadInWholePicturePixelsRoundedDown) {
  struct Row {
    double x, y;
    CursorPoint at;
  } rows[] = {{10.75, 20.25, {10, 20}}, {-0.5, 30, {-1, 30}}, {40, -0.25, {40, -1}}, {799.5, 599.9, {799, 599}}};
  for (const Row& row : rows) {
    Pointer(GDK_MOTION_NOTIFY, [&](GdkEvent* e) { e->motion.x = row.x, e->motion.y = row.y; });
    CursorPoint at = EventSource().CursorPosition();
    EXPECT_EQ(at.x, row.at.x) << row.x;
    EXPECT_EQ(at.y, row.at.y) << row.y;
    const WindowEvent move = Drain().back();  // in the window's pixels
    EXPECT_TRUE(move.x == static_cast<int>(row.x) && move.y == static_cast<int>(row.y)) << move.x << "," << move.y;
  }
}

TEST_F(GtkShellTest, ATapBetweenTwoReadsShowsAsHeldForOneRead) {
  auto button = [&](bool down) {
    Pointer(down ? GDK_BUTTON_PRESS : GDK_BUTTON_RELEASE, [](GdkEvent* e) { e->button.button = 1; });
  };
  uint8_t keys[kKeyboardKeys];
  MouseState mouse;
  ASSERT_TRUE(EventSource().ReadKeyboard(keys));
  ASSERT_TRUE(EventSource().ReadMouse(mouse));
  Key(true, GDK_KEY_a, 30);
  Key(false, GDK_KEY_a, 30);
  button(true);
  button(false);
  for (uint8_t expected : {0x80, 0x00}) {
    ASSERT_TRUE(EventSource().ReadKeyboard(keys));
    ASSERT_TRUE(EventSource().ReadMouse(mouse));
    EXPECT_EQ(keys[0x1E], expected);
    EXPECT_EQ(mouse.buttons[0], expected);
  }
  // A click and a turn of the wheel through the X server: the release and the wheel reach the area too.
  int x = 0, y = 0, wheel = 0;
  gdk_window_get_origin(gtk_widget_get_window(Named("area")), &x, &y);
  const std::string at = std::to_string(x + 99) + " " + std::to_string(y + 99);
  GTK_TEST_REQUIRE(gtk_test::XdoTool("mousemove " + at + " click 1 click 4"), "xdotool");
  bool pressed = false;
  EXPECT_TRUE(RunUntil([&] {
    EventSource().ReadMouse(mouse), wheel += mouse.wheel;
    return (pressed |= mouse.buttons[0] != 0) && mouse.buttons[0] == 0 && wheel == 120;
  }, 30)) << wheel;
  Drain();
}

// Button 3 is the right button, 2 the middle one; the wheel up (a smooth scroll's delta below 0) is positive.
TEST_F(GtkShellTest, ButtonsKeepTheirRolesAndTheWheelItsDirection) {
  MouseState mouse;
  const int held[] = {0, 2, 1};  // buttons 1, 2, 3: left, middle, right
  for (guint button = 1; button <= 3; ++button) {
    Pointer(GDK_BUTTON_PRESS, [&](GdkEvent* e) { e->button.button = button; });
    Pointer(GDK_BUTTON_RELEASE, [&](GdkEvent* e) { e->button.button = button; });
    ASSERT_TRUE(EventSource().ReadMouse(mouse));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(mouse.buttons[i] != 0, i == held[button - 1]) << button << " " << i;
  }
  struct Row {
    GdkScrollDirection direction;
    double delta_y;
    int32_t wheel;
  } rows[] = {{GDK_SCROLL_UP, 0, 120}, {GDK_SCROLL_DOWN, 0, -120}, {GDK_SCROLL_SMOOTH, -1, 120},
              {GDK_SCROLL_SMOOTH, 0.5, -60}};
  for (const Row& row : rows) {
    Pointer(GDK_SCROLL, [&](GdkEvent* e) { e->scroll.direction = row.direction, e->scroll.delta_y = row.delta_y; });
    ASSERT_TRUE(EventSource().ReadMouse(mouse));
    EXPECT_EQ(mouse.wheel, row.wheel) << row.direction << " " << row.delta_y;
  }
}

// Keys held are let go when the window loses the focus (which makes the program inactive) or a modal box comes.
TEST_F(GtkShellTest, KeysHeldAreLetGoWhenTheFocusOrTheInputGoesElsewhere) {
  uint8_t keys[kKeyboardKeys];
  GtkWidget* box = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  for (int way = 0; way < 2; ++way) {
    Key(true, GDK_KEY_Up, 103);
    ASSERT_TRUE(EventSource().ReadKeyboard(keys));
    way == 0 ? gtk_test::Focus(widget_, false) : gtk_grab_add(box);
    ASSERT_TRUE(EventSource().ReadKeyboard(keys));
    EXPECT_EQ(keys[0xC8], 0) << way;
    bool inactive = false;
    for (const WindowEvent& e : Drain()) inactive |= e.message == WindowMessage::kActivate && e.value == 0;
    EXPECT_EQ(inactive, way == 0);
  }
  gtk_grab_remove(box), gtk_widget_destroy(box);
}

// A key held when a box ends (Enter that answered it) or when the window takes the focus back reads
// as up through the X server's repeats of it, until it is let go and pressed again.
TEST_F(GtkShellTest, AKeyHeldThroughABoxOrTheFocusIsNoPressUntilPressedAgain) {
  int x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(Named("area")), &x, &y);
  GTK_TEST_REQUIRE(gtk_test::XdoTool("mousemove " + std::to_string(x + 99) + " " + std::to_string(y + 99)), "xdotool");
  struct LetGo { ~LetGo() { gtk_test::XdoTool("keyup Return"); } } let_go;
  // Enter's presses that reach the window, whatever its handlers make of them.
  std::pair<GtkWidget*, int> presses{widget_, 0};
  const guint signal = g_signal_lookup("key-press-event", GTK_TYPE_WIDGET);
  const gulong hook = g_signal_add_emission_hook(signal, 0, +[](GSignalInvocationHint*, guint, const GValue* values,
                                                                gpointer data) -> gboolean {
    auto& [window, count] = *static_cast<std::pair<GtkWidget*, int>*>(data);
    auto* key = static_cast<GdkEventKey*>(g_value_get_boxed(&values[1]));
    count += g_value_get_object(&values[0]) == window && key->keyval == GDK_KEY_Return ? 1 : 0;
    return TRUE;
  }, &presses, nullptr);
  // Reads the keyboard until `until` holds of Enter's reading: whether it read as down meanwhile.
  auto enter_seen = [&](auto until) {
    bool seen = false;
    uint8_t keys[kKeyboardKeys];
    EXPECT_TRUE(RunUntil([&] {
      EventSource().ReadKeyboard(keys);
      seen |= keys[0x1C] != 0;
      return until(keys[0x1C] != 0);
    }));
    return seen;
  };
  auto down = [](bool down) { return down; };
  for (int way = 0; way < 2; ++way) {
    if (way == 0) {
      bool keyed = false;
      const guint timer = g_timeout_add(50, +[](gpointer keyed) -> gboolean {
        bool& done = *static_cast<bool*>(keyed);
        if (!done && gtk_test::OpenDialog() != nullptr) done = gtk_test::XdoTool("keydown Return");
        return G_SOURCE_CONTINUE;
      }, &keyed);
      EXPECT_EQ(shell_->boxes().Show(shell_->window().Handle(), u"質問", u"確認", MB_YESNO | MB_DEFBUTTON2), IDNO);
      g_source_remove(timer);
    } else {
      EXPECT_TRUE(gtk_test::XdoTool("keydown Return") && enter_seen(down));
      gtk_test::Focus(widget_, false), gtk_test::Focus(widget_, true);
    }
    presses.second = 0;
    EXPECT_FALSE(enter_seen([&](bool) { return presses.second >= 2; })) << way;
    EXPECT_TRUE(gtk_test::XdoTool("keyup Return keydown Return") && enter_seen(down)) << way;
    EXPECT_TRUE(gtk_test::XdoTool("keyup Return") && enter_seen(std::not_fn(down)));
  }
  g_signal_remove_emission_hook(signal, hook);
}

// The window's table of keys is made again when its keys change: here after a key press has made it once.
TEST_F(GtkShellTest, AnAcceleratorAddedAfterTheFirstKeyAnswers) {
  Key(true, GDK_KEY_q, 16, GDK_CONTROL_MASK);
  int answered = 0;
  GtkAccelGroup* group = gtk_accel_group_new();
  gtk_accel_group_connect(group, GDK_KEY_q, GDK_CONTROL_MASK, GtkAccelFlags{},
                          g_cclosure_new(G_CALLBACK((+[](GtkAccelGroup*, GObject*, guint, GdkModifierType, int* n)
                                                           -> gboolean { return ++*n, TRUE; })),
                                         &answered, nullptr));
  gtk_window_add_accel_group(GTK_WINDOW(widget_), group);
  g_object_unref(group);
  while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
  Key(true, GDK_KEY_q, 16, GDK_CONTROL_MASK);
  EXPECT_EQ(answered, 1);
}

TEST_F(GtkShellTest, CloseQueuesTheCloseMessageAndTheWindowStays) {
  Drain();
  gtk_window_close(GTK_WINDOW(widget_));
  std::vector<WindowEvent> events;
  ASSERT_TRUE(RunUntil([&] {
    for (const WindowEvent& e : Drain()) events.push_back(e);
    for (const WindowEvent& e : events) {
      if (e.message == WindowMessage::kClose) return true;
    }
    return false;
  }));
  EXPECT_TRUE(gtk_widget_get_visible(widget_));
}

TEST_F(GtkShellTest, MenuItemsQueueCommandsUnlessTheProgramChecksThem) {
  // What the item shows, which the window reports as its state.
  auto checked = [&](uint32_t id) {
    const bool shown = gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(Item(id))) != FALSE;
    EXPECT_EQ(shell_->window().IsMenuItemChecked(id), shown) << id;
    return shown;
  };
  // No item is checked until the program checks one; each group keeps its own.
  struct Step {
    uint32_t check;     // 0: none yet
    const char* shown;  // 40004, 40005, 40022 and 40025: checked 'x', not '.'
  } steps[] = {{0, "...."}, {40025, "...x"}, {40004, "x..x"}, {40022, "x.x."}, {40005, ".xx."}};
  Drain();
  for (const Step& step : steps) {
    if (step.check != 0) shell_->window().CheckMenuItem(step.check);
    std::string shown;
    for (uint32_t id : {40004, 40005, 40022, 40025}) shown += checked(id) ? 'x' : '.';
    EXPECT_EQ(shown, step.shown) << step.check;
  }
  EXPECT_FALSE(HasCommand(Drain(), 40005));
  shell_->window().EnableMenuItem(40000, false);
  GtkWidget* exit_item = Item(40000);
  EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(exit_item)), "終了(_X)");
  EXPECT_FALSE(gtk_widget_get_sensitive(exit_item));
  EXPECT_FALSE(shell_->window().IsMenuItemEnabled(40000));
  EXPECT_TRUE(shell_->window().IsMenuItemEnabled(40004));
  EXPECT_TRUE(shell_->window().IsMenuItemEnabled(40012));  // an accelerator without an item
  gtk_menu_item_activate(GTK_MENU_ITEM(Item(40004)));
  const std::vector<WindowEvent> events = Drain();  // not 40005, which the click unchecked
  EXPECT_TRUE(events.size() == 1 && HasCommand(events, 40004)) << events.size();
  // A new text shows its mnemonic as GTK's, a literal "_" as itself; the old text comes back.
  EXPECT_EQ(shell_->window().SetMenuItemText(40000, u"終_了(&Q)"), u"終了(&X)");
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(exit_item)))), "終_了(Q)");
  shell_->window().RemoveTopMenu(1);
  EXPECT_TRUE(shell_->window().IsMenuItemChecked(40004) && Item(40022) == nullptr);
}

// A top-down picture over the whole window, then rectangles of bottom-up ones,
// the last after the screen stood still for a while: the window shows each
// where it was presented and keeps the rest. Exposed, the window shows the
// picture again from what it keeps, never asking the program to draw it.
TEST_F(GtkShellTest, PresentedPixelsReachTheScreen) {
  // 0xRRGGBB of a pixel from its place, salted per case.
  auto colour = [](int x, int y, int salt) {
    return static_cast<uint32_t>(((x ^ y) + salt) & 0xFF) << 16 | static_cast<uint32_t>(y & 0xFF) << 8 |
           static_cast<uint32_t>((x + salt) & 0xFF);
  };
  struct Case {
    bool bottom_up;
    PresentRect rect;
    int salt;
    int quiet_frames;  // refresh waits before the present
    bool exposed;      // the whole window is exposed after the present
    bool framed = true;  // a refresh wait follows the present; else only the loop
                         // runs, as in a modal dialog's or the inactive window's
  };
  const Case cases[] = {{false, {0, 0, 800, 600}, 0, 0, false},
                        {true, {130, 70, 610, 421}, 99, 0, true},
                        {true, {300, 200, 700, 560}, 47, 60, true},
                        {false, {50, 40, 420, 300}, 13, 60, false, false}};
  std::vector<uint32_t> pixels(800 * 600);
  GtkWidget* area = Named("area");
  auto inside = [](const PresentRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    for (int y = 0; y < 600; ++y) {
      const int row = c.bottom_up ? 599 - y : y;
      for (int x = 0; x < 800; ++x) pixels[row * 800 + x] = colour(x, y, c.salt);
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pixels.data());
    PixelBuffer buffer = c.bottom_up ? PixelBuffer{bytes + 599 * 800 * 4, -800 * 4, 800, 600}
                                     : PixelBuffer{bytes, 800 * 4, 800, 600};
    for (int f = 0; f < c.quiet_frames; ++f) shell_->window().WaitForRefresh();
    shell_->presenter().Present(buffer, c.rect);
    if (c.framed) shell_->window().WaitForRefresh();
    GdkPixbuf* shot = nullptr;
    auto matches = [&] {
      if (shot != nullptr) g_object_unref(shot);
      shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(area), 0, 0, 800, 600);
      if (shot == nullptr) return false;
      const guchar* top = gdk_pixbuf_get_pixels(shot);
      int stride = gdk_pixbuf_get_rowstride(shot), n = gdk_pixbuf_get_n_channels(shot);
      for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
          const guchar* q = top + y * stride + x * n;
          // The latest case that covers the pixel shows there.
          size_t shown = i;
          while (shown > 0 && !inside(cases[shown].rect, x, y)) --shown;
          if (static_cast<uint32_t>(q[0] << 16 | q[1] << 8 | q[2]) != colour(x, y, cases[shown].salt)) return false;
        }
      }
      return true;
    };
    EXPECT_TRUE(RunUntil(matches)) << "case " << i;
    if (c.exposed) {
      // GTK paints the exposed window at once, then the picture comes back.
      gdk_window_invalidate_rect(gtk_widget_get_window(area), nullptr, TRUE);
      G_GNUC_BEGIN_IGNORE_DEPRECATIONS
      gdk_window_process_updates(gtk_widget_get_window(area), TRUE);
      G_GNUC_END_IGNORE_DEPRECATIONS
      EXPECT_TRUE(RunUntil(matches)) << "case " << i << " exposed";
    }
    if (shot != nullptr) g_object_unref(shot);
  }
  const std::vector<WindowEvent> events = Drain();
  EXPECT_TRUE(std::none_of(events.begin(), events.end(),
                           [](const WindowEvent& e) { return e.message == WindowMessage::kPaint; }));
}

// Each tick of the display's frame clock reaches the pace as the refresh it
// reports, dated with the clock's frame time, not with when the loop saw it
// (a frame's work makes it late).
TEST_F(GtkShellTest, TheFrameClockDatesTheRefreshesOfThePace) {
  const RefreshPace& pace = dynamic_cast<GtkMainWindow&>(shell_->window()).Pace();
  gint64 frame_time = 0;
  const guint ticks = gtk_widget_add_tick_callback(Named("area"), +[](GtkWidget*, GdkFrameClock* clock, gpointer data) {
    *static_cast<gint64*>(data) = gdk_frame_clock_get_frame_time(clock);
    return gboolean{G_SOURCE_CONTINUE};
  }, &frame_time, nullptr);
  const std::vector<uint32_t> pixels(800 * 600, 0x102030);
  int dated = 0;
  for (int frame = 0; frame < 30; ++frame) {
    shell_->presenter().Present(PixelBuffer{reinterpret_cast<const uint8_t*>(pixels.data()), 800 * 4, 800, 600},
                                PresentRect{0, 0, 16, 16});
    g_usleep(3000);
    shell_->window().WaitForRefresh();
    dated += pace.LatestRefresh() == frame_time ? 1 : 0;
  }
  gtk_widget_remove_tick_callback(Named("area"), ticks);
  EXPECT_GE(dated, 20) << "of 30 frames";
}

// The shared picture names the program's own memory to the server: by a
// descriptor where the server takes one, as Xvfb does; by id only once the
// server reads back what the program wrote there (not from another segment
// found by that id). Never for a window whose fourth byte is alpha. A put is
// cut to the picture; one the server refuses ends nothing and shows as failed.
TEST_F(GtkShellTest, TheSharedPictureIsTheProgramsOwnMemoryInAnOpaqueWindow) {
  GtkWidget* argb = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  ASSERT_NE(gdk_screen_get_rgba_visual(gdk_screen_get_default()), nullptr);
  gtk_widget_set_visual(argb, gdk_screen_get_rgba_visual(gdk_screen_get_default()));
  gtk_widget_realize(argb);
  const int foreign = shmget(IPC_PRIVATE, 64 * 64 * 4, IPC_CREAT | 0600);
  void* foreign_at = shmat(foreign, nullptr, 0);
  shmctl(foreign, IPC_RMID, nullptr);
  std::memset(foreign_at, 0x55, 64 * 64 * 4);
  struct Row {
    GtkWidget* window;
    X11PictureNaming naming;
    bool made, by_descriptor;
  } rows[] = {{widget_, {}, true, true}, {widget_, {false}, true, false}, {widget_, {false, foreign}, false, false},
              {argb, {}, false, false}};
  for (const Row& row : rows) {
    std::unique_ptr<X11Picture> picture = X11Picture::Make(row.window, 64, 64, row.naming);
    ASSERT_EQ(picture != nullptr, row.made) << &row - rows;
    if (picture == nullptr) continue;
    EXPECT_EQ(picture->ByDescriptor(), row.by_descriptor) << &row - rows;
    picture->Put(gtk_widget_get_window(widget_), 32, 32, 200, 200, 0, 0);
    picture->WaitUntilRead();
    EXPECT_FALSE(picture->Failed()) << &row - rows;
    picture->Put(gtk_widget_get_window(argb), 0, 0, 8, 8, 0, 0);
    picture->WaitUntilRead();
    EXPECT_TRUE(picture->Failed()) << &row - rows;
  }
  shmdt(foreign_at);
  gtk_widget_destroy(argb);
}

// GTK paints the window while the picture goes straight into it, which leaves
// a put for later; the window goes first, and nothing touches it after.
TEST_F(GtkShellTest, AWindowDestroyedWithAPutQueuedIsLeftAlone) {
  gtk_test::LoggedWarnings warnings;
  bool painted = false;
  g_signal_connect_swapped(gtk_widget_get_frame_clock(widget_), "after-paint",
                           G_CALLBACK(+[](bool* painted) { *painted = true; }), &painted);
  gtk_widget_queue_draw(Named("area"));
  ASSERT_TRUE(RunUntil([&] { return painted; }));
  shell_.reset();
  EXPECT_EQ(warnings.text, "");
}

// What the player does to the message dialog once it shows: a key (keyval 0:
// the window manager's close box). A key the box did not take is followed
// by the close box on the next look.
struct BoxAction {
  guint keyval;
  guint state;
  const char* press;  // the label of the button to click, "" Enter (the default button), or null
  bool keyed = false;
  int waits = 0;  // ticks since the press: an activated button clicks a quarter second later
};

gboolean ActOnMessageDialog(gpointer data) {
  auto* action = static_cast<BoxAction*>(data);
  GtkWidget* dialog = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w != nullptr; w = w->next) {
    if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data))) dialog = GTK_WIDGET(w->data);
  }
  g_list_free(windows);
  if (dialog == nullptr) return G_SOURCE_CONTINUE;
  if (action->press != nullptr && !action->keyed) {
    action->keyed = true;
    const std::string label = action->press;
    if (label.empty()) gtk_window_activate_default(GTK_WINDOW(dialog));
    auto labelled = [&](GtkWidget* w) { return GTK_IS_BUTTON(w) && label == gtk_button_get_label(GTK_BUTTON(w)); };
    if (!label.empty()) gtk_button_clicked(GTK_BUTTON(gtk_test::Find(dialog, labelled)));
  } else if (action->keyval != 0 && !action->keyed) {
    action->keyed = true;
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dialog)));
    event->key.keyval = action->keyval;
    event->key.state = action->state;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
  } else if (action->press == nullptr || ++action->waits > 10) {
    gtk_window_close(GTK_WINDOW(dialog));
  }
  return G_SOURCE_CONTINUE;
}

TEST_F(GtkShellTest, ABoxAnswersItsMnemonicLettersAloneAndClosedNeverSaysYes) {
  struct Row {
    uint32_t flags;
    guint keyval;  // 0: the box is closed without a button
    guint state;
    int answer;
    const char* press = nullptr;  // as in BoxAction
  } rows[] = {
      {MB_YESNO, 0, 0, IDNO},
      {MB_YESNO | MB_DEFBUTTON2, 0, 0, IDNO},
      {MB_OKCANCEL, 0, 0, IDCANCEL},
      {MB_YESNOCANCEL, 0, 0, IDCANCEL},
      {MB_ABORTRETRYIGNORE, 0, 0, IDIGNORE},
      {MB_RETRYCANCEL, 0, 0, IDCANCEL},
      {MB_OK | MB_ICONWARNING, 0, 0, IDOK},
      // A mnemonic's letter alone answers as with Alt (GTK's own): "はい(_Y)"
      // Y in either case, "いいえ(_N)" N, "再試行(_R)" R.
      {MB_YESNO | MB_DEFBUTTON2, GDK_KEY_y, 0, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, GDK_KEY_Y, GDK_SHIFT_MASK, IDYES},
      {MB_YESNOCANCEL, GDK_KEY_n, 0, IDNO},
      {MB_ABORTRETRYIGNORE, GDK_KEY_r, 0, IDRETRY},
      // Ctrl+Y is no answer: the box is closed after it.
      {MB_YESNO | MB_DEFBUTTON2, GDK_KEY_y, GDK_CONTROL_MASK, IDNO},
      // Each button answers its own; Enter presses the default one.
      {MB_OKCANCEL, 0, 0, IDOK, "OK"},
      {MB_OKCANCEL, 0, 0, IDCANCEL, "キャンセル"},
      {MB_YESNO, 0, 0, IDYES, ""},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, 0, 0, IDRETRY, ""},
  };
  for (const Row& row : rows) {
    BoxAction action{row.keyval, row.state, row.press};
    const guint timer = g_timeout_add(50, ActOnMessageDialog, &action);
    EXPECT_EQ(shell_->boxes().Show(shell_->window().Handle(), u"質問", u"確認", row.flags), row.answer)
        << row.flags << " " << row.keyval << " " << row.state;
    g_source_remove(timer);
  }
}

// The monitor choice starts on the first entry; OK takes the one chosen, cancel none.
TEST_F(GtkShellTest, TheMonitorChoiceIsTheEntryChosenOrNone) {
  struct Row {
    int pick, response, chosen;  // pick -1: the entry shown at the start
  } rows[] = {{-1, GTK_RESPONSE_OK, 0}, {1, GTK_RESPONSE_OK, 1}, {1, GTK_RESPONSE_CANCEL, -1}};
  for (Row& row : rows) {
    const guint timer = g_timeout_add(50, +[](gpointer data) -> gboolean {
      const Row& row = *static_cast<Row*>(data);
      GtkWidget* dialog = gtk_test::OpenDialog();
      if (dialog == nullptr) return G_SOURCE_CONTINUE;
      auto combo = [](GtkWidget* w) { return GTK_IS_COMBO_BOX(w); };
      if (row.pick >= 0) gtk_combo_box_set_active(GTK_COMBO_BOX(gtk_test::Find(dialog, combo)), row.pick);
      gtk_dialog_response(GTK_DIALOG(dialog), row.response);
      return G_SOURCE_CONTINUE;
    }, &row);
    EXPECT_EQ(shell_->ChooseMonitor(std::vector<MonitorInfo>(2)), row.chosen) << row.pick << " " << row.response;
    g_source_remove(timer);
  }
}

// Full screen under a window manager is tested with one; without a manager
// nothing can take the window to full screen, and the switch must say so.
TEST_F(GtkShellTest, FullScreenFailsWithoutAWindowManager) {
  if (gtk_test::WindowManagerRuns()) GTEST_SKIP() << "a window manager runs";
  IMainWindow& window = shell_->window();
  EXPECT_FALSE(window.SetFullScreen(true));
  EXPECT_FALSE(window.IsFullScreen());
  EXPECT_TRUE(window.IsMenuBarVisible());
  EXPECT_TRUE(gtk_widget_get_visible(Named("menubar")));
  EXPECT_TRUE(RunUntil([&] { return gtk_widget_get_allocated_height(Named("area")) == 600; }));
  EXPECT_FALSE(shell_->Monitors().empty());
}

// GDK's environment is set while no other thread runs, keeping the user's
// own GDK_GL; opening a display later writes none (the sound device's start
// may run beside it). Last in the file: the display is open by now.
TEST(GtkEnvironmentTest, SetBeforeAnyThreadKeepingTheUsersOwnAndNeverWhenOpening) {
  ::setenv("GDK_GL", "gles", 1);
  GtkShell::PrepareEnvironment();
  EXPECT_STREQ(std::getenv("GDK_GL"), "gles");
  ::unsetenv("GDK_GL");
  GtkShell::DisplayAvailable();
  EXPECT_EQ(std::getenv("GDK_GL"), nullptr);
  GtkShell::PrepareEnvironment();
  EXPECT_STREQ(std::getenv("GDK_GL"), "disable");
}

}  // namespace
}  // namespace platform
