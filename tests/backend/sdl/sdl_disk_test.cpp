// The SDL2 back end end to end, through SDL's "disk" audio driver: what the device
// plays is written to a file (SDL_DISKAUDIOFILE, set by CTest).
#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "archive/archive_test_util.h"
#include "backend/sdl/audio_sdl.h"
#include "sound/ogg_test_util.h"
#include "sound/sound.h"

// The spec the back end last asked SDL to open a device for; SDL then opens it.
SDL_AudioSpec g_want{};
extern "C" SDL_AudioDeviceID SDL_OpenAudioDevice(const char* name, int capture, const SDL_AudioSpec* want,
                                                 SDL_AudioSpec* have, int changes) {
  g_want = *want;
  static auto* open = reinterpret_cast<decltype(&SDL_OpenAudioDevice)>(dlsym(RTLD_NEXT, "SDL_OpenAudioDevice"));
  return open(name, capture, want, have, changes);
}

namespace {

std::vector<int16_t> ReadSamples(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

std::size_t FirstNonZero(const std::vector<int16_t>& v) {
  return static_cast<std::size_t>(std::find_if(v.begin(), v.end(), [](int16_t s) { return s != 0; }) - v.begin());
}

TEST(SdlAudio, PlayedStreamComesOutOfTheDevice) {
  const char* output = std::getenv("SDL_DISKAUDIOFILE");
  if (output == nullptr) GTEST_SKIP() << "run by CTest with SDL's disk driver";
  std::remove(output);

  const std::vector<uint8_t> ogg = sound_test::EncodeOgg(sound_test::Tone(11025, 2, 44100, 500.0), 2, 44100);
  archive_test::ScratchDir dir;
  const std::filesystem::path file = dir.Write("tone.ogg", ogg);
  const std::vector<uint8_t> decoded = sound_test::DecodeWithOvRead(ogg);
  std::vector<int16_t> expected(decoded.size() / 2);
  std::memcpy(expected.data(), decoded.data(), expected.size() * 2);

  SOUNDCONFIG config{1, 44100, 2, 16, 2, 0, 0};
  // As the program starts it: the subsystem readied on another thread first.
  platform::PrepareSdlAudioDevice();
  const platform::AudioDeviceOpener previous = platform::SetAudioDeviceOpener(platform::OpenSdlAudioDevice);
  ASSERT_EQ(InitSound(nullptr, &config), 0);
  if (IsSoundEnabled() == 0) GTEST_SKIP() << "SDL's disk audio driver is not available";
  const int32_t id = OpenOggStream(nullptr, archive_test::U16(file), 0, 0, 4096, 0, 0);
  ASSERT_NE(id, -1);
  // A quarter of a second of sound, then the silence behind it, until it ends.
  for (int i = 0; i < 1000 && IsSoundPlaying(id) != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(IsSoundPlaying(id), 0) << "the stream ended by itself";
  StopChannel(0);
  ShutdownSound();
  platform::SetAudioDeviceOpener(previous);

  // The disk takes as asked what the mixer writes (another device gets it converted), in periods of 512 (10 ms up).
  EXPECT_TRUE(g_want.format == AUDIO_S16SYS && g_want.channels == 2 && g_want.freq == 44100 && g_want.samples == 512);
  const std::vector<int16_t> heard = ReadSamples(output);
  // Line the first sound of each up, on a frame.
  const std::size_t lead = FirstNonZero(expected) & ~std::size_t{1};
  const std::size_t start = FirstNonZero(heard) & ~std::size_t{1};
  ASSERT_LT(start, heard.size());
  ASSERT_GE(start, lead);
  ASSERT_GE(heard.size() - (start - lead), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_NEAR(heard[start - lead + i], expected[i], 1) << "sample " << i;
  }
}

}  // namespace
