// The settings and debug dialogs driven headless, as their windows drive them:
// a player acts on the dialog in the installed host, and what the game keeps
// and sends afterwards is checked.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <optional>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../app/fake_systems.h"
#include "app/frame.h"
#include "app/settings.h"
#include "game/debug_dialog.h"
#include "game/game_state.h"
#include "game/script_app.h"
#include "game/settings_dialog.h"
#include "platform/debug_output.h"
#include "platform/dialog_model.h"
#include "platform/event_source.h"
#include "platform/text.h"
#include "save/save_types.h"
#include "textscript/script_vars.h"

namespace {

using platform::DialogModel;
using platform::ScrollCode;
using Player = std::function<void(DialogModel&)>;

// Installs a host whose player acts on each dialog, and restores everything
// the dialogs touch afterwards.
class Dialogs : public ::testing::Test {
 protected:
  Dialogs() {
    saved_ = App::Settings().game;
    App::Settings().game = App::DefaultGameSettings();
    Game::SettingsChanged = 0;
    Game::SetLevelOutput([this](int channel, int level) { levels_.emplace_back(channel, level); });
    Game::SetDisplayHooks({[this] { return full_screen_; }, [this] { ++toggles_; },
                           [] { return std::vector<std::u16string>{u"IPAGothic", u"ＭＳ 明朝", u"ＭＳ ゴシック"}; }});
    previous_ = platform::SetMessageBoxService(&boxes_);
    boxes_.SetEcho(false);
  }
  ~Dialogs() override {
    platform::SetDialogHostService(nullptr);
    platform::SetMessageBoxService(previous_);
    Game::SetLevelOutput({});
    Game::SetDisplayHooks({});
    App::Settings().game = saved_;
    Game::SettingsChanged = 0;
    TextScript::ScriptVars().Clear();
    Game::ClearSceneState();
  }

  void Play(Player player) {
    host_ = std::make_unique<platform::HeadlessDialogHost>(std::move(player));
    platform::SetDialogHostService(host_.get());
  }

  App::GameSettings saved_;
  std::vector<std::pair<int, int>> levels_;  // (channel, level) sent, -1 the master
  bool full_screen_ = false;
  int toggles_ = 0;
  platform::HeadlessMessageBox boxes_;
  platform::IMessageBox* previous_ = nullptr;
  std::unique_ptr<platform::HeadlessDialogHost> host_;
};

App::GameSettings WithFont(std::u16string_view face) {
  App::GameSettings s = App::DefaultGameSettings();
  platform::CopyWide(s.font_name, App::kFontNameUnits, face);
  return s;
}

TEST_F(Dialogs, FontListSelectsTheFirstBeginningWithTheFaceElseTheDefaultFaceElseNothing) {
  struct Case {
    std::u16string face;
    std::vector<std::u16string> fonts;
    int selected;
    std::u16string stored;  // font_name after OK
  } cases[] = {
      {u"ＭＳ ゴシック", {u"ＭＳ 明朝", u"ＭＳ ゴシック"}, 1, u"ＭＳ ゴシック"},
      // The first name that begins with the face, as the list's own search finds it.
      {u"ＭＳ 明朝", {u"ＭＳ 明朝 Extra", u"ＭＳ 明朝"}, 0, u"ＭＳ 明朝 Extra"},
      {u"ipa", {u"ＭＳ 明朝", u"IPAGothic"}, 1, u"IPAGothic"},
      {u"Nothing", {u"IPAGothic", u"ＭＳ 明朝 Bold"}, 1, u"ＭＳ 明朝 Bold"},
      // Neither: nothing is selected, and OK stores the default face.
      {u"Nothing", {u"IPAGothic", u"IPAMincho"}, -1, u"ＭＳ 明朝"},
      {u"Nothing", {}, -1, u"ＭＳ 明朝"},
  };
  for (const Case& c : cases) {
    Game::SystemSettingsDialog dialog(WithFont(c.face), c.fonts);
    EXPECT_EQ(dialog.Value(Game::kIdFont), c.selected) << platform::Utf16ToUtf8(c.face);
    dialog.Clicked(platform::IDOK);
    EXPECT_EQ(std::u16string(dialog.Settings().font_name), c.stored);
  }
}

TEST_F(Dialogs, SystemDialogStartsFromTheSettingsAndOkReadsTheControlsBack) {
  App::GameSettings s = App::DefaultGameSettings();
  s.full_screen = 1;
  s.display_speed = 0;
  s.text_skip1 = 1;
  s.text_skip2 = 0;
  const uint8_t color[4] = {10, 20, 30, 40};
  std::memcpy(s.base_color, color, 4);
  Game::SystemSettingsDialog dialog(s, {});
  struct Expect {
    int id;
    int value;
  } expects[] = {{Game::kIdWindowed, 0},      {Game::kIdFullScreen, 1},      {Game::kIdGraphicsNormal, 1},
                 {Game::kIdGraphicsFast, 0},  {Game::kIdStopAtUnread, 1},    {Game::kIdStopAtChoice, 0},
                 {Game::kIdRed, 245},         {Game::kIdRed + 1, 235},       {Game::kIdRed + 2, 225},
                 {Game::kIdTransparency, 215}};
  for (const Expect& e : expects) EXPECT_EQ(dialog.Value(e.id), e.value) << e.id;
  EXPECT_EQ(dialog.Color(Game::kIdSwatch), 0x0A141Eu);

  dialog.SetChecked(Game::kIdWindowed, true);
  dialog.SetChecked(Game::kIdGraphicsFast, true);
  dialog.SetChecked(Game::kIdStopAtChoice, true);
  dialog.Clicked(Game::kIdDefaultColor);
  EXPECT_EQ(dialog.Value(Game::kIdFullScreen), 0);  // the radio group holds one choice
  EXPECT_EQ(dialog.Value(Game::kIdTransparency), 255 - 160);
  EXPECT_EQ(dialog.Color(Game::kIdSwatch), 0x2020F0u);
  dialog.Clicked(platform::IDOK);
  const App::GameSettings& out = dialog.Settings();
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(out.full_screen, 0);
  EXPECT_EQ(out.display_speed, 1);
  EXPECT_EQ(out.text_skip2, 1);
  EXPECT_EQ(0, std::memcmp(out.base_color, Game::kDefaultBaseColor, 4));
}

TEST_F(Dialogs, TrackbarNotificationsMoveByTheirSteps) {
  struct Case {
    bool colour;  // a colour bar (value = 255 - position) or a volume bar
    int start;    // the value before
    ScrollCode code;
    int position;
    int value;    // after
  } cases[] = {
      {true, 240, ScrollCode::kPageUp, 0, 255},   {true, 10, ScrollCode::kPageDown, 0, 0},
      {true, 100, ScrollCode::kPageUp, 0, 116},   {true, 255, ScrollCode::kLineUp, 0, 255},
      {true, 0, ScrollCode::kLineDown, 0, 0},     {true, 50, ScrollCode::kThumbTrack, 5, 250},
      {true, 50, ScrollCode::kTop, 0, 255},       {true, 50, ScrollCode::kBottom, 0, 0},
      {true, 50, ScrollCode::kEndTrack, 9, 50},   {false, 40, ScrollCode::kTop, 0, 0},
      {false, 40, ScrollCode::kBottom, 0, 100},   {false, 0, ScrollCode::kLineUp, 0, 0},
      {false, 40, ScrollCode::kLineDown, 0, 41},  {false, 95, ScrollCode::kPageDown, 0, 100},
      {false, 5, ScrollCode::kPageUp, 0, 0},      {false, 40, ScrollCode::kThumbPosition, 150, 100},
      {false, 40, ScrollCode::kEndTrack, 7, 40},
  };
  for (const Case& c : cases) {
    App::GameSettings s = App::DefaultGameSettings();
    s.base_color[1] = static_cast<uint8_t>(c.start);
    s.voice_volume = static_cast<uint8_t>(c.start);
    if (c.colour) {
      Game::SystemSettingsDialog dialog(s, {});
      dialog.Scrolled(Game::kIdRed + 1, c.code, c.position);
      EXPECT_EQ(dialog.Settings().base_color[1], c.value) << c.start << " code " << static_cast<int>(c.code);
      EXPECT_EQ(dialog.Value(Game::kIdRed + 1), 255 - c.value);
    } else {
      Game::SoundSettingsDialog dialog(s);
      dialog.Scrolled(Game::kIdVoiceVolume, c.code, c.position);
      EXPECT_EQ(dialog.Settings().voice_volume, c.value) << c.start << " code " << static_cast<int>(c.code);
    }
  }
  // A dragged thumb lands on the nearest step.
  Game::SoundSettingsDialog sound(App::DefaultGameSettings());
  sound.Dragged(Game::kIdVoiceVolume, 49.6);
  EXPECT_EQ(sound.Settings().voice_volume, 50);
}

TEST_F(Dialogs, SystemSettingsApplyExactlyWhatChanged) {
  struct Case {
    const char* what;
    Player player;
    bool display_full;  // the display's mode when the dialog opens
    int toggles;
    int bits;
    bool kept;  // the live settings differ afterwards from the defaults
  } cases[] = {
      {"ok unchanged", [](DialogModel& d) { d.Clicked(platform::IDOK); }, false, 0, 0, false},
      // The mode is read from the display first, so OK alone switches nothing.
      {"ok in full screen", [](DialogModel& d) { d.Clicked(platform::IDOK); }, true, 0, 0, true},
      {"full screen", [](DialogModel& d) { d.SetChecked(Game::kIdFullScreen, true), d.Clicked(platform::IDOK); },
       false, 1, 0, true},
      {"unread", [](DialogModel& d) { d.SetChecked(Game::kIdStopAtUnread, false), d.Clicked(platform::IDOK); },
       false, 0, Game::kSkipUnreadChanged, true},
      {"font", [](DialogModel& d) { d.Selected(Game::kIdFont, 2), d.Clicked(platform::IDOK); }, false, 0,
       Game::kFontChanged, true},
      {"colour", [](DialogModel& d) { d.Scrolled(Game::kIdRed, ScrollCode::kTop, 0), d.Clicked(platform::IDOK); },
       false, 0, 0, true},
      {"cancel", [](DialogModel& d) { d.SetChecked(Game::kIdFullScreen, true), d.Selected(Game::kIdFont, 2); },
       false, 0, 0, false},
  };
  for (const Case& c : cases) {
    App::Settings().game = App::DefaultGameSettings();
    App::Settings().game.text_skip1 = 1;
    App::GameSettings before = App::Settings().game;
    Game::SettingsChanged = 0;
    toggles_ = 0;
    full_screen_ = c.display_full;
    Play(c.player);
    Game::ShowSystemSettings(nullptr);
    EXPECT_EQ(toggles_, c.toggles) << c.what;
    EXPECT_EQ(Game::SettingsChanged, c.bits) << c.what;
    EXPECT_EQ(std::memcmp(&before, &App::Settings().game, sizeof before) != 0, c.kept) << c.what;
  }
}

TEST_F(Dialogs, SoundLevelsFollowTheSwitchesInForceAndCancelPutsThemBack) {
  constexpr int kMaster = -1;
  struct Case {
    const char* what;
    bool bgm_on;  // live BGM switch
    Player player;
    std::vector<std::pair<int, int>> levels;
    uint8_t bgm_volume_after;
    uint8_t enable_voice_after;
    uint8_t se1_state = 0;  // effect channel 1's scene record: 2 a loop plays there
  } cases[] = {
      {"bgm moved then cancelled", true, [](DialogModel& d) { d.Scrolled(Game::kIdBgmVolume, ScrollCode::kTop, 0); },
       {{0, 0}, {kMaster, 255 * 80 / 100}, {0, 255 * 80 / 100 / 10}, {3, 255 * 80 / 100},
        {1, 255 * 80 / 100 / 10}, {2, 255 * 80 / 100 / 10}},
       80, 1},
      {"bgm alone changed", true,
       [](DialogModel& d) { d.Scrolled(Game::kIdBgmVolume, ScrollCode::kThumbTrack, 50), d.Clicked(platform::IDOK); },
       {{0, 12}, {0, 12}}, 50, 1},
      // A switched-off kind stays silent while its bar moves and after OK.
      {"bgm off moved", false,
       [](DialogModel& d) { d.Scrolled(Game::kIdBgmVolume, ScrollCode::kThumbTrack, 50), d.Clicked(platform::IDOK); },
       {{0, 0}, {0, 0}}, 50, 1},
      {"voice switched off", true,
       [](DialogModel& d) { d.SetChecked(Game::kIdVoiceOff, true), d.Clicked(platform::IDOK); }, {{3, 0}}, 80, 0},
      {"main moved", true,
       [](DialogModel& d) { d.Scrolled(Game::kIdMainVolume, ScrollCode::kBottom, 0), d.Clicked(platform::IDOK); },
       {{kMaster, 255}, {kMaster, 255}}, 80, 1},
      {"se moved", true,
       [](DialogModel& d) { d.Scrolled(Game::kIdSeVolume, ScrollCode::kBottom, 0), d.Clicked(platform::IDOK); },
       {{1, 25}, {2, 25}, {1, 25}, {2, 25}}, 80, 1},
      // The effect test takes channel 1, or channel 2 while a loop keeps channel 1.
      {"se test", true, [](DialogModel& d) { d.Clicked(Game::kIdSeTest), d.Clicked(platform::IDOK); },
       {{1, 20}}, 80, 1, 1},
      {"se test beside a loop", true, [](DialogModel& d) { d.Clicked(Game::kIdSeTest), d.Clicked(platform::IDOK); },
       {{2, 20}}, 80, 1, 2},
  };
  for (const Case& c : cases) {
    App::GameSettings& live = App::Settings().game;
    live = App::DefaultGameSettings();
    live.main_volume = live.bgm_volume = live.voice_volume = live.se_volume = 80;
    live.enable_bgm = live.enable_voice = live.enable_se = 1;
    live.enable_bgm = c.bgm_on;
    Game::SetSceneRecord(Save::kSceneSe1, c.se1_state, u"NAMI");
    levels_.clear();
    Play(c.player);
    Game::ShowSoundDialog(nullptr);
    EXPECT_EQ(levels_, c.levels) << c.what;
    EXPECT_EQ(live.bgm_volume, c.bgm_volume_after) << c.what;
    EXPECT_EQ(live.enable_voice, c.enable_voice_after) << c.what;
  }
}

TEST_F(Dialogs, NameDialogNeedsBothNamesAndStopsTypingAtEight) {
  const std::u16string longName(70, u'あ');
  struct Case {
    std::u16string family, given;
    int result;
    std::u16string kept_family;
  } cases[] = {
      {u"", u"太郎", -1, u"元"},
      {u"山田", u"", -1, u"元"},
      {u"山田", u"太郎", 1, u"山田"},
      // Eight characters, the last a surrogate pair: kept whole, the rest cut.
      {u"あいうえおかき\U00020BB7けこ", u"太郎", 1, u"あいうえおかき\U00020BB7"},
  };
  for (const Case& c : cases) {
    Save::CommonData& common = Save::GetCommonData();
    platform::CopyWide(common.familyName, Save::kNameUnits, u"元");
    Play([&c](DialogModel& d) {
      d.Edited(Game::kIdFamilyName, c.family);
      d.Edited(Game::kIdGivenName, c.given);
      d.Clicked(platform::IDOK);
      EXPECT_EQ(d.Finished(), c.result == 1);  // an empty name leaves it open
    });
    EXPECT_EQ(Game::ShowNameDialog(nullptr), c.result);
    EXPECT_EQ(std::u16string(common.familyName), c.kept_family);
  }
  // Typing stops at 8 characters; a longer name the game gave is cut to the field.
  Game::NameDialog typed(u"", u"");
  typed.Edited(Game::kIdFamilyName, longName);
  EXPECT_EQ(typed.Text(Game::kIdFamilyName).size(), 8u);
}

// The settings dialogs' OK and the menu's settings items write the settings
// file at once, in the running program: one killed afterwards keeps them.
TEST_F(Dialogs, OkAndTheMenusSettingsItemsWriteTheSettingsFileAtOnce) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(::testing::TempDir()) / ("dialogs_settings_" + std::to_string(::getpid()));
  fs::create_directories(root / "bin");
  fs::create_directories(root / "data");
  for (const char* name : {"system.saf", "script.saf", "sound.saf"}) std::ofstream(root / "data" / name) << "x";
  // The program's menu actions open the game's dialogs and set the game's speeds.
  struct Systems : App::FakeSystems {
    using FakeSystems::FakeSystems;
    void ShowSoundDialog() override { Game::ShowSoundDialog(nullptr); }
    void ShowSystemSettings() override { Game::ShowSystemSettings(nullptr); }
    void SetMessageSpeed(uint32_t i) override { Game::SetMessageSpeed(static_cast<int>(i)); }
    void SetAutoSpeed(uint32_t i) override { Game::SetAutoSpeed(static_cast<int>(i)); }
    uint32_t GetMessageSpeed() override { return static_cast<uint32_t>(Game::GetMessageSpeed()); }
    uint32_t GetAutoSpeed() override { return static_cast<uint32_t>(Game::GetAutoSpeed()); }
  } sys(root);
  // The system settings switch the main window's screen mode, as in the program.
  Game::SetDisplayHooks({[] { return platform::MainWindow().IsFullScreen(); }, [] { App::WinApp::ToggleFullScreen(); },
                         [] { return std::vector<std::u16string>{u"IPAGothic", u"ＭＳ 明朝"}; }});
  // Every key a step changes takes a value of its own, never its default; over
  // the two visits of each dialog no two of its switches read alike.
  const struct {
    uint32_t command;
    Player player;
    std::vector<std::string> lines;  // in the file right after it
  } steps[] = {
      {App::kCommandSoundSettings,
       [](DialogModel& d) {
         d.SetChecked(Game::kIdVoiceOff, true), d.SetChecked(Game::kIdBgmOff, true);
         for (auto [id, level] : {std::pair{Game::kIdMainVolume, 70}, {Game::kIdBgmVolume, 80},
                                  {Game::kIdVoiceVolume, 60}, {Game::kIdSeVolume, 30}}) {
           d.Scrolled(id, ScrollCode::kThumbPosition, level);
         }
         d.Clicked(platform::IDOK);
       },
       {"EnableVoice=0", "EnableBgm=0", "EnableSe=1", "MainVolume=70", "BgmVolume=80", "VoiceVolume=60", "SeVolume=30"}},
      {App::kCommandSystemSettings,
       [](DialogModel& d) {
         d.SetChecked(Game::kIdFullScreen, true), d.SetChecked(Game::kIdGraphicsFast, true);
         d.SetChecked(Game::kIdStopAtUnread, false), d.Selected(Game::kIdFont, 0);
         for (int i = 0; i < 4; ++i) d.Scrolled(Game::kIdRed + i, ScrollCode::kThumbPosition, 245 - 10 * i);
         d.Clicked(platform::IDOK);
       },
       {"FullScreen=1", "DisplaySpeed=1", "TextSkip1=0", "TextSkip2=1", "BaseColor=10,20,30,40", "FontName=IPAGothic"}},
      {App::kCommandToggleFullScreen, {}, {"FullScreen=0"}},
      {App::kCommandToggleFullScreen, {}, {"FullScreen=1"}},
      {App::kCommandSystemSettings,
       [](DialogModel& d) {
         d.SetChecked(Game::kIdWindowed, true), d.SetChecked(Game::kIdStopAtUnread, true);
         d.SetChecked(Game::kIdStopAtChoice, false), d.Clicked(platform::IDOK);
       },
       {"FullScreen=0", "DisplaySpeed=1", "TextSkip1=1", "TextSkip2=0"}},
      {App::kCommandSoundSettings,
       [](DialogModel& d) { d.SetChecked(Game::kIdBgmOn, true), d.SetChecked(Game::kIdSeOff, true), d.Clicked(platform::IDOK); },
       {"EnableVoice=0", "EnableBgm=1", "EnableSe=0"}},
      {App::kCommandDrawSpeedLast - 1, {}, {"SkipFrame=16"}},
      {App::kCommandMessageSpeedLast, {}, {"MessageWait=0"}},
      {App::kCommandAutoSpeedFirst + 1, {}, {"MessageSkip=4"}},
  };
  platform::HeadlessEventSource menu;
  platform::IEventSource* previous = platform::SetEventSource(&menu);
  platform::DebugSink previousSink = platform::SetDebugSink([](std::u16string_view) {});
  const App::UserSettings kept = App::Settings();
  const int32_t delay = Game::MessageDelayPercent, wait = Game::AutoWait;
  const fs::path cwd = fs::current_path();
  std::vector<std::string> seen;
  sys.hooks["Session"] = [&] {
    for (const auto& step : steps) {
      Play(step.player);
      menu.PostCommand(step.command);
      App::WaitNextFrame();
      std::stringstream text;
      text << std::ifstream(root / "home" / "quelvastor" / "mesrin_trial" / "mesrin.ini").rdbuf();
      seen.push_back(text.str());
    }
  };
  EXPECT_EQ(App::RunProgram(sys, {}), 0);
  fs::current_path(cwd);
  platform::SetEventSource(previous);
  platform::SetDebugSink(previousSink);
  App::Settings() = kept;
  Game::MessageDelayPercent = delay, Game::AutoWait = wait;
  fs::remove_all(root);
  ASSERT_EQ(seen.size(), std::size(steps));
  for (size_t i = 0; i < seen.size(); ++i) {
    for (const std::string& line : steps[i].lines) {
      EXPECT_NE(seen[i].find("\n" + line + "\n"), std::string::npos) << "step " << i << ": " << line << "\n" << seen[i];
    }
  }
}

TEST_F(Dialogs, WholeNumbersOnlyParse) {
  struct Case {
    std::u16string text;
    std::optional<int32_t> value;
  } cases[] = {
      {u"42", 42},          {u" -7 ", -7},  {u"+3", 3},           {u"2147483647", 2147483647},
      {u"-2147483648", INT32_MIN},          {u"2147483648", std::nullopt},       {u"12abc", std::nullopt},
      {u"abc", std::nullopt}, {u"-", std::nullopt}, {u"", std::nullopt}, {u"1 2", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(Game::ParseWholeNumber(c.text), c.value) << platform::Utf16ToUtf8(c.text);
}

TEST_F(Dialogs, DebugWindowReadsAndChangesVariablesAndTellsFailures) {
  Game::ScriptStateGroup_App group;
  group.Compile(".DOF\n\n.LAB Middle\n.TOF\n", u"s.txt");
  TextScript::ScriptVars().Insert(u"Score", 5);
  struct Step {
    const char* what;
    std::u16string name, value;
    int button;
    int answer;               // to a Yes/No box
    std::u16string box;       // the last box's text ("" none)
    std::u16string shown;     // the value edit afterwards
  } steps[] = {
      {"show", u"score", u"", Game::kIdShowVariable, 0, u"", u"5"},
      {"show missing", u"none", u"", Game::kIdShowVariable, 0, u"変数がありません", u""},
      {"show empty", u"", u"", Game::kIdShowVariable, 0, u"変数名を入力してください", u""},
      {"change", u"Score", u"12", Game::kIdChangeVariable, 0, u"変更しました", u"12"},
      {"change no number", u"Score", u"x1", Game::kIdChangeVariable, 0, u"数値が正しくありません", u"x1"},
      {"change empty value", u"Score", u"", Game::kIdChangeVariable, 0, u"数値を入力してください", u""},
      {"add refused", u"Fresh", u"3", Game::kIdChangeVariable, platform::IDNO,
       u"変数がありません。新たに現在の数値で追加しますか？", u"3"},
      {"add", u"Fresh", u"4", Game::kIdChangeVariable, platform::IDYES, u"変更しました", u"4"},
      {"jump missing", u"", u"", Game::kIdJump, 0, u"ラベル名を入力してください", u""},
  };
  Game::DebugDialog dialog(group, nullptr);
  for (const Step& s : steps) {
    dialog.Edited(Game::kIdVariableName, s.name);
    dialog.Edited(Game::kIdVariableValue, s.value);
    boxes_.SetAnswer(s.answer);
    std::size_t before = boxes_.shown().size();
    dialog.Clicked(s.button);
    auto shown = boxes_.shown();
    EXPECT_EQ(shown.size() > before ? shown.back().text : u"", s.box) << s.what;
    EXPECT_EQ(dialog.Text(Game::kIdVariableValue), s.shown) << s.what;
  }
  EXPECT_EQ(TextScript::ScriptVars().GetValue(u"SCORE", -1), 12);
  EXPECT_EQ(TextScript::ScriptVars().GetValue(u"Fresh", -1), 4);
  std::vector<std::u16string> lines = Game::VariableListLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), u"   Fresh : 4"), lines.end());
  EXPECT_FALSE(dialog.Finished());

  dialog.Edited(Game::kIdLabelName, u"nowhere");
  dialog.Clicked(Game::kIdJump);
  EXPECT_EQ(boxes_.shown().back().text, u"指定したラベルがありません");
  EXPECT_FALSE(group.DebugJumpPending());
  dialog.Edited(Game::kIdLabelName, u"middle");  // labels are found in any letter case
  dialog.Clicked(Game::kIdJump);
  EXPECT_TRUE(group.DebugJumpPending());
  EXPECT_EQ(dialog.Result(), 0);
}

TEST_F(Dialogs, DebugWindowShowsTheStage) {
  struct Case {
    uint8_t background;
    std::u16string grp, chr;
    uint8_t se1;
    std::u16string s1;
  } cases[] = {
      {0, u"Black", u"-----", 0, u"-----"},
      {1, u"White", u"-----", 1, u"-----"},
      {2, u"BG01", u"-----", 2, u"RAIN (Loop)"},
      {3, u"-----", u"BG01", 2, u"RAIN (Loop)"},
  };
  Game::ScriptStateGroup_App group;
  for (const Case& c : cases) {
    Game::ClearSceneState();
    Game::SetSceneRecord(Save::kSceneBackground, c.background, c.background >= 2 ? u"BG01" : u"");
    Game::SetSceneRecord(Save::kSceneSe1, c.se1, u"RAIN");
    Game::SetSceneRecord(Save::kSceneBgm, 1, u"M01");
    Game::DebugDialog dialog(group, nullptr);
    EXPECT_EQ(dialog.Text(Game::kIdStageGrp), c.grp);
    EXPECT_EQ(dialog.Text(Game::kIdStageChr), c.chr);
    EXPECT_EQ(dialog.Text(Game::kIdStageS1), c.s1);
    EXPECT_EQ(dialog.Text(Game::kIdStageS2), u"-----");
    EXPECT_EQ(dialog.Text(Game::kIdStageChl), u"-----");
    EXPECT_EQ(dialog.Text(Game::kIdStageWav), u"M01");
  }
}

TEST_F(Dialogs, FlagNumberIsKeptWhenValidAndEnterInTheEditMovesOn) {
  Play([](DialogModel& d) {
    d.Edited(Game::kIdFlagNumber, u"77");
    d.Focused(Game::kIdFlagNumber, true);
    d.Clicked(platform::IDOK);  // Enter in the edit
    EXPECT_FALSE(d.Finished());
    EXPECT_EQ(d.TakeFocusRequest(), platform::IDOK);
    d.Clicked(platform::IDOK);
  });
  EXPECT_EQ(Game::ShowFlagDialog(nullptr), 1);
  EXPECT_EQ(Game::RememberedFlagNumber(), 77);
  Play([](DialogModel& d) { d.Edited(Game::kIdFlagNumber, u"9999"); });  // cancelled, out of range
  EXPECT_EQ(Game::ShowFlagDialog(nullptr), -1);
  EXPECT_EQ(Game::RememberedFlagNumber(), 77);
}

}  // namespace
