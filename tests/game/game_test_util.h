// A headless program for the game layer's tests: the message tests' frame
// fixture (fake clock, scripted event source with a player's move per frame,
// headless presenter and boxes) with the stage hanging in its screen, and a
// script folder standing in for the script archive.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive.h"
#include "dxdraw/dxscreen.h"
#include "game/game_env.h"
#include "game/stage.h"
#include "message/frame_fixture.h"
#include "platform/text.h"

namespace game_test {

using PlayerSource = message_test::TimedEventSource;

// The stage hangs in the screen of the frame fixture and is torn down after.
class GameHarness : public message_test::FrameFixture {
 protected:
  GameHarness() { Game::SetStageParent(screen_); }
  ~GameHarness() override {
    Game::TearDownStage();
    Game::SetStageParent(nullptr);
    Game::MessageShown = 0;  // a scenario that ends on a page leaves it shown for the next
  }

  uint64_t Frames() const { return frame_.FrameCount(); }
  uint32_t Shown(int x, int y) const { return presenter_.PixelAt(x, y); }
};

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
