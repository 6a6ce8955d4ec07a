// A headless program for the game layer's tests: the screen surface under a
// root group, a fresh frame, a fake clock that moves 16 ms a frame, a scripted
// event source, a headless presenter and message boxes. The stage hangs in the
// screen; what the frames present can be read back pixel by pixel.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "app/frame.h"
#include "app/input.h"
#include "core/act.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxview.h"
#include "game/game_env.h"
#include "game/stage.h"
#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/message_box.h"
#include "platform/presenter.h"

namespace game_test {

inline constexpr uint32_t kFrameMs = 16;

// The event source of a player: every frame moves the clock and runs `play`.
class PlayerSource : public platform::HeadlessEventSource {
 public:
  explicit PlayerSource(platform::FakeClock* clock) : clock_(clock) {}
  void BeginFrame() override {
    clock_->Advance(kFrameMs);
    if (play) play(*this);
    HeadlessEventSource::BeginFrame();
  }
  std::function<void(PlayerSource&)> play;

 private:
  platform::FakeClock* clock_;
};

class GameHarness : public ::testing::Test {
 protected:
  GameHarness() : clock_guard_(&clock_), source_(&clock_), presenter_(800, 600) {
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
    Game::SetStageParent(screen_);
  }
  ~GameHarness() override {
    Game::TearDownStage();
    Game::SetStageParent(nullptr);
    root_->Release();
    TermACT();
    App::SetCurrentFrame(previous_frame_);
    platform::SetMessageBoxService(previous_box_);
    platform::SetEventSource(previous_source_);
  }

  uint64_t Frames() const { return frame_.FrameCount(); }
  uint32_t Shown(int x, int y) const { return presenter_.PixelAt(x, y); }

  platform::FakeClock clock_{1000};
  platform::ScopedClock clock_guard_;
  PlayerSource source_;
  platform::HeadlessMessageBox boxes_;
  platform::HeadlessPresenter presenter_;
  platform::IEventSource* previous_source_ = nullptr;
  platform::IMessageBox* previous_box_ = nullptr;
  App::Frame* previous_frame_ = nullptr;
  App::Frame frame_;
  DxDraw::DxDrawGroup* root_ = nullptr;
  DxDraw::DxScreenSurface32* screen_ = nullptr;
};

}  // namespace game_test

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive.h"
#include "platform/text.h"

namespace game_test {

// A script folder of its own, installed as the script archive while it lives.
class ScriptFolder {
 public:
  ScriptFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("game_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
    Write("iv.txt", "");
  }
  ~ScriptFolder() {
    if (ScriptArchive != nullptr) ScriptArchive->Release();
    ScriptArchive = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  // Writes a file; text given as UTF-16 is stored as CP932, as scripts are.
  void Write(const std::string& name, const std::string& bytes) {
    std::filesystem::path p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
  }
  void WriteScript(const std::string& name, std::u16string_view text) {
    Write(name, platform::Utf16ToCp932(text));
  }
  // Opens the folder as the script archive.
  void Install() {
    if (ScriptArchive != nullptr) ScriptArchive->Release();
    ScriptArchive = OpenDirArchive(platform::Utf8ToUtf16(path_.string()));
  }

 private:
  std::filesystem::path path_;
};

}  // namespace game_test
