// The SDL2 audio device: what it leaves to the program, and its start after a failure.
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

}  // namespace
