// The volume law, wave images and the silent engine.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/message_box.h"
#include "sound/sound_internal.h"
#include "wave_image.h"

namespace {

using sound_test::DebugCapture;
using sound_test::WaveImage;

TEST(VolumeLaw, FollowsTheTableOfLevels) {
  const struct {
    int level;
    int32_t volume;
  } table[] = {{-5, -10000}, {0, -10000}, {1, -2406}, {2, -2105},  {64, -600}, {128, -299},
               {200, -105},  {254, -1},   {255, 0},   {1000, 0}};
  for (const auto& row : table) EXPECT_EQ(VolumeToAttenuation(row.level), row.volume) << row.level;
}

TEST(ParseWave, FindsFormatAndDataInEveryChunkLayout) {
  const std::vector<uint8_t> samples = {1, 2, 3};
  const struct {
    const char* name;
    std::vector<uint8_t> image;
    int result;
    uint16_t bits;  // of the format found
  } table[] = {
      {"format then data", WaveImage().Format(2, 22050, 16).Data(samples).Build(), 1, 16},
      {"data before format", WaveImage().Data(samples).Format(1, 8000, 8).Build(), 1, 8},
      {"other chunks between, odd sizes padded",
       WaveImage().Chunk("LIST", {9, 9, 9}).Format(1, 8000, 8, 18).Chunk("fact", {7}).Data(samples).Build(), 1,
       8},
      {"14-byte format leaves the bits zero", WaveImage().Format(1, 8000, 8, 14).Data(samples).Build(), 1, 0},
      {"13-byte format fails", WaveImage().Format(1, 8000, 8, 13).Data(samples).Build(), 0, 0},
      {"no data chunk", WaveImage().Format(1, 8000, 8).Build(), 0, 8},
      {"RIFF size ends the walk before the data",
       WaveImage().Format(1, 8000, 8).Data(samples).Build(4 + 8 + 16), 0, 8},
      {"RIFF size past the image's end", WaveImage().Format(1, 8000, 8).Data(samples).Build(0xFFFFFFF0u), 1, 8},
      {"not RIFF", {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, 0, 0},
      {"shorter than the header", {'R', 'I', 'F', 'F'}, 0, 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    DebugCapture capture;
    WAVEFORMATEX format;
    const uint8_t* data = nullptr;
    uint32_t size = 99;
    EXPECT_EQ(ParseWave(row.image, &format, &data, &size), row.result);
    EXPECT_EQ(format.wBitsPerSample, row.bits);
    if (row.result == 1) {
      EXPECT_EQ(size, samples.size());
      EXPECT_EQ(std::vector<uint8_t>(data, data + size), samples);
      EXPECT_EQ(capture.text, u"");
    } else {
      EXPECT_EQ(capture.text, u"Could not parse wave resource!\n");
    }
  }
}

TEST(ParseWave, ChunkRunningPastTheImageFails) {
  std::vector<uint8_t> image = WaveImage().Format(1, 8000, 8).Data({1, 2, 3, 4}).Build();
  image.resize(image.size() - 2);  // the data chunk's body is cut short
  DebugCapture capture;
  uint32_t size = 0;
  EXPECT_EQ(ParseWave(image, nullptr, nullptr, &size), 0);
  EXPECT_EQ(size, 0u);
}

class StaticWaves : public sound_test::ManualEngine {};

TEST_F(StaticWaves, SlotHoldsTheSamplesAndRefillsThemWhenLost) {
  const std::vector<uint8_t> samples = {10, 20, 30, 40, 50, 60};
  const std::vector<uint8_t> image = WaveImage().Chunk("LIST", {1}).Data(samples).Format(1, kRate, 8).Build();
  // 8-bit mono at the device's rate: each sample comes out on both sides, x256.
  std::vector<int16_t> heard;
  for (uint8_t s : samples) heard.insert(heard.end(), 2, static_cast<int16_t>((s - 128) * 256));
  LoadWaveSlot(5, image.data(), static_cast<uint32_t>(image.size()));
  ASSERT_NE(WaveSlotBuffer(5), nullptr);
  ASSERT_TRUE(WaveSlotBuffer(5)->Play(false));
  EXPECT_EQ(device_->Render(samples.size()), heard);

  device_->Mixer().LoseBuffers();
  RunSoundServicePass();
  EXPECT_EQ(WaveSlotBuffer(5)->GetStatus() & platform::kBufferLost, 0u);
  ASSERT_TRUE(WaveSlotBuffer(5)->Play(false));
  EXPECT_EQ(device_->Render(samples.size()), heard);
}

TEST_F(StaticWaves, BadImagesAndSlotsLeaveNoBuffer) {
  const std::vector<uint8_t> good = WaveImage().Format(1, kRate, 8).Data({1, 2, 3, 4}).Build();
  const std::vector<uint8_t> unplayable = WaveImage().Format(6, kRate, 16).Data({1, 2, 3, 4}).Build();
  LoadWaveSlot(0, good.data(), static_cast<uint32_t>(good.size()));
  ASSERT_NE(WaveSlotBuffer(0), nullptr);
  DebugCapture capture;
  LoadWaveSlot(0, nullptr, 0);  // a missing system sound
  EXPECT_EQ(WaveSlotBuffer(0), nullptr);
  EXPECT_EQ(capture.text, u"Could not parse wave resource!\n");
  LoadWaveSlot(1, unplayable.data(), static_cast<uint32_t>(unplayable.size()));
  EXPECT_EQ(WaveSlotBuffer(1), nullptr);
  LoadWaveSlot(kWaveSlotCount, good.data(), static_cast<uint32_t>(good.size()));
  LoadWaveSlot(-1, good.data(), static_cast<uint32_t>(good.size()));
  EXPECT_EQ(WaveSlotBuffer(kWaveSlotCount), nullptr);
}

TEST(SoundStartUp, UnplayablePrimaryFormatFailsWithItsBox) {
  platform::HeadlessMessageBox boxes;
  boxes.SetEcho(false);
  platform::IMessageBox* previousBox = platform::SetMessageBoxService(&boxes);
  auto previous = platform::SetAudioDeviceOpener(
      [](uint32_t rate) { return std::make_unique<platform::ManualAudioDevice>(rate); });
  SOUNDCONFIG config{1, 44100, 2, 12, 2, 0, 0};
  EXPECT_EQ(InitSound(nullptr, &config), DSERR_BADFORMAT);
  EXPECT_EQ(IsSoundEnabled(), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, u"DirectSound");
  EXPECT_EQ(boxes.shown()[0].text, u"SetPrimaryFormat(88780064)");

  // The segment player is not built: one line, and sound comes up without it.
  config = {1, 44100, 2, 16, 2, 1, 1};
  DebugCapture capture;
  EXPECT_EQ(InitSound(nullptr, &config), 0);
  EXPECT_EQ(IsSoundEnabled(), 1);
  EXPECT_NE(capture.text, u"");
  ShutdownSound();
  EXPECT_EQ(IsSoundEnabled(), 0);
  platform::SetAudioDeviceOpener(previous);
  platform::SetMessageBoxService(previousBox);
}

// Sound switched off, and no audio device: silent, without a message, and every
// call harmless.
TEST(SoundStartUp, SoundOffOrNoDeviceRunsSilent) {
  platform::HeadlessMessageBox boxes;
  platform::IMessageBox* previousBox = platform::SetMessageBoxService(&boxes);
  auto previous = platform::SetAudioDeviceOpener([](uint32_t) { return nullptr; });
  for (uint32_t enable : {0u, 1u}) {
    SOUNDCONFIG config{enable, 44100, 2, 16, 2, 0, 0};
    EXPECT_EQ(InitSound(nullptr, &config), 0);
    EXPECT_EQ(IsSoundEnabled(), 0);
    SetMasterVolume(-100);
    LoadWaveSlot(0, nullptr, 0);
    EXPECT_EQ(OpenOggStream(nullptr, u"bgm/none.ogg", -1, 1, 4096, 0, 0), -1);
    for (int channel = -1; channel < kStreamChannelCount; ++channel) {
      StopChannel(channel);
      EXPECT_EQ(GetChannelPlayId(channel), -1);
    }
    StopSound(0);
    EXPECT_EQ(IsSoundPlaying(0), 0);
    EXPECT_EQ(SetSoundVolume(0, -100), 1);
    ShutdownSound();
  }
  EXPECT_TRUE(boxes.shown().empty());
  platform::SetAudioDeviceOpener(previous);
  platform::SetMessageBoxService(previousBox);
}

}  // namespace
