// The built program on the demo data under a virtual display: it starts, shows
// the title, whose load item opens the slot dialog in load mode, and a close
// confirmed with Yes ends it with exit code 0 and the settings written. Without
// a display it says on one line of stderr what it needs and ends with 1, the
// settings untouched.
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/dialog_model.h"
#include "platform/event_source.h"
#include "platform/glyph_rasterizer.h"
#include "backend/gtk/gtk_widgets.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "app/frame.h"
#include "app/product.h"
#include "app/settings.h"
#include "game/game_state.h"
#include "oggenc.h"
#include "platform/audio.h"
#include "platform/main_window.h"
#include "platform/menu_commands.h"
#include "program/program.h"
#include "save/save_data.h"
#include "sound/sound.h"

namespace App {
namespace {

namespace fs = std::filesystem;

// The title's load item, in the picture's coordinates.
constexpr platform::CursorPoint kTitleLoadItem{644, 366};

// Forwards to the window's events, clicks through the logo, then clicks the
// title's load item until `clicked` holds and, after `close_after` frames,
// closes the window.
class ClosingSource : public platform::IEventSource {
 public:
  ClosingSource(platform::IEventSource* inner, uint64_t close_after, std::function<bool()> clicked)
      : inner_(inner), close_after_(close_after), clicked_(std::move(clicked)) {}
  void BeginFrame() override {
    ++frames_;
    inner_->BeginFrame();
  }
  bool PeekEvent(platform::WindowEvent& out) override {
    if (!closed_ && frames_ >= close_after_ && (clicked_() || frames_ >= 10 * close_after_)) {
      closed_ = true;
      out = platform::WindowEvent{platform::WindowMessage::kClose};
      return true;
    }
    return inner_->PeekEvent(out);
  }
  void WaitForEvent(uint32_t ms) override { inner_->WaitForEvent(ms); }
  void AcquireInput() override { inner_->AcquireInput(); }
  bool ReadKeyboard(std::span<uint8_t, platform::kKeyboardKeys> keys) override { return inner_->ReadKeyboard(keys); }
  bool ReadMouse(platform::MouseState& out) override {
    bool read = inner_->ReadMouse(out);
    // Three clicks at the start cut the brand logo's fade-in, hold and fade-out short.
    if (frames_ == 10 || frames_ == 20 || frames_ == 30) out.buttons[0] = 0x80;
    if (frames_ > 40 && frames_ % 2 == 0 && !clicked_()) out.buttons[0] = 0x80;
    return read;
  }
  platform::CursorPoint CursorPosition() override { return kTitleLoadItem; }
  uint64_t frames() const { return frames_; }

 private:
  platform::IEventSource* inner_;
  uint64_t close_after_;
  std::function<bool()> clicked_;
  uint64_t frames_ = 0;
  bool closed_ = false;
};

// The main window's menu item labelled `label` (its mnemonic included), or null.
GtkWidget* MenuItem(const char* label) {
  return gtk_test::Find(GTK_WIDGET(platform::MainWindow().Handle()), [label](GtkWidget* w) {
    return GTK_IS_MENU_ITEM(w) && g_strcmp0(gtk_menu_item_get_label(GTK_MENU_ITEM(w)), label) == 0;
  });
}

// The program as built, with its home and its runtime folder in a temporary
// folder of its own, removed afterwards. Hooked, its window events come through
// a ClosingSource, its close box is answered Yes and its slot dialog only noted.
class SmokeSystems : public ProgramSystems {
 public:
  explicit SmokeSystems(const std::string& name, bool hooked = true)
      : home_(fs::temp_directory_path() / (name + "_" + std::to_string(::getpid()))), hooked_(hooked) {
    fs::remove_all(home_);
    fs::create_directories(home_);
    ::setenv("XDG_RUNTIME_DIR", home_.c_str(), 1);
  }
  ~SmokeSystems() override { fs::remove_all(home_); }
  fs::path UserFolder() const { return home_ / "quelvastor" / "mesrin_trial"; }
  std::u16string ExecutablePath() override { return platform::Utf8ToUtf16(ENGINE_BINARY_DIR "/bin/mesrin"); }
  std::u16string DataHome() override { return platform::Utf8ToUtf16(home_.string()); }
  bool CreateMainWindow(bool debug) override {
    window_made = ProgramSystems::CreateMainWindow(debug);
    if (window_made && hooked_) {
      debug_menu = MenuItem("デバッグ") != nullptr;
      // The window's own source and boxes stay installed underneath; these go on top.
      closer_ = std::make_unique<ClosingSource>(&platform::EventSource(), 90, [this] { return dialog_mode >= 0; });
      platform::SetEventSource(closer_.get());
      boxes_.SetEcho(false);
      boxes_.SetAnswer(platform::IDYES);
      platform::SetMessageBoxService(&boxes_);
    }
    return window_made;
  }
  void DestroyMainWindow() override {
    if (closer_) {
      platform::SetEventSource(nullptr);
      platform::SetMessageBoxService(nullptr);
    }
    ProgramSystems::DestroyMainWindow();
  }
  // The game draws with the real fonts and opens its dialogs on the display.
  void AttachGame(DxDraw::ssGroup* stage_parent) override {
    ProgramSystems::AttachGame(stage_parent);
    if (stage_parent == nullptr) return;
    real_services = dynamic_cast<platform::HeadlessGlyphRasterizer*>(&platform::GlyphRasterizer()) == nullptr &&
                    dynamic_cast<platform::HeadlessDialogHost*>(&platform::DialogHostService()) == nullptr;
  }
  int ShowSaveLoadDialog(int mode) override {
    dialog_mode = mode;
    return hooked_ ? -1 : ProgramSystems::ShowSaveLoadDialog(mode);
  }
  bool window_made = false;
  bool debug_menu = false;
  bool real_services = false;
  int dialog_mode = -1;  // of the last slot dialog asked for
  const platform::HeadlessMessageBox& boxes() const { return boxes_; }
  uint64_t frames() const { return closer_ ? closer_->frames() : 0; }

 private:
  fs::path home_;
  bool hooked_;
  std::unique_ptr<ClosingSource> closer_;
  platform::HeadlessMessageBox boxes_;
};

TEST(ProgramSmokeTest, StartsTheDemoAndQuitsThroughTheCloseBox) {
  if (!fs::exists(ENGINE_BINARY_DIR "/data/script.saf")) GTEST_SKIP() << "no demo data";
  SmokeSystems systems("shell_smoke");
  const fs::path folder = systems.UserFolder();
  fs::create_directories(folder);
  const std::string settings = "[mesrin]\nMessageWait=3\nMessageSkip=1\n";
  std::ofstream(folder / "mesrin.ini") << settings;
  std::vector<std::string> args = {"-S"};
  ::testing::internal::CaptureStderr();
  int code = RunMesrin(systems, args);
  std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(fs::exists(folder / "MESRIN.lock")) << "the lock goes with the program";
  if (!systems.window_made) {
    EXPECT_EQ(std::getenv("ENGINE_REQUIRE_DISPLAY"), nullptr) << "no display";
    EXPECT_EQ(code, 1) << "a start that cannot run is no success";
    EXPECT_EQ(errors, "[エラー] ディスプレイを開けません。このプログラムはグラフィカルセッション (X11 または Wayland) の中で起動してください。\n");
    std::ifstream in(folder / "mesrin.ini");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), settings) << "the settings are left as they were";
    return;
  }
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(systems.debug_menu) << "only -D shows it";
  EXPECT_TRUE(systems.real_services);
  EXPECT_GE(systems.frames(), 90u);
  EXPECT_EQ(systems.dialog_mode, 1) << "the title's load item opens the slot dialog to load";
  ASSERT_EQ(systems.boxes().shown().size(), 1u);
  EXPECT_EQ(systems.boxes().shown()[0].text, u"終了してもよろしいですか？");
  std::ifstream in(folder / "mesrin.ini");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("[mesrin]"), std::string::npos);
  EXPECT_NE(text.str().find("FullScreen=0"), std::string::npos);
  // The reading speeds come back to their own keys.
  EXPECT_NE(text.str().find("MessageWait=3"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("MessageSkip=1"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder / "save.dat"));
}

// The program plays through SDL's device: on SDL's dummy driver its sound starts.
TEST(ProgramSmokeTest, SoundPlaysThroughTheSdlDevice) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  ProgramSystems systems;
  systems.PrepareSound();
  const SOUNDCONFIG config{1, 44100, 2, 16, 2, 0, 0};
  ASSERT_EQ(systems.InitSound(config), 0);
  EXPECT_TRUE(systems.IsSoundEnabled());
  systems.ShutdownSound();
  ::unsetenv("SDL_AUDIODRIVER");
}

// Each sound switch reaches its own channel: a looping tone on the voice channel
// and on an effect channel is heard while its own switch is on, and only then.
TEST(ProgramSmokeTest, EachSoundSwitchReachesItsOwnChannel) {
  platform::ManualAudioDevice* device = nullptr;
  const platform::AudioDeviceOpener previous = platform::SetAudioDeviceOpener([&device](uint32_t rate) {
    auto made = std::make_unique<platform::ManualAudioDevice>(rate);
    device = made.get();
    return made;
  });
  const SOUNDCONFIG config{1, 8000, 2, 16, 2, 0, 0};
  ASSERT_EQ(::InitSound(nullptr, &config), 0);
  std::vector<float> tone(8000);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.5f * std::sin(0.3f * static_cast<float>(i));
  const std::vector<uint8_t> ogg = oggenc::EncodeOggVorbis(tone, {1, 8000});
  const fs::path file = fs::temp_directory_path() / ("smoke_tone_" + std::to_string(::getpid()) + ".ogg");
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(ogg.data()), std::ssize(ogg));
  UserSettings& settings = Settings();
  settings.game.bgm_volume = settings.game.voice_volume = settings.game.se_volume = 100;
  ProgramSystems systems;
  for (int channel : {Game::kChannelVoice, Game::kChannelSe1}) {
    for (uint8_t on : {0, 1}) {
      SCOPED_TRACE(std::to_string(channel) + (on != 0 ? " on" : " off"));
      settings.game.enable_bgm = settings.game.enable_voice = settings.game.enable_se = 1;
      (channel == Game::kChannelVoice ? settings.game.enable_voice : settings.game.enable_se) = on;
      ASSERT_NE(OpenOggStream(nullptr, platform::Utf8ToUtf16(file.string()), channel, 1, 4096, 0, 0), -1);
      systems.ApplyChannelVolumes(settings);
      const std::vector<int16_t> heard = device->Render(2000);
      EXPECT_EQ(std::any_of(heard.begin(), heard.end(), [](int16_t s) { return s != 0; }), on != 0);
      StopChannel(channel);
    }
  }
  ::ShutdownSound();
  platform::SetAudioDeviceOpener(previous);
  fs::remove(file);
}

// Answers the first message dialog that shows, noting its caption and text.
struct SeenBox {
  std::string caption;
  std::string text;
  bool answered = false;
};

gboolean AnswerMessageDialog(gpointer data) {
  auto* seen = static_cast<SeenBox*>(data);
  GtkWidget* dialog = gtk_test::OpenDialog();
  if (dialog == nullptr || !GTK_IS_MESSAGE_DIALOG(dialog)) return G_SOURCE_CONTINUE;
  gchar* text = nullptr;
  g_object_get(dialog, "text", &text, nullptr);
  seen->text = text != nullptr ? text : "";
  g_free(text);
  seen->caption = gtk_window_get_title(GTK_WINDOW(dialog));
  seen->answered = true;
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  return G_SOURCE_REMOVE;
}

// A cancelled monitor choice keeps the first monitor; -D shows the debug menu.
TEST(ProgramSmokeTest, ACancelledMonitorChoicePlaysOnTheFirstMonitor) {
  if (!fs::exists(ENGINE_BINARY_DIR "/data/script.saf")) GTEST_SKIP() << "no demo data";
  GTK_TEST_REQUIRE(gtk_init_check(nullptr, nullptr), "display");
  SmokeSystems systems("shell_smoke_driver");
  bool cancelled = false;
  guint timer = g_timeout_add(50, [](gpointer data) -> gboolean {
    GtkWidget* dialog = gtk_test::OpenDialog();
    if (dialog == nullptr || g_strcmp0(gtk_window_get_title(GTK_WINDOW(dialog)), "ドライバの選択") != 0) {
      return G_SOURCE_CONTINUE;
    }
    *static_cast<bool*>(data) = true;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return G_SOURCE_REMOVE;
  }, &cancelled);
  std::vector<std::string> args = {"-S", "-W", "-D", "--SELDRIVER"};
  EXPECT_EQ(RunMesrin(systems, args), 0);
  if (!cancelled) g_source_remove(timer);
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(systems.debug_menu);
  EXPECT_GE(systems.frames(), 90u);
}

// Only one copy runs on a user folder: a second start finds the first's lock there.
TEST(ProgramSmokeTest, ASecondCopyOnTheSameUserFolderEndsAtOnce) {
  SmokeSystems systems("shell_smoke_lock");
  SingleInstanceLock first(kWindowClass, platform::Utf8ToUtf16(systems.UserFolder().string()));
  ASSERT_TRUE(first.held());
  std::vector<std::string> args = {"-S"};
  EXPECT_EQ(RunMesrin(systems, args), 0);
  EXPECT_FALSE(systems.window_made);
}

TEST(ProgramSmokeTest, ABoxBeforeTheWindowIsADialogOnTheDisplay) {
  GTK_TEST_REQUIRE(gtk_init_check(nullptr, nullptr), "display");
  SmokeSystems systems("shell_smoke_box");
  SeenBox seen;
  guint timer = g_timeout_add(50, AnswerMessageDialog, &seen);
  std::vector<std::string> args = {"-S", "@/no/such/file"};
  EXPECT_EQ(RunMesrin(systems, args), 1);
  if (!seen.answered) g_source_remove(timer);
  EXPECT_FALSE(systems.window_made);
  EXPECT_EQ(seen.caption, "Error");
  EXPECT_EQ(seen.text, "File not found '/no/such/file'");
}

// Asks `done` on the program's thread, in its GLib loop, until it holds (false
// after a minute), doing `meanwhile` between asks.
bool Until(std::function<bool()> done, std::function<void()> meanwhile = [] {}) {
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);;) {
    std::packaged_task<bool()> task(done);
    std::future<bool> held = task.get_future();
    g_main_context_invoke(
        nullptr, +[](gpointer t) { return (*static_cast<decltype(&task)>(t))(), gboolean{FALSE}; }, &task);
    if (held.get()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    meanwhile();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// The program, unhooked, in full screen under openbox on its 1024 x 768 screen
// (the picture at 1.28), played by the X server's own pointer: the title's new
// game reaches a page's click wait, where the scenario's save is enabled; the
// hidden menu bar shows on the top two rows only, and the save from the menu
// writes its slot to save.dat. A quit signal that comes while one of its menus
// is open ends the program without a warning from GTK.
TEST(ProgramSmokeTest, InFullScreenTheMenuShowsAtTheTopAndItsSaveWritesTheSlot) {
  if (!fs::exists(ENGINE_BINARY_DIR "/data/script.saf")) GTEST_SKIP() << "no demo data";
  gtk_test::WindowManager manager(30);
  GTK_TEST_REQUIRE(manager.Started() && gtk_test::XdoTool("sleep 0"), "display, openbox or xdotool");
  SmokeSystems systems("shell_smoke_full", false);
  fs::create_directories(systems.UserFolder());
  std::ofstream(systems.UserFolder() / "mesrin.ini") << "[mesrin]\nFullScreen=1\n";
  auto frames = [] { return App::GetFrame().FrameCount(); };
  std::atomic<bool> driven = false;
  std::thread driver([&] {
    uint64_t since = 0, read_at = 0;
    std::string stuck;  // the last wait asked, with what it saw: where the waits stopped
    auto until = [&](const char* what, std::function<bool()> done, std::function<void()> meanwhile = [] {}) {
      return Until([&] {
        const platform::IMainWindow& window = platform::MainWindow();
        GtkWidget* dialog = gtk_test::OpenDialog();
        const char* box = dialog != nullptr ? gtk_window_get_title(GTK_WINDOW(dialog)) : "none";
        stuck = what + (": frame " + std::to_string(frames())) + ", full screen " + std::to_string(window.IsFullScreen()) +
                ", menu bar " + std::to_string(window.IsMenuBarVisible()) + ", MessageShown " +
                std::to_string(Game::MessageShown) + ", save " + std::to_string(window.IsMenuItemEnabled(kCommandSave)) +
                ", dialog " + (box != nullptr ? box : "untitled");
        return done();
      }, meanwhile);
    };
    // Frames run with the menu bar hidden; the new game's item (644, 318 in the
    // picture) is clicked until a page's text shows.
    bool ok = until("no start with the menu bar hidden",
                    [&] { return frames() > 0 && !platform::MainWindow().IsMenuBarVisible(); }) &&
              until("no page's text after the new game's clicks", [] { return Game::MessageShown != 0; },
                    [] { gtk_test::XdoTool("mousemove 824 407 click 1"); }) &&
              until("no click wait with the save enabled for 30 frames", [&] {
                const bool waits = platform::MainWindow().IsMenuItemEnabled(kCommandSave) && Game::MessageShown != 0;
                since = waits ? since : frames();
                return frames() > since + 30;
              });
    EXPECT_TRUE(ok) << stuck;
    // Screen points on the third row, the second, then well below the bar, each reached in one move (the
    // last one off the bar onto the picture) and taken two frames after the pointer reads `at`.
    const struct { int x, y; platform::CursorPoint at; bool shown; } steps[] = {
        {513, 385, {400, 300}, false}, {1, 2, {0, 1}, false},    {500, 2, {390, 1}, false},
        {1022, 2, {798, 1}, false},    {513, 1, {400, 0}, true}, {513, 385, {400, 300}, false}};
    for (const auto& step : steps) {
      if (!ok) break;
      const std::string x = std::to_string(step.x), y = " " + std::to_string(step.y);
      ok = gtk_test::XdoTool("mousemove " + x + y) && Until([&] {
             const platform::CursorPoint at = platform::EventSource().CursorPosition();
             read_at = at.x != step.at.x || at.y != step.at.y ? 0 : read_at != 0 ? read_at : frames();
             return read_at != 0 && frames() >= read_at + 2 && platform::MainWindow().IsMenuBarVisible() == step.shown;
           });
      EXPECT_TRUE(ok) << "the menu bar at " << x << y;
    }
    // The menu's save into slot 3, with a comment (Enter in it saves); then a
    // quit signal ends the program.
    EXPECT_TRUE(ok && Until([] {
      return gtk_menu_item_activate(GTK_MENU_ITEM(MenuItem("セーブする(_S)"))), true;
    }) && Until([] {
      GtkWidget* dialog = gtk_test::OpenDialog();
      GtkWidget* list = dialog != nullptr ? gtk_test::FindNamed(dialog, "slot-list") : nullptr;
      if (list == nullptr) return false;
      GtkTreePath* path = gtk_tree_path_new_from_indices(2, -1);
      gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), path);
      gtk_tree_path_free(path);
      gtk_entry_set_text(GTK_ENTRY(gtk_test::FindNamed(dialog, "comment")), "メニューから");
      return gtk_widget_activate(gtk_test::FindNamed(dialog, "comment")), true;
    }) && Until([] { return gtk_test::OpenDialog() == nullptr; })) << "no save through the menu";
    // The bar's first menu, opened by a click on the top row, is still open when the signal comes.
    EXPECT_TRUE(gtk_test::XdoTool("mousemove 30 1") &&
                Until([] { return platform::MainWindow().IsMenuBarVisible(); }) && gtk_test::XdoTool("click 1") &&
                Until([] { return gtk_widget_get_mapped(gtk_menu_item_get_submenu(GTK_MENU_ITEM(MenuItem("システム")))); }))
        << "no menu open";
    ::kill(::getpid(), SIGTERM);
    driven = true;
    g_main_context_wakeup(nullptr);
  });
  gtk_test::LoggedWarnings warnings;
  EXPECT_EQ(RunMesrin(systems, std::vector<std::string>{"-S"}), 0);
  EXPECT_EQ(warnings.text, "") << "the open menu closes before its window goes";
  while (!driven) g_main_context_iteration(nullptr, TRUE);  // the driver may still ask the loop
  driver.join();
  Save::SetSaveFolder(platform::Utf8ToUtf16(systems.UserFolder().string()));
  ASSERT_TRUE(Save::SlotExists(3));
  EXPECT_EQ(platform::Cp932ToUtf16(Save::ReadSlotSummary(3).comment), u"メニューから");
}

}  // namespace
}  // namespace App
