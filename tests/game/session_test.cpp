// Game cycles of small scripts on the headless program: the title's answers,
// the end of a run, errors reported with the stage torn down, step back, choices
// and a font change in the middle of a message.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>
#include <vector>

#include "../save/save_test_util.h"
#include "app/settings.h"
#include "game/game_state.h"
#include "game/message_stage.h"
#include "game/replay.h"
#include "game/script_app.h"
#include "game/session.h"
#include "game/settings_dialog.h"
#include "game/stage.h"
#include "game/yesno.h"
#include "game_test_util.h"
#include "screens_test_util.h"
#include "message/messwindow.h"
#include "platform/dialog_model.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace {

using game_test::PlayerSource;

class SessionTest : public game_test::GameHarness {
 protected:
  SessionTest() {
    Game::SessionHooks hooks;
    hooks.writeGlobalData = [this](Game::ScriptStateGroup_App&) { ++writes_; };
    hooks.reportError = [this](const ExceptionHandle& e) { reported_ = e; };
    hooks.showTitle = [this] {
      if (title_ == kTitleFails) ThrowError(u"title/title", 9, u"broken title");
      return title_;
    };
    Game::SetSessionHooks(hooks);
    Game::MessageDelayPercent = 0;
    Game::SettingsChanged = 0;
    Save::GetCommonData() = Save::CommonData{};
    // The player clicks every other frame.
    source_.play = [this](PlayerSource& s) {
      ++tick_;
      s.SetMouseButton(0, tick_ % 2 == 0);
      if (everyFrame_) everyFrame_(s);
    };
  }
  ~SessionTest() override {
    Game::SetSessionHooks({});
    TextScript::ScriptVars().Clear();
    TextScript::SetSystemPicture(nullptr);
    Game::MessageDelayPercent = 100;
  }
  // The sheet the window's pieces are cut from: one colour, until the test ends.
  static void UseSystemSheet(uint32_t colour) {
    DxDraw::DxSurface* sheet = DxDraw::CreateSurface(32);
    sheet->Create(800, 600);
    sheet->FillRect(nullptr, colour, 255);
    TextScript::SetSystemPicture(sheet);
  }
  int Play(std::u16string_view script, int mode = 0) {
    folder_.WriteScript("_start.txt", script);
    folder_.Install();
    return Game::RunGameSession(u"_start.txt", mode);
  }
  int Var(std::u16string_view name) { return TextScript::ScriptVars().GetValue(name, -1); }
  // The save module behind the hooks, its file in a folder of the test's own.
  void UseSaveFile() {
    saves_ = std::filesystem::path(::testing::TempDir()) / ("session_saves_" + std::to_string(::getpid()));
    std::filesystem::remove_all(saves_);
    std::filesystem::create_directories(saves_);
    Save::SetSaveFolder(platform::Utf8ToUtf16(saves_.string()));
    Save::ResetGlobalDataState();
    Save::CSaveDatabase::Instance().SetBusyTimeout(100);
    const Game::SessionHooks real = Game::DefaultSessionHooks();
    Game::Hooks().openSaveData = real.openSaveData;
    Game::Hooks().writeGlobalData = real.writeGlobalData;
    Game::Hooks().quickSave = real.quickSave;
    Game::Hooks().findLatestQuickSave = real.findLatestQuickSave;
    Game::Hooks().slotLoadable = real.slotLoadable;
    Game::Hooks().askYesNo = [](std::u16string_view) { return true; };
  }
  void TearDown() override { ForgetSaveFile(); }
  void ForgetSaveFile() {
    if (saves_.empty()) return;
    Save::ResetGlobalDataState();
    Save::CSaveDatabase::Instance().SetBusyTimeout(5000);
    Save::SetSaveFolder(u"");
    std::filesystem::remove_all(saves_);
  }
  // Another connection holding the save file under an exclusive lock while it lives.
  std::unique_ptr<save_test::RawDb> LockSaveFile() {
    auto other = std::make_unique<save_test::RawDb>(saves_ / "save.dat");
    EXPECT_EQ(sqlite3_exec(other->get(), "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    return other;
  }
  // The player presses the side buttons at `points` in turn once a page waits,
  // then clicks elsewhere.
  void PressButtons(std::vector<std::pair<int, int>> points) {
    everyFrame_ = [this, points, next = size_t{0}](PlayerSource& s) mutable {
      const bool done = next == points.size();
      s.SetCursor(done ? 400 : points[next].first, done ? 300 : points[next].second);
      if (!done && Game::MessageShown != 0 && tick_ % 2 == 0) ++next;
    };
  }
  void PressButtonOnce(int x, int y) { PressButtons({{x, y}}); }
  static constexpr std::pair<int, int> kQuickSaveButton{770, 518}, kQuickLoadButton{770, 541};
  // Whether the message's text starts a line down, below a blank line.
  static bool TextLowered() {
    DxDraw::POINT pen{};
    Game::MessageView()->GetTextOrigin(&pen);
    return pen.y > 0;
  }
  // Lit pixels of the message text on screen, and the leftmost lit column.
  std::pair<int, int> TextPixels() const {
    int count = 0, left = -1;
    for (int y = 444; y < 584; ++y) {
      for (int x = 0; x < 776; ++x) {
        if ((Shown(x, y) & 0xFF) <= 200) continue;
        ++count;
        left = left < 0 ? x : std::min(left, x);
      }
    }
    return {count, left};
  }
  // The boxes shown since the last call.
  std::vector<std::u16string> NewBoxes() {
    std::vector<std::u16string> texts;
    const auto shown = boxes_.shown();
    for (size_t i = boxesSeen_; i < shown.size(); ++i) texts.push_back(shown[i].text);
    boxesSeen_ = shown.size();
    return texts;
  }

  static constexpr int kTitleFails = -100;
  std::filesystem::path saves_;
  size_t boxesSeen_ = 0;

  game_test::ScriptFolder folder_;
  int title_ = 1;
  int writes_ = 0;
  int tick_ = 0;
  std::optional<ExceptionHandle> reported_;
  std::function<void(PlayerSource&)> everyFrame_;
};

TEST_F(SessionTest, TitleAnswerDecidesTheCycleAndTheGlobalRecordsAreAlwaysWritten) {
  struct Case {
    int title;
    int result;
    int ran;  // the script's variable after the cycle (-1: never set)
  };
  // The script also marks the prologue seen, which the records keep.
  // A title that fails ends the program after its error is shown: the title
  // again would fail again.
  const Case cases[] = {{-1, 1, -1}, {0, 0, -1}, {1, 0, 1}, {kTitleFails, Game::kSessionFailed, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    TextScript::ScriptVars().Clear();
    Save::GetCommonData() = Save::CommonData{};
    title_ = c.title;
    writes_ = 0;
    reported_.reset();
    EXPECT_EQ(Play(u".PST RAN = 1\n.PST REPR = 1\n"), c.result);
    EXPECT_EQ(Var(u"RAN"), c.ran);
    EXPECT_EQ(Save::GetFlag(Save::GetCommonData(), Game::kPrologueFlag), c.ran == 1);
    EXPECT_EQ(writes_, 1);
    EXPECT_EQ(reported_.has_value(), c.title == kTitleFails);
    EXPECT_EQ(Game::CurrentGroup, nullptr);
  }
}

TEST_F(SessionTest, ErrorsAreShownToThePlayerAfterTheStageIsTornDown) {
  struct Case {
    const char* what;
    std::u16string script;
    int line;
    std::u16string message;
  };
  const Case cases[] = {
      // A node's line is the reader's line after its statement.
      {"jump to a missing label", u".PST A = 1\n.JMP NOWHERE\n", 3, u"ラベルが見つかりません。[NOWHERE]"},
      {"four choices", u"あ\n.SEL L1 い\n.SEL L1 う\n.SEL L1 え\n.SEL L1 お\n\n\n.LAB L1\n", 3,
       u"選択肢は3つまでです。"},
      {"a missing picture", u".PST A = 1\n.SSL 0\n", 573, u"Script Error: file not found 'select/selbg'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reported_.reset();
    EXPECT_EQ(Play(c.script), 1) << "back to the title";
    ASSERT_TRUE(reported_.has_value());
    EXPECT_EQ(reported_->Line, c.line);
    EXPECT_EQ(std::u16string(reported_->Message), c.message);
    EXPECT_FALSE(Game::StageBuilt());
    EXPECT_EQ(Game::MessageWindow, nullptr);
    EXPECT_EQ(screen_->GetFirstChild(), nullptr);
    EXPECT_EQ(writes_ > 0, true);
  }
}

// A script the cycle can't read, or can't find, leaves with its record and no group behind.
TEST_F(SessionTest, ScriptsThatCantBeReadLeaveWithTheirRecordAndNoGroupBehind) {
  folder_.WriteScript("_start.txt", u".PST\n");
  folder_.Install();
  for (const auto& [start, message] : {std::pair<std::u16string, std::u16string>{u"_start.txt", u"syntax error"},
                                       {u"nothere.txt", u"Script: file not found 'nothere.txt'"}}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(start));
    try {
      Game::RunGameSession(start, 0);
      ADD_FAILURE() << "no error";
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(std::u16string(e.Message), message);
    }
    EXPECT_EQ(Game::CurrentGroup, nullptr);
  }
}

TEST_F(SessionTest, ClosingTheWindowEndsTheCycleWithTheRecordsWritten) {
  boxes_.SetAnswer(platform::IDYES);
  everyFrame_ = [this](PlayerSource& s) {
    if (tick_ == 5) s.PostClose();
  };
  EXPECT_EQ(Play(u"あ\n\n\nい\n\n\n.PST END = 1\n"), 0);
  EXPECT_EQ(Var(u"END"), -1);
  EXPECT_EQ(writes_, 1);
  EXPECT_FALSE(reported_.has_value());
}

TEST_F(SessionTest, StepBackReplaysThePageWithItsVariablesAndGoesOn) {
  // On the first page the variables are a new game's, none of the last game's;
  // the pictures shown again, or shown twice in a row of three, are not added
  // twice to the character record.
  for (const std::u16string at : {u"い", u"あ"}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(at));
    TextScript::ScriptVarSnapshot().Clear();
    TextScript::ScriptVarSnapshot().Insert(u"A", 100);  // what the last game left
    bool asked = false;
    std::u16string layers;
    std::vector<std::u16string> logged;  // the backlog while the last message shows
    everyFrame_ = [&](PlayerSource&) {
      if (Game::MessageShown != 0) {
        layers = Game::SceneRecordName(Save::kSceneCharacter);
        logged.clear();
        for (std::size_t i = 0; i < Game::Backlog().Size(); ++i) logged.push_back(Game::Backlog()[i].text);
      }
      if (!asked && Game::MessageShown != 0 && !Game::Backlog().Empty() && Game::Backlog().Back().text == at) {
        asked = true;
        frame_.SetRequest(App::kRequestStepBack);
      }
    };
    EXPECT_EQ(Play(u".CHL A000101\n.PST A + 1\nあ\n\n\n.CHL B000102\n.CHL C000103\n.CHL B000102\n.PST A + 10\n"
                   u"い\n\n\n.PST B = 1\n"),
              0);
    EXPECT_TRUE(asked);
    EXPECT_EQ(Var(u"A"), 11) << "the page's additions ran once more from its snapshot";
    EXPECT_EQ(Var(u"B"), 1) << "the story went on to its end";
    EXPECT_EQ(layers, u"A000101,B000102,C000103");
    EXPECT_EQ(logged, (std::vector<std::u16string>{u"あ", u"い"}))
        << "the messages before the page are kept, and the page shown again is logged once";
  }
}

// Two replays from the title, then a new game stepped back on its first page: each lists its own messages only.
TEST_F(SessionTest, ANewGameAndEachSceneReplayBeginWithAnEmptyBacklog) {
  std::vector<std::u16string> seen;  // the backlog, joined, each time it changes while a message shows
  int shownA = 0;                      // times あ began to show
  everyFrame_ = [&, was = false](PlayerSource&) mutable {
    std::u16string joined;
    for (std::size_t i = 0; i < Game::Backlog().Size(); ++i) joined += Game::Backlog()[i].text;
    const bool a = Game::MessageShown != 0 && joined.ends_with(u"あ");
    shownA += !std::exchange(was, a) && a;
    if (Game::MessageShown == 0 || joined.empty() || (!seen.empty() && seen.back() == joined)) return;
    seen.push_back(joined);
    if (joined == u"あ" && TextScript::ReplayMode == 0) frame_.SetRequest(App::kRequestStepBack);
  };
  Game::Hooks().showTitle = [] {
    for (int i = 0; i < 2; ++i) Game::PlayReplayScene(*Game::CurrentGroup, u"REP");
    return 1;
  };
  EXPECT_EQ(Play(u"あ\n\n\nい\n\n\n.JMP FIN\n\n\n.LAB REP\nう\n\n\nえ\n.SED\n\n\n.LAB FIN\n"), 0);
  EXPECT_EQ(shownA, 2) << "a step back on its page";
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"う", u"うえ", u"う", u"うえ", u"あ", u"あい"}));
}

// A person's Ctrl+Z: Ctrl down at the page wait, Z a moment to half a second later, Ctrl let go before the
// question opens or while it is up. The question opens on that page, no leaves it as it was and yes starts it
// again. Ctrl held alone still skips, after half a second.
TEST_F(SessionTest, CtrlOfCtrlZNeverMovesTheStory) {
  struct PersonBox : platform::IMessageBox {
    std::function<int()> answer;
    int Show(platform::WindowHandle, std::u16string_view, std::u16string_view, uint32_t) override { return answer(); }
  } box;
  platform::SetMessageBoxService(&box);
  const struct Case {
    uint32_t holdMs;  // Ctrl down before the command
    bool upFirst;     // Ctrl let go before the question opens, else while it is up
    int answer;       // 0: no command, Ctrl held alone
  } cases[] = {{16, true, platform::IDNO},   {300, false, platform::IDNO}, {450, true, platform::IDNO},
               {300, true, platform::IDYES}, {450, false, platform::IDYES}, {0, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.holdMs << c.upFirst << c.answer);
    enum { kReading, kCtrl, kAfter, kDone } phase = kReading;
    uint32_t downAt = 0, skipAt = 0;
    int starts = 0, after = 0;  // times the page started; frames since the answer
    std::u16string atBox, atEnd;
    box.answer = [&] {
      atBox = Game::Backlog().Back().text;
      source_.SetKey(App::DIK_LCONTROL, false);
      clock_.Advance(800);
      return c.answer;
    };
    everyFrame_ = [&, was = false](PlayerSource& s) mutable {
      const bool at = Game::MessageShown != 0 && Game::Backlog().Back().text == u"い";
      starts += !std::exchange(was, at) && at;
      if (phase == kReading && at) phase = kCtrl, downAt = clock_.NowMs(), s.SetKey(App::DIK_LCONTROL, true);
      if (phase == kReading || phase == kDone) return;
      s.SetMouseButton(0, false);
      if (phase == kCtrl && Game::SkipMode == 2 && skipAt == 0) skipAt = clock_.NowMs();
      if (phase == kCtrl && c.answer != 0 && clock_.NowMs() - downAt >= c.holdMs) {
        if (c.upFirst) s.SetKey(App::DIK_LCONTROL, false);
        s.PostCommand(platform::kCommandStepBack);
        phase = kAfter;
      } else if (phase == kAfter && ++after == 45) {
        atEnd = Game::MessageShown != 0 ? Game::Backlog().Back().text : u"";
        phase = kDone;
      }
    };
    TextScript::ScriptVars().Clear();
    EXPECT_EQ(Play(u"あ\n\n\nい\n\n\nう\n\n\nえ\n\n\n.PST END = 1\n"), 0);
    EXPECT_EQ(Var(u"END"), 1);
    if (c.answer == 0) {
      // Seen a frame late; counting at once, it would be seen at 1 frame.
      EXPECT_LE(skipAt - downAt, 500 + 3 * message_test::kFrameMs) << "Ctrl alone skips half a second later";
      continue;
    }
    EXPECT_EQ(atBox, u"い") << "the question opens on the page being read";
    EXPECT_EQ(atEnd, u"い") << "and the player stays there";
    EXPECT_EQ(starts, c.answer == platform::IDYES ? 2 : 1);
  }
  platform::SetMessageBoxService(&boxes_);
}

TEST_F(SessionTest, CommandsKeepTheSceneRecords) {
  struct Case {
    std::u16string script;
    Save::SceneSlot slot;
    uint8_t state;
    std::u16string name;
  };
  // A background clears the character layers; a full record drops its oldest
  // picture with the comma behind it.
  const Case cases[] = {
      {u".CHL A000101\n.GRP BG10000\n", Save::kSceneCharacter, 0, u""},
      {u".CHL A000101\n.GRP WHITE\n", Save::kSceneCharacter, 0, u""},
      {u".CHL A000101\n.CHL B000102\n.CHL C000103\n.CHL D000104\n", Save::kSceneCharacter, 1,
       u"B000102,C000103,D000104"},
      {u".FLS 1\n", Save::kSceneBackground, 1, u""},
      {u".WAV UMI\n.WAV 00\n", Save::kSceneBgm, 0, u""},
      {u".S1B LOOP\n.S1M\n", Save::kSceneSe1, 0, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.script));
    int state = -1;
    std::u16string name = u"?";
    everyFrame_ = [&](PlayerSource&) {
      if (Game::MessageShown != 0) state = Game::SceneRecordState(c.slot), name = Game::SceneRecordName(c.slot);
    };
    Play(c.script + u"あ\n\n\n");
    EXPECT_EQ(state, c.state);
    EXPECT_EQ(name, c.name);
  }
}

TEST_F(SessionTest, LoadResumesAtTheSavedPageAndPageZeroAtTheHead) {
  for (const int page : {0, 1}) {
    SCOPED_TRACE(page);
    TextScript::ScriptVars().Clear();
    reported_.reset();
    // Page 0 saved on a black screen, page 1 on a white one.
    Game::Hooks().loadGameFromSlot = [page](int) {
      Game::SetSceneRecord(Save::kSceneBackground, static_cast<uint8_t>(page));
      return page;
    };
    uint32_t shown = 1;
    everyFrame_ = [&](PlayerSource&) {
      if (Game::MessageShown != 0 && shown == 1) shown = Shown(400, 200);
    };
    EXPECT_EQ(Play(u".PST A = 1\nあ\n\n\nい\n\n\n.PST B = 1\n", 2), 0);
    EXPECT_EQ(shown, page == 0 ? Game::kBlack : Game::kWhite);
    EXPECT_FALSE(reported_.has_value());
    EXPECT_EQ(Var(u"A"), page == 0 ? 1 : -1);
    EXPECT_EQ(Var(u"B"), 1);
  }
}

// A short choice answers anywhere in its 416-pixel box, x 192 to 607, not only
// over its text; its box is 40 pixels high, the next 42 below (y 189 is between,
// chooses nothing: -1).
TEST_F(SessionTest, ChoiceUnderTheCursorDecidesTheLabel) {
  folder_.Write("SYSTEM.bmp", screens_test::SystemSheet());
  folder_.Install();
  TextScript::SetSystemPicture(ScriptLoadImage(ScriptArchive, u"SYSTEM", 0, 0));
  struct Case {
    int x, y;
    int chosen;
  };
  for (const Case c :
       {Case{400, 160, 1}, Case{400, 205, 2}, Case{192, 205, 2}, Case{607, 160, 1}, Case{400, 189, -1}}) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    title_ = 1;
    source_.SetCursor(c.x, c.y);
    // The leftmost lit column of each line while the choice waits: the text (16 px a cell),
    // centred in the 720-px view at x 40, not the label.
    std::vector<int> left;
    std::vector<bool> red;  // each line's text is red, not white (the one under the cursor)
    int frames = 0;
    uint32_t boxTop = 0;
    everyFrame_ = [&](PlayerSource& s) {
      const TextScript::ScriptStateNode* node = Game::CurrentGroup->CurrentNode();
      if (node == nullptr || node->m_Opcode != TextScript::kOpSEL) return;
      if (++frames < 4) s.SetMouseButton(0, false);  // the choices stay up a few frames
      boxTop = Shown(120, 148);
      if (frames == 100) title_ = 0, frame_.SetRequest(App::kRequestTitle);  // nothing chosen: quit at the title
      std::vector<int> lit(2, -1);
      std::vector<bool> reds(2);
      for (int line = 0; line < 2; ++line) {
        for (int x = 200; x < 600 && lit[line] < 0; ++x) {
          const uint32_t c = Shown(x, 165 + 42 * line);
          if (((c >> 16) & 0xFF) > 200) lit[line] = x, reds[line] = ((c >> 8) & 0xFF) < 100;
        }
      }
      if (lit[0] >= 0) left = lit, red = reds;
    };
    Play(u".SEL L1 いち\n.SEL L2 にばん\n\n\n.LAB L1\n.PST R = 1\n.JMP E\n\n\n.LAB L2\n.PST R = 2\n\n\n.LAB E\n");
    EXPECT_EQ(Var(u"R"), c.chosen);
    EXPECT_EQ(left, (std::vector<int>{40 + (720 - 64) / 2, 40 + (720 - 96) / 2}));
    EXPECT_EQ(red, (std::vector<bool>{c.chosen == 1, c.chosen == 2}));
    EXPECT_NE(boxTop, 0u) << "the box's top row is the sheet's row 240";
  }
  TextScript::SetSystemPicture(nullptr);
}

// The selection screen joins A and B, or C and D, into one item when either
// flag of the pair is set; each item's pictures have a red of their own, one
// step redder under the cursor, and the item the cursor leaves goes back to its
// own red. The stage is black after it. A click on an item, at its top left or
// bottom right pixel, jumps through the judge table by that item's own result.
TEST_F(SessionTest, SelectionScreenJoinsAPairWhenEitherFlagIsSet) {
  const std::pair<std::string, int> items[] = {{"A", 40}, {"B", 80}, {"C", 120}, {"D", 160}, {"AB", 200}, {"CD", 240}};
  for (const auto& [name, red] : items) {
    for (int lit = 0; lit < 2; ++lit) {
      folder_.Write("select/SEL_" + name + "_" + std::to_string(lit) + ".bmp",
                    screens_test::Bmp(name.size() == 2 ? 356 : 170, 8, [r = red + lit](int, int) {
                      return screens_test::Rgb{static_cast<uint8_t>(r), 0, 0};
                    }));
    }
  }
  // Result n (1-6) jumps by the table's line n to R<n>, which notes n in R.
  std::string table;
  std::u16string script = u".SSL 0\n\n\n";
  for (int i = 0; i < 20; ++i) table += i >= 1 && i <= 6 ? "R" + std::to_string(i) + "\n" : "E\n";
  for (int n = 1; n <= 6; ++n) {
    script += platform::Utf8ToUtf16(".LAB R" + std::to_string(n) + "\n.PST R = " + std::to_string(n) + "\n.JMP E\n\n\n");
  }
  script += u".LAB E\n";
  folder_.Write("iv.txt", table);
  // Each item's columns by its result (A B C D AB CD), rows 197 to 496.
  const std::pair<int, int> spans[] = {{}, {36, 205}, {222, 391}, {408, 577}, {594, 763}, {36, 391}, {408, 763}};
  auto corner = [&](int result, bool far) {
    return far ? std::pair{spans[result].second, 496} : std::pair{spans[result].first, 197};
  };
  // A click that chooses nothing leaves the screen up: the player quits at the title.
  int frames = 0;
  auto quitWhenStuck = [&] {
    if (++frames == 1000) title_ = 0, frame_.SetRequest(App::kRequestTitle);
  };
  for (const char* name : {"select/selbg.bmp", "turnbg.bmp"}) {
    folder_.Write(name, screens_test::Bmp(8, 8, [](int, int) { return screens_test::Rgb{0, 0, 9}; }));
  }
  struct Case {
    std::u16string flags;
    uint32_t at300, at500;  // the red shown at x 300 and x 500, the cursor at x 700
    uint32_t at700;         // the red shown at x 700 once the cursor moved onto the item at x 300
    std::vector<int> results;  // the items' from left to right
    bool far;                  // each item is clicked at its bottom right pixel, else its top left
  };
  // Every item is clicked at both corners across the cases.
  const Case cases[] = {
      {u".GRP BG10000\n", 80, 120, 160, {1, 2, 3, 4}, false},
      {u".PST A010 = 1\n.PST TURN = 99\n", 200, 120, 160, {5, 3, 4}, true},
      {u".PST B010 = 1\n.PST D010 = 1\n", 200, 241, 240, {5, 6}, false},
      {u".PST C010 = 1\n", 80, 241, 240, {1, 2, 6}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.flags));
    const int at300Result = c.results[c.results[0] == 5 ? 0 : 1];  // AB, else B
    uint32_t at300 = 0, at500 = 0, at700 = 0;
    bool dark = false;
    int shownFrames = 0, background = -1;
    bool wideBanner = false;  // "ターン100" for TURN 99 starts left of x 336, "ターン 1" does not
    int bannerFrames = 0;     // frames that show the banner's text
    everyFrame_ = [&](PlayerSource& s) {
      for (int y = 284; y < 316; ++y) {
        for (int x = 320; x < 336; ++x) wideBanner = wideBanner || (Shown(x, y) & 0xFF) > 64;
      }
      bool banner = false;
      for (int x = 336; x < 464; ++x) banner = banner || (Shown(x, 300) & 0xFF) > 64;
      bannerFrames += banner ? 1 : 0;
      const auto [x, y] = at300 == 0 ? std::pair{700, 200} : corner(at300Result, c.far);
      s.SetCursor(x, y);
      if (Shown(300, 200) == 0) dark = true;  // the stage faded out, over what the last case left
      else if (dark && ++shownFrames == 2) at300 = Shown(300, 200) >> 16, at500 = Shown(500, 200) >> 16;
      else if (shownFrames == 6) at700 = Shown(700, 200) >> 16;
      s.SetMouseButton(0, at700 != 0 && tick_ % 2 == 0);  // chosen once seen
      if (Game::MessageShown != 0) background = Game::SceneRecordState(Save::kSceneBackground);
      quitWhenStuck();
    };
    TextScript::ScriptVars().Clear();
    frames = 0, title_ = 1;
    Play(c.flags + script + u"あ\n\n\n");
    EXPECT_EQ(Var(u"R"), at300Result);
    EXPECT_EQ(at300, c.at300);
    EXPECT_EQ(at500, c.at500);
    EXPECT_EQ(at700, c.at700);
    EXPECT_EQ(background, 0);
    EXPECT_EQ(wideBanner, c.flags.find(u"TURN") != std::u16string::npos);
    EXPECT_GE(bannerFrames, 2000 / 16) << "the banner stands 2000 ms";
    EXPECT_LE(bannerFrames, 2000 / 16 + 2 * 18) << "between its rise and fall of 18 frames each";
    for (int result : c.results) {
      if (result == at300Result) continue;
      const auto [x, y] = corner(result, c.far);
      everyFrame_ = [&](PlayerSource& s) { s.SetCursor(x, y), quitWhenStuck(); };
      TextScript::ScriptVars().Clear();
      frames = 0, title_ = 1;
      Play(c.flags + script);
      EXPECT_EQ(Var(u"R"), result) << "clicked at " << x << "," << y;
    }
  }
}

// Each flash stays up 100 ms, and so does the dark between two.
TEST_F(SessionTest, FlashTurnsTheStageWhiteAsOftenAsAsked) {
  int flashes = 0;
  bool white = false;
  std::vector<uint32_t> changes;
  everyFrame_ = [&](PlayerSource&) {
    bool now = Shown(400, 300) == Game::kWhite;
    if (now && !white) ++flashes;
    if (now != white) changes.push_back(clock_.NowMs());
    white = now;
  };
  Play(u".FLS 3\n");
  EXPECT_EQ(flashes, 3);
  ASSERT_GE(changes.size(), 5u);
  for (size_t i = 1; i < 5; ++i) {
    EXPECT_GE(changes[i] - changes[i - 1], 100u) << i;
    EXPECT_LE(changes[i] - changes[i - 1], 100u + message_test::kFrameMs) << i;
  }
}

// The end of the story fades the stage to black, a step of 5 a frame, and holds it 3 s.
TEST_F(SessionTest, EndFadesTheStageToBlackAndHoldsItThreeSeconds) {
  uint32_t darkening = 0, black = 0, last = 0;
  everyFrame_ = [&](PlayerSource&) {
    const uint32_t shown = Shown(400, 300);
    last = clock_.NowMs();
    if (Var(u"AT") != 1) return;
    if (darkening == 0 && shown != Game::kWhite) darkening = last;
    if (black == 0 && shown == Game::kBlack) black = last;
  };
  Play(u".GRP WHITE\nあ\n\n\n.PST AT = 1\n.END\n");
  ASSERT_NE(black, 0u);
  EXPECT_NEAR(black - darkening, 50 * message_test::kFrameMs, 2 * message_test::kFrameMs) << "levels 5 to 255";
  EXPECT_GE(last - black, 3000u);
  EXPECT_LE(last - black, 3000u + 3 * message_test::kFrameMs);
}

TEST_F(SessionTest, FontChangesWhileTheTextIsDrawnRedrawItAndTheStoryGoesOn) {
  Game::MessageDelayPercent = 400;
  int changes = 0;
  int drawing = 0;
  everyFrame_ = [&](PlayerSource&) {
    if (Game::MessageWindow == nullptr || !Game::MessageWindow->IsVisible() || Game::MessageShown != 0) return;
    ++drawing;
    if (drawing == 3 || drawing == 9) {
      Game::SettingsChanged |= Game::kFontChanged;
      ++changes;
    }
  };
  EXPECT_EQ(Play(u"あいうえおかきくけこさしすせそ\n\n\n.PST C = 1\n"), 0);
  EXPECT_EQ(changes, 2);
  EXPECT_GE(drawing * message_test::kFrameMs, 15u * 40) << "40 ms a character at speed 400";
  EXPECT_EQ(Game::SettingsChanged & Game::kFontChanged, 0);
  EXPECT_EQ(Var(u"C"), 1);
}

// The window's 10 ms a character times the message speed: at once for speed 0,
// 5, 20 (the default) and 40 ms for speeds 1-3, each wait rounded up to whole
// frames; nobody clicks while it draws.
// A held Ctrl ends each wait at the next frame once it counts (half a second),
// and once it skips pages the text comes at once and each page goes after 100 ms.
TEST_F(SessionTest, EachCharacterWaitsTheWindowsBaseTimesTheMessageSpeed) {
  const uint8_t stopAtUnread = std::exchange(App::Settings().game.text_skip1, 0);
  const struct {
    int index;
    uint32_t lowMs, highMs;  // drawing both pages of 15 characters, and Ctrl's page waits
    bool ctrl;
  } cases[] = {{0, 0, 4 * message_test::kFrameMs, false}, {1, 30 * 5, 30 * 21 + 128, false},
               {static_cast<int>(App::UserSettings().words.message_wait), 30 * 20, 30 * 36 + 128, false},
               {3, 30 * 40, 30 * 56 + 128, false}, {3, 0, 500 + 480, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << c.ctrl);
    Game::SetMessageSpeed(c.index);
    uint32_t drawing = 0;
    everyFrame_ = [&](PlayerSource& s) {
      s.SetKey(App::DIK_LCONTROL, c.ctrl);
      if (Game::MessageWindow == nullptr || !Game::MessageWindow->IsVisible()) return;
      if (Game::MessageShown != 0 && Game::SkipMode != 2) return;
      ++drawing;
      s.SetMouseButton(0, false);
    };
    EXPECT_EQ(Play(u"あいうえおかきくけこさしすせそ\n\n\nあいうえおかきくけこさしすせそ\n\n\n"), 0);
    EXPECT_GE(drawing * message_test::kFrameMs, c.lowMs);
    EXPECT_LE(drawing * message_test::kFrameMs, c.highMs);
  }
  App::Settings().game.text_skip1 = stopAtUnread;
}

TEST_F(SessionTest, SkipButtonStopsBeforeTheFirstUnreadPageWhenAsked) {
  struct Case {
    uint8_t textSkip1;
    bool clicking;             // the player goes on clicking while it skips
    std::u16string stoppedAt;  // what was on screen when skipping stopped ("" never)
  };
  for (const Case& c : {Case{1, false, u"い"}, Case{0, false, u""}, Case{0, true, u"い"}}) {
    SCOPED_TRACE(testing::Message() << int{c.textSkip1} << c.clicking);
    App::Settings().game.text_skip1 = c.textSkip1;
    Save::GetCommonData() = Save::CommonData{};
    Game::SetReadFlag(0);
    Game::SetReadFlag(1);
    int phase = 0;
    uint32_t skipping = 0;  // frames
    std::u16string stoppedAt;
    everyFrame_ = [&](PlayerSource& s) {
      skipping += Game::SkipMode == 1;
      if (phase == 0) {
        s.SetCursor(770, 470);  // the skip button
        if (Game::SkipMode == 1) phase = 1;
      } else if (phase == 1) {
        s.SetCursor(400, 300);
        if (!c.clicking) s.SetMouseButton(0, false);
        if (Game::SkipMode == 0 && Game::MessageShown != 0) {
          stoppedAt = Game::Backlog().Back().text;
          phase = 2;
        }
      }
    };
    EXPECT_EQ(Play(u"あ\n\n\nい\n\n\nう\n\n\nえ\n\n\n.PST END = 1\n"), 0);
    EXPECT_EQ(stoppedAt, c.stoppedAt);
    if (c.stoppedAt.empty()) {
      // Four page waits of 100 ms (seven frames each) and the frames that draw the pages.
      EXPECT_NEAR(skipping * message_test::kFrameMs, 480, 80);
    }
    EXPECT_EQ(Var(u"END"), 1);
    for (int page = 0; page < 4; ++page) EXPECT_EQ(Game::TestReadFlag(page), 1) << page;
  }
  App::Settings().game.text_skip1 = 1;
}

TEST_F(SessionTest, BacklogKeepsTheShownTextWithTheVoiceBesideIt) {
  std::u16string family = u"山田";
  std::copy(family.begin(), family.end(), Save::GetCommonData().familyName);
  std::vector<std::u16string> texts, voices;
  std::vector<bool> lowered;  // the text starts a line down
  everyFrame_ = [&](PlayerSource&) {
    if (Game::MessageShown != 0 && texts.size() < Game::Backlog().Size()) {
      texts.push_back(Game::Backlog().Back().text);
      voices.push_back(Game::Backlog().Back().voice);
      lowered.push_back(TextLowered());
    }
  };
  Play(u"@v01\n【彼】#1さん#3\n\n\n.VOI 00\nふつう\n\n\n.VOI V02\nまえ\n.VOI V03\n\n\n");
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"【彼】山田さん#3", u"ふつう", u"まえ"}));
  EXPECT_EQ(voices, (std::vector<std::u16string>{u"V01", u"", u"V02"})) << "the voice before a line wins";
  EXPECT_EQ(lowered, (std::vector<bool>{false, true, true})) << "a blank line before a line without a speaker";
}

TEST_F(SessionTest, PlayerNamesArePutInOnceHoweverTheMessageIsDrawn) {
  // A family name that reads like the given name's mark: "#1" shows "#2", never "Q".
  platform::CopyWide(Save::GetCommonData().familyName, Save::kNameUnits, u"#2");
  platform::CopyWide(Save::GetCommonData().givenName, Save::kNameUnits, u"Q");
  // Drawn at the message speed, while skipping, and again after a font change.
  enum Way { kAtSpeed, kSkipping, kAfterFontChange };
  std::vector<int> shown;
  for (const Way way : {kAtSpeed, kSkipping, kAfterFontChange}) {
    SCOPED_TRACE(way);
    int waited = 0, seen = -1;
    everyFrame_ = [&](PlayerSource& s) {
      const bool atName = Game::MessageShown != 0 && Game::Backlog().Back().text == u"「#2」";
      // A held Ctrl on the first page skips to the name's page, where letting
      // go stops skipping.
      if (way == kSkipping) s.SetKey(App::DIK_LCONTROL, Game::MessageShown != 0 && !atName && Game::SkipMode == 0);
      if (!atName || seen >= 0) return;
      s.SetMouseButton(0, false);
      if (++waited == 2 && way == kAfterFontChange) Game::SettingsChanged |= Game::kFontChanged;
      if (waited == 5) seen = TextLowered() ? TextPixels().first : 0;  // no speaker: a line down, however drawn
    };
    EXPECT_EQ(Play(u"あ\n\n\n「#1」\n\n\n.PST END = 1\n"), 0);
    EXPECT_EQ(Var(u"END"), 1);
    shown.push_back(seen);
  }
  EXPECT_GT(shown[0], 0);
  EXPECT_EQ(shown, std::vector<int>(3, shown[0])) << "each way shows 「#2」";
}

// A right click at the page wait hides the window until the next click. The
// text starts at the window's left margin.
TEST_F(SessionTest, RightClickHidesTheWindowUntilTheNextClick) {
  std::vector<std::pair<int, int>> seen;  // TextPixels() waiting, hidden, back
  int frames = 0;
  everyFrame_ = [&](PlayerSource& s) {
    if (Game::MessageShown == 0) return;
    if (++frames == 3 || frames == 6 || frames == 11) seen.push_back(TextPixels());
    s.SetMouseButton(1, frames == 4);
    s.SetMouseButton(0, frames == 7 || (frames > 11 && tick_ % 2 == 0));
  };
  Play(u"あ\n\n\n");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_GT(seen[0].first, 0);
  EXPECT_EQ(seen[1].first, 0);
  EXPECT_EQ(seen[2], seen[0]);
  EXPECT_LT(seen[0].second, 8 + 8);
}

TEST_F(SessionTest, TheClickMarkBlinksEveryTwoTenthsOfASecond) {
  UseSystemSheet(Game::kWhite);  // the mark cut from a white sheet
  std::vector<uint32_t> changes;  // when the column of the mark and the buttons changed
  int last = -1;
  everyFrame_ = [&](PlayerSource& s) {
    if (Game::MessageShown == 0) return;
    int lit = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 752; x < 776; ++x) lit += static_cast<int>(Shown(x, y) & 0xFF);
    if (last >= 0 && lit != last) changes.push_back(clock_.NowMs());
    last = lit;
    s.SetMouseButton(0, (changes.size() >= 4 || tick_ > 100) && tick_ % 2 == 0);
  };
  Play(u"あ\n\n\n");
  ASSERT_GE(changes.size(), 4u) << "the first is the page wait's buttons, then the mark blinks";
  for (size_t i = 2; i < 4; ++i) {
    EXPECT_GE(changes[i] - changes[i - 1], 200u);
    EXPECT_LE(changes[i] - changes[i - 1], 200u + 2 * message_test::kFrameMs);
  }
}

TEST_F(SessionTest, DebugJumpGoesToItsLabelAndAMissingOneIsIgnored) {
  App::Settings().options.debug_level = 1;
  struct Case {
    std::u16string label;
    int skipped;     // the variable the jump passes over
    uint32_t stage;  // at the label: a jump blacks the white stage
  };
  for (const Case& c : {Case{u"LATER", -1, Game::kBlack}, Case{u"MISSING", 1, Game::kWhite}}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.label));
    TextScript::ScriptVars().Clear();
    bool asked = false;
    uint32_t stage = 1;
    everyFrame_ = [&](PlayerSource&) {
      if (!asked && Game::MessageShown != 0 && Game::CurrentGroup != nullptr) {
        Game::CurrentGroup->RequestDebugJump(c.label);
        asked = true;
      }
      if (Var(u"AT") == 1 && Game::MessageShown != 0) stage = Shown(400, 100);
    };
    EXPECT_EQ(Play(u".GRP WHITE\nあ\n\n\n.PST SKIPPED = 1\n\n\n.LAB LATER\n.PST AT = 1\nう\n\n\n.PST END = 1\n"), 0);
    EXPECT_EQ(Var(u"SKIPPED"), c.skipped);
    EXPECT_EQ(Var(u"END"), 1);
    EXPECT_EQ(stage, c.stage);
  }
  App::Settings().options.debug_level = 0;
}

TEST_F(SessionTest, AutoModeTurnsThePageAfterTwiceTheAutoWait) {
  struct Case {
    int speed;        // the auto-speed index
    uint32_t pageMs;  // no voice: twice the wait, 100 ms for a wait of 0
  };
  const int byDefault = static_cast<int>(App::UserSettings().words.message_skip);
  for (const Case& c : {Case{0, 100}, Case{1, 2}, Case{2, 200}, Case{byDefault, 1200}, Case{4, 2000}}) {
    SCOPED_TRACE(c.speed);
    Game::SetAutoSpeed(c.speed);
    bool pressed = false;
    bool wasShown = false;
    std::vector<uint32_t> shownAt;
    everyFrame_ = [&](PlayerSource& s) {
      if (!pressed) {
        s.SetCursor(770, 495);  // the auto button
        pressed = Game::AutoMode != 0;
      } else {
        s.SetCursor(400, 300);
        s.SetMouseButton(0, false);
      }
      bool shown = Game::MessageShown != 0;
      if (shown && !wasShown) shownAt.push_back(clock_.NowMs());
      wasShown = shown;
    };
    EXPECT_EQ(Play(u"あ\n\n\nい\n\n\nう\n\n\n.PST END = 1\n"), 0);
    ASSERT_EQ(shownAt.size(), 3u);
    uint32_t page = shownAt[2] - shownAt[1];
    EXPECT_GE(page, c.pageMs);
    EXPECT_LE(page, c.pageMs + 4 * message_test::kFrameMs) << "a few frames to clear and draw";
    EXPECT_EQ(Var(u"END"), 1);
  }
  Game::AutoWait = 1;
}

TEST_F(SessionTest, QuickLoadFromThePageWaitAsksForTheLatestQuickSave) {
  struct Case {
    int latest;  // the newest quick save's slot, -1 none
    bool unreadable;  // its whole-slot check can't read the file: the play goes on
    int result;
  };
  for (const Case& c : {Case{5, false, 5 + 2}, Case{-1, false, 0}, Case{5, true, 0}}) {
    SCOPED_TRACE(c.latest);
    Game::Hooks().askYesNo = [](std::u16string_view) { return true; };
    Game::Hooks().findLatestQuickSave = [&c] { return c.latest; };
    Game::Hooks().slotLoadable = [&c](int) {
      if (c.unreadable) ThrowError(u"script/scr_gui", __LINE__, u"locked");
      return true;
    };
    PressButtonOnce(770, 541);  // quick load
    EXPECT_EQ(Play(u"あ\n\n\nい\n\n\n"), c.result);
  }
}

// A save file that can't be used: the player is told why and where, the story
// goes on, and each save reports its own failure.
TEST_F(SessionTest, ASaveFileThatCantBeOpenedIsReportedAndThePlayGoesOnWithoutIt) {
  enum Spoil { kFolderInItsPlace, kNoFolder, kLinkToItself, kHeldLocked };
  const std::pair<const char*, Spoil> cases[] = {{"a folder in place of save.dat", kFolderInItsPlace},
                                                 {"a folder that doesn't exist", kNoFolder},
                                                 {"a link to itself", kLinkToItself},
                                                 {"a file held locked", kHeldLocked}};
  for (const auto& [what, spoil] : cases) {
    SCOPED_TRACE(what);
    UseSaveFile();
    const std::filesystem::path file = saves_ / "save.dat";
    std::unique_ptr<save_test::RawDb> other;
    Save::NameList scene, album;
    switch (spoil) {
      case kFolderInItsPlace: std::filesystem::create_directories(file); break;
      case kNoFolder: Save::SetSaveFolder(platform::Utf8ToUtf16((saves_ / "gone").string())); break;
      case kLinkToItself: std::filesystem::create_symlink(file, file); break;
      case kHeldLocked:
        Save::OpenSaveDataAtStart(scene, album);
        Save::ResetGlobalDataState();
        other = LockSaveFile();
        break;
    }
    const std::u16string path = Save::CSaveDatabase::Instance().FilePath();
    NewBoxes();
    PressButtons({kQuickSaveButton, kQuickLoadButton});
    EXPECT_EQ(Play(u"あ\n\n\nい\n\n\n.PST END = 1\n"), 0);
    EXPECT_EQ(Var(u"END"), 1);
    const std::vector<std::u16string> boxes = NewBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].rfind(u"セーブファイルが使えないため、セーブせずに続けます。\n" + path + u"\n", 0), 0u);
    EXPECT_EQ(boxes[1].rfind(u"セーブできませんでした。\n" + path + u"\n", 0), 0u);
    EXPECT_EQ(boxes[2].rfind(u"ロードできませんでした。\n" + path + u"\n", 0), 0u);
    ForgetSaveFile();
  }
}

// The newest quick save holds damaged variables: it is refused before the
// page is left, and the story goes on where it was.
TEST_F(SessionTest, AQuickLoadOfADamagedSlotIsRefusedAndThePlayGoesOn) {
  UseSaveFile();
  Save::NameList scene, album;
  Save::OpenSaveDataAtStart(scene, album);
  const TextScript::ScriptVarTable none;
  Save::SaveGameToSlot(91, u"", {nullptr, 0, &none});
  save_test::RawDb(saves_ / "save.dat").Put("UPDATE entry SET value_data=? WHERE number=91", {'A', 0, 1});
  Save::ResetGlobalDataState();
  NewBoxes();
  PressButtonOnce(kQuickLoadButton.first, kQuickLoadButton.second);
  EXPECT_EQ(Play(u"あ\n\n\nい\n\n\n.PST END = 1\n"), 0);
  EXPECT_EQ(Var(u"END"), 1);
  EXPECT_EQ(NewBoxes(), std::vector<std::u16string>{u"91番のデータは壊れているため、ロードできません。"});
}

// A quick save is noticed on screen for 2 s while nobody clicks.
TEST_F(SessionTest, AQuickSaveIsNoticedForTwoSeconds) {
  Game::Hooks().quickSave = [] { return true; };
  Game::Hooks().showNotice = Game::ShowNoticeBand;
  UseSystemSheet(Game::kBlack);
  PressButtonOnce(kQuickSaveButton.first, kQuickSaveButton.second);
  int noticed = 0;  // frames with the notice's text lit
  everyFrame_ = [&, press = everyFrame_](PlayerSource& s) mutable {
    press(s);
    int lit = 0;
    for (int y = 340; y < 386; ++y)
      for (int x = 108; x < 692; x += 2) lit += (Shown(x, y) & 0xFF) > 200 ? 1 : 0;
    noticed += lit > 0 ? 1 : 0;
    if (lit > 0) s.SetMouseButton(0, false);
  };
  EXPECT_EQ(Play(u"あ\n\n\nい\n\n\n.PST END = 1\n"), 0);
  EXPECT_EQ(Var(u"END"), 1);
  EXPECT_NEAR(noticed * message_test::kFrameMs, 2000, 3 * message_test::kFrameMs);
}

// Closing the window while a quick save runs is a quit, not a save failure.
TEST_F(SessionTest, AQuitRaisedInsideAQuickSavePassesThroughItsReporter) {
  Game::Hooks().quickSave = []() -> bool {
    throw MakeError(u"frame", 1, kErrorTypeQuit, nullptr, u"quit");
  };
  NewBoxes();
  PressButtonOnce(kQuickSaveButton.first, kQuickSaveButton.second);
  EXPECT_EQ(Play(u"あ\n\n\nい\n\n\n.PST END = 1\n"), 0);
  EXPECT_EQ(Var(u"END"), -1);
  EXPECT_TRUE(NewBoxes().empty());
  EXPECT_FALSE(reported_.has_value());
}

// Records the end of a run could not write are shown as such and written at
// the end of the next run.
TEST_F(SessionTest, RecordsThatCantBeWrittenAtTheEndAreShownAndWrittenNextTime) {
  UseSaveFile();
  std::unique_ptr<save_test::RawDb> other;
  everyFrame_ = [&](PlayerSource&) {
    if (Game::MessageShown != 0 && !other) other = LockSaveFile();
  };
  EXPECT_EQ(Play(u".SFS SCENE_A\nあ\n\n\n"), 0);
  const std::vector<std::u16string> boxes = NewBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind(u"進行状況を書き込めません。", 0), 0u);
  other.reset();
  everyFrame_ = nullptr;
  EXPECT_EQ(Play(u"い\n\n\n"), 0);
  EXPECT_TRUE(NewBoxes().empty());

  Save::ResetGlobalDataState();
  Save::NameList scene, album;
  Save::OpenSaveDataAtStart(scene, album);
  EXPECT_EQ(scene, Save::NameList{u"SCENE_A"});
}

// Each save and a new name write the progress with them: the file as a program
// killed right afterwards leaves it, without the end of its run, holds the
// pages read up to then, the scene and picture unlocked and the names.
TEST_F(SessionTest, SavesAndANewNameWriteTheProgressAtOnce) {
  folder_.Write("BG10000.bmp", screens_test::Bmp(8, 8, [](int, int) { return screens_test::Rgb{0, 0, 9}; }));
  platform::HeadlessDialogHost names([](platform::DialogModel& d) {
    d.Edited(Game::kIdFamilyName, u"鈴木");
    d.Edited(Game::kIdGivenName, u"花子");
    d.Clicked(platform::IDOK);
  });
  platform::SetDialogHostService(&names);
  const std::tuple<const char*, std::function<void()>, std::u16string> ways[] = {
      {"the slot dialog's save", [] { Game::SaveGameToSlot(3, u""); }, u"山田"},
      {"the quick save", [] { EXPECT_TRUE(Game::QuickSaveGame()); }, u"山田"},
      {"a new name", [] { EXPECT_EQ(Game::ShowNameDialog(nullptr), 1); }, u"鈴木"},
  };
  for (const auto& [what, act, family] : ways) {
    SCOPED_TRACE(what);
    UseSaveFile();
    Save::GetCommonData() = Save::CommonData{};
    bool done = false;
    Save::CommonData written;
    Save::NameList scene, album;
    everyFrame_ = [&](PlayerSource&) {
      if (done || Game::MessageShown == 0 || Game::Backlog().Size() != 4) return;
      done = true;  // on the fourth page: a name typed in, then the act
      platform::CopyWide(Save::GetCommonData().familyName, Save::kNameUnits, u"山田");
      act();
      save_test::RawDb file(saves_ / "save.dat");
      Save::DecodeCommon(file.Blob("SELECT value_bin FROM global WHERE name='COMMON'"), written);
      scene = Save::DecodeNameList(file.Blob("SELECT value_bin FROM global WHERE name='SCENE'"));
      album = Save::DecodeNameList(file.Blob("SELECT value_bin FROM global WHERE name='ALBUM'"));
    };
    EXPECT_EQ(Play(u".SFS SCENE_A\n.GRP BG10000\nあ\n\n\nい\n\n\nう\n\n\nえ\n\n\n.PST END = 1\n"), 0);
    EXPECT_EQ(Var(u"END"), 1);
    ASSERT_TRUE(done);
    // Pages 1-3 read and page 0 before them; え (page 4) was still open.
    for (int page = 0; page <= 4; ++page) EXPECT_EQ(Save::GetFlag(written, page), page < 4) << page;
    EXPECT_EQ(std::u16string(written.familyName), family);
    EXPECT_EQ(scene, Save::NameList{u"SCENE_A"});
    EXPECT_EQ(album, Save::NameList{u"BG1"});
    ForgetSaveFile();
  }
  platform::SetDialogHostService(nullptr);
}

}  // namespace
