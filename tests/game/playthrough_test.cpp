// The demo game played headless from a new game to each of its three endings:
// the player clicks through every page and picks at every choice. Checked on
// the way: what the screen shows, the music, the read flags, the variables that
// decide the ending, the scene names and album keys written at the end.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "app/frame.h"
#include "app/input.h"
#include "app/settings.h"
#include "archive/archive.h"
#include "game/config.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/picture.h"
#include "game/script_app.h"
#include "game/session.h"
#include "game/title.h"
#include "demo_fixture.h"
#include "message/messview.h"
#include "platform/audio.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/stream.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace {

using game_test::PlayerSource;

struct Point {
  int x;
  int y;
};

// Where the player points at each choice, in the order the choices come.
struct Route {
  const char* name;
  std::vector<Point> choices;
  bool endingScreen;                      // END and END2 show the ending pictures, END1 does not
  std::map<std::u16string, int> decided;  // variables just after the last choice
  std::vector<std::u16string> scenes;     // scene names unlocked
  std::u16string day;                     // the page of the day the selection screen chose
};

// The screen rectangle of the message text.
constexpr DxDraw::RECT kTextArea{8, 444, 776, 584};

class DemoPlaythrough : public game_test::DemoHarness {
 protected:
  DemoPlaythrough() {
    Save::GetCommonData() = Save::CommonData{};
    std::u16string given = u"航";
    std::copy(given.begin(), given.end(), Save::GetCommonData().givenName);

    Game::SessionHooks hooks;
    hooks.showTitle = [] { return 1; };
    hooks.showEnding = [this] { ++endings_; };
    hooks.writeGlobalData = [this](Game::ScriptStateGroup_App& group) {
      scenes_ = group.SceneNameList();
      album_ = Game::AlbumList();
    };
    hooks.reportError = [](const ExceptionHandle& e) {
      ADD_FAILURE() << "reported: " << platform::Utf16ToUtf8(e.Source) << "(" << e.Line
                    << "): " << platform::Utf16ToUtf8(e.Message);
    };
    Game::SetSessionHooks(hooks);
  }

  // Bright pixels (text is drawn white) shown in the message text area.
  int BrightTextPixels() const {
    int count = 0;
    for (int y = kTextArea.top; y < kTextArea.bottom; y += 2) {
      for (int x = kTextArea.left; x < kTextArea.right; x += 2) {
        uint32_t c = Shown(x, y);
        if ((c & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && ((c >> 16) & 0xFF) > 200) ++count;
      }
    }
    return count;
  }

  int endings_ = 0;
  Game::NameList scenes_;
  Game::NameList album_;
};

// One route a test, so each runs on its own and the slowest takes a third as long.
class DemoRoute : public DemoPlaythrough, public testing::WithParamInterface<int> {};

TEST_P(DemoRoute, FromTheLogoThroughTheTitleToItsEnding) {
  Game::Hooks().showTitle = Game::ShowTitle;
  const SystemConfig& config = GetSystemConfig();
  const Point newGame{config.titleMenuX + 124, config.titleMenuY + 48 * 1 + 20};
  const Point harbour{400, 160}, lighthouse{400, 202};             // first choice, two lines
  const Point itemA{120, 300}, itemB{300, 300}, itemCD{500, 300};  // the selection screen
  const Point withAkari{400, 160}, withNagi{400, 202}, alone{400, 244};  // the festival night
  const Route routes[] = {
      {"lighthouse lit", {lighthouse, itemA, withAkari}, true, {{u"YORU", 1}, {u"AKARI", 3}, {u"NAGI", 0}},
       {u"SC_DEAI", u"SC_MATSURI", u"SC_TOUDAI"}, u"灯と二人で、灯台の窓を一枚ずつ磨いた。"},
      // The harbour day joins C and D into one item.
      {"fireworks", {harbour, itemCD, withNagi}, true, {{u"YORU", 2}, {u"NAGI", 2}, {u"C010", 1}},
       {u"SC_DEAI", u"SC_MATSURI"}, u"海辺を散歩して、夜は祖母と西瓜を食べた。"},
      {"alone", {harbour, itemB, alone}, false, {{u"YORU", 0}, {u"AKARI", 0}, {u"NAGI", 0}},
       {u"SC_DEAI", u"SC_MATSURI"}, u"凪の屋台で、一日じゅう焼きそばを焼いた。"},
  };
  const Route& route = routes[GetParam()];
  SCOPED_TRACE(route.name);
  TextScript::ScriptVars().Clear();
  Save::GetCommonData() = Save::CommonData{};  // the title asks nothing of a first game
  endings_ = 0;
  std::size_t next = 0;
  bool choosing = false;
  int tick = 0;
  std::map<std::u16string, int> atEnding;
  bool dayShown = false;
  int shownFrames = 0;
  int firstPageText = -1;
  uint32_t firstPicture = 0;
  std::u16string firstMusic;
  int firstMusicState = 0;
  source_.play = [&](PlayerSource& s) {
    ++tick;
    s.SetMouseButton(0, tick % 2 == 0);
    auto* group = Game::CurrentGroup;
    const TextScript::ScriptStateNode* node = group != nullptr ? group->CurrentNode() : nullptr;
    int op = node != nullptr ? node->m_Opcode : -1;
    if (node == nullptr) {
      s.SetCursor(newGame.x, newGame.y);  // the logo and the title's new-game item
    } else if (op == TextScript::kOpSEL || op == TextScript::kOpSSL) {
      choosing = true;
      if (next < route.choices.size()) s.SetCursor(route.choices[next].x, route.choices[next].y);
    } else {
      if (choosing && ++next == route.choices.size()) {
        // Just past the last choice: the variables that decide the ending.
        for (const auto& [name, value] : route.decided) atEnding[name] = TextScript::ScriptVars().GetValue(name, 0);
      }
      choosing = false;
      s.SetCursor(400, 300);
    }
    if (Game::MessageShown != 0 && Game::Backlog().Back().text == route.day) dayShown = true;
    // The first page, once its text has been presented: picture, text and music.
    if (Game::MessageShown != 0) ++shownFrames;
    if (shownFrames == 2) {
      firstPageText = BrightTextPixels();
      firstPicture = Shown(400, 100);
      firstMusic = Game::ChannelName(Game::kChannelBgm);
      firstMusicState = GetSoundState(GetChannelPlayId(Game::kChannelBgm));
    }
  };
  if (&route == &routes[0]) Game::ShowBrandLogo();
  EXPECT_EQ(Game::RunGameSession(u"_start.txt", 0), 1) << "an ending goes back to the title";
  EXPECT_EQ(next, route.choices.size()) << "every choice was met";
  EXPECT_EQ(endings_, route.endingScreen ? 1 : 0);
  EXPECT_EQ(atEnding, route.decided);
  EXPECT_TRUE(dayShown);
  EXPECT_EQ(scenes_, route.scenes);
  EXPECT_GT(firstPageText, 50) << "the first message is on screen";
  EXPECT_NE(firstPicture, 0u) << "the harbour picture is on screen";
  EXPECT_EQ(firstMusic, u"UMI");
  EXPECT_EQ(firstMusicState, 1);
  EXPECT_EQ(Game::TestReadFlag(0), 1);
  EXPECT_TRUE(Save::GetFlag(Save::GetCommonData(), Game::kPrologueFlag));
  for (const char16_t* key : {u"UMI", u"HEY", u"MAC", u"TOU", u"EV3"}) {
    EXPECT_TRUE(Game::ContainsName(album_, key)) << platform::Utf16ToUtf8(key);
  }
}
INSTANTIATE_TEST_SUITE_P(EachEnding, DemoRoute, testing::Range(0, 3));

// A load shows what the player saw: the background and every character layer
// shown since it, not only the last one. Saved on a page that adds no layer of
// its own, so the page's replay draws nothing twice.
TEST_F(DemoPlaythrough, LoadedSceneShowsEveryCharacterLayer) {
  const std::u16string target = u"ごめん。祖母の家に来てて";
  Save::SceneState saved{};
  int page = -1;
  std::vector<uint32_t> seen;
  auto stagePixels = [this] {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 400; y += 7) {
      for (int x = 0; x < 800; x += 7) pixels.push_back(Shown(x, y));
    }
    return pixels;
  };
  int tick = 0;
  int shownFrames = 0;
  source_.play = [&](PlayerSource& s) {
    ++tick;
    s.SetMouseButton(0, tick % 2 == 0);
    s.SetCursor(400, 300);
    bool atTarget = Game::MessageShown != 0 && Game::Backlog().Back().text.find(target) != std::u16string::npos;
    shownFrames = atTarget ? shownFrames + 1 : 0;
    if (shownFrames == 2) {
      saved = Save::GetSceneState();
      page = static_cast<int>(TextScript::CurrentPage);
      seen = stagePixels();
      throw ScriptException{ScriptException::kBackToTitle};
    }
  };
  ASSERT_EQ(Game::RunGameSession(u"_start.txt", 0), 1);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(std::string(saved.records[Save::kSceneCharacter].name), "A000101,A000102");

  Game::Hooks().loadGameFromSlot = [&](int) {
    Save::GetSceneState() = saved;
    return page;
  };
  std::vector<uint32_t> loaded;
  shownFrames = 0;
  source_.play = [&](PlayerSource&) {
    shownFrames = Game::MessageShown != 0 ? shownFrames + 1 : 0;
    if (shownFrames == 2) {
      loaded = stagePixels();
      throw ScriptException{ScriptException::kBackToTitle};
    }
  };
  EXPECT_EQ(Game::RunGameSession(u"_start.txt", 2), 1);
  EXPECT_TRUE(loaded == seen) << "the loaded stage differs from the one saved";
}

// A step back in the prologue brings the same page back with its picture and
// music; then a held Ctrl skips every page (unread ones too, as the settings
// allow) up to the first choice, where skipping stops and its button goes out.
TEST_F(DemoPlaythrough, StepBackReplaysThePageAndCtrlSkipsToTheFirstChoice) {
  const std::u16string target = u"タラップを降りると";
  int phase = 0;
  int tick = 0;
  int shownFrames = 0;
  std::vector<uint32_t> before, after;
  std::u16string musicAfter;
  int musicStateAfter = 0;
  int skipAtChoice = -1;
  int pageAtChoice = -1;
  int framesAtChoice = 0;
  bool skipped = false;
  // The skip button's right end, clear of the text view that overlaps the rest.
  const int buttonX = 790, buttonY = 476;
  uint32_t buttonIdle = 0, buttonLit = 0, buttonAtChoice = 0;
  auto stagePixels = [this] {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 400; y += 7) {
      for (int x = 0; x < 800; x += 7) pixels.push_back(Shown(x, y));
    }
    return pixels;
  };
  source_.play = [&](PlayerSource& s) {
    ++tick;
    s.SetCursor(400, 300);
    bool atTarget = Game::MessageShown != 0 && Game::Backlog().Back().text.find(target) != std::u16string::npos;
    shownFrames = atTarget ? shownFrames + 1 : 0;
    const TextScript::ScriptStateNode* node = Game::CurrentGroup->CurrentNode();
    if (phase < 2) s.SetMouseButton(0, tick % 2 == 0 && !atTarget);
    if (phase == 2 && Game::SkipMode == 2) {
      skipped = true;
      if (Game::MessageShown != 0) buttonLit = Shown(buttonX, buttonY);
    }
    if (phase == 0 && shownFrames == 2) {
      before = stagePixels();
      frame_.SetRequest(App::kRequestStepBack);
      App::Settings().game.text_skip1 = 0;  // the skip button shows on the page's next wait
      phase = 1;
    } else if (phase == 1 && shownFrames == 2) {
      after = stagePixels();
      buttonIdle = Shown(buttonX, buttonY);
      musicAfter = Game::ChannelName(Game::kChannelBgm);
      musicStateAfter = GetSoundState(GetChannelPlayId(Game::kChannelBgm));
      s.SetKey(App::DIK_LCONTROL, true);
      phase = 2;
    } else if (phase == 2 && node != nullptr && node->m_Opcode == TextScript::kOpSEL && ++framesAtChoice == 3) {
      skipAtChoice = Game::SkipMode;
      pageAtChoice = static_cast<int>(TextScript::CurrentPage);
      buttonAtChoice = Shown(buttonX, buttonY);
      s.SetKey(App::DIK_LCONTROL, false);
      throw ScriptException{ScriptException::kBackToTitle};
    }
  };
  const uint8_t stopAtUnread = App::Settings().game.text_skip1;
  EXPECT_EQ(Game::RunGameSession(u"_start.txt", 0), 1);
  App::Settings().game.text_skip1 = stopAtUnread;
  ASSERT_EQ(phase, 2);
  EXPECT_TRUE(before == after) << "the page came back with another picture";
  EXPECT_EQ(musicAfter, u"UMI");
  EXPECT_EQ(musicStateAfter, 1);
  EXPECT_TRUE(skipped);
  EXPECT_EQ(skipAtChoice, 0) << "skipping stops at a choice";
  EXPECT_NE(buttonLit, buttonIdle) << "the skip button is lit while skipping";
  EXPECT_EQ(buttonAtChoice, buttonIdle) << "and goes out at the choice";
  ASSERT_GT(pageAtChoice, 5);
  for (int page = 0; page < pageAtChoice; ++page) EXPECT_EQ(Game::TestReadFlag(page), 1) << page;
}

// The sound commands on the demo's sounds: the same music starts again after it
// was stopped, S1A records a single effect and S2B a looping one, S1M and WAV 00
// stop their channels and records, the looping effect plays on past its end,
// and the click at the end of a page stops the voice still speaking. A load
// brings back only the looping effects, each on its own channel.
TEST_F(DemoPlaythrough, SoundCommandsRecordTheirEffectsAndALoadReplaysTheLoopingOnes) {
  game_test::ScriptFolder folder;
  folder.WriteScript("_start.txt", u".WAV umi\n.WAV 00\n.WAV umi\n.S1A knock\n.S2B nami\nあ\n.VOI A0001\n\n\nい\n\n\n"
                                   u".S1B semi\nえ\n\n\nお\n\n\n.S1M\n.WAV 00\nう\n\n\n");
  folder.Install();
  std::map<std::u16string, std::pair<Save::SceneState, int>> saved;  // the scene and the page, by page
  Save::SceneState stopped{};
  int voiceStarts = 0;  // streams started by the page's message and its VOI
  bool loading = false;
  std::map<std::u16string, std::vector<int>> states;  // by page: music, both effect channels, voice
  std::map<std::u16string, std::vector<uint32_t>> lengths;  // by page: the bytes of each effect's stream
  int tick = 0;
  source_.play = [&](PlayerSource& s) {
    s.SetMouseButton(0, ++tick % 2 == 0);
    if (Game::MessageShown == 0) return;
    const std::u16string text = Game::Backlog().Back().text;
    if (states.count(text) != 0) return;
    for (int tenth = 0; text == u"う" && tenth < 50; ++tenth) device_->Render(4410), RunSoundServicePass();
    for (int channel : {Game::kChannelBgm, Game::kChannelSe1, Game::kChannelSe2, Game::kChannelVoice}) {
      states[text].push_back(GetSoundState(GetChannelPlayId(channel)));
    }
    for (int channel : {Game::kChannelSe1, Game::kChannelSe2}) lengths[text].push_back(StreamChannel(channel).total);
    if (text == u"あ") voiceStarts = GetChannelPlayId(Game::kChannelVoice) - GetChannelPlayId(Game::kChannelSe2);
    if (text == u"い" || text == u"お") saved[text] = {Save::GetSceneState(), static_cast<int>(TextScript::CurrentPage)};
    stopped = Save::GetSceneState();
    if (loading || text == u"う") throw ScriptException{ScriptException::kBackToTitle};
  };
  ASSERT_EQ(Game::RunGameSession(u"_start.txt", 0), 1);
  EXPECT_EQ(states[u"い"], (std::vector<int>{1, 1, 1, 0}));
  EXPECT_EQ(states[u"お"], (std::vector<int>{1, 1, 1, 0}));
  EXPECT_EQ(states[u"う"], (std::vector<int>{0, 0, 1, 0}));
  EXPECT_EQ(voiceStarts, 1) << "the message plays the voice beside it, the VOI does not play it again";
  const Save::SceneState& single = saved[u"い"].first;
  EXPECT_EQ(single.records[Save::kSceneBgm].state, 1);
  EXPECT_EQ(single.records[Save::kSceneSe1].state, 1);
  EXPECT_EQ(std::string(single.records[Save::kSceneSe1].name), "KNOCK");
  EXPECT_EQ(single.records[Save::kSceneSe2].state, 2);
  EXPECT_EQ(std::string(single.records[Save::kSceneSe2].name), "NAMI");
  EXPECT_EQ(stopped.records[Save::kSceneBgm].state, 0);
  EXPECT_EQ(stopped.records[Save::kSceneSe1].state, 0);
  const std::vector<uint32_t> loops = lengths[u"お"];  // two different effects
  EXPECT_NE(loops[0], loops[1]);

  loading = true;
  for (const std::u16string at : {u"い", u"お"}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(at));
    Game::Hooks().loadGameFromSlot = [&](int) {
      Save::GetSceneState() = saved[at].first;
      return saved[at].second;
    };
    states.clear();
    lengths.clear();
    EXPECT_EQ(Game::RunGameSession(u"_start.txt", 2), 1);
    EXPECT_EQ(states[at], (std::vector<int>{1, at == u"お", 1, 0}));
    if (at == u"お") {
      EXPECT_EQ(lengths[at], loops) << "each loop again on its own channel";
    }
  }
}

// At 50 percent a voice plays at level 127, music and effects at a tenth of
// theirs (12), whether started at that setting or set while they play: each
// sound is rendered so and again at full volume.
TEST_F(DemoPlaythrough, VoicesPlayAtTheirPercentMusicAndEffectsAtATenth) {
  App::GameSettings& settings = App::Settings().game;
  const App::GameSettings saved = settings;
  settings.enable_bgm = settings.enable_voice = settings.enable_se = 1;
  using Play = void (*)();
  const Play voice = [] { Game::PlayBgmOrVoice(Game::kChannelVoice, u"B0001", 1); };
  const Play music = [] { Game::PlayBgmOrVoice(Game::kChannelBgm, u"umi", 1); };
  const Play effect = [] { Game::PlaySe(Game::kChannelSe1, u"knock", 0); };
  const Play effect2 = [] { Game::PlaySe(Game::kChannelSe2, u"knock", 0); };
  const struct {
    const char* what;
    int channel;
    Play play;
    void (*apply)(int);  // sets the volume while it plays (null: started at 50)
    int level;
  } cases[] = {
      {"voice", Game::kChannelVoice, voice, nullptr, 127},
      {"voice set", Game::kChannelVoice, voice, Game::ApplyVoiceVolume, 127},
      {"music", Game::kChannelBgm, music, nullptr, 12},
      {"music set", Game::kChannelBgm, music, Game::ApplyBgmVolume, 12},
      {"effect", Game::kChannelSe1, effect, nullptr, 12},
      {"effect set", Game::kChannelSe1, effect, Game::ApplySeVolume, 12},
      {"second effect set", Game::kChannelSe2, effect2, Game::ApplySeVolume, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    double loudness[2] = {};  // at 50 percent, at full volume
    for (int full : {0, 1}) {
      Game::StopGameChannels();
      settings.bgm_volume = settings.voice_volume = settings.se_volume = c.apply != nullptr ? 100 : 50;
      c.play();
      settings.bgm_volume = settings.voice_volume = settings.se_volume = 50;
      if (c.apply != nullptr) c.apply(1);
      if (full == 1) SetSoundVolume(GetChannelPlayId(c.channel), 0);
      for (int16_t sample : device_->Render(8820)) loudness[full] += std::abs(sample);
    }
    ASSERT_GT(loudness[1], 0.0);
    const double gain = std::pow(10.0, VolumeToAttenuation(c.level) / 2000.0);
    EXPECT_NEAR(loudness[0] / loudness[1], gain, gain * 0.001);
  }
  settings = saved;
}

// The music and a looping effect start again behind their ends and play on; a voice line while
// skipping, or with Ctrl held, only stops the voice that plays.
TEST_F(DemoPlaythrough, MusicLoopsAndAVoiceLineWhileSkippingOnlyStopsTheVoice) {
  App::GameSettings& settings = App::Settings().game;
  const App::GameSettings saved = settings;
  settings.enable_bgm = settings.enable_voice = 1;
  settings.bgm_volume = settings.voice_volume = 100;
  Game::PlayBgmOrVoice(Game::kChannelBgm, u"umi", 1);
  Game::PlaySe(Game::kChannelSe1, u"knock", 0);
  Game::PlaySe(Game::kChannelSe2, u"nami", 1);
  double lastTenth = 0;
  for (int tenth = 0; tenth < 150; ++tenth) {  // 15 s of a piece of 10
    lastTenth = 0;
    for (int16_t sample : device_->Render(4410)) lastTenth += std::abs(sample);
    RunSoundServicePass();
  }
  EXPECT_EQ(GetSoundState(GetChannelPlayId(Game::kChannelBgm)), 1);
  EXPECT_EQ(GetSoundState(GetChannelPlayId(Game::kChannelSe1)), 0) << "a single effect ends";
  EXPECT_EQ(GetSoundState(GetChannelPlayId(Game::kChannelSe2)), 1) << "a looping effect plays on";
  EXPECT_GT(lastTenth, 0.0);
  const int32_t music = GetChannelPlayId(Game::kChannelBgm);
  Game::PlayBgmOrVoice(Game::kChannelBgm, u"UMI", 0);
  EXPECT_EQ(GetChannelPlayId(Game::kChannelBgm), music) << "the music that plays goes on";
  const struct {
    const char* what;
    int skipMode;
    uint32_t held;
    bool voiced;
  } cases[] = {{"reading", 0, 0, true}, {"skipping", 1, 0, false}, {"ctrl held", 0, App::kButtonSkip1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Game::PlayBgmOrVoice(Game::kChannelVoice, u"A0001", 1);
    ASSERT_NE(GetChannelPlayId(Game::kChannelVoice), -1);
    Game::SkipMode = c.skipMode;
    App::Input().held = c.held;
    Game::PlayVoiceLine(u"B0001");
    EXPECT_EQ(GetChannelPlayId(Game::kChannelVoice) != -1, c.voiced);
    Game::SkipMode = 0;
    App::Input().held = 0;
  }
  settings = saved;
}

}  // namespace
