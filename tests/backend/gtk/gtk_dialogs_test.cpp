// The game's dialogs in their GTK windows under a virtual display: each opens
// over its owner with its controls and texts, and what the player does in the
// widgets reaches the settings. Skips without a display.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>

#include "app/frame.h"
#include "app/process.h"
#include "app/settings.h"
#include "core/exception.h"
#include "game/debug_dialog.h"
#include "game/game_state.h"
#include "game/script_app.h"
#include "game/settings_dialog.h"
#include "backend/gtk/gtk_dialogs.h"
#include "backend/gtk/gtk_message_box.h"
#include "backend/gtk/gtk_widgets.h"
#include "platform/event_source.h"
#include "platform/text.h"
#include "save/save_types.h"

namespace {

GtkWidget* Control(GtkWidget* dialog, int id) {
  GtkWidget* w = gtk_test::FindNamed(dialog, "ctl-" + std::to_string(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

std::string ButtonText(GtkWidget* dialog, int id) { return gtk_button_get_label(GTK_BUTTON(Control(dialog, id))); }

class GtkDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    GTK_TEST_REQUIRE(gtk_init_check(nullptr, nullptr), "display");
    owner_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(owner_);
    platform::SetDialogHostService(&host_);
    saved_ = App::Settings().game;
    App::Settings().game = App::DefaultGameSettings();
    Game::SetLevelOutput([](int, int) {});
  }
  void TearDown() override {
    if (owner_ == nullptr) return;
    platform::SetDialogHostService(nullptr);
    Game::SetLevelOutput({});
    App::Settings().game = saved_;
    gtk_widget_destroy(owner_);
  }

  // Runs `show` with `script` acting on the dialog's widgets once it shows.
  int Run(std::function<int(platform::WindowHandle)> show, std::function<void(GtkWidget*)> script) {
    script_ = std::move(script);
    g_timeout_add(50, +[](gpointer self) -> gboolean {
      auto* test = static_cast<GtkDialogs*>(self);
      GtkWidget* dialog = gtk_test::OpenDialog();
      if (dialog == nullptr) return G_SOURCE_CONTINUE;
      EXPECT_EQ(GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(dialog))), test->owner_);
      test->script_(dialog);
      return G_SOURCE_REMOVE;
    }, this);
    return show(owner_);
  }

  GtkWidget* owner_ = nullptr;
  platform::GtkDialogHost host_;
  App::GameSettings saved_;
  std::function<void(GtkWidget*)> script_;
};

TEST_F(GtkDialogs, SystemSettingsShowTheirControlsAndASliderMoveReachesTheSettings) {
  Game::SetDisplayHooks({[] { return false; }, [] {}, [] { return std::vector<std::u16string>{u"ＭＳ 明朝"}; }});
  int result = Run(Game::ShowSystemSettings, [](GtkWidget* dialog) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "システム設定");
    EXPECT_EQ(ButtonText(dialog, Game::kIdFullScreen), "全画面");
    EXPECT_EQ(ButtonText(dialog, Game::kIdStopAtUnread), "未読でスキップ等を止める");
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(Control(dialog, Game::kIdFont))), 0);
    gtk_range_set_value(GTK_RANGE(Control(dialog, Game::kIdRed)), 0);  // the top: full red
    cairo_surface_t* swatch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(swatch);
    gtk_widget_draw(Control(dialog, Game::kIdSwatch), cr);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(swatch)) & 0xFFFFFF, 0xFF40F0u);
    cairo_destroy(cr), cairo_surface_destroy(swatch);
    gtk_range_set_value(GTK_RANGE(Control(dialog, Game::kIdRed + 1)), 999);  // the bottom: no green
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Control(dialog, Game::kIdGraphicsFast)), TRUE);
    gtk_button_clicked(GTK_BUTTON(Control(dialog, platform::IDOK)));
  });
  Game::SetDisplayHooks({});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(App::Settings().game.base_color[0], 255);
  EXPECT_EQ(App::Settings().game.base_color[1], 0);
  EXPECT_EQ(App::Settings().game.display_speed, 1);
}

TEST_F(GtkDialogs, SoundSettingsTakeTheSliderAndTheSwitches) {
  int result = Run(Game::ShowSoundDialog, [](GtkWidget* dialog) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "サウンド設定");
    EXPECT_EQ(ButtonText(dialog, Game::kIdSeTest), "効果音");
    gtk_range_set_value(GTK_RANGE(Control(dialog, Game::kIdBgmVolume)), 29.6);  // a drag lands on the nearest
    gtk_range_set_value(GTK_RANGE(Control(dialog, Game::kIdVoiceVolume)), 999);  // the slider's end
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Control(dialog, Game::kIdVoiceOff)), TRUE);
    gtk_button_clicked(GTK_BUTTON(Control(dialog, platform::IDOK)));
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(App::Settings().game.bgm_volume, 30);
  EXPECT_EQ(App::Settings().game.voice_volume, 100);
  EXPECT_EQ(App::Settings().game.enable_voice, 0);
}

TEST_F(GtkDialogs, NameDialogTakesTypedNamesInEntriesSideBySide) {
  int result = Run(Game::ShowNameDialog, [](GtkWidget* dialog) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "主人公名変更");
    GtkAllocation family, given;
    gtk_widget_get_allocation(Control(dialog, Game::kIdFamilyName), &family);
    gtk_widget_get_allocation(Control(dialog, Game::kIdGivenName), &given);
    EXPECT_EQ(family.width, 140);
    EXPECT_LE(family.x + family.width, given.x) << "the 名 entry covers the 姓 entry";
    gtk_entry_set_text(GTK_ENTRY(Control(dialog, Game::kIdFamilyName)), "山田");
    gtk_entry_set_text(GTK_ENTRY(Control(dialog, Game::kIdGivenName)), "花子花子花子花子");  // the longest
    gtk_widget_activate(Control(dialog, Game::kIdGivenName));  // Enter presses OK
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);  // a dialog still up is cancelled
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(std::u16string(Save::GetCommonData().givenName), u"花子花子花子花子");
}

// Enter in the flag number takes it and moves the focus on to 閉じる; the dialog stays.
TEST_F(GtkDialogs, EnterInTheFlagNumberTakesItAndMovesOnToClose) {
  Run(Game::ShowFlagDialog, [](GtkWidget* dialog) {
    gtk_test::Focus(Control(dialog, Game::kIdFlagNumber));
    gtk_entry_set_text(GTK_ENTRY(Control(dialog, Game::kIdFlagNumber)), "2047");  // the highest
    gtk_widget_activate(Control(dialog, Game::kIdFlagNumber));
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(dialog)), Control(dialog, platform::IDOK));
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
  });
  EXPECT_EQ(Game::RememberedFlagNumber(), 2047);
}

TEST_F(GtkDialogs, DebugWindowShowsTheStageAndCloses) {
  Game::ScriptStateGroup_App group;
  Game::ClearSceneState();
  int result = Run([&group](platform::WindowHandle owner) {
    Game::DebugDialog dialog(group, owner);
    platform::DialogHostService().Run(owner, dialog);
    return dialog.Result();
  }, [](GtkWidget* dialog) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "デバッグウィンドウ");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(Control(dialog, Game::kIdStageGrp))), "Black");
    EXPECT_EQ(ButtonText(dialog, platform::IDCANCEL), "閉じる");
    gtk_button_clicked(GTK_BUTTON(Control(dialog, platform::IDCANCEL)));
  });
  EXPECT_EQ(result, -1);
}

// Sends SIGTERM once a dialog shows.
gboolean SignalOnceADialogShows(gpointer data) {
  if (gtk_test::OpenDialog() == nullptr) return G_SOURCE_CONTINUE;
  *static_cast<bool*>(data) = true;
  ::raise(SIGTERM);
  return G_SOURCE_REMOVE;
}

// Ends whatever dialog is still up when the quit signal did not; notes that
// it had to.
gboolean EndLeftDialog(gpointer data) {
  GtkWidget* dialog = gtk_test::OpenDialog();
  if (dialog == nullptr) return G_SOURCE_CONTINUE;
  *static_cast<bool*>(data) = true;
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
  return G_SOURCE_CONTINUE;
}

// The real GTK message box, over the test's window.
class OwnedBoxes : public platform::IMessageBox {
 public:
  explicit OwnedBoxes(GtkWidget* owner) : owner_(owner) {}
  int Show(platform::WindowHandle, std::u16string_view text, std::u16string_view caption, uint32_t flags) override {
    return platform::ShowGtkMessageBox(owner_, text, caption, flags);
  }

 private:
  GtkWidget* owner_;
};

// SIGTERM while the quit question or a settings dialog is up ends it as if
// cancelled, and the frame's pump then ends the program, though the question
// was never answered Yes.
TEST_F(GtkDialogs, AQuitSignalEndsTheBoxOrDialogThatIsUpAndThenTheProgram) {
  OwnedBoxes boxes(owner_);
  platform::IMessageBox* previous_boxes = platform::SetMessageBoxService(&boxes);
  platform::HeadlessEventSource source;
  platform::IEventSource* previous_source = platform::SetEventSource(&source);
  struct Row {
    const char* what;
    std::function<void()> before_pump;  // returns when its dialog has ended
  } rows[] = {
      {"quit question", [&] { source.PostClose(); }},  // the pump asks it
      {"sound settings", [&] { EXPECT_NE(Game::ShowSoundDialog(owner_), 1); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    App::Frame frame;
    App::QuitSignals signals;
    bool signalled = false;
    const guint signal = g_timeout_add(20, SignalOnceADialogShows, &signalled);
    bool left_open = false;
    const guint guard = g_timeout_add(20000, EndLeftDialog, &left_open);
    row.before_pump();
    try {
      frame.PumpMessages();
      ADD_FAILURE() << "no quit";
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(e.Type, kErrorTypeQuit);
    }
    g_source_remove(guard);
    if (!signalled) g_source_remove(signal);
    EXPECT_TRUE(signalled);
    EXPECT_FALSE(left_open);
    EXPECT_EQ(gtk_test::OpenDialog(), nullptr);
  }
  platform::SetEventSource(previous_source);
  platform::SetMessageBoxService(previous_boxes);
}

}  // namespace
