// The stage and its transitions on the headless screen: how many frames each
// takes and what the player sees at its end.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/frame.h"
#include "app/settings.h"
#include "dxdraw/dxsurface.h"
#include "game/game_state.h"
#include "game/message_stage.h"
#include "game/stage.h"
#include "game_test_util.h"
#include "message/messview.h"
#include "message/messwindow.h"

namespace {

using Game::StageFlags;
using Game::StageSprite;
using Game::StageWorkSurface;

constexpr uint32_t kPicture = 0x3366CC;

class StageTest : public game_test::GameHarness {
 protected:
  StageTest() {
    Game::BuildStage();
    Game::SkipMode = 0;
    App::Settings().game.display_speed = 0;
  }
  ~StageTest() override {
    Game::SkipMode = 0;
    App::Settings().game.display_speed = 0;
  }
  // A picture composed into the work surface, waiting.
  void ComposePicture(uint32_t rgb) {
    StageWorkSurface->FillRect(nullptr, rgb, 255);
    StageFlags |= Game::kStagePending;
  }
  // Frames that `step` runs.
  template <class Step>
  uint64_t FramesOf(Step step) {
    uint64_t before = Frames();
    step();
    return Frames() - before;
  }
};

TEST_F(StageTest, PendingPictureCrossFadesByWhatTheStageShowed) {
  struct Case {
    const char* what;
    bool filled;  // the stage was filled black (as a load onto a black stage does), else showed a picture
    uint8_t displaySpeed;
    int32_t skipMode;
    uint64_t frames;
  };
  const Case cases[] = {
      {"after a fill: steps of 2, then the landing frame", true, 0, 0, 129 + 1},
      {"after a picture: steps of 16", false, 0, 0, 17 + 1},
      {"fast display: at once", true, 1, 0, 1},
      {"skipping: at once", false, 0, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Game::BuildStage();
    StageFlags = 0;
    if (c.filled) Game::FillStage(Game::kBlack);
    ComposePicture(kPicture);
    App::Settings().game.display_speed = c.displaySpeed;
    Game::SkipMode = c.skipMode;
    const uint64_t start = Frames();
    uint32_t mid = 0;
    source_.play = [&](game_test::PlayerSource&) {
      if (Frames() - start == c.frames / 2) mid = Shown(400, 300);
    };
    EXPECT_EQ(FramesOf(Game::ShowPendingPicture), c.frames);
    EXPECT_EQ(StageFlags, 0);
    EXPECT_EQ(Shown(400, 300), kPicture);
    // Half way through a fade each channel lies between the black shown before and the picture.
    for (int shift = 0; c.frames > 2 && shift < 24; shift += 8) {
      EXPECT_GT((mid >> shift) & 0xFF, 0u) << shift;
      EXPECT_LT((mid >> shift) & 0xFF, (kPicture >> shift) & 0xFF) << shift;
    }
  }
}

TEST_F(StageTest, NothingPendingShowsNothingAndWaitsNoFrame) {
  StageFlags = Game::kStageShowsFill;
  EXPECT_EQ(FramesOf(Game::ShowPendingPicture), 0u);
  EXPECT_EQ(StageFlags, Game::kStageShowsFill);
}

TEST_F(StageTest, FadesEndOnTheirFillAfter129FramesAndALandingFrame) {
  struct Case {
    const char* what;
    void (*fade)();
    uint32_t colour;
  };
  const Case cases[] = {
      {"to black", Game::FadeOutStage, Game::kBlack},
      {"to white", Game::FadeToWhite, Game::kWhite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Game::BuildStage();
    StageFlags = 0;
    ComposePicture(kPicture);
    Game::ShowPendingPicture();
    EXPECT_EQ(FramesOf(c.fade), 129u + 1);
    EXPECT_EQ(Shown(10, 590), c.colour);
    EXPECT_NE(StageFlags & Game::kStageShowsFill, 0);
  }
}

TEST_F(StageTest, FlashKeepsAPictureWaitingAndLeavesTheStageWhite) {
  for (int pending : {0, 1}) {
    SCOPED_TRACE(pending);
    Game::BuildStage();
    if (pending != 0) ComposePicture(kPicture);
    Game::FlashStage(2);
    EXPECT_EQ(Shown(400, 300), Game::kWhite);
    EXPECT_EQ((StageFlags & Game::kStagePending) != 0, pending != 0);
    Game::ShowPendingPicture();
    EXPECT_EQ(Shown(400, 300), pending != 0 ? kPicture : Game::kWhite);
  }
}

TEST_F(StageTest, FlashOfZeroStillTurnsTheStageWhite) {
  EXPECT_EQ(FramesOf([] { Game::FlashStage(0); }), 1u);
  EXPECT_EQ(Shown(0, 0), Game::kWhite);
}

// The window's panel on a black stage: rows 40-240 of the sheet, white between
// black rows, tinted with the settings' colour, shown at their fourth byte as the
// level; the buttons are cut from the sheet's right edge from row 288.
TEST_F(StageTest, MessageWindowShowsTheSettingsColourAtItsLevel) {
  DxDraw::DxSurface* sheet = DxDraw::CreateSurface(32);
  sheet->Create(800, 408);
  sheet->FillRect(nullptr, Game::kBlack, 255);
  const DxDraw::RECT panel{0, 40, 800, 240}, buttons{752, 288, 800, 408};
  sheet->FillRect(&panel, Game::kWhite, 255);
  sheet->FillRect(&buttons, Game::kWhite, 255);
  TextScript::SetSystemPicture(sheet);
  const App::GameSettings kept = App::Settings().game;
  const uint8_t colour[4] = {200, 100, 20, 128};
  std::copy(colour, colour + 4, App::Settings().game.base_color);
  Game::BuildMessageWindow();
  Game::MessageWindow->Show();
  App::WaitNextFrame();
  for (int y : {400, 599}) {
    const uint32_t shown = Shown(400, y), half = 0x64320A;
    for (int shift = 0; shift < 24; shift += 8) {
      EXPECT_NEAR((shown >> shift) & 0xFF, (half >> shift) & 0xFF, 2) << y << " " << std::hex << shown;
    }
  }
  EXPECT_GT(Shown(770, 440) >> 16, 0x64u + 40) << "the first button, from row 288 of the sheet, lightens the panel";
  Game::ReleaseMessageWindow();
  App::Settings().game = kept;
  TextScript::SetSystemPicture(nullptr);
}

TEST_F(StageTest, TearDownLeavesNothingOnTheScreen) {
  Game::TearDownStage();
  EXPECT_FALSE(Game::StageBuilt());
  EXPECT_EQ(StageSprite, nullptr);
  EXPECT_EQ(StageWorkSurface, nullptr);
  EXPECT_EQ(screen_->GetFirstChild(), nullptr);
  Game::TearDownStage();  // twice is harmless
}

}  // namespace
