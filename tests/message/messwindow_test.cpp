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

TEST_F(MessWindowTest, HoldsFrameViewAndButtonsInsideItsMargins) {
  DxMessView2* view = window_->GetView();
  EXPECT_EQ(view->GetWidth(), 768);
  EXPECT_EQ(view->GetHeight(), 140);
  EXPECT_EQ(view->m_Position[0], 8);
  EXPECT_EQ(view->m_Position[1], 44);
  EXPECT_EQ(window_->GetFirstChild(), static_cast<DxDraw::ssView*>(window_->GetFrameSprite()));
  EXPECT_EQ(window_->GetFrameSprite()->m_Param.Level, 128);
  for (int i = 0; i < kMessageButtonCount; ++i) {
    SCOPED_TRACE(i);
    DxDraw::DxSprite* button = window_->GetButton(i);
    EXPECT_EQ(button->m_Position[1], 40 + 24 * i);
    EXPECT_EQ(button->m_Frame.source, (DxDraw::RECT{752, 288 + 24 * i, 800, 312 + 24 * i}));
    EXPECT_EQ(button->m_Param.Flags, 0x10002u);
    // Screen rectangles for the window at (0, 400): they do not follow a move.
    EXPECT_EQ(window_->GetButtonRects()[i], (DxDraw::RECT{752, 440 + 24 * i, 800, 464 + 24 * i}));
  }
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
