#include "message/messwindow.h"

#include <gtest/gtest.h>

#include "core/act.h"
#include "message/frame_fixture.h"

namespace TextScript {
namespace {

class MessWindowTest : public message_test::FrameFixture {
 protected:
  MessWindowTest() {
    window_ = new MessageWindow(800, 200, 8, 24, 44, 16);
    window_->SetPosition(0, 400);
    screen_->AddChild(window_);
  }
  ~MessWindowTest() override { window_->Release(); }

  MessageWindow* window_ = nullptr;
};

TEST_F(MessWindowTest, ViewFillsTheMarginsAndButtonRectanglesStayOnScreen) {
  EXPECT_EQ(window_->GetView()->GetWidth(), 800 - 8 - 24);
  EXPECT_EQ(window_->GetView()->GetHeight(), 200 - 44 - 16);
  window_->SetPosition(0, 0);
  // Hit rectangles are screen coordinates of the window at (0, 400): a move leaves them.
  EXPECT_EQ(window_->GetButtonRects()[kButtonQuickLoad], (DxDraw::RECT{752, 536, 800, 560}));
}

TEST_F(MessWindowTest, OpenAndCloseFinishOnCreation) {
  struct Case {
    bool visibleBefore;
    bool open;
    bool visibleAfter;
  };
  const Case cases[] = {{false, true, true}, {true, true, true}, {true, false, false}, {false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.visibleBefore << c.open);
    if (c.visibleBefore) {
      window_->Show();
    } else {
      window_->Hide();
    }
    window_->GetView()->Hide();
    ACT* task = c.open ? MakeOpenWindowTask(window_) : MakeCloseWindowTask(window_);
    EXPECT_EQ(task->state, -1);
    EXPECT_EQ(window_->IsVisible(), c.visibleAfter);
    // Opening a hidden window shows its text view with it.
    EXPECT_EQ(window_->GetView()->IsVisible(), c.open && !c.visibleBefore);
    const uint64_t frames = frame_.FrameCount();
    RunWindowTask(task);
    EXPECT_EQ(frame_.FrameCount(), frames);
  }
  window_->Show();
  CloseWindowNow(window_);
  EXPECT_FALSE(window_->IsVisible());
  EXPECT_EQ(CountFreeACT(), kACTPoolSize - kACTLevelCount);
}

}  // namespace
}  // namespace TextScript
