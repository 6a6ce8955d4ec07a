// The buffer model and the mixer through the manual back end: known samples in,
// known samples out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/audio.h"

namespace {

using platform::WAVEFORMATEX;

constexpr uint32_t kRate = 44100;

WAVEFORMATEX Pcm(uint16_t channels, uint16_t bits, uint32_t rate = kRate) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return {1, channels, rate, rate * align, align, bits, 0};
}

// A buffer holding `bytes` (written through Lock), playing.
std::unique_ptr<platform::SoundBuffer> PlayingBuffer(platform::AudioMixer& mixer, const WAVEFORMATEX& format,
                                                     const std::vector<uint8_t>& bytes, bool looping = true) {
  auto buffer = mixer.CreateBuffer(format, static_cast<uint32_t>(bytes.size()));
  if (buffer == nullptr) return nullptr;
  void* p = nullptr;
  uint32_t n = 0;
  EXPECT_TRUE(buffer->Lock(0, buffer->size(), &p, &n, nullptr, nullptr));
  std::memcpy(p, bytes.data(), n);
  buffer->Unlock();
  buffer->Play(looping);
  return buffer;
}

std::vector<uint8_t> Samples16(std::initializer_list<int16_t> samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) {
    out.push_back(static_cast<uint8_t>(s));
    out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return out;
}

int16_t Scaled(int sample, double hundredthsDb) {
  return static_cast<int16_t>(std::lrint(sample * std::pow(10.0, hundredthsDb / 2000.0)));
}

TEST(AudioMixer, MixesKnownInputToKnownSamples) {
  const struct {
    const char* name;
    WAVEFORMATEX format;
    std::vector<uint8_t> bytes;
    int32_t volume, pan, master;
    std::vector<int16_t> expected;  // the first frames, left and right
    bool looping = true;
  } table[] = {
      {"16-bit stereo at the device rate", Pcm(2, 16), Samples16({100, -200, 30000, -32768}), 0, 0, 0,
       {100, -200, 30000, -32768}},
      {"8-bit mono centred at 128, both sides", Pcm(1, 8), {128, 255, 0, 129}, 0, 0, 0,
       {0, 0, 32512, 32512, -32768, -32768, 256, 256}},
      {"half the device rate interpolates, the last frame toward the first", Pcm(1, 16, kRate / 2),
       Samples16({0, 1000, -1000, 400}), 0, 0, 0,
       {0, 0, 500, 500, 1000, 1000, 0, 0, -1000, -1000, -300, -300, 400, 400, 200, 200, 0, 0}},
      {"three quarters of the device rate keeps the fraction across the wrap", Pcm(1, 16, kRate * 3 / 4),
       Samples16({0, 1000, -1000, 400}), 0, 0, 0,
       {0, 0, 750, 750, 0, 0, -650, -650, 400, 400, 100, 100, 500, 500, 500, 500}},
      {"halves round away from zero", Pcm(1, 16, kRate / 2), Samples16({0, 1, 0, -1}), 0, 0, 0,
       {0, 0, 1, 1, 1, 1, 1, 1, 0, 0, -1, -1, -1, -1, -1, -1}},
      {"once at another rate holds its last frame, never blends into its first", Pcm(1, 16, kRate / 2),
       Samples16({0, 0, 0, 1000}), 0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 500, 500, 1000, 1000, 1000, 1000, 0, 0}, false},
      {"volume -600", Pcm(1, 16), Samples16({10000, -10000, 0, 0}), -600, 0, 0,
       {Scaled(10000, -600), Scaled(10000, -600), Scaled(-10000, -600), Scaled(-10000, -600)}},
      {"pan right silences the left", Pcm(1, 16), Samples16({10000, 0, 0, 0}), 0, 10000, 0, {0, 10000}},
      {"pan -600 attenuates the right", Pcm(1, 16), Samples16({10000, 0, 0, 0}), 0, -600, 0,
       {10000, Scaled(10000, -600)}},
      {"master volume scales the sum", Pcm(1, 16), Samples16({10000, 0, 0, 0}), 0, 0, -600,
       {Scaled(10000, -600), Scaled(10000, -600)}},
      {"master volume above full is full", Pcm(1, 16), Samples16({10000, 0, 0, 0}), 0, 0, 600, {10000, 10000}},
      {"volume -10000 is silence", Pcm(1, 16), Samples16({10000, 0, 0, 0}), -10000, 0, 0, {0, 0}},
      {"the lowest rate, 100 Hz", Pcm(1, 16, 100), Samples16({1000, 1000}), 0, 0, 0, {1000, 1000, 1000, 1000}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    platform::ManualAudioDevice device(kRate);
    device.Mixer().SetMasterVolume(row.master);
    auto buffer = PlayingBuffer(device.Mixer(), row.format, row.bytes, row.looping);
    ASSERT_NE(buffer, nullptr);
    buffer->SetVolume(row.volume);
    buffer->SetPan(row.pan);
    std::vector<int16_t> out = device.Render(static_cast<uint32_t>(row.expected.size() / 2));
    EXPECT_EQ(out, row.expected);
  }
}

TEST(AudioMixer, SumSaturatesAtSixteenBits) {
  platform::ManualAudioDevice device(kRate);
  auto a = PlayingBuffer(device.Mixer(), Pcm(1, 16), Samples16({30000, -30000}));
  auto b = PlayingBuffer(device.Mixer(), Pcm(1, 16), Samples16({30000, -30000}));
  EXPECT_EQ(device.Render(2), (std::vector<int16_t>{32767, 32767, -32768, -32768}));
}

TEST(SoundBuffer, CursorsLoopAndEnd) {
  platform::ManualAudioDevice device(kRate);
  const std::vector<uint8_t> bytes = Samples16({1, 2, 3, 4, 5, 6, 7, 8});  // 4 stereo frames
  auto looping = PlayingBuffer(device.Mixer(), Pcm(2, 16), bytes, true);
  auto once = PlayingBuffer(device.Mixer(), Pcm(2, 16), bytes, false);
  // At half the device rate the same 4 frames end exactly at the 8th device frame.
  auto halfLoop = PlayingBuffer(device.Mixer(), Pcm(2, 16, kRate / 2), bytes, true);
  auto halfOnce = PlayingBuffer(device.Mixer(), Pcm(2, 16, kRate / 2), bytes, false);
  uint32_t play = 0, write = 0;
  device.Render(3);
  looping->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 12u);
  EXPECT_EQ(write, (3 + device.Mixer().periodFrames()) % 4 * 4);
  device.Render(2);
  looping->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 4u);
  EXPECT_EQ(looping->GetStatus(), platform::kBufferPlaying | platform::kBufferLooping);
  looping->SetCurrentPosition(100);  // past the end: the last frame
  looping->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 12u);
  looping->Stop();
  EXPECT_EQ(looping->GetStatus(), 0u);
  once->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);
  EXPECT_EQ(once->GetStatus(), 0u);
  device.Render(3);
  halfLoop->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 0u) << "a loop wraps at its end, not a frame past it";
  EXPECT_EQ(write, (device.Mixer().periodFrames() + 1) / 2 % 4 * 4) << "a period ahead, rounded up to a frame";
  EXPECT_EQ(halfLoop->GetStatus(), platform::kBufferPlaying | platform::kBufferLooping);
  halfOnce->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);
  EXPECT_EQ(halfOnce->GetStatus(), 0u) << "a single play stops at its end";
}

TEST(SoundBuffer, LockRefusesBadRangesAndSplitsAtTheEnd) {
  platform::ManualAudioDevice device(kRate);
  auto buffer = device.Mixer().CreateBuffer(Pcm(1, 8), 16);
  void *p1 = nullptr, *p2 = nullptr;
  uint32_t n1 = 0, n2 = 0;
  EXPECT_FALSE(buffer->Lock(16, 1, &p1, &n1, &p2, &n2));
  EXPECT_FALSE(buffer->Lock(0, 0, &p1, &n1, &p2, &n2));
  EXPECT_FALSE(buffer->Lock(0, 17, &p1, &n1, &p2, &n2));
  ASSERT_TRUE(buffer->Lock(12, 8, &p1, &n1, &p2, &n2));
  EXPECT_EQ(n1, 4u);
  EXPECT_EQ(n2, 4u);
  EXPECT_FALSE(buffer->Lock(0, 1, &p1, &n1, &p2, &n2)) << "a second lock while one is out";
  std::memset(p1, 200, n1);
  std::memset(p2, 56, n2);
  buffer->Unlock();
  buffer->Play(true);
  std::vector<int16_t> out = device.Render(16);
  EXPECT_EQ(out[0], (56 - 128) * 256);
  EXPECT_EQ(out[2 * 4], 0);
  EXPECT_EQ(out[2 * 12], (200 - 128) * 256);
}

TEST(SoundBuffer, LostBufferIsSilentAndRefusesLocksUntilRestored) {
  platform::ManualAudioDevice device(kRate);
  auto buffer = PlayingBuffer(device.Mixer(), Pcm(1, 16), Samples16({1000, 1000}));
  device.Mixer().LoseBuffers();
  EXPECT_EQ(buffer->GetStatus() & platform::kBufferLost, platform::kBufferLost);
  EXPECT_EQ(device.Render(1), (std::vector<int16_t>{0, 0}));
  void* p = nullptr;
  uint32_t n = 0;
  EXPECT_FALSE(buffer->Lock(0, 4, &p, &n, nullptr, nullptr));
  buffer->Restore();
  EXPECT_EQ(buffer->GetStatus(), platform::kBufferPlaying | platform::kBufferLooping);
  EXPECT_EQ(device.Render(1), (std::vector<int16_t>{0, 0})) << "the bytes are gone";
  EXPECT_TRUE(buffer->Lock(0, 4, &p, &n, nullptr, nullptr));
  buffer->Unlock();
}

TEST(AudioMixer, RefusesFormatsAndSizesItCannotPlay) {
  platform::ManualAudioDevice device(kRate);
  WAVEFORMATEX badAlign = Pcm(2, 16);
  badAlign.nBlockAlign = 2;
  WAVEFORMATEX notPcm = Pcm(2, 16);
  notPcm.wFormatTag = 3;
  for (const WAVEFORMATEX& f : {Pcm(6, 16), Pcm(2, 24), Pcm(2, 16, 50), Pcm(2, 16, 400000), badAlign, notPcm}) {
    EXPECT_EQ(device.Mixer().CreateBuffer(f, 1024), nullptr);
  }
  EXPECT_EQ(device.Mixer().CreateBuffer(Pcm(2, 16), 2), nullptr);
  EXPECT_EQ(device.Mixer().CreateBuffer(Pcm(2, 16), platform::kMaxBufferBytes + 1), nullptr);
}

}  // namespace
