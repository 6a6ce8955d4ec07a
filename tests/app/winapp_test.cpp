#include "app/winapp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "app/fake_systems.h"
#include "core/exception.h"
#include "dxdraw/dxscreen.h"
#include "platform/event_source.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/presenter.h"
#include "textscript/script_host.h"

namespace App {
namespace {

class WinAppTest : public ::testing::Test {
 protected:
  WinAppTest() : app_(systems_, frame_) {
    previous_box_ = platform::SetMessageBoxService(&boxes_);
    previous_window_ = platform::SetMainWindow(&window_);
    boxes_.SetEcho(false);
    window_.SetMenu(MainMenu());
    screen_.Resize(800, 600);
    frame_.SetScreen(&screen_);
  }
  ~WinAppTest() override {
    platform::SetMessageBoxService(previous_box_);
    platform::SetMainWindow(previous_window_);
  }

  void Command(uint32_t id, uint32_t from_accelerator = 0) {
    app_.OnWindowMessage(platform::WindowEvent{platform::WindowMessage::kCommand, id, from_accelerator});
  }

  FakeSystems systems_;
  Frame frame_;
  WinApp app_;
  DxDraw::DxScreenSurface32 screen_;
  platform::HeadlessMessageBox boxes_;
  platform::HeadlessMainWindow window_;
  platform::IMessageBox* previous_box_;
  platform::IMainWindow* previous_window_;
};

TEST_F(WinAppTest, CommandsActThroughTheWindowProcedure) {
  struct Row {
    uint32_t id;
    int answer;           // message box and dialog answer
    uint32_t request;     // request word afterwards
    std::vector<std::string> calls;
    int boxes;
  } rows[] = {
      {kCommandBackToTitle, 0, kRequestTitle, {}, 0},
      {kCommandStepBack, platform::IDYES, kRequestStepBack, {}, 1},
      {kCommandStepBack, platform::IDNO, kRequestNone, {}, 1},
      {kCommandSave, -1, kRequestNone, {"SaveLoad0"}, 0},
      {kCommandSave, 4, kRequestNone, {"SaveLoad0", "Notice2000"}, 0},
      {kCommandLoad, -1, kRequestNone, {"SaveLoad1"}, 0},
      {kCommandLoad, 7, kRequestLoad, {"SaveLoad1", "LoadSlot7"}, 0},
      {kCommandVariables, 0, kRequestNone, {"Variables"}, 0},
      {kCommandFlags, 0, kRequestNone, {"Flags"}, 0},
      {kCommandSoundSettings, 0, kRequestNone, {"SoundDialog"}, 0},
      {kCommandSystemSettings, 0, kRequestNone, {"SystemSettings"}, 0},
      {kCommandChangeName, 0, kRequestNone, {"NameDialog"}, 0},
      {kCommandManual, 0, kRequestNone, {"Manual"}, 0},
      {40017, 0, kRequestNone, {"MessageSpeed3"}, 0},
      {40020, 0, kRequestNone, {"MessageSpeed0"}, 0},
      {40021, 0, kRequestNone, {"AutoSpeed0"}, 0},
      {40022, 0, kRequestNone, {"AutoSpeed4"}, 0},
      {40025, 0, kRequestNone, {"AutoSpeed1"}, 0},
      {kCommandF10, 0, kRequestNone, {}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    frame_.SetRequest(kRequestNone);
    systems_.calls.clear();
    systems_.dialog_answer = row.answer;
    boxes_.SetAnswer(row.answer > 0 ? row.answer : 0);
    size_t before = boxes_.shown().size();
    Command(row.id);
    EXPECT_EQ(frame_.GetRequest(), row.request);
    EXPECT_EQ(systems_.calls, row.calls);
    EXPECT_EQ(boxes_.shown().size() - before, static_cast<size_t>(row.boxes));
    if (row.id >= 40017 && row.id <= 40025) {
      EXPECT_TRUE(window_.IsMenuItemChecked(row.id) || row.id == 40021);
    }
  }
  EXPECT_FALSE(frame_.IsQuitting());
}

TEST_F(WinAppTest, DrawSpeedItemsSetCounterReloadAndSkipFrame) {
  struct Row {
    uint32_t id;
    int32_t counter, reload;
    uint32_t skip_frame;
  } rows[] = {
      {40004, 0, 0, 1}, {40005, 1, 1, 2}, {40006, 3, 3, 4}, {40007, 7, 7, 8}, {40008, 15, 15, 16}, {40009, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    Command(row.id);
    EXPECT_EQ(screen_.GetSkipCounter(), row.counter);
    EXPECT_EQ(screen_.GetSkipReload(), row.reload);
    EXPECT_EQ(frame_.GetSkipFrame(), row.skip_frame);
    EXPECT_EQ(Settings().words.skip_frame, row.skip_frame);
    for (uint32_t other = 40004; other <= 40009; ++other) EXPECT_EQ(window_.IsMenuItemChecked(other), other == row.id);
  }
}

TEST_F(WinAppTest, GreyedCommandsRefuseTheirAccelerators) {
  EnableMenuCommand(kCommandStepBack, false);
  EnableMenuCommand(kCommandBackToTitle, false);
  boxes_.SetAnswer(platform::IDYES);
  for (bool full : {false, true}) {
    window_.SetFullScreen(full);
    Command(kCommandStepBack, 1);
    Command(kCommandBackToTitle);
    EXPECT_EQ(frame_.GetRequest(), kRequestNone);
    EXPECT_TRUE(boxes_.shown().empty());
  }
  // The game enables the scenario while a script runs: the step back comes with it.
  EnableMenuCommand(kCommandBackToTitle, true);
  Command(kCommandStepBack, 1);
  EXPECT_EQ(frame_.GetRequest(), kRequestStepBack);
}

TEST_F(WinAppTest, CloseAndExitAskFirst) {
  boxes_.SetAnswer(platform::IDNO);
  app_.OnWindowMessage(platform::WindowEvent{platform::WindowMessage::kClose});
  Command(kCommandExit);
  EXPECT_FALSE(frame_.IsQuitting());
  ASSERT_EQ(boxes_.shown().size(), 2u);
  for (const auto& box : boxes_.shown()) {
    EXPECT_EQ(box.text, u"終了してもよろしいですか？");
    EXPECT_EQ(box.flags, platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2);
  }
  boxes_.SetAnswer(platform::IDYES);
  Command(kCommandExit);
  EXPECT_TRUE(frame_.IsQuitting());
}

TEST_F(WinAppTest, FullScreenTogglesAndTheMenuShowsAtTheTopEdge) {
  Command(kCommandToggleFullScreen, 1);
  EXPECT_TRUE(window_.IsFullScreen());
  EXPECT_FALSE(window_.IsMenuBarVisible());
  auto move = [&](int32_t y) {
    platform::WindowEvent e{platform::WindowMessage::kMouseMove};
    e.y = y;
    app_.OnWindowMessage(e);
    return window_.IsMenuBarVisible();
  };
  EXPECT_FALSE(move(300));
  EXPECT_TRUE(move(1));
  EXPECT_TRUE(move(0));
  EXPECT_FALSE(move(2));
  Command(kCommandToggleFullScreen, 1);
  EXPECT_FALSE(window_.IsFullScreen());
  EXPECT_TRUE(window_.IsMenuBarVisible());
  EXPECT_TRUE(move(300));  // in a window the bar stays

  window_.SetFullScreenAllowed(false);
  const size_t boxes = boxes_.shown().size();
  Command(kCommandToggleFullScreen, 1);
  EXPECT_FALSE(window_.IsFullScreen());
  EXPECT_TRUE(window_.IsMenuBarVisible());
  ASSERT_EQ(boxes_.shown().size(), boxes + 1);
  EXPECT_EQ(boxes_.shown().back().text, u"フルスクリーンに設定できませんでした。");
}

TEST_F(WinAppTest, MenuHoldsTheTextsAndTheDebugMenuCanGo) {
  EXPECT_EQ(window_.TopMenus(), (std::vector<std::u16string>{u"システム", u"シナリオ", u"デバッグ"}));
  window_.RemoveTopMenu(kDebugMenuIndex);
  EXPECT_FALSE(window_.HasItem(kCommandVariables));
  EXPECT_TRUE(window_.HasItem(kCommandLoad));
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(MessageSpeedCommand(i), 40020 - i);
  EXPECT_EQ(AutoSpeedCommand(0), 40021u);
  EXPECT_EQ(AutoSpeedCommand(1), 40025u);
  EXPECT_EQ(AutoSpeedCommand(4), 40022u);
}

}  // namespace
}  // namespace App
