// The logo, the title, the manual, the ending, the Yes/No box and the notice,
// each played headless: what the player sees at chosen frames, what each
// screen answers, and that nothing of a screen stays in the tree afterwards.
#include <optional>

#include "game/ending.h"
#include "game/manual.h"
#include "game/settings_menu.h"
#include "game/session.h"
#include "game/yesno.h"
#include "save/save_data.h"
#include "screens_test_util.h"
#include "platform/text.h"
#include "textscript/script_host.h"

namespace screens_test {
namespace {

using ScreensTest = ScreenHarness;

// A picture drawn at the full fade level 255 loses at most a step of each channel.
bool Near(uint32_t shown, Rgb want) {
  auto close = [](uint32_t a, uint32_t b) { return a <= b && b - a <= 2; };
  return close(shown >> 16, want.r) && close((shown >> 8) & 0xFF, want.g) && close(shown & 0xFF, want.b);
}

constexpr int kYesX = 336, kNoX = 448, kAnswerY = 210;

TEST_F(ScreensTest, LogoStandsWholeUntilClickedThroughEachPhase) {
  struct Case {
    const char* name;
    std::vector<Move> moves;
    int checkFrame;   // a frame that presents the logo at full level
    int minFrames, maxFrames;
  };
  // 65 frames in, 5000 ms at 16 ms a frame, 65 frames out.
  const Case cases[] = {
      {"untouched", {}, 100, 65 + 312 + 65, 65 + 315 + 65},
      {"three clicks", {{10, 5, 5}, {20, 5, 5}, {30, 5, 5}}, 15, 30, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int before = ScreenChildren();
    uint32_t shown = 0;
    Play(c.moves, [&](int frame) {
      if (frame == c.checkFrame) shown = Shown(10, 10);
    });
    uint64_t start = Frames();
    Game::ShowBrandLogo();
    int frames = static_cast<int>(Frames() - start);
    EXPECT_GE(frames, c.minFrames);
    EXPECT_LE(frames, c.maxFrames);
    EXPECT_GE(shown >> 16, 245u) << std::hex << shown;
    EXPECT_EQ(ScreenChildren(), before);
  }
}

TEST_F(ScreensTest, TitleItemsGiveTheirResults) {
  struct Case {
    const char* name;
    bool prologueSeen;
    std::vector<Move> moves;
    int result;
    int skipPrologue;
    int dialogs;  // load dialogs opened
  };
  const Case cases[] = {
      {"quit", false, {{30, kItemX, ItemY(5)}}, Game::kTitleQuit, 0, 0},
      {"quit at its right edge", false, {{30, kMenuX + 247, ItemY(5)}}, Game::kTitleQuit, 0, 0},
      {"pressed in the gap below new game, then quit", false,
       {{30, kItemX, ItemY(1) + 24}, {60, kItemX, ItemY(5)}}, Game::kTitleQuit, 0, 0},
      {"pressed outside, released over an item", false,
       {{30, 100, 100, 0, 3}, {32, kItemX, ItemY(5), -1}, {60, kItemX, ItemY(5)}}, Game::kTitleQuit, 0, 0},
      {"clicked during the fade-in", false, {{5, kItemX, ItemY(5)}, {60, kItemX, ItemY(1)}}, Game::kTitleNewGame, 0, 0},
      {"new game, prologue never seen", false, {{30, kItemX, ItemY(1)}}, Game::kTitleNewGame, 0, 0},
      {"new game, prologue skipped", true, {{30, kItemX, ItemY(1)}, {60, kYesX, kAnswerY}}, Game::kTitleNewGame, 1, 0},
      {"new game, prologue kept", true, {{30, kItemX, ItemY(1)}, {60, kNoX, kAnswerY}}, Game::kTitleNewGame, 0, 0},
      {"load cancelled, then slot 0", false, {{30, kItemX, ItemY(2)}, {60, kItemX, ItemY(2)}}, 2, 0, 2},
      {"manual closed, then quit", false, {{30, kItemX, ItemY(0)}, {60, 733, 557}, {90, kItemX, ItemY(5)}},
       Game::kTitleQuit, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Save::SetFlag(Save::GetCommonData(), Game::kPrologueFlag, c.prologueSeen);
    Game::SkipPrologue = 7;
    int dialogs = 0;
    Game::SetTitleScreens({[&] { return dialogs++ == 0 ? -1 : 0; }, {}});
    int before = ScreenChildren();
    Play(c.moves);
    EXPECT_EQ(Game::ShowTitle(), c.result);
    if (c.result == Game::kTitleNewGame) {
      EXPECT_EQ(Game::SkipPrologue, c.skipPrologue);
    }
    EXPECT_EQ(dialogs, c.dialogs);
    EXPECT_EQ(ScreenChildren(), before);
  }
}

// A double click on the back item of the settings or the extras menu, where
// quit stands, goes back once: the title takes no click that began within the
// double-click time (400 ms, 25 frames) of its showing again; a later one quits.
TEST_F(ScreensTest, ADoubleClickOnBackGoesBackOnce) {
  struct Case {
    int item;    // the screen's title item: settings or extras
    int second;  // the frame of the second click on back; back was clicked at 60
    int result;
  } cases[] = {{3, 69, Game::kTitleNewGame}, {4, 69, Game::kTitleNewGame}, {3, 100, Game::kTitleQuit}};
  Game::SetTitleScreens({{}, [](DxDraw::DxSurface* sheet) { Game::ShowSettingsDialog(sheet, nullptr); }});
  for (const Case& c : cases) {
    Play({{30, kItemX, ItemY(c.item)}, {60, kItemX, ItemY(5)}, {c.second, kItemX, ItemY(5)}, {200, kItemX, ItemY(1)}});
    EXPECT_EQ(Game::ShowTitle(), c.result) << c.item << " " << c.second;
  }
}

// The item the cursor leaves goes back to normal, in the extras menu too; after
// the manual, the settings and the extras menu close, the six items and the
// background stand again, none lit.
TEST_F(ScreensTest, TitleFadesInAndLightsOnlyTheItemUnderTheCursor) {
  std::vector<std::pair<int, uint32_t>> seen;  // frame, pixel of item 1
  uint32_t lit = 0, left = 0, other = 0;
  std::vector<uint32_t> after;  // the six items and the background after each screen
  std::vector<uint32_t> extras;  // the extras menu's replay and back items, each under the cursor in turn
  Game::SetTitleScreens({{}, [](DxDraw::DxSurface*) {}});
  Play({{1, kItemX, ItemY(3), -1}, {30, kItemX, ItemY(2), -1},
        {50, kItemX, ItemY(0)}, {70, 733, 557},                 // the manual, closed
        {100, kItemX, ItemY(3)}, {102, 5, 5, -1},               // the settings
        {120, kItemX, ItemY(4)}, {125, kItemX, ItemY(1), -1},   // the extras menu: its replay item,
        {130, kItemX, ItemY(5), -1}, {135, 5, 5, 1},            // its back item, left by a right click
        {160, kItemX, ItemY(5)}},
       [&](int frame) {
         if (frame == 2 || frame == 9) seen.emplace_back(frame, Shown(kItemX, ItemY(1)));
         if (frame == 40) {
           lit = Shown(kItemX, ItemY(2)), left = Shown(kItemX, ItemY(3)), other = Shown(kItemX, ItemY(1));
         }
         if (frame == 129 || frame == 134) {
           extras.insert(extras.end(), {Shown(kItemX, ItemY(1)), Shown(kItemX, ItemY(5))});
         }
         if (frame != 90 && frame != 110 && frame != 150) return;
         for (int i = 0; i < 6; ++i) after.push_back(Shown(kItemX, ItemY(i)));
         after.push_back(Shown(10, 10));
       });
  EXPECT_EQ(Game::ShowTitle(), Game::kTitleQuit);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_LT(seen[0].second & 0xFF, 10u) << "black at the first level";
  EXPECT_NEAR(seen[1].second & 0xFF, kItemNormal.b * 7 * 17 / 255, 1) << "seven steps of 17 levels in";
  EXPECT_EQ(lit, ItemLit(2).Shown());
  EXPECT_EQ(left, kItemNormal.Shown());
  EXPECT_EQ(other, kItemNormal.Shown());
  std::vector<uint32_t> want;
  for (int screen = 0; screen < 3; ++screen) {
    want.insert(want.end(), 6, kItemNormal.Shown());
    want.push_back(kTitleBack.Shown());
  }
  EXPECT_EQ(after, want);
  const uint32_t normal = kItemNormal.Shown();
  EXPECT_EQ(extras, (std::vector<uint32_t>{ItemLit(1).Shown(), normal, normal, ItemLit(5).Shown()}));
}

TEST_F(ScreensTest, ManualLeafsRoundItsFourPagesAndCloses) {
  const int kPrev = 585, kNext = 659, kClose = 733, kButtonY = 557;
  struct Case {
    const char* name;
    std::vector<Move> moves;
    std::vector<int> pages;  // page shown just before each move
    std::vector<int> lit;    // the button lit (0 previous, 1 next, -1 none) at frames 39 and 59
  };
  const Case cases[] = {
      {"previous from the first page, then the close button",
       {{20, kPrev, kButtonY}, {40, kNext, kButtonY}, {60, kNext, kButtonY}, {80, kClose, kButtonY}}, {0, 3, 0, 1},
       {0, 1}},
      {"right click anywhere", {{20, 300, 300, -1}, {40, 300, 300, 1}}, {0, 0}, {-1}},
      {"left click off the buttons and on their last two pixels",
       {{20, 300, 300}, {40, kNext + 24, kButtonY + 24}, {60, 300, 300, 1}}, {0, 0, 0}, {-1, -1}},
      {"left and right in one frame", {{20, kNext, kButtonY, 0}, {20, kNext, kButtonY, 1}}, {0}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int before = ScreenChildren();
    std::vector<int> pages, lit;
    std::optional<uint64_t> nested;
    Play(c.moves, [&](int frame) {
      if (frame == 39 || frame == 59) {
        lit.push_back(Shown(kPrev, kButtonY) == ItemLit(1).Shown()  ? 0
                      : Shown(kNext, kButtonY) == ItemLit(0).Shown() ? 1
                                                                     : -1);
      }
      if (frame % 20 == 19 && static_cast<std::size_t>(frame / 20) < c.moves.size()) {
        uint32_t pixel = Shown(10, 10);
        for (int i = 0; i < 4; ++i) {
          if (pixel == kPages[i].Shown()) pages.push_back(i);
        }
      }
      if (frame == 10) {
        uint64_t at = Frames();
        Game::ShowManual();  // the menu command while the manual shows
        nested = Frames() - at;
      }
    });
    Game::ShowManual();
    EXPECT_EQ(pages, c.pages);
    EXPECT_EQ(lit, c.lit);
    EXPECT_EQ(nested, 0u) << "the manual does not open itself again";
    EXPECT_EQ(ScreenChildren(), before);
  }
}

TEST_F(ScreensTest, EndingShowsEachPictureInTurnAndHoldsTheLastLongest) {
  // Each picture: 17 frames in, the hold, 17 frames out; holds 5000, 5000, 20000 ms.
  std::vector<uint32_t> shown;
  Play({}, [&](int frame) {
    if (frame == 100 || frame == 450 || frame == 1200) shown.push_back(Shown(10, 10));
  });
  uint64_t start = Frames();
  Game::ShowEndingSlides();
  int frames = static_cast<int>(Frames() - start);
  ASSERT_EQ(shown.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Near(shown[i], kEndings[i])) << i << " " << std::hex << shown[i];
  EXPECT_GE(frames, 6 * 17 + 30000 / 16);
  EXPECT_LE(frames, 6 * 17 + 30000 / 16 + 6);

  // A decide press cuts only the hold it falls in.
  Play({{40, 5, 5}});
  start = Frames();
  Game::ShowEndingSlides();
  frames = static_cast<int>(Frames() - start);
  EXPECT_GE(frames, 6 * 17 + 25000 / 16 + 20);
  EXPECT_LE(frames, 6 * 17 + 25000 / 16 + 30);
}

TEST(EndingMusicTest, FadesFromTheSettingsLevelToSilence) {
  struct Case {
    int start, step, level;
  };
  // 100 percent gives level 25, falling by 0.625 a step; a switched-off channel starts at 0.
  const Case cases[] = {{25, 1, 24}, {25, 2, 23}, {25, 39, 0}, {25, 40, 0}, {25, 20, 12}, {0, 1, 0}};
  for (const Case& c : cases) EXPECT_EQ(Game::EndingMusicLevel(c.start, c.step), c.level) << c.start << " " << c.step;
}

// Pixels of the rectangle presented in the colour: white text or red text.
int CountShown(const ScreenHarness& h, DxDraw::RECT r, bool red) {
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      uint32_t p = h.ShownAt(x, y);
      uint32_t rr = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (red ? (rr > 200 && g < 60 && b < 60) : (rr > 200 && g > 200 && b > 200)) ++count;
    }
  }
  return count;
}

TEST_F(ScreensTest, YesNoBoxDrawsTheQuestionAndLightsTheAnswerUnderTheCursor) {
  const DxDraw::RECT question{40, 152, 760, 184}, yes{304, 190, 368, 222}, no{400, 190, 496, 222};
  struct Seen {
    int questionWhite, yesWhite, yesRed, noWhite, noRed;
  };
  std::vector<Seen> seen;
  auto look = [&] {
    seen.push_back({CountShown(*this, question, false), CountShown(*this, yes, false), CountShown(*this, yes, true),
                    CountShown(*this, no, false), CountShown(*this, no, true)});
  };
  Play({{1, kYesX, kAnswerY, -1}, {10, kNoX, kAnswerY, -1}, {20, kNoX, kAnswerY}}, [&](int frame) {
    if (frame == 9 || frame == 19) look();
  });
  EXPECT_EQ(Game::ShowYesNoBox(u"プロローグをスキップしますか？"), 0);
  EXPECT_NE(Shown(120, 148), 0u) << "the box's top row is the sheet's row 240";
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_GT(seen[0].questionWhite, 100);
  EXPECT_GT(seen[0].yesRed, 50);
  EXPECT_EQ(seen[0].yesWhite, 0);
  EXPECT_GT(seen[0].noWhite, 50);
  EXPECT_EQ(seen[0].noRed, 0);
  EXPECT_GT(seen[1].yesWhite, 50) << "the answer left turns white in the frame the other lights";
  EXPECT_EQ(seen[1].yesRed, 0);
  EXPECT_GT(seen[1].noRed, 50);
}

TEST_F(ScreensTest, NoticeWaitsForTheButtonsToComeUpThenStandsItsTime) {
  const DxDraw::RECT band{40, 344, 760, 376};
  struct Case {
    const char* name;
    std::vector<Move> moves;
    int minFrames, maxFrames;
  };
  const Case cases[] = {
      {"held at first", {{1, 5, 5, 0, 10}}, 10 + 125, 10 + 128},
      {"a decide press ends it", {{1, 5, 5, 0, 10}, {40, 5, 5}}, 40, 41},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int before = ScreenChildren();
    int white = 0;
    Play(c.moves, [&](int frame) {
      if (frame == 30) white = CountShown(*this, band, false);
    });
    uint64_t start = Frames();
    Game::ShowNoticeBand(u"セーブしました", 2000);
    int frames = static_cast<int>(Frames() - start);
    EXPECT_GE(frames, c.minFrames);
    EXPECT_LE(frames, c.maxFrames);
    EXPECT_GT(white, 100) << "the text is on the band";
    EXPECT_EQ(ScreenChildren(), before);
  }
}

// Every screen left by a request: the request goes on as the same code (the
// title answers it with -1 or the pending load's slot + 2) and no sprite stays.
TEST_F(ScreensTest, RequestsLeaveNoSpriteOfAnyScreenBehind) {
  struct Case {
    const char* name;
    std::function<int()> show;  // the title's result; the others return 0
    int at;                     // frame of the request
    bool title = false;         // the title answers the request
  };
  const Case cases[] = {
      {"logo", [] { return Game::ShowBrandLogo(), 0; }, 100},
      {"manual", [] { return Game::ShowManual(), 0; }, 10},
      {"ending", [] { return Game::ShowEndingSlides(), 0; }, 500},
      {"yes/no", [] { return Game::ShowYesNoBox(u"ロードしてもよろしいですか？"); }, 10},
      {"notice", [] { return Game::ShowNoticeBand(u"セーブしました", 2000), 0; }, 5},
      {"title fading in", [] { return Game::ShowTitle(); }, 5, true},
      {"manual from the title", [] { return Game::ShowTitle(); }, 60, true},
  };
  Game::LoadSlot = 4;
  for (uint32_t request : {App::kRequestTitle, App::kRequestLoad}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (request == App::kRequestTitle ? " title" : " load"));
      int before = ScreenChildren();
      Play({{30, kItemX, ItemY(0)}}, [&](int frame) {
        if (frame == c.at) frame_.SetRequest(request);
      });
      std::optional<int32_t> code;
      int result = 0;
      try {
        result = c.show();
      } catch (const ScriptException& e) {
        code = e.code;
      }
      if (c.title) {
        EXPECT_FALSE(code.has_value());
        EXPECT_EQ(result, request == App::kRequestTitle ? Game::kTitleAgain : 4 + 2);
      } else {
        EXPECT_EQ(code, request == App::kRequestTitle ? ScriptException::kBackToTitle : ScriptException::kLoad);
      }
      EXPECT_EQ(ScreenChildren(), before);
    }
  }
}

TEST_F(ScreensTest, AMissingPictureIsReportedByNameAndLeavesNothingBehind) {
  game_test::ScriptFolder bare;  // the manual's buttons but none of its pages, nothing else
  bare.Write("title/rm_parts.bmp", Bmp(106, 162, [](int, int) { return kItemNormal; }));
  bare.Install();
  struct Case {
    std::u16string picture;
    std::function<void()> show;
  };
  const Case cases[] = {
      {u"'brand", [] { Game::ShowBrandLogo(); }},
      {u"'title/title", [] { Game::ShowTitle(); }},
      {u"'title/rm_base1", [] { Game::ShowManual(); }},
      {u"'ed01", [] { Game::ShowEndingSlides(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.picture));
    int before = ScreenChildren();
    Play({});
    std::u16string message;
    try {
      c.show();
    } catch (const ExceptionHandle& e) {
      message = e.Message;
    }
    EXPECT_NE(message.find(c.picture), std::u16string::npos) << platform::Utf16ToUtf8(message);
    EXPECT_EQ(ScreenChildren(), before);
  }
}

TEST_F(ScreensTest, YesNoBoxAnswersOnlyALeftClickOnAnAnswer) {
  struct Case {
    const char* name;
    std::vector<Move> moves;
    int answer;
    bool fontChange;
  };
  const Case cases[] = {
      {"yes", {{10, kYesX, kAnswerY}}, 1, false},
      {"between the answers, then no", {{10, 384, kAnswerY}, {30, kNoX, kAnswerY}}, 0, false},
      {"right click on yes, then no", {{10, kYesX, kAnswerY, 1}, {30, kNoX, kAnswerY}}, 0, false},
      {"Enter and Escape over yes, then no",
       {{10, kYesX, kAnswerY, -1, 1, App::DIK_RETURN}, {20, kYesX, kAnswerY, -1, 1, App::DIK_ESCAPE},
        {30, kNoX, kAnswerY}},
       0, false},
      {"font changed while asking", {{10, kYesX, kAnswerY}}, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int before = ScreenChildren();
    Play(c.moves, [&](int frame) {
      if (c.fontChange && frame == 5) Game::SettingsChanged |= Game::kFontChanged;
    });
    EXPECT_EQ(Game::ShowYesNoBox(Game::kSkipPrologueQuestion), c.answer);
    EXPECT_EQ((Game::SettingsChanged & Game::kFontChanged) != 0, c.fontChange) << "the script still sees the change";
    EXPECT_EQ(ScreenChildren(), before);
    Game::SettingsChanged = 0;
  }
}

}  // namespace
}  // namespace screens_test
