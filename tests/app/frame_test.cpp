#include "app/frame.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/input.h"
#include "app/process.h"
#include "core/act.h"
#include "core/exception.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/dxview.h"
#include "dxdraw/text.h"
#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/presenter.h"
#include "textscript/script_host.h"

namespace App {
namespace {

using DxDraw::RECT;

std::vector<std::string>* g_order = nullptr;

// A view that notes its update pass and, when armed, makes the draw pass slow.
class ProbeView : public DxDraw::DxDrawView {
 public:
  explicit ProbeView(platform::FakeClock* clock) : clock_(clock) {}
  void Update() override {
    if (g_order != nullptr) g_order->push_back("update");
  }
  void Draw(DxDraw::DRAWINFO* info) override {
    (void)info;
    if (g_order != nullptr) g_order->push_back("draw");
    clock_->Advance(draw_ms);
  }
  uint32_t draw_ms = 0;

 private:
  platform::FakeClock* clock_;
};

void RecordLevel(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message == ACT_RUN && g_order != nullptr) g_order->push_back("L" + std::to_string(task->user));
}

// A headless program: the root group holding the 800x600 screen surface and a
// probe, a scripted event source, a fake clock, a headless presenter and
// message boxes, and a fresh frame.
class FrameTest : public ::testing::Test {
 protected:
  FrameTest() : clock_guard_(&clock_), presenter_(800, 600) {
    previous_source_ = platform::SetEventSource(&source_);
    previous_box_ = platform::SetMessageBoxService(&boxes_);
    boxes_.SetEcho(false);
    previous_frame_ = SetCurrentFrame(&frame_);
    InitACT();
    InitInput(nullptr);
    Input() = InputState{};
    source_.SetCursor(400, 300);

    root_ = new DxDraw::DxDrawGroup;
    screen_ = new DxDraw::DxScreenSurface32;
    screen_->Resize(800, 600);
    root_->AddChild(screen_);
    probe_ = new ProbeView(&clock_);
    root_->AddChild(probe_);
    frame_.SetRoot(root_);
    frame_.SetScreen(screen_);
    frame_.SetPresenter(&presenter_);
  }

  ~FrameTest() override {
    root_->Release();
    TermACT();
    SetCurrentFrame(previous_frame_);
    platform::SetMessageBoxService(previous_box_);
    platform::SetEventSource(previous_source_);
    g_order = nullptr;
  }

  // A red w x h sprite under the screen at (x, y).
  DxDraw::DxSurfaceSprite32* AddSprite(int x, int y, int w, int h, uint32_t rgb) {
    auto* sprite = new DxDraw::DxSurfaceSprite32(w, h);
    sprite->FillRect(nullptr, rgb, 255);
    sprite->SetPosition(x, y);
    screen_->AddChild(sprite);
    return sprite;
  }

  // Frames that advance the clock by ms each.
  void AddTimedFrames(int count, uint32_t ms) {
    for (int i = 0; i < count; ++i) source_.AddFrame([this, ms](platform::HeadlessEventSource&) { clock_.Advance(ms); });
  }

  platform::FakeClock clock_{5000};
  platform::ScopedClock clock_guard_;
  platform::HeadlessEventSource source_;
  platform::HeadlessMessageBox boxes_;
  platform::HeadlessPresenter presenter_;
  platform::IEventSource* previous_source_ = nullptr;
  platform::IMessageBox* previous_box_ = nullptr;
  Frame* previous_frame_ = nullptr;
  Frame frame_;
  DxDraw::DxDrawGroup* root_ = nullptr;
  DxDraw::DxScreenSurface32* screen_ = nullptr;
  ProbeView* probe_ = nullptr;
};

TEST_F(FrameTest, OneFrameRunsLevelsUpdateAndDrawInOrder) {
  std::vector<std::string> order;
  g_order = &order;
  for (int level : {15, 5, 14, 4, 3, 2, 1, 0}) LinkACT(level, MakeACT(RecordLevel, level));
  WaitNextFrame();
  EXPECT_EQ(order, (std::vector<std::string>{"L0", "L1", "update", "L2", "draw", "L3", "L4", "L5",
                                             "L14", "L15"}));
}

TEST_F(FrameTest, RequestsAreThrownAtTheNextFrameOneAtATime) {
  struct Case {
    uint32_t command;
    int answer;
    int expected;  // -1: nothing thrown
  };
  const Case cases[] = {
      {kCommandBackToTitle, 0, ScriptException::kBackToTitle},
      {kCommandStepBack, platform::IDYES, ScriptException::kStepBack},
      {kCommandStepBack, platform::IDNO, -1},
      {40002, 0, -1},  // F10: nothing here answers it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    boxes_.SetAnswer(c.answer);
    source_.AddIdleFrames(1);
    source_.AddFrame([&](platform::HeadlessEventSource& s) { s.PostCommand(c.command); });
    source_.AddIdleFrames(3);
    int thrown = -1;
    uint64_t before = frame_.FrameCount();
    try {
      WaitInput(5, 0);
    } catch (const ScriptException& e) {
      thrown = e.code;
    }
    EXPECT_EQ(thrown, c.expected);
    if (c.expected >= 0) {
      EXPECT_EQ(frame_.FrameCount() - before, 2u);
    }
    EXPECT_EQ(frame_.GetRequest(), kRequestNone);
    while (source_.pending_frames() > 0) WaitNextFrame();
  }
  // The load request comes from the game layer's word, not a command.
  frame_.SetRequest(kRequestLoad);
  EXPECT_THROW(
      try { WaitNextFrame(); } catch (const ScriptException& e) {
        EXPECT_EQ(e.code, ScriptException::kLoad);
        throw;
      },
      ScriptException);
  EXPECT_NO_THROW(WaitNextFrame());
}

TEST_F(FrameTest, ARequestLeavesBeforeInputIsPolled) {
  source_.SetKey(DIK_RETURN, true);
  frame_.SetRequest(kRequestTitle);
  EXPECT_THROW(WaitNextFrame(), ScriptException);
  EXPECT_EQ(Input().held, 0u);
  WaitNextFrame();
  EXPECT_EQ(Input().held, kButtonEnter);
}

TEST_F(FrameTest, TheQuitKeyThrowsTheQuitRecord) {
  source_.AddIdleFrames(2);
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_F12, true); });
  ExceptionHandle record{};
  try {
    WaitInput(0, 0);
    FAIL() << "no quit";
  } catch (const ExceptionHandle& e) {
    record = e;
  }
  EXPECT_EQ(record.Type, kErrorTypeQuit);
  EXPECT_EQ(record.Line, kQuitLineKey);
  EXPECT_EQ(std::u16string(record.Source), u"main");
  EXPECT_EQ(std::u16string(record.Message), u"Quit");
  EXPECT_EQ(record.Ptr, nullptr);
  EXPECT_EQ(frame_.FrameCount(), 3u);
}

TEST_F(FrameTest, AConfirmedCloseQuitsFromThePumpAndARefusedOneDoesNot) {
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.PostClose(); });
  EXPECT_NO_THROW(WaitNextFrame());  // the default answer is No
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].text, u"終了してもよろしいですか？");
  EXPECT_EQ(boxes_.shown()[0].caption, u"終了");
  EXPECT_EQ(boxes_.shown()[0].flags, platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2);
  boxes_.SetAnswer(platform::IDYES);
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.PostCommand(kCommandExit); });
  try {
    WaitNextFrame();
    FAIL() << "no quit";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.Type, kErrorTypeQuit);
    EXPECT_EQ(e.Line, kQuitLinePump);
  }
  // The flag is never cleared: every later frame ends the same way.
  EXPECT_THROW(WaitNextFrame(), ExceptionHandle);
}

// A quit signal while the quit question is up ends the box unanswered (its
// No) and the program with it, in the same pump: the box's cancel check says
// so while the signals are watched.
TEST_F(FrameTest, AQuitSignalUnderTheQuitQuestionQuitsThoughTheBoxSaidNo) {
  struct SignalledBox : platform::IMessageBox {
    int Show(platform::WindowHandle, std::u16string_view, std::u16string_view, uint32_t) override {
      ::raise(SIGTERM);
      cancelled = platform::ModalCancelRequested();
      return platform::IDNO;
    }
    bool cancelled = false;
  } box;
  platform::IMessageBox* previous = platform::SetMessageBoxService(&box);
  {
    QuitSignals signals;
    source_.AddFrame([](platform::HeadlessEventSource& s) { s.PostClose(); });
    try {
      frame_.RunFrame();
      ADD_FAILURE() << "no quit";
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(e.Type, kErrorTypeQuit);
    }
    EXPECT_TRUE(box.cancelled);
  }
  EXPECT_FALSE(platform::ModalCancelRequested());
  platform::SetMessageBoxService(previous);
}

TEST_F(FrameTest, WaitTimeAcrossTheClockWrapWaitsItsFullTime) {
  clock_.Set(0xFFFFFF00u);
  AddTimedFrames(10, 100);
  EXPECT_EQ(WaitTime(500, 0), 0u);
  EXPECT_EQ(frame_.FrameCount(), 5u);
}

TEST_F(FrameTest, TimerMeasuresTheElapsedTimeWhereStartPlusWaitWraps) {
  struct Case {
    uint32_t start;
    uint32_t advance;
    uint32_t wait;
    bool elapsed;
  };
  const Case cases[] = {
      {0xFFFFFFF0u, 0x08, 0x20, false},  // the end wraps, the clock has not yet
      {0xFFFFFFF0u, 0x1F, 0x20, false},
      {0xFFFFFFF0u, 0x20, 0x20, true},
      {0xFFFFFFF0u, 0x40, 0x20, true},
      {0x7FFFFFFFu, 0x10, 0xFFFFFFF0u, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.advance);
    Timer timer;
    clock_.Set(c.start);
    EXPECT_EQ(timer.Start(), c.start);
    clock_.Advance(c.advance);
    EXPECT_EQ(timer.IsElapsed(c.wait), c.elapsed);
  }
}

TEST_F(FrameTest, WaitTimeEndsOnADecidePressOnlyWithFlagOne) {
  AddTimedFrames(2, 10);
  source_.AddFrame([this](platform::HeadlessEventSource& s) {
    clock_.Advance(10);
    s.SetKey(DIK_RETURN, true);
  });
  EXPECT_EQ(WaitTime(1000, 1), kButtonEnter);
  EXPECT_EQ(frame_.FrameCount(), 3u);
  // Without flag 1 the press is remembered but does not end the wait.
  source_.SetKey(DIK_RETURN, false);
  source_.AddFrame([this](platform::HeadlessEventSource& s) {
    clock_.Advance(10);
    s.SetKey(DIK_ESCAPE, true);
  });
  AddTimedFrames(10, 10);
  EXPECT_EQ(WaitTime(50, 0), 0u);
  EXPECT_EQ(frame_.FrameCount(), 8u);
  EXPECT_EQ(Input().pressed & kButtonEscape, kButtonEscape);
}

TEST_F(FrameTest, WaitTimeZeroWaitsForDecideOrWithFlagTwoForAHeldSkipButton) {
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_NUMPAD1, true); });
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetMouseButton(0, true); });
  // The word of the frame that ended the wait; every press stays in the pressed word.
  EXPECT_EQ(WaitTime(0, 0), kButtonClick);
  EXPECT_EQ(Input().pressed, kButtonClick | kButtonNumpad1);
  EXPECT_EQ(frame_.FrameCount(), 2u);
  source_.ReleaseAll();
  WaitNextFrame();

  // Flag 2: Enter and a click do not end it, a Ctrl held half a second does (the frame after).
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_RETURN, true); });
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetMouseButton(0, true); });
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_RCONTROL, true); });
  source_.AddFrame([this](platform::HeadlessEventSource&) { clock_.Advance(500); });
  uint64_t before = frame_.FrameCount();
  EXPECT_EQ(WaitTime(0, 2), kButtonEnter | kButtonClick | kButtonSkip2);
  EXPECT_EQ(frame_.FrameCount() - before, 5u);
  EXPECT_EQ(Input().pressed, kButtonEnter | kButtonClick | kButtonSkip2);
}

TEST_F(FrameTest, WaitInputCountsFramesAndKeepsThePresses) {
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_RETURN, true); });
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetMouseButton(1, true); });
  source_.AddIdleFrames(5);
  EXPECT_EQ(WaitInput(3, 0), 0u);
  EXPECT_EQ(frame_.FrameCount(), 3u);
  EXPECT_EQ(Input().pressed, kButtonEnter | kButtonRightClick);
}

TEST_F(FrameTest, WaitInputWithFlagOneEndsOnlyAfterTheRelease) {
  source_.AddIdleFrames(1);
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetMouseButton(0, true); });
  source_.AddIdleFrames(3);
  source_.AddFrame([](platform::HeadlessEventSource& s) {
    s.SetMouseButton(0, false);
    s.SetKey(DIK_UP, true);
  });
  source_.AddIdleFrames(3);
  EXPECT_EQ(WaitInput(0, 1), kButtonClick);
  EXPECT_EQ(frame_.FrameCount(), 6u);
  EXPECT_EQ(Input().pressed, kButtonClick | kButtonUp);
}

TEST_F(FrameTest, WaitClickWaitsForTheReleaseAndForEveryKeyToBeUp) {
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_LEFT, true); });
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_RETURN, true); });
  source_.AddIdleFrames(1);
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_RETURN, false); });
  source_.AddIdleFrames(2);
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_LEFT, false); });
  source_.AddIdleFrames(3);
  EXPECT_EQ(WaitClick(), kButtonEnter);
  EXPECT_EQ(frame_.FrameCount(), 7u);
  EXPECT_EQ(Input().held, 0u);
}

TEST_F(FrameTest, TheAutomaticDrawSpeedSkipsPresentsByDrawTime) {
  auto* sprite = AddSprite(0, 0, 10, 10, 0xFF0000);
  frame_.SetSkipFrame(0);
  std::vector<int> presented;
  for (int f = 1; f <= 7; ++f) {
    probe_->draw_ms = f == 1 ? 40 : (f == 5 ? 17 : 0);
    sprite->SetPosition(f * 10, 0);  // something changes every frame
    size_t before = presenter_.Rects().size();
    WaitNextFrame();
    if (presenter_.Rects().size() > before) presented.push_back(f);
  }
  // 40 ms: the next two frames skip; 17 ms: the next one does.
  EXPECT_EQ(presented, (std::vector<int>{1, 4, 5, 7}));
}

TEST_F(FrameTest, AFixedDrawSpeedIgnoresDrawTime) {
  AddSprite(0, 0, 10, 10, 0xFF0000);
  frame_.SetSkipFrame(1);
  probe_->draw_ms = 100;
  WaitNextFrame();
  EXPECT_EQ(screen_->GetSkipReload(), 0);
  EXPECT_EQ(screen_->GetSkipCounter(), 0);
}

// A draw speed's command, its SkipFrame and the screen's counters, chosen in
// the menu and at start; a SkipFrame the menu lacks keeps its value.
TEST_F(FrameTest, DrawSpeedCommandsSetTheScreensCounters) {
  struct Case {
    uint32_t command;
    int32_t reload;
    uint32_t skip_frame;
    int32_t reload_at_start;
  };
  const Case cases[] = {{40004, 0, 1, 0}, {40005, 1, 2, 1},   {40006, 3, 4, 3},
                        {40007, 7, 8, 7}, {40008, 15, 16, 15}, {40009, 0, 0, 1}};
  for (const Case& c : cases) {
    source_.AddFrame([&](platform::HeadlessEventSource& s) { s.PostCommand(c.command); });
    frame_.RunFrame();
    EXPECT_EQ(screen_->GetSkipReload(), c.reload) << c.command;
    EXPECT_EQ(frame_.GetSkipFrame(), c.skip_frame) << c.command;
    EXPECT_EQ(DrawSpeedCommand(c.skip_frame), c.command);
    frame_.StartDrawSpeed(c.skip_frame);
    EXPECT_EQ(screen_->GetSkipReload(), c.reload_at_start) << c.command;
    EXPECT_EQ(screen_->GetSkipCounter(), c.reload_at_start) << c.command;
  }
  EXPECT_EQ(DrawSpeedCommand(3), 40004u);
  frame_.StartDrawSpeed(3);
  EXPECT_EQ(frame_.GetSkipFrame(), 3u);
  EXPECT_EQ(screen_->GetSkipReload(), 2);
}

TEST_F(FrameTest, OnlyWhatChangedIsPresented) {
  auto* sprite = AddSprite(0, 0, 10, 10, 0xFF0000);
  WaitNextFrame();
  ASSERT_FALSE(presenter_.Rects().empty());
  EXPECT_EQ(presenter_.PixelAt(5, 5), 0xFF0000u);
  presenter_.ClearRects();

  WaitNextFrame();  // nothing changed
  EXPECT_TRUE(presenter_.Rects().empty());
  EXPECT_EQ(presenter_.PixelsCopied(), 0u);

  sprite->SetPosition(100, 100);
  WaitNextFrame();
  ASSERT_EQ(presenter_.Rects().size(), 1u);
  EXPECT_EQ(presenter_.Rects()[0], (platform::PresentRect{0, 0, 110, 110}));
  EXPECT_EQ(presenter_.PixelAt(105, 105), 0xFF0000u);
  EXPECT_EQ(presenter_.PixelAt(5, 5), 0u);
}

TEST_F(FrameTest, EveryFourthFramePresentsEverythingThatMovedMeanwhile) {
  auto* sprite = AddSprite(0, 0, 10, 10, 0xFF0000);
  WaitNextFrame();
  presenter_.ClearRects();
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.PostCommand(40006); });
  std::vector<int> presented;
  for (int f = 1; f <= 9; ++f) {
    sprite->SetPosition(20 * f, 0);
    size_t before = presenter_.Rects().size();
    WaitNextFrame();
    if (presenter_.Rects().size() > before) presented.push_back(f);
  }
  EXPECT_EQ(presented, (std::vector<int>{4, 8}));
  // The second present covers the place shown at the first and the newest one.
  ASSERT_EQ(presenter_.Rects().size(), 2u);
  EXPECT_EQ(presenter_.Rects()[1], (platform::PresentRect{80, 0, 170, 10}));
  EXPECT_EQ(presenter_.PixelAt(165, 5), 0xFF0000u);
  EXPECT_EQ(presenter_.PixelAt(85, 5), 0u);
}

TEST_F(FrameTest, TextDrawnIntoASpritePresentsOnlyTheGlyph) {
  auto* view = new DxDraw::DxSurfaceSprite32(100, 50);
  view->FillRect(nullptr, 0, 0);
  view->SetPosition(200, 300);
  screen_->AddChild(view);
  WaitNextFrame();
  presenter_.ClearRects();

  DxDraw::DxFont* font = new DxDraw::DxFont();  // the headless rasterizer's boxes
  font->Create(nullptr, 16);
  DxDraw::TEXTDATA td;
  DxDraw::InitTextData(&td);
  td.pFont = font;
  td.area = RECT{5, 5, 100, 50};
  view->DrawChar(&td, u'A');
  WaitNextFrame();
  ASSERT_EQ(presenter_.Rects().size(), 1u);
  EXPECT_EQ(presenter_.Rects()[0], (platform::PresentRect{205, 305, 213, 321}));
  // The headless 'A' is a 7 x 15 box of full coverage, white.
  EXPECT_EQ(presenter_.PixelAt(205, 305), 0xF0F0F0u);
  EXPECT_EQ(presenter_.PixelAt(211, 319), 0xF0F0F0u);
  EXPECT_EQ(presenter_.PixelAt(212, 305), 0u);
  font->Release();
}

TEST_F(FrameTest, PaintRepaintsAtOnceWhateverTheSkipCounter) {
  AddSprite(0, 0, 50, 50, 0x00FF00);
  WaitNextFrame();
  presenter_.ClearRects();
  screen_->SetSkip(15, 15);
  platform::WindowEvent paint;
  paint.message = platform::WindowMessage::kPaint;
  paint.left = 10;
  paint.top = 10;
  paint.right = 20;
  paint.bottom = 30;
  source_.AddFrame([&](platform::HeadlessEventSource& s) { s.PostMessage(paint); });
  WaitNextFrame();
  ASSERT_EQ(presenter_.Rects().size(), 1u);
  EXPECT_EQ(presenter_.Rects()[0], (platform::PresentRect{10, 10, 20, 30}));
}

TEST_F(FrameTest, NothingAdvancesWhileInactiveAndAnExpiredWaitEndsOnTheFirstFrame) {
  std::vector<std::string> order;
  LinkACT(0, MakeACT(RecordLevel, 0));
  source_.AddFrame([&](platform::HeadlessEventSource& s) {
    s.PostActivate(false);
    s.PostActivate(true, [&] {
      // Time passed while inactive, and no task ran meanwhile.
      clock_.Advance(1000);
      EXPECT_TRUE(order.empty());
    });
  });
  g_order = &order;
  EXPECT_EQ(WaitTime(500, 0), 0u);
  EXPECT_EQ(frame_.FrameCount(), 1u);
  EXPECT_EQ(order, (std::vector<std::string>{"L0", "update", "draw"}));
  EXPECT_TRUE(frame_.IsActive());
  EXPECT_GE(source_.acquire_count(), 2);
}

TEST_F(FrameTest, WhileInactiveThePumpSleepsUntilActivatedAndRunsNothingElse) {
  // The activation arrives only after the pump has found the queue empty three
  // times: once right after the deactivation, then in two passes of its own.
  struct LateActivation : platform::HeadlessEventSource {
    bool PeekEvent(platform::WindowEvent& out) override {
      if (empty_looks >= 0 && !HeadlessEventSource::PeekEvent(out)) {
        if (++empty_looks < 4) return false;
        empty_looks = -1;
        PostActivate(true);
      }
      return HeadlessEventSource::PeekEvent(out);
    }
    int empty_looks = -1;
  } source;
  platform::SetEventSource(&source);
  std::vector<std::string> order;
  g_order = &order;
  LinkACT(0, MakeACT(RecordLevel, 0));
  source.AddFrame([&](platform::HeadlessEventSource& s) {
    s.PostActivate(false, [&] { source.empty_looks = 0; });
  });
  uint32_t before = clock_.NowMs();
  WaitNextFrame();
  EXPECT_EQ(source.empty_looks, -1);
  EXPECT_TRUE(frame_.IsActive());
  EXPECT_EQ(clock_.NowMs() - before, 2u);  // a millisecond's sleep per empty pass
  EXPECT_EQ(order, (std::vector<std::string>{"L0", "update", "draw"}));
  platform::SetEventSource(&source_);
}

TEST_F(FrameTest, AnInstalledWindowProcedureTakesEveryMessage) {
  struct Recorder : IWindowProc {
    void OnWindowMessage(const platform::WindowEvent& event) override { seen.push_back(event.message); }
    std::vector<platform::WindowMessage> seen;
  } recorder;
  frame_.SetWindowProc(&recorder);
  source_.AddFrame([](platform::HeadlessEventSource& s) {
    s.PostCommand(kCommandBackToTitle);
    s.PostClose();
    s.PostCharacter(u'a');
  });
  EXPECT_NO_THROW(WaitNextFrame());
  EXPECT_EQ(recorder.seen, (std::vector<platform::WindowMessage>{platform::WindowMessage::kCommand,
                                                                 platform::WindowMessage::kClose,
                                                                 platform::WindowMessage::kCharacter}));
  EXPECT_EQ(frame_.GetRequest(), kRequestNone);
  EXPECT_TRUE(boxes_.shown().empty());
  frame_.SetWindowProc(nullptr);
}

TEST_F(FrameTest, ATypedCharacterReachesTheInputRecord) {
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.PostCharacter(u'ア', 7); });
  WaitNextFrame();
  EXPECT_EQ(Input().held, kButtonCharacter);
  EXPECT_EQ(Input().character, static_cast<uint32_t>(u'ア'));
  EXPECT_EQ(Input().character_data, 7u);
  WaitNextFrame();
  EXPECT_EQ(Input().held, 0u);
}

TEST_F(FrameTest, TheScriptRunLoopCallsThisFrame) {
  InstallScriptFrame();
  source_.AddFrame([](platform::HeadlessEventSource& s) { s.SetKey(DIK_NUMPAD7, true); });
  TextScript::WaitNextFrame();
  EXPECT_EQ(frame_.FrameCount(), 1u);
  EXPECT_EQ(TextScript::HeldInput(), kButtonSkip1);
  TextScript::SetScriptFrame(nullptr);
}

TEST_F(FrameTest, TheFrameCounterTaskCountsFrames) {
  clock_.Set(777);
  LinkACT(15, MakeACT(FrameCounterProc, 0));
  EXPECT_EQ(GetFrameCounters().started_ms, 777u);
  uint32_t before = GetFrameCounters().frames;
  for (int i = 0; i < 3; ++i) WaitNextFrame();
  EXPECT_EQ(GetFrameCounters().frames - before, 3u);
}

TEST(FrameHelpers, FileExistsAndRectOrigin) {
  std::filesystem::path path = std::filesystem::temp_directory_path() / "frame_test_exists.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::u16string wide(path.u16string());
  EXPECT_EQ(FileExists(wide), 1);
  std::filesystem::remove(path);
  EXPECT_EQ(FileExists(wide), 0);

  RECT r{10, 20, 40, 70};
  SetRectOrigin(&r, -5, 3);
  EXPECT_EQ(r, (RECT{-5, 3, 25, 53}));
}

}  // namespace
}  // namespace App

namespace App {
namespace {

// Counts the waits for the display.
struct RefreshCounter : platform::HeadlessMainWindow {
  void WaitForRefresh() override { ++waits; }
  int waits = 0;
};

TEST_F(FrameTest, PresentingFramesWaitForTheDisplayAndSkippedOnesDoNot) {
  struct Row {
    uint32_t command;  // draw speed
    uint32_t draw_ms;  // time one draw pass takes
    int frames;
    int waits;
  } rows[] = {
      {40004, 0, 6, 6},   // every frame presents
      {40005, 0, 6, 3},   // every second
      {40006, 0, 8, 2},   // every fourth
      {40009, 40, 6, 2},  // automatic: 40 ms draws skip the next two presents
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    RefreshCounter window;
    platform::IMainWindow* previous = platform::SetMainWindow(&window);
    source_.AddFrame([&](platform::HeadlessEventSource& s) { s.PostCommand(row.command); });
    WaitNextFrame();
    window.waits = 0;
    probe_->draw_ms = row.draw_ms;
    for (int i = 0; i < row.frames; ++i) WaitNextFrame();
    probe_->draw_ms = 0;
    platform::SetMainWindow(previous);
    EXPECT_EQ(window.waits, row.waits);
  }
}

// A key pressed while the frame waits for the display is in the input record
// the frame returns with, not only in the next frame's.
TEST_F(FrameTest, APressDuringTheRefreshWaitIsSeenWhenTheFrameReturns) {
  struct PressingWindow : platform::HeadlessMainWindow {
    platform::HeadlessEventSource* source = nullptr;
    void WaitForRefresh() override { source->SetKey(DIK_RETURN, true); }
  } window;
  window.source = &source_;
  platform::IMainWindow* previous = platform::SetMainWindow(&window);
  WaitNextFrame();
  platform::SetMainWindow(previous);
  EXPECT_EQ(Input().pressed & kButtonEnter, kButtonEnter);
}

}  // namespace
}  // namespace App
