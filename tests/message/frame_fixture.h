// A headless program for tests that wait on frames: a fake clock that moves
// 16 ms a frame, a scripted event source, silent message boxes, a root group
// with an 800x600 screen surface, a fresh frame and the task pool.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "app/frame.h"
#include "app/input.h"
#include "core/act.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxview.h"
#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/message_box.h"
#include "platform/presenter.h"

namespace message_test {

inline constexpr uint32_t kFrameMs = 16;

class TimedEventSource : public platform::HeadlessEventSource {
 public:
  explicit TimedEventSource(platform::FakeClock* clock) : clock_(clock) {}
  void BeginFrame() override {
    clock_->Advance(kFrameMs);
    if (play) play(*this);
    HeadlessEventSource::BeginFrame();
  }
  // A player's move at the start of every frame, before the queued steps (null: none).
  std::function<void(TimedEventSource&)> play;

 private:
  platform::FakeClock* clock_;
};

class FrameFixture : public ::testing::Test {
 protected:
  FrameFixture() : clock_guard_(&clock_), source_(&clock_), presenter_(800, 600) {
    previous_source_ = platform::SetEventSource(&source_);
    previous_box_ = platform::SetMessageBoxService(&boxes_);
    boxes_.SetEcho(false);
    previous_frame_ = App::SetCurrentFrame(&frame_);
    InitACT();
    App::InitInput(nullptr);
    App::Input() = App::InputState{};
    root_ = new DxDraw::DxDrawGroup;
    screen_ = new DxDraw::DxScreenSurface32;
    screen_->Resize(800, 600);
    root_->AddChild(screen_);
    frame_.SetRoot(root_);
    frame_.SetScreen(screen_);
    frame_.SetPresenter(&presenter_);
  }

  ~FrameFixture() override {
    root_->Release();
    TermACT();
    App::SetCurrentFrame(previous_frame_);
    platform::SetMessageBoxService(previous_box_);
    platform::SetEventSource(previous_source_);
  }

  // Queues `count` frames each running `step` (null: idle).
  void AddFrames(int count, const std::function<void(platform::HeadlessEventSource&)>& step = {}) {
    for (int i = 0; i < count; ++i) {
      if (step) {
        source_.AddFrame(step);
      } else {
        source_.AddIdleFrames(1);
      }
    }
  }

  platform::FakeClock clock_{1000};
  platform::ScopedClock clock_guard_;
  TimedEventSource source_;
  platform::HeadlessMessageBox boxes_;
  platform::HeadlessPresenter presenter_;
  platform::IEventSource* previous_source_ = nullptr;
  platform::IMessageBox* previous_box_ = nullptr;
  App::Frame* previous_frame_ = nullptr;
  App::Frame frame_;
  DxDraw::DxDrawGroup* root_ = nullptr;
  DxDraw::DxScreenSurface32* screen_ = nullptr;
};

}  // namespace message_test
