// The SDL2 audio device: what it leaves to the program, and its start after a failure.
#include <SDL.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>

#include "backend/sdl/audio_sdl.h"

namespace {

constexpr uint32_t kRate = 44100;

// The SDL device on its dummy driver leaves SIGINT and SIGTERM to the program.
TEST(SdlAudioDevice, LeavesTheQuitSignalsAlone) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::unique_ptr<platform::IAudioDevice> device = platform::OpenSdlAudioDevice(kRate);
  ::unsetenv("SDL_AUDIODRIVER");
  ASSERT_NE(device, nullptr);
  for (int number : {SIGINT, SIGTERM}) {
    struct sigaction now {};
    ::sigaction(number, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << number;
  }
}

// An open that finds no device still gives SDL's audio subsystem back (on a
// thread of its own): the next open starts the driver it is asked for afresh.
TEST(SdlAudioDevice, OpenAfterAFailedOneStartsAfresh) {
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", "/nonexistent-folder/out.raw", 1);
  EXPECT_EQ(platform::OpenSdlAudioDevice(kRate), nullptr);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::unique_ptr<platform::IAudioDevice> device = platform::OpenSdlAudioDevice(kRate);
  ::unsetenv("SDL_AUDIODRIVER");
  ::unsetenv("SDL_DISKAUDIOFILE");
  EXPECT_NE(device, nullptr);
}

// Every reference an open takes, prepared ahead or not, goes back with the
// device: a second start before the open hands on only one, a settled start is
// not taken twice, and a start running while a device closes ends first.
TEST(SdlAudioDevice, OpensAndClosesGiveTheSubsystemBack) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  platform::PrepareSdlAudioDevice();
  platform::PrepareSdlAudioDevice();
  std::unique_ptr<platform::IAudioDevice> device = platform::OpenSdlAudioDevice(kRate);
  EXPECT_NE(device, nullptr);
  platform::PrepareSdlAudioDevice();
  device.reset();
  device = platform::OpenSdlAudioDevice(kRate);
  EXPECT_NE(device, nullptr);
  device.reset();
  device = platform::OpenSdlAudioDevice(kRate);
  ::unsetenv("SDL_AUDIODRIVER");
  EXPECT_NE(device, nullptr);
  device.reset();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

}  // namespace
