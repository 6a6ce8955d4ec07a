// The backlog, the extras menu, the CG album and the scene replay on the demo
// game's data, played by a scripted player: what shows, what plays, what is
// refused, and that no screen leaves a sprite behind, also when a menu
// request ends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/winapp.h"
#include "archive/archive.h"
#include "dxdraw/dxview.h"
#include "game/backlog.h"
#include "game/config.h"
#include "game/extras.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/holders.h"
#include "game/picture.h"
#include "game/replay.h"
#include "game/screen_parts.h"
#include "game/script_app.h"
#include "game/session.h"
#include "demo_fixture.h"
#include "message/messview.h"
#include "platform/audio.h"
#include "platform/main_window.h"
#include "sound/sound.h"
#include "textscript/script_host.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace {

using game_test::PlayerSource;

enum Action { kNone, kLeft, kRight, kWheelUp, kWheelDown, kEscape };

// One move of the player: point at (x, y), press and release a button (or
// turn the wheel), then wait the rest of `frames`.
struct Step {
  int x, y;
  Action action;
  int frames = 8;
};

class ExtrasTest : public game_test::DemoHarness {
 protected:
  ExtrasTest() {
    App::Settings().game.enable_voice = 1;
    Game::Backlog().Clear();
    Game::AlbumList().clear();
    Game::SessionHooks hooks;
    hooks.reportError = [this](const ExceptionHandle& e) { reported_.push_back(e); };
    Game::SetSessionHooks(hooks);
    sheet_.reset(ScriptLoadImage(ScriptArchive, u"title/title", 0, 0));
  }
  ~ExtrasTest() override {
    sheet_.reset();
    Game::Backlog().Clear();
    Game::AlbumList().clear();
  }

  // Plays the steps; `watch` sees every frame with the index of its step. When
  // the steps run out the player keeps right-clicking, which leaves any screen.
  void Play(std::vector<Step> steps, std::function<void(std::size_t step)> watch = {}) {
    std::size_t index = 0;
    int frame = 0;
    source_.play = [this, steps = std::move(steps), watch = std::move(watch), index, frame](PlayerSource& s) mutable {
      s.SetMouseMotion(0, 0, 0);
      s.SetMouseButton(0, false);
      s.SetMouseButton(1, false);
      s.SetKey(App::DIK_ESCAPE, false);
      if (index >= steps.size()) {
        s.SetMouseButton(1, ++frame % 2 == 0);
        return;
      }
      const Step& step = steps[index];
      s.SetCursor(step.x, step.y);
      if (frame == 1) {
        if (step.action == kLeft) s.SetMouseButton(0, true);
        if (step.action == kRight) s.SetMouseButton(1, true);
        if (step.action == kWheelUp) s.SetMouseMotion(0, 0, 120);
        if (step.action == kWheelDown) s.SetMouseMotion(0, 0, -120);
        if (step.action == kEscape) s.SetKey(App::DIK_ESCAPE, true);
      }
      if (watch) watch(index);
      if (++frame >= step.frames) {
        ++index;
        frame = 0;
      }
    };
  }

  int ScreenChildren() const {
    int count = 0;
    screen_->ForEachChild([&count](DxDraw::ssView*) { ++count; });
    return count;
  }

  static bool Bright(uint32_t c) { return (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF) > 90; }

  std::vector<ExceptionHandle> reported_;
  Game::SurfaceHolder sheet_;
};

// The title menu stands at (520, 250) in the demo's config.xml.
constexpr int kMenuX = 530, kAlbumY = 260, kReplayY = 308;

TEST_F(ExtrasTest, BacklogScrollsWithinItsLinesReplaysTheVoiceOfAClickedFaceAndLeavesOnEscape) {
  // 14 messages of one full line of 46 narrow characters, each followed by two
  // empty lines (one before its end, one closing), then one short message: 44
  // lines, the newest 25 show from line 19. Faces stand on lines 0, 6, ..., 36
  // and 42: on screen lines -1 (half above the top), 5, 11, 17 and 23.
  for (int i = 0; i < 14; ++i) Game::Backlog().Append(std::u16string(46, u'i'), i % 2 == 0 ? u"A0001" : u"");
  Game::Backlog().Append(u"最後の台詞", u"B0002");
  const int before = ScreenChildren();
  std::u16string played, playedBelow = u"none";
  int state = 0, stateAbove = 1;
  uint32_t aboveTop = 0, faceBelow = 0;
  bool faceBefore = false, faceMoved = false;
  // The face column is bright from the face's first line for 48 rows, dark just above.
  auto faceStartsOn = [this](int line) {
    const int top = line * 24;
    return !Bright(Shown(40, top - 3)) && Bright(Shown(40, top + 3)) && Bright(Shown(40, std::min(top + 44, 599)));
  };
  bool fontTaken = false;
  int fontFrames = 0;
  std::size_t lastStep = 0;
  Game::SettingsChanged = 0;
  Play({{400, 300, kWheelDown, 2},  // already at the end: nothing moves
        {48, 10, kLeft, 4},         // where the face of the line above the top would hang
        {48, 23 * 24 + 8, kLeft, 4},
        {400, 300, kWheelUp, 4},
        {48, 24 * 24 + 8, kLeft, 4},  // the last face, now half below the screen
        {400, 300, kNone, 3},
        {400, 300, kEscape, 4},
        {400, 300, kNone, 2}},  // never reached
       [&](std::size_t step) {
         lastStep = step;
         // The font changes in the settings while the screen shows.
         if (step == 5 && fontFrames++ == 0) Game::SettingsChanged |= Game::kFontChanged;
         if (step == 5 && fontFrames > 1) fontTaken = fontTaken || (Game::SettingsChanged & Game::kFontChanged) == 0;
         if (step == 1) {
           aboveTop = Shown(40, 10);
           stateAbove = GetSoundState(GetChannelPlayId(Game::kChannelVoice));
         }
         if (step == 2) {
           faceBefore = faceStartsOn(23);
           played = Game::ChannelName(Game::kChannelVoice);
           state = GetSoundState(GetChannelPlayId(Game::kChannelVoice));
         }
         if (step == 3) Game::SetChannelName(Game::kChannelVoice, u"");
         if (step == 4) {
           faceMoved = faceStartsOn(18);
           faceBelow = Shown(40, 24 * 24 + 10);
           playedBelow = Game::ChannelName(Game::kChannelVoice);
         }
       });
  Game::ShowBacklogScreen();
  EXPECT_FALSE(Bright(aboveTop)) << "no face of the line above the top";
  EXPECT_EQ(stateAbove, 0) << "and no voice from a click there";
  EXPECT_EQ(played, u"B0002");
  EXPECT_EQ(state, 1) << "the voice plays on the voice channel";
  EXPECT_TRUE(faceBefore) << "the last face on line 23: the wheel at the end moved nothing";
  EXPECT_TRUE(faceMoved) << "one line up, the faces moved down a line, after three lines a full message";
  EXPECT_FALSE(Bright(faceBelow)) << "a face half below the screen is not drawn";
  EXPECT_EQ(playedBelow, u"") << "nor does it answer a click";
  EXPECT_EQ(GetSoundState(GetChannelPlayId(Game::kChannelVoice)), 0) << "leaving stops the voice";
  EXPECT_EQ(lastStep, 6u) << "Escape leaves";
  EXPECT_TRUE(fontTaken) << "the screen took the new font";
  EXPECT_NE(Game::SettingsChanged & Game::kFontChanged, 0) << "and leaves it for the message window";
  Game::SettingsChanged = 0;
  EXPECT_EQ(ScreenChildren(), before);
}

TEST_F(ExtrasTest, TheWindowsBacklogButtonOpensTheBacklogAtThePageWait) {
  Game::SessionHooks hooks = Game::Hooks();
  hooks.showTitle = [] { return 1; };
  hooks.showBacklog = Game::DefaultSessionHooks().showBacklog;
  Game::SetSessionHooks(hooks);
  int phase = 0, frames = 0, atWait = 0, inBacklog = 0, after = 0;
  uint32_t behind = 0, dimmed = 0;  // the stage's picture, and under the backlog's backdrop
  source_.play = [&](PlayerSource& s) {
    s.SetMouseButton(0, false);
    s.SetMouseButton(1, false);
    ++frames;
    if (phase == 0 && Game::MessageShown != 0 && !Game::Backlog().Empty()) {
      atWait = ScreenChildren(), behind = Shown(300, 300);
      s.SetCursor(760, 450);  // the window's backlog button
      s.SetMouseButton(0, true);
      phase = 1;
      frames = 0;
    } else if (phase == 1) {
      inBacklog = std::max(inBacklog, ScreenChildren());
      if (frames == 10) {
        dimmed = Shown(300, 300);
        s.SetMouseButton(1, true);  // a right click leaves it
        phase = 2;
        frames = 0;
      }
    } else if (phase == 2 && frames == 5) {
      after = ScreenChildren();
      frame_.SetRequest(App::kRequestTitle);
      phase = 3;
    }
  };
  EXPECT_EQ(Game::RunGameSession(u"_start.txt", 0), 1);
  EXPECT_GE(inBacklog, atWait + 3) << "backdrop, text and scroll track over the stage";
  EXPECT_EQ(after, atWait) << "the page wait goes on with the backlog gone";
  EXPECT_NEAR(dimmed >> 16, (behind >> 16) * (255 - 192) / 255.0, 2) << std::hex << behind;
}

TEST_F(ExtrasTest, AlbumShowsSeenPicturesFullScreenAndRefusesLockedOnes) {
  Game::AddName(Game::AlbumList(), u"UMI");
  const DxDraw::SPRITEFRAME titleFrame = Game::SheetFrame({0, 0, 800, 600});
  Game::ViewHolder<DxDraw::DxSprite> title = Game::AppendSprite(sheet_.get(), &titleFrame, 0, 0, 0);
  const int before = ScreenChildren();
  int most = 0, albumChildren = 0, lockedChildren = 0;
  uint32_t page = 0, full = 0, locked = 0, lockedHovered = 1;  // a pixel of the locked item TOU
  uint32_t seen = 0, seenLit = 0, seenLeft = 0;                // and of the item UMI
  std::vector<uint32_t> menu, menuAgain;  // the replay item and the title behind, before the album and after
  bool prevShows = true, nextShows = false;
  Play({{400, 300, kNone, 2},              // the extras menu
        {kMenuX, kAlbumY, kLeft},          // the album from it
        {10, 10, kNone, 3},                // the album's first page
        {200, 160, kLeft, 6},              // item UMI: its first picture full screen
        {200, 160, kRight, 6},             // a right click leaves its list
        {480, 160, kLeft, 6},              // item TOU is locked
        {400, 300, kRight},                // out of the album
        {400, 300, kRight}},               // out of the menu
       [&](std::size_t index) {
         const std::size_t step = index - 1;  // counted from the album's step
         most = std::max(most, ScreenChildren());
         if (index == 0 || step == 6) (index == 0 ? menu : menuAgain) = {Shown(kMenuX, kReplayY), Shown(10, 10)};
         if (step == 1) {
           page = Shown(10, 10);
           locked = Shown(540, 230), seen = Shown(200, 160);
           albumChildren = ScreenChildren();
           // A button differs from the page behind it on the same row.
           prevShows = Shown(60, 548) != Shown(20, 548);
           nextShows = Shown(200, 548) != Shown(20, 548);
         }
         if (step == 2) full = Shown(10, 10);
         if (step == 3) seenLit = Shown(200, 160);  // back on the page, under the cursor
         if (step == 4) {
           lockedChildren = std::max(lockedChildren, ScreenChildren());
           lockedHovered = Shown(540, 230), seenLeft = Shown(200, 160);
         }
       });
  Game::ShowExtrasMenu(sheet_.get(), title.get());
  EXPECT_FALSE(prevShows) << "no previous page before the first";
  EXPECT_TRUE(nextShows);
  EXPECT_NE(full, page) << "the picture covers the page";
  EXPECT_EQ(most, albumChildren + 1) << "one full-screen picture at a time";
  EXPECT_EQ(lockedChildren, albumChildren) << "a locked item opens nothing";
  EXPECT_EQ(lockedHovered, locked) << "and does not light under the cursor";
  EXPECT_NE(seenLit, seen) << "as a seen one does";
  EXPECT_EQ(seenLeft, seen) << "until the cursor leaves it";
  EXPECT_EQ(menuAgain, menu) << "the menu and the title behind it stand again after the album";
  EXPECT_EQ(Game::ChannelName(Game::kChannelBgm), GetSystemConfig().titleMusic);
  EXPECT_EQ(ScreenChildren(), before);
  EXPECT_TRUE(reported_.empty());
}

TEST_F(ExtrasTest, ReplayRunsAnUnlockedSceneAndTheMenuCommandsEndIt) {
  std::vector<std::u16string> menuTexts;
  platform::HeadlessMainWindow window;
  window.SetMenu(App::MainMenu());
  Game::SetMenuTextSwitch([&](uint32_t id, std::u16string_view text) {
    menuTexts.emplace_back(text);
    return window.SetMenuItemText(id, text);
  });
  bool saveInReplay = false;  // the menu's save was enabled while the scene replayed
  Game::SetMenuSwitch([&](uint32_t id, bool on) {
    saveInReplay |= id == Game::kMenuSave && on && TextScript::ReplayMode != 0;
  });
  struct Case {
    const char* name;
    uint32_t request;                // chosen from the menu while the scene runs
    std::optional<int32_t> thrown;   // what leaves the replay screen
  };
  const Case cases[] = {
      {"back to the replay menu", App::kRequestTitle, std::nullopt},
      {"a load leaves for the title's caller", App::kRequestLoad, ScriptException::kLoad},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    menuTexts.clear();
    bool replayed = false;
    int before = 0;
    std::optional<int32_t> thrown;
    std::u16string musicBack;
    int quickSaves = 0;
    Game::SessionHooks hooks = Game::Hooks();
    hooks.openSaveData = [](Game::ScriptStateGroup_App& group) { Game::AddName(group.SceneNameList(), u"SC_DEAI"); };
    hooks.quickSave = [&quickSaves] { return ++quickSaves > 0; };
    hooks.showTitle = [&] {
      before = ScreenChildren();
      Game::SetSceneRecord(Save::kSceneSe2, 2, u"LOOP");  // what an earlier replay left
      try {
        Game::ShowScenePlay();
      } catch (const ScriptException& e) {
        thrown = e.code;
      }
      return 0;
    };
    Game::SetSessionHooks(hooks);
    Play({{120, 230, kLeft, 200},  // the first scene runs; its picture fades in first
          {770, 518, kLeft},       // the quick-save button, which a replay has not
          {400, 300, kNone, 2},    // the menu command (below)
          {400, 300, kNone, 4}},
         [&](std::size_t step) {
           if (step == 0 && TextScript::ReplayMode != 0 && Game::MessageShown != 0) {
             replayed = Game::SceneRecordState(Save::kSceneSe2) == 0;
           }
           if (step == 2 && TextScript::ReplayMode != 0) frame_.SetRequest(c.request);
           if (step == 3 && musicBack.empty()) musicBack = Game::ChannelName(Game::kChannelBgm);
         });
    EXPECT_EQ(Game::RunGameSession(u"_start.txt", 0), 0);
    EXPECT_TRUE(replayed) << "the scene's text showed in replay mode, from a scene of its own";
    EXPECT_EQ(quickSaves, 0);
    EXPECT_EQ(thrown, c.thrown);
    if (!c.thrown) {
      EXPECT_EQ(musicBack, GetSystemConfig().titleMusic) << "the page plays the title music again";
    }
    EXPECT_EQ(TextScript::ReplayMode, 0);
    EXPECT_EQ(menuTexts, (std::vector<std::u16string>{u"再生メニューに戻る(&X)", u"タイトルに戻る(&X)"}));
    EXPECT_EQ(ScreenChildren(), before);
  }
  EXPECT_FALSE(saveInReplay) << "a replay's pages offer no save";
  EXPECT_TRUE(reported_.empty());
  Game::SetMenuTextSwitch(nullptr);
  Game::SetMenuSwitch(nullptr);
}

TEST_F(ExtrasTest, AMissingReplayLabelIsReportedAndNothingRuns) {
  Game::SessionHooks hooks = Game::Hooks();
  std::optional<Game::ReplayEnd> end;
  hooks.showTitle = [&] {
    end = Game::PlayReplayScene(*Game::CurrentGroup, u"SC_NOWHERE");
    return 0;
  };
  Game::SetSessionHooks(hooks);
  EXPECT_EQ(Game::RunGameSession(u"_start.txt", 0), 0);
  EXPECT_EQ(end, Game::ReplayEnd::kMissingLabel);
  ASSERT_EQ(reported_.size(), 1u);
  EXPECT_EQ(std::u16string(reported_[0].Message), u"ラベルが見つかりません。[SC_NOWHERE]");
  EXPECT_EQ(TextScript::ReplayMode, 0);
}

TEST_F(ExtrasTest, AMenuRequestWhileAScreenShowsLeavesNoSpriteBehind) {
  Game::AddName(Game::AlbumList(), u"UMI");
  Game::Backlog().Append(u"一行", u"A0001");
  struct Case {
    const char* name;
    std::vector<Step> steps;  // to the screen; the request comes in the last step
    std::function<void(DxDraw::DxSurface* sheet)> open;
  };
  const Case cases[] = {
      {"backlog", {{10, 10, kNone, 4}}, [](DxDraw::DxSurface*) { Game::ShowBacklogScreen(); }},
      {"extras menu", {{10, 10, kNone, 4}}, [](DxDraw::DxSurface* sheet) { Game::ShowExtrasMenu(sheet, nullptr); }},
      {"album page", {{kMenuX, kAlbumY, kLeft}, {10, 10, kNone, 4}},
       [](DxDraw::DxSurface* sheet) { Game::ShowExtrasMenu(sheet, nullptr); }},
      {"full-screen picture", {{kMenuX, kAlbumY, kLeft}, {200, 160, kLeft}, {10, 10, kNone, 4}},
       [](DxDraw::DxSurface* sheet) { Game::ShowExtrasMenu(sheet, nullptr); }},
      {"replay page", {{kMenuX, kReplayY, kLeft}, {10, 10, kNone, 4}},
       [](DxDraw::DxSurface* sheet) { Game::ShowExtrasMenu(sheet, nullptr); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = ScreenChildren();
    const std::size_t last = c.steps.size() - 1;
    int shown = 0;
    Play(c.steps, [&](std::size_t step) {
      shown = std::max(shown, ScreenChildren());
      if (step == last) frame_.SetRequest(App::kRequestTitle);
    });
    std::optional<int32_t> code;
    try {
      c.open(sheet_.get());
    } catch (const ScriptException& e) {
      code = e.code;
    }
    EXPECT_EQ(code, ScriptException::kBackToTitle) << "the request goes on";
    EXPECT_GT(shown, before);
    EXPECT_EQ(ScreenChildren(), before);
  }
}

}  // namespace
