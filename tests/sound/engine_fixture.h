// The sound engine started on the manual back end: nothing plays until a test
// renders frames, and each render moves every play cursor by exactly that much.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/audio.h"
#include "platform/debug_output.h"
#include "sound/sound_internal.h"

namespace sound_test {

class ManualEngine : public ::testing::Test {
 protected:
  // Frames per second of the device; tests play buffers at the same rate so that
  // the mixer copies samples unchanged.
  static constexpr uint32_t kRate = 8000;

  void SetUp() override {
    previousOpener_ = platform::SetAudioDeviceOpener([this](uint32_t rate) {
      auto device = std::make_unique<platform::ManualAudioDevice>(rate);
      device_ = device.get();
      return device;
    });
    SOUNDCONFIG config{1, kRate, 2, 16, 2, 0, 0};
    ASSERT_EQ(InitSound(nullptr, &config), 0);
    ASSERT_EQ(IsSoundEnabled(), 1);
  }

  void TearDown() override {
    for (int channel = 0; channel < kStreamChannelCount; ++channel) StopChannel(channel);
    ShutdownSound();
    platform::SetAudioDeviceOpener(previousOpener_);
    StreamSize = 4;
  }

  // Plays `frames` device frames and runs one service pass.
  std::vector<int16_t> Play(uint32_t frames) {
    std::vector<int16_t> out = device_->Render(frames);
    RunSoundServicePass();
    return out;
  }

  platform::ManualAudioDevice* device_ = nullptr;
  platform::AudioDeviceOpener previousOpener_;
};

// Collects the debugger output while alive.
struct DebugCapture {
  std::u16string text;
  platform::DebugSink previous;
  DebugCapture() : previous(platform::SetDebugSink([this](std::u16string_view t) { text += t; })) {}
  ~DebugCapture() { platform::SetDebugSink(previous); }
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;
};

}  // namespace sound_test
