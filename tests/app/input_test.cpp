#include "app/input.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/event_source.h"

namespace App {
namespace {

// Installs a scripted source and a fake clock, and starts the maps from rest.
class InputTest : public ::testing::Test {
 protected:
  InputTest() : clock_guard_(&clock_) {
    previous_ = platform::SetEventSource(&source_);
    source_.SetCursor(400, 300);
    InitInput(nullptr);
    state_ = InputState{};
  }
  ~InputTest() override { platform::SetEventSource(previous_); }

  // One poll, 17 ms after the previous one (a repeat step every poll).
  void Poll(uint32_t ms = 17) { PollAfterUs(uint64_t{ms} * 1000); }
  void PollAfterUs(uint64_t us) {
    clock_.AdvanceUs(us);
    PollInput(&state_);
  }

  platform::FakeClock clock_{1000};
  platform::ScopedClock clock_guard_;
  platform::HeadlessEventSource source_;
  platform::IEventSource* previous_ = nullptr;
  InputState state_;
};

void Press(platform::HeadlessEventSource& source, uint32_t key, bool down) {
  if (key >= static_cast<uint32_t>(kMouseButton0)) {
    source.SetMouseButton(static_cast<int>(key) - kMouseButton0, down);
  } else {
    source.SetKey(static_cast<int>(key), down);
  }
}

TEST_F(InputTest, EveryRowOfKeyButtonMapFoldsIntoItsBit) {
  struct Row {
    uint32_t key;
    uint32_t bit;
  };
  const std::vector<Row> expected = {
      {0x100, 0x1000}, {0x101, 0x2000}, {0x102, 0x4000}, {0xC8, 0x1},     {0xD0, 0x2},
      {0xCB, 0x4},     {0xCD, 0x8},     {0x48, 0x1},     {0x50, 0x2},     {0x4B, 0x4},
      {0x4D, 0x8},     {0x9C, 0x10},    {0x1C, 0x10},    {0x01, 0x20},    {0x52, 0x20},
      {0x4F, 0x40},    {0x51, 0x80},    {0x47, 0x10000}, {0x49, 0x20000}, {0x58, 0x10000000},
      {0x1D, 0x10000}, {0x9D, 0x20000},
  };
  ASSERT_EQ(expected.size(), KeyButtonMap.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(KeyButtonMap[i].key, expected[i].key);
    EXPECT_EQ(KeyButtonMap[i].button, expected[i].bit);

    const bool ctrl = expected[i].key == DIK_LCONTROL || expected[i].key == DIK_RCONTROL;
    Press(source_, expected[i].key, true);
    Poll();
    if (ctrl) {
      // A Ctrl key counts from the poll after the one at which it had been held half a second.
      Poll(500);
      EXPECT_EQ(state_.held | state_.pressed, 0u);
      Poll(1);
    }
    EXPECT_EQ(state_.held, expected[i].bit);
    EXPECT_EQ(state_.pressed, expected[i].bit);
    EXPECT_EQ(state_.released, 0u);
    EXPECT_EQ(state_.repeat, ctrl ? 0u : expected[i].bit);
    Poll();
    EXPECT_EQ(state_.held, expected[i].bit);
    EXPECT_EQ(state_.pressed, 0u);
    Press(source_, expected[i].key, false);
    Poll();
    EXPECT_EQ(state_.held, 0u);
    EXPECT_EQ(state_.released, expected[i].bit);
  }
}

TEST_F(InputTest, TwinKeysShareABitUntilBothAreUp) {
  source_.SetKey(DIK_RETURN, true);
  Poll();
  source_.SetKey(DIK_NUMPADENTER, true);
  Poll();
  EXPECT_EQ(state_.held, kButtonEnter);
  EXPECT_EQ(state_.pressed, kButtonEnter);  // the second key went down this poll
  source_.SetKey(DIK_NUMPADENTER, false);
  Poll();
  EXPECT_EQ(state_.held, kButtonEnter);
  EXPECT_EQ(state_.released, kButtonEnter);  // the second key went up
  source_.SetKey(DIK_RETURN, false);
  Poll();
  EXPECT_EQ(state_.held, 0u);
}

TEST_F(InputTest, AReleasePollGivesNoPress) {
  struct Case {
    std::vector<int> down;  // keys held, then the first one let go
    uint32_t held_after;
  };
  const Case cases[] = {
      {{DIK_RETURN}, 0},
      {{DIK_RETURN, DIK_NUMPADENTER}, kButtonEnter},
      {{kMouseButton0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.down.size());
    for (int key : c.down) Press(source_, static_cast<uint32_t>(key), true);
    Poll();
    Poll();
    Press(source_, static_cast<uint32_t>(c.down[0]), false);
    Poll();
    EXPECT_EQ(state_.held, c.held_after);
    EXPECT_EQ(state_.pressed, 0u);
    EXPECT_NE(state_.released, 0u);
    source_.ReleaseAll();
    Poll();
  }
}

TEST_F(InputTest, HeldEnterRepeatsOnFirstStepThenAfterSixteenThenEveryFour) {
  // Frames 17 ms apart, and paced at 60 Hz (16.667 ms, which a millisecond clock
  // reads as 16 or 17).
  for (uint64_t frame_us : {17000u, 16667u}) {
    SCOPED_TRACE(frame_us);
    ResetInput();
    source_.SetKey(DIK_RETURN, true);
    std::vector<int> pulses;
    for (int frame = 1; frame <= 33; ++frame) {
      PollAfterUs(frame_us);
      if (state_.repeat & kButtonEnter) pulses.push_back(frame);
    }
    EXPECT_EQ(pulses, (std::vector<int>{1, 17, 21, 25, 29, 33}));
    source_.SetKey(DIK_RETURN, false);
  }
}

TEST_F(InputTest, PollsWithinASixtiethOfASecondHaveNoRepeat) {
  source_.SetKey(DIK_RETURN, true);
  Poll(17);
  EXPECT_EQ(state_.repeat, kButtonEnter);
  Poll(5);
  EXPECT_EQ(state_.repeat, 0u);
  EXPECT_EQ(state_.held, kButtonEnter);
  // The counters did not move: the next step after the first one is still in the delay.
  for (int i = 0; i < 15; ++i) {
    Poll(17);
    EXPECT_EQ(state_.repeat, 0u) << i;
  }
  Poll(17);
  EXPECT_EQ(state_.repeat, kButtonEnter);
}

TEST_F(InputTest, RepeatStepsAcrossTheClockWrap) {
  clock_.Set(0xFFFFFFF8u);
  ResetInput();
  source_.SetKey(DIK_UP, true);
  Poll(17);  // crosses 2^32
  EXPECT_EQ(state_.repeat, kButtonUp);
}

TEST_F(InputTest, ReleasingAKeyRestartsItsDelay) {
  source_.SetKey(DIK_RETURN, true);
  for (int i = 0; i < 20; ++i) Poll();
  source_.SetKey(DIK_RETURN, false);
  Poll();
  source_.SetKey(DIK_RETURN, true);
  std::vector<int> pulses;
  for (int frame = 1; frame <= 20; ++frame) {
    Poll();
    if (state_.repeat & kButtonEnter) pulses.push_back(frame);
  }
  EXPECT_EQ(pulses, (std::vector<int>{1, 17}));
}

TEST_F(InputTest, MouseButtonsOutsideThePictureGiveNoClickButTheirReleaseShows) {
  source_.SetCursor(100, 100);
  Poll();
  source_.SetCursor(850, 100);
  source_.SetMouseButton(0, true);
  Poll();
  EXPECT_EQ(state_.held & kButtonClick, 0u);
  EXPECT_EQ(state_.pressed & kButtonClick, 0u);
  EXPECT_EQ(state_.repeat & kButtonClick, 0u);
  // The cursor keeps the last position inside.
  EXPECT_EQ(state_.cursor_x, 100);
  EXPECT_EQ(state_.cursor_y, 100);
  source_.SetMouseButton(0, false);
  Poll();
  EXPECT_EQ(state_.released & kButtonClick, kButtonClick);
}

TEST_F(InputTest, CursorAtTheEdgesOfThePicture) {
  struct Case {
    int32_t x, y;
    bool inside;
  };
  const Case cases[] = {{0, 0, true},     {799, 599, true},  {800, 10, false},
                        {10, 600, false}, {-1, 10, false},   {10, -1, false}};
  for (const Case& c : cases) {
    source_.SetCursor(50, 60);
    Poll();
    source_.SetCursor(c.x, c.y);
    source_.SetMouseButton(1, true);
    Poll();
    EXPECT_EQ(state_.cursor_x, c.inside ? c.x : 50);
    EXPECT_EQ(state_.cursor_y, c.inside ? c.y : 60);
    EXPECT_EQ((state_.held & kButtonRightClick) != 0, c.inside);
    source_.SetMouseButton(1, false);
    Poll();
  }
}

TEST_F(InputTest, FailedReadsLeaveEveryKeyUpAndKeepTheLastMouseMotion) {
  source_.SetKey(DIK_RETURN, true);
  source_.SetMouseButton(0, true);
  source_.SetMouseMotion(3, -4, 240);
  Poll();
  EXPECT_EQ(state_.held, kButtonEnter | kButtonClick);
  EXPECT_EQ(state_.wheel, 240);
  source_.SetKeyboardReadable(false);
  source_.SetMouseReadable(false);
  Poll();
  EXPECT_EQ(state_.held, 0u);
  EXPECT_EQ(state_.released, kButtonEnter | kButtonClick);
  int32_t dx = 0, dy = 0, wheel = 0;
  GetMouseDelta(&dx, &dy, &wheel);
  EXPECT_EQ(dx, 3);
  EXPECT_EQ(dy, -4);
  EXPECT_EQ(wheel, 240);
}

TEST_F(InputTest, ATypedCharacterShowsForExactlyOnePoll) {
  OnCharacter(u'あ', 0x1E0001);
  Poll();
  EXPECT_EQ(state_.held, kButtonCharacter);
  EXPECT_EQ(Input().character, static_cast<uint32_t>(u'あ'));
  EXPECT_EQ(Input().character_data, 0x1E0001u);
  Poll();
  EXPECT_EQ(state_.held, 0u);
}

TEST_F(InputTest, KeysOutsideTheMapsAreNeverDown) {
  for (int k = 0; k < 256; ++k) source_.SetKey(k, true);
  for (int b = 0; b < 3; ++b) source_.SetMouseButton(b, true);
  Poll();
  for (int key : {-1, -100, 259, 263, 264, 1 << 20, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(IsKeyDown(key));
    EXPECT_FALSE(IsKeyPressed(key));
    EXPECT_FALSE(IsKeyReleased(key));
    EXPECT_FALSE(IsKeyRepeat(key));
  }
  EXPECT_TRUE(IsKeyDown(0));
  EXPECT_TRUE(IsKeyDown(255));
  EXPECT_TRUE(IsKeyDown(258));
}

}  // namespace
}  // namespace App
