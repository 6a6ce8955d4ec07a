// Full screen under a real window manager: the test starts openbox on its
// (virtual, 1280 x 720) display before GTK looks for a manager, and skips when
// there is no display or no openbox. It waits on what the manager does (the
// list of windows it publishes once started, the frame it puts on the test's
// window) with deadlines a loaded machine does not reach, never on a guess of
// its speed.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/event_source.h"
#include "backend/gtk/gtk_widgets.h"
#include "backend/gtk/gtk_window.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/picture_scale.h"
#include "platform/presenter.h"

namespace platform {
namespace {

// Longest wait for openbox to start, take the window, and draw; a machine busy
// with other tests may be slow at each, but not this slow.
constexpr int kManagerSeconds = 30;

template <class Done>
bool RunUntil(Done done) { return gtk_test::RunUntil(done, kManagerSeconds); }

// Whether the manager has taken the window: openbox frames every window it
// manages, and says so in _NET_FRAME_EXTENTS.
bool Framed(GtkWidget* widget) { return gtk_test::HasProperty(gtk_widget_get_window(widget), "_NET_FRAME_EXTENTS"); }

class GtkFullScreenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { manager_ = std::make_unique<gtk_test::WindowManager>(kManagerSeconds); }
  static void TearDownTestSuite() { manager_.reset(); }

  void SetUp() override {
    GTK_TEST_REQUIRE(manager_->Started(), "display or no openbox");
    shell_ = GtkShell::Open(u"MESRIN", u"test", 800, 600);
    ASSERT_TRUE(shell_);
    const MenuEntry menu[] = {{MenuEntry::kSubmenu, u"システム"}, {MenuEntry::kItem, u"終了", 40000}, {MenuEntry::kEnd}};
    shell_->window().SetMenu(menu);
    shell_->Install();
    shell_->Show();
    widget_ = static_cast<GtkWidget*>(shell_->window().Handle());
    // Full screen is asked for once openbox has framed this window.
    ASSERT_TRUE(RunUntil([&] { return Framed(widget_); })) << "openbox never took the window";
  }

  static inline std::unique_ptr<gtk_test::WindowManager> manager_;
  std::unique_ptr<GtkShell> shell_;
  GtkWidget* widget_ = nullptr;
};

// The colour of a pixel of a screen shot as 0xRRGGBB.
uint32_t ShotPixel(GdkPixbuf* shot, int x, int y) {
  const guchar* p = gdk_pixbuf_get_pixels(shot) + y * gdk_pixbuf_get_rowstride(shot) + x * gdk_pixbuf_get_n_channels(shot);
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}

// The colour of a screen pixel as 0xRRGGBB.
uint32_t ScreenPixel(int x, int y) {
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, 1, 1);
  if (shot == nullptr) return 0xFFFFFFFF;
  uint32_t colour = ShotPixel(shot, 0, 0);
  g_object_unref(shot);
  return colour;
}

// The contrast of two 0xRRGGBB colours by their relative luminance, as the
// accessibility guidelines measure it: 1 for equal colours, 21 for black on white.
double Contrast(uint32_t a, uint32_t b) {
  auto luminance = [](uint32_t rgb) {
    double sum = 0;
    for (auto [shift, weight] : {std::pair{16, 0.2126}, {8, 0.7152}, {0, 0.0722}}) {
      const double c = ((rgb >> shift) & 0xFF) / 255.0;
      sum += weight * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
  };
  const auto [low, high] = std::minmax({luminance(a), luminance(b)});
  return (high + 0.05) / (low + 0.05);
}

// The menu bar as the screen shows it: the colour at its right end, where no
// item lies, and the strongest contrast to it within its first item's label.
struct BarLook {
  uint32_t background;
  double label_contrast;
};
BarLook LookAtBar(GtkWidget* menubar) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(menubar);
  GList* items = gtk_container_get_children(GTK_CONTAINER(menubar));
  GtkWidget* item = GTK_WIDGET(items->data);
  g_list_free(items);
  int ox = 0, oy = 0, x = 0, y = 0, ix = 0, iy = 0;
  const int width = gtk_widget_get_allocated_width(menubar), height = gtk_widget_get_allocated_height(menubar);
  gdk_window_get_origin(gtk_widget_get_window(toplevel), &ox, &oy);
  gtk_widget_translate_coordinates(menubar, toplevel, 0, 0, &x, &y);
  gtk_widget_translate_coordinates(item, menubar, 0, 0, &ix, &iy);
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), ox + x, oy + y, width, height);
  if (shot == nullptr) return {0xFFFFFFFF, 0};
  BarLook look{ShotPixel(shot, width - 2, height / 2), 1};
  for (int py = iy; py < iy + gtk_widget_get_allocated_height(item); ++py) {
    for (int px = ix; px < ix + gtk_widget_get_allocated_width(item); ++px) {
      look.label_contrast = std::max(look.label_contrast, Contrast(look.background, ShotPixel(shot, px, py)));
    }
  }
  g_object_unref(shot);
  return look;
}

TEST_F(GtkFullScreenTest, FillsTheMonitorWithThePictureScaledBetweenBlackBars) {
  GtkWidget* area = gtk_test::FindNamed(widget_, "area");
  GtkWidget* menubar = gtk_test::FindNamed(widget_, "menubar");
  IMainWindow& window = shell_->window();
  // Away from where it opened, so that leaving full screen must find it again.
  int x = 0, y = 0;
  auto stands_at = [&](int wx, int wy) {
    gtk_window_get_position(GTK_WINDOW(widget_), &x, &y);
    return x == wx && y == wy;
  };
  gtk_window_move(GTK_WINDOW(widget_), 37, 41);
  ASSERT_TRUE(RunUntil([&] { return stands_at(37, 41); })) << x << "," << y;
  // The pointer rests above the window, on the screen's second row.
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  gdk_device_warp(pointer, gdk_screen_get_default(), 640, 1);
  ASSERT_TRUE(window.SetFullScreen(true));
  EXPECT_FALSE(window.IsMenuBarVisible());
  EXPECT_EQ(gtk_widget_get_allocated_width(area), 1280);
  EXPECT_EQ(gtk_widget_get_allocated_height(area), 720);
  // Full screen comes under it: a move onto the picture's top row, where the menu bar shows.
  bool moved_to_top = false;
  EXPECT_TRUE(RunUntil([&] {
    for (WindowEvent e; EventSource().PeekEvent(e);) moved_to_top |= e.message == WindowMessage::kMouseMove && e.y == 1;
    return moved_to_top;
  }));

  // Four plain quarters, so the scaling's filter leaves each one's colour
  // inside it. At 1.2 the picture spans x 160-1120 and the whole height.
  std::vector<uint32_t> pixels(800 * 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) pixels[y * 800 + x] = (y < 300 ? 0x200000u : 0x400000u) | (x < 400 ? 0x11u : 0x22u);
  }
  for (WindowEvent e; EventSource().PeekEvent(e);) {}
  shell_->presenter().Present(PixelBuffer{reinterpret_cast<const uint8_t*>(pixels.data()), 800 * 4, 800, 600},
                              PresentRect{0, 0, 800, 600});
  // The whole picture, scaled, is all there is to show: nothing is asked to be drawn again.
  for (WindowEvent e; EventSource().PeekEvent(e);) EXPECT_NE(e.message, WindowMessage::kPaint);
  struct Probe {
    int x, y;
    uint32_t colour;
  } probes[] = {
      {0, 0, 0}, {159, 719, 0}, {1120, 0, 0}, {1279, 719, 0},  // the monitor's corners are bars
      {162, 2, 0x200011}, {1117, 2, 0x200022}, {162, 717, 0x400011}, {1117, 717, 0x400022},
  };
  for (const Probe& probe : probes) {
    EXPECT_TRUE(RunUntil([&] { return ScreenPixel(probe.x, probe.y) == probe.colour; }))
        << probe.x << "," << probe.y << " shows " << std::hex << ScreenPixel(probe.x, probe.y);
  }
  // Exposed inside the picture once all of it is painted, an area shows the
  // picture again over all of it.
  bool painted = false;
  const gulong painting = g_signal_connect_swapped(gtk_widget_get_frame_clock(widget_), "after-paint",
                                                   G_CALLBACK(+[](bool* painted) { *painted = true; }), &painted);
  for (const GdkRectangle& exposed : {GdkRectangle{0, 0, 1280, 720}, GdkRectangle{400, 200, 200, 200}}) {
    painted = false;
    gtk_widget_queue_draw_area(area, exposed.x, exposed.y, exposed.width, exposed.height);
    EXPECT_TRUE(RunUntil([&] {
      return painted && ScreenPixel(401, 300) == 0x200011 && ScreenPixel(598, 398) == 0x400011;
    })) << std::hex << ScreenPixel(401, 300) << " " << ScreenPixel(598, 398);
  }
  g_signal_handler_disconnect(gtk_widget_get_frame_clock(widget_), painting);

  // The pointer on the screen is read in the picture's 800 x 600.
  gdk_device_warp(pointer, gdk_screen_get_default(), 160 + 120, 600);
  EXPECT_TRUE(RunUntil([&] {
    CursorPoint at = EventSource().CursorPosition();
    return at.x == 100 && at.y == 500;
  }));

  // The menu bar shows over the picture, which neither moves nor shrinks; a put
  // leaves the bar alone (over a green picture, not all of the bar is green).
  window.SetMenuBarVisible(true);
  EXPECT_TRUE(RunUntil([&] { return gtk_widget_get_allocated_height(menubar) > 1; }));
  EXPECT_EQ(gtk_widget_get_allocated_height(area), 720);
  std::fill(pixels.begin(), pixels.end(), 0x00FF00u);
  shell_->presenter().Present(PixelBuffer{reinterpret_cast<const uint8_t*>(pixels.data()), 800 * 4, 800, 600},
                              PresentRect{0, 0, 800, 600});
  window.WaitForRefresh();
  EXPECT_TRUE(RunUntil([&] { return ScreenPixel(640, 700) == 0x00FF00 && ScreenPixel(1117, 700) == 0x00FF00; }));
  int bar_pixels = 0;
  for (int y = 0; y < gtk_widget_get_allocated_height(menubar); ++y) {
    for (int x = 160; x < 1120; x += 4) bar_pixels += ScreenPixel(x, y) != 0x00FF00;
  }
  EXPECT_GT(bar_pixels, 0) << "the put covered the menu bar";
  // Over the black bars the shown bar has a background of its own, and its label reads on it.
  BarLook full{};
  EXPECT_TRUE(RunUntil([&] { return (full = LookAtBar(menubar)).label_contrast >= 4.5; }))
      << std::hex << full.background << " label contrast " << full.label_contrast;

  ASSERT_TRUE(window.SetFullScreen(false));
  EXPECT_TRUE(window.IsMenuBarVisible());
  EXPECT_TRUE(RunUntil([&] {
    return gtk_widget_get_allocated_width(area) == 800 && gtk_widget_get_allocated_height(area) == 600;
  }));
  EXPECT_TRUE(RunUntil([&] { return stands_at(37, 41); })) << x << "," << y;
  // The same bar in the window.
  BarLook windowed{};
  EXPECT_TRUE(RunUntil([&] {
    windowed = LookAtBar(menubar);
    return windowed.background == full.background && windowed.label_contrast >= 4.5;
  })) << std::hex << windowed.background << " " << full.background << " label contrast " << windowed.label_contrast;
}

// Quick toggles leave GTK's layout whole. A present still pending in the
// full-screen picture when the window comes back is none of the windowed
// picture's: a rectangle presented then shows, and nothing ends the program.
TEST_F(GtkFullScreenTest, QuickTogglesKeepTheLayoutAndTheWindowedPictureWhole) {
  gtk_test::LoggedWarnings warnings;
  IMainWindow& window = shell_->window();
  const std::vector<uint32_t> pixels(800 * 600, 0x336699);
  const PixelBuffer buffer{reinterpret_cast<const uint8_t*>(pixels.data()), 800 * 4, 800, 600};
  for (int i = 0; i < 10; ++i) {
    const bool full = i % 2 == 0;
    ASSERT_TRUE(window.SetFullScreen(full));
    if (!full) shell_->presenter().Present(buffer, PresentRect{10, 10, 30, 30});
    for (int frame = 0; frame < 18; ++frame) window.WaitForRefresh();
    if (full) shell_->presenter().Present(buffer, PresentRect{0, 0, 800, 600});
  }
  int x = 0, y = 0;
  gdk_window_get_origin(gtk_widget_get_window(gtk_test::FindNamed(widget_, "area")), &x, &y);
  EXPECT_TRUE(RunUntil([&] { return ScreenPixel(x + 20, y + 20) == 0x336699; })) << std::hex << ScreenPixel(x + 20, y + 20);
  EXPECT_EQ(warnings.text, "");
}

// Off the screen (minimised, on another desktop) the window is neither placed nor laid out: leaving full
// screen there, as a quit does, ends before the wait for its place runs out (3 s); back, it stands at its place.
TEST_F(GtkFullScreenTest, LeavingFullScreenOffTheScreenWaitsForNoPlace) {
  GtkWindow* window = GTK_WINDOW(widget_);
  int x = 0, y = 0, wx = 0, wy = 0;
  gtk_window_get_position(window, &wx, &wy);
  for (const bool minimised : {true, false}) {
    SCOPED_TRACE(minimised ? "minimised" : "on another desktop");
    ASSERT_TRUE(shell_->window().SetFullScreen(true));
    bool off = false;
    const gulong unmapped = g_signal_connect_swapped(widget_, "unmap-event", G_CALLBACK(+[](bool* off) {
      return gboolean{*off = true};
    }), &off);
    if (minimised) gtk_window_iconify(window);
    GTK_TEST_REQUIRE(minimised || gtk_test::XdoTool("set_desktop 1"), "xdotool");
    EXPECT_TRUE(RunUntil([&] { return off; }));
    g_signal_handler_disconnect(widget_, unmapped);
    const gint64 start = g_get_monotonic_time();
    ASSERT_TRUE(shell_->window().SetFullScreen(false));
    EXPECT_LT(g_get_monotonic_time() - start, 3 * G_USEC_PER_SEC) << "it sat out the wait for its place";
    if (minimised) gtk_window_deiconify(window);
    ASSERT_TRUE(minimised || gtk_test::XdoTool("set_desktop 0"));
    EXPECT_TRUE(RunUntil([&] {
      gtk_window_get_position(window, &x, &y);
      return x == wx && y == wy && gtk_widget_get_allocated_height(gtk_test::FindNamed(widget_, "area")) == 600;
    })) << x << "," << y;
  }
}

// The picture `from` (from_w x from_h) as the presenter scales it to w x h.
std::vector<uint32_t> Scaled(const std::vector<uint32_t>& from, int from_w, int from_h, int w, int h) {
  std::vector<uint32_t> to(static_cast<size_t>(w) * h);
  PictureScaler(from_w, from_h, w, h)
      .Scale(PixelBuffer{reinterpret_cast<const uint8_t*>(from.data()), from_w * 4, from_w, from_h},
             PresentRect{0, 0, w, h}, reinterpret_cast<uint8_t*>(to.data()), w * 4);
  return to;
}

// The first screen pixel of `place` outside `skip` that does not show
// `expected` (rows place.width long), or "" where all do.
std::string Mismatch(const GdkRectangle& place, const std::vector<uint32_t>& expected, const GdkRectangle& skip) {
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), place.x, place.y, place.width, place.height);
  char found[64] = "";
  for (int i = 0; shot != nullptr && found[0] == 0 && i < place.width * place.height; ++i) {
    const GdkRectangle at{place.x + i % place.width, place.y + i / place.width, 1, 1};
    const uint32_t got = ShotPixel(shot, i % place.width, i / place.width), want = expected[i] & 0xFFFFFF;
    if (got != want && !gdk_rectangle_intersect(&at, &skip, nullptr))
      g_snprintf(found, sizeof found, "%d,%d shows %06x, not %06x", at.x, at.y, got, want);
  }
  if (shot != nullptr) g_object_unref(shot);
  return shot != nullptr ? found : "no screen shot";
}

// Behind a modal box or dialog, with the frame loop held and the screen still
// for longer than any idle saving waits, the window shows the picture: when
// the box takes the focus, and when the window is exposed meanwhile; also a
// box opened right after a switch into or out of full screen, before the
// program draws again, which stands centred on the window as it is then.
// Read from the screen outside the box once the manager has placed it, in a window
// and in full screen: a pattern, as the scaler makes it, to the last pixel.
TEST_F(GtkFullScreenTest, BehindAModalBoxOrDialogTheWindowShowsThePicture) {
  std::vector<uint32_t> pixels(800 * 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) pixels[y * 800 + x] = (x * 59 & 0xFF) << 16 | (y * 47 & 0xFF) << 8 | ((x + y) & 0xFF);
  }
  // In full screen the picture is the scaler's copy; back in the window right
  // after a switch, that copy scaled to the window.
  const PresentRect fit = FitPicture(1280, 720, 800, 600);
  const std::vector<uint32_t> full_picture = Scaled(pixels, 800, 600, fit.right - fit.left, fit.bottom - fit.top);
  const std::vector<uint32_t> back_picture = Scaled(full_picture, fit.right - fit.left, fit.bottom - fit.top, 800, 600);
  struct Watch {
    GtkWidget* window;
    GtkWidget* area;
    GdkRectangle picture;                   // its place on the screen
    const std::vector<uint32_t>* expected;  // what it shows there
    std::vector<gpointer> placed;           // windows the manager mapped, which it does once it has placed them
    int ticks = 0;
    bool exposed = false;
    std::string mismatch = "never looked";  // with the box up, "" once the picture showed outside it
    GdkPoint off{};                         // the box's centre less the window's
  };
  const guint map_event = g_signal_lookup("map-event", GTK_TYPE_WIDGET);
  for (const bool full : {false, true}) {
    for (const int how : {0, 1, 2}) {  // a box, a dialog, a box right after a switch
      const bool box = how != 1, switched = how == 2;
      SCOPED_TRACE(std::string(full ? "full screen" : "window") + (box ? ", box" : ", dialog") +
                   (switched ? " right after the switch" : ""));
      ASSERT_TRUE(shell_->window().SetFullScreen(full != switched));
      shell_->presenter().Present(PixelBuffer{reinterpret_cast<const uint8_t*>(pixels.data()), 800 * 4, 800, 600},
                                  PresentRect{0, 0, 800, 600});
      for (int frame = 0; frame < 60; ++frame) shell_->window().WaitForRefresh();
      if (switched) {
        ASSERT_TRUE(shell_->window().SetFullScreen(full));
      }
      const std::vector<uint32_t>& expected = full ? full_picture : switched ? back_picture : pixels;
      Watch watch{widget_, gtk_test::FindNamed(widget_, "area"), {}, &expected, {}};
      int x = 0, y = 0;
      gdk_window_get_origin(gtk_widget_get_window(watch.area), &x, &y);
      const PresentRect shown = full ? fit : PresentRect{0, 0, 800, 600};
      watch.picture = {x + shown.left, y + shown.top, shown.right - shown.left, shown.bottom - shown.top};
      const gulong hook = g_signal_add_emission_hook(
          map_event, 0, +[](GSignalInvocationHint*, guint, const GValue* v, gpointer data) {
            static_cast<Watch*>(data)->placed.push_back(g_value_get_object(v));
            return gboolean{TRUE};
          }, &watch, nullptr);
      // Once the box is up, the window is exposed; the box closes when the
      // picture shows, or after a while.
      const guint timer = g_timeout_add(50, +[](gpointer data) -> gboolean {
        auto& w = *static_cast<Watch*>(data);
        GtkWidget* up = gtk_test::OpenDialog();
        if (up == nullptr || std::count(w.placed.begin(), w.placed.end(), up) == 0) return G_SOURCE_CONTINUE;
        if (!std::exchange(w.exposed, true)) gtk_widget_queue_draw(w.area);
        GdkRectangle b{}, m{};
        gdk_window_get_frame_extents(gtk_widget_get_window(up), &b);
        gdk_window_get_frame_extents(gtk_widget_get_window(w.window), &m);
        w.off = {b.x + b.width / 2 - (m.x + m.width / 2), b.y + b.height / 2 - (m.y + m.height / 2)};
        w.mismatch = Mismatch(w.picture, *w.expected, b);
        if (w.mismatch.empty() || ++w.ticks > 200) gtk_dialog_response(GTK_DIALOG(up), GTK_RESPONSE_CANCEL);
        return G_SOURCE_CONTINUE;
      }, &watch);
      if (box) {
        shell_->boxes().Show(shell_->window().Handle(), u"終了しますか？", u"確認", MB_YESNO);
      } else {
        shell_->ChooseMonitor(std::vector<MonitorInfo>(2));
      }
      g_source_remove(timer);
      g_signal_remove_emission_hook(map_event, hook);
      EXPECT_EQ(watch.mismatch, "");
      // Openbox centres a box a title bar's height or so low.
      EXPECT_TRUE(std::abs(watch.off.x) <= 32 && std::abs(watch.off.y) <= 32)
          << "the box off centre by " << watch.off.x << "," << watch.off.y;
    }
  }
  ASSERT_TRUE(shell_->window().SetFullScreen(false));
}

}  // namespace
}  // namespace platform
