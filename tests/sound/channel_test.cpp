// The stream channels driven by a scripted play cursor: the manual device moves the
// cursor exactly as far as a test renders, and each render is followed by one
// service pass.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine_fixture.h"
#include "sound/stream.h"

namespace {

using sound_test::ManualEngine;

// The byte at offset k of every pattern stream: no two nearby offsets alike.
uint8_t PatternByte(uint64_t k) { return static_cast<uint8_t>((k * 2654435761u) >> 24); }

// A control whose PCM is the pattern: 16-bit mono at the device's rate unless told.
class PatternControl final : public CStreamControl {
 public:
  PatternControl(uint32_t total, uint32_t rate, uint16_t channels = 1) : CStreamControl(nullptr), total_(total) {
    format_ = {1, channels, rate, rate * 2u * channels, static_cast<uint16_t>(2 * channels), 16, 0};
  }
  int Open(std::u16string_view) override { return 1; }
  uint32_t GetDataSize() override { return total_; }
  int Rewind(STREAMCHANNEL*) override {
    at_ = 0;
    ++rewinds;
    return 1;
  }
  // Touches the object after the shared handler has run, as a handler may.
  int OnNotify(STREAMCHANNEL* channel, uint32_t event) override {
    const int result = CStreamControl::OnNotify(channel, event);
    ++notifications;
    return result;
  }
  int rewinds = 0;
  int notifications = 0;

 protected:
  uint32_t RawRead(void* buffer, uint32_t bytes) override {
    const uint32_t n = std::min<uint32_t>(bytes, total_ - at_);
    for (uint32_t i = 0; i < n; ++i) static_cast<uint8_t*>(buffer)[i] = PatternByte(at_ + i);
    at_ += n;
    return n;
  }

 private:
  uint32_t total_;
  uint32_t at_ = 0;
};

// `n` bytes of the pattern stream from `from`, looped at `total` or silent after it.
std::vector<uint8_t> Expected(uint64_t from, uint64_t n, uint32_t total, bool loop) {
  std::vector<uint8_t> out;
  for (uint64_t k = from; k < from + n; ++k) {
    out.push_back(loop ? PatternByte(k % total) : k < total ? PatternByte(k) : 0);
  }
  return out;
}

// The mono 16-bit samples that `bytes` hold, as the device's stereo output.
std::vector<int16_t> AsStereo(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto s = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
    out.push_back(s);
    out.push_back(s);
  }
  return out;
}

class StreamChannels : public ManualEngine {
 protected:
  // With StreamSize 1 a segment of 16-bit mono at kRate is 1/8 s: 2000 bytes.
  static constexpr uint32_t kSegment = kRate * 2 / 8;
  static constexpr uint32_t kSegmentFrames = kSegment / 2;

  void SetUp() override {
    ManualEngine::SetUp();
    StreamSize = 1;
  }

  // Starts a pattern stream; the channel owns the control on success.
  int32_t Start(int channel, uint32_t total, int loop, PatternControl** out = nullptr, uint32_t rate = 4096) {
    auto* control = new PatternControl(total, kRate);
    SoundLock lock;
    const int32_t id = AttachStreamToChannel(channel, control, rate, 0, 0, loop);
    if (out != nullptr) *out = id != -1 ? control : nullptr;
    if (id == -1) control->Release();
    return id;
  }

  STREAMCHANNEL& Channel(int i) { return StreamChannel(i); }
};

TEST_F(StreamChannels, SegmentSizesFollowStreamSizeAndTheSourceFormat) {
  const struct {
    uint32_t rate;
    uint16_t channels;
    uint32_t streamSize;
    uint32_t factor;
    uint32_t segment;
    uint32_t bufferRate;
  } table[] = {
      {44100, 2, 4, 4096, 88200, 44100},    // half a second
      {44100, 2, 4, 8192, 88200, 88200},    // twice as fast: the rate doubles, the segment does not
      {22050, 1, 0, 4096, 5512, 22050},     // 0 is taken as 1: 5512.5 bytes, down to a frame
      {11025, 2, 3, 4096, 16540, 11025},    // 16537.5 bytes, up to a whole frame
      {8000, 1, 1000, 4096, 64000, 8000},   // kept to 32 eighths
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.rate);
    StreamSize = row.streamSize;
    auto* control = new PatternControl(100000, row.rate, row.channels);
    SoundLock lock;
    const int32_t id = AttachStreamToChannel(0, control, row.factor, 0, 0, 0);
    ASSERT_NE(id, -1);
    EXPECT_EQ(Channel(0).segment, row.segment);
    EXPECT_EQ(Channel(0).bufferSize, 8 * row.segment);
    EXPECT_EQ(Channel(0).format.nSamplesPerSec, row.bufferRate);
    EXPECT_EQ(Channel(0).format.nAvgBytesPerSec, row.bufferRate * 2 * row.channels);
    StopChannel(0);
  }
}

TEST_F(StreamChannels, InitialFillLaysOutFourSegments) {
  const struct {
    const char* name;
    uint32_t total;
    int loop;
    uint32_t flags;
    uint32_t remaining;
  } table[] = {
      {"long stream", 10 * kSegment, 1, kChannelPlaying | kChannelLoop, 6 * kSegment},
      {"short stream padded with silence", 3 * kSegment / 2, 0, kChannelPlaying | kChannelEndOfData, 0},
      {"looping stream shorter than a segment repeats", 7 * kSegment / 10, 1, kChannelPlaying | kChannelLoop,
       7 * kSegment / 10 - (4 * kSegment) % (7 * kSegment / 10)},
      {"looping stream of two segments", 2 * kSegment, 1, kChannelPlaying | kChannelLoop | kChannelEndOfData, 0},
      {"looping empty stream plays silence once", 0, 1, kChannelPlaying | kChannelEndOfData, 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const bool loop = row.loop != 0 && row.total > 0;
    {
      // Held from the start, so the service thread can't end the empty
      // stream (nothing left to play) before its first fill is looked at.
      SoundLock lock;
      ASSERT_NE(Start(0, row.total, row.loop), -1);
      EXPECT_EQ(Channel(0).flags, row.flags);
      EXPECT_EQ(Channel(0).remaining, row.remaining);
      EXPECT_EQ(Channel(0).writePosition, 4 * kSegment);
      EXPECT_EQ(Channel(0).boundary, kSegment - 1);
    }
    EXPECT_EQ(device_->Render(4 * kSegmentFrames), AsStereo(Expected(0, 4 * kSegment, row.total, loop)));
    StopChannel(0);
  }
}

TEST_F(StreamChannels, LoopingStreamPlaysOnWithoutAGapAcrossTheRingsEnd) {
  const struct {
    uint32_t total;
    int minRewinds, maxRewinds;
  } table[] = {
      {33 * kSegment / 10, 7, 20},
      {7 * kSegment / 10, 0, 1},  // shorter than a segment: repeated from memory
      {2, 0, 1},                  // one sample
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.total);
    PatternControl* control = nullptr;
    ASSERT_NE(Start(2, row.total, 1, &control), -1);
    std::vector<int16_t> heard;
    for (int i = 0; i < 20; ++i) {
      std::vector<int16_t> out = Play(kSegmentFrames);
      heard.insert(heard.end(), out.begin(), out.end());
    }
    EXPECT_EQ(heard, AsStereo(Expected(0, 20 * kSegment, row.total, true)));
    SoundLock lock;
    EXPECT_EQ(Channel(2).played, 20u * kSegment);
    EXPECT_EQ(Channel(2).writePosition, (24 * kSegment) % (8 * kSegment));
    EXPECT_GE(control->rewinds, row.minRewinds);
    EXPECT_LE(control->rewinds, row.maxRewinds);
    StopChannel(2);
  }
}

TEST_F(StreamChannels, StreamEndsOnceEveryByteHasPlayed) {
  const struct {
    const char* name;
    uint32_t total;
    int segments;  // played when the channel frees itself
  } table[] = {
      {"ends inside the first fill", 3 * kSegment / 2, 2},
      {"ends inside a refill, over an earlier segment's bytes", 11 * kSegment / 2, 6},
      {"ends on a segment's end", 6 * kSegment, 6},
      {"ends after the ring wrapped", 21 * kSegment / 2, 11},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const int32_t id = Start(-1, row.total, 0);
    ASSERT_NE(id, -1);
    std::vector<int16_t> heard;
    for (int i = 0; i < row.segments; ++i) {
      EXPECT_EQ(IsSoundPlaying(id), 1) << i << " segments played";
      std::vector<int16_t> out = Play(kSegmentFrames);
      heard.insert(heard.end(), out.begin(), out.end());
    }
    EXPECT_EQ(heard, AsStereo(Expected(0, row.segments * kSegment, row.total, false)));
    EXPECT_EQ(IsSoundPlaying(id), 0);
    EXPECT_EQ(GetSoundState(id), 0);
    EXPECT_EQ(GetChannelPlayId(0), -1);
    EXPECT_EQ(SetSoundVolume(id, 0), 0);
  }
}

TEST_F(StreamChannels, RefillsWaitWhenTheCursorJumpedPastTheNextSegment) {
  ASSERT_NE(Start(0, 100 * kSegment, 1), -1);
  Play(2 * kSegmentFrames);
  {
    SoundLock lock;
    EXPECT_EQ(Channel(0).played, 0u);
    EXPECT_EQ(Channel(0).writePosition, 4 * kSegment);
  }
  Play(6 * kSegmentFrames);  // the cursor wraps to 0: still not the segment after the boundary
  Play(kSegmentFrames);
  SoundLock lock;
  EXPECT_EQ(Channel(0).played, uint64_t{kSegment});
  EXPECT_EQ(Channel(0).writePosition, 5 * kSegment);
}

TEST_F(StreamChannels, ChannelsAreTakenOnlyWhenFreeAndStopsFreeThemAtOnce) {
  SetNextPlayId(0x7FFFFFFF);
  int32_t ids[kStreamChannelCount];
  for (int i = 0; i < kStreamChannelCount; ++i) ids[i] = Start(-1, 100 * kSegment, 1);
  EXPECT_EQ(ids[0], 0x7FFFFFFF);
  EXPECT_EQ(ids[1], 0) << "play ids wrap to 0";
  EXPECT_EQ(Start(-1, kSegment, 0), -1) << "no channel free";
  EXPECT_EQ(Start(1, kSegment, 0), -1) << "a busy channel is not taken over";
  EXPECT_EQ(Start(7, kSegment, 0), -1);
  EXPECT_EQ(GetChannelPlayId(1), ids[1]);

  StopSound(ids[1]);
  EXPECT_EQ(GetChannelPlayId(1), -1);
  EXPECT_EQ(IsSoundPlaying(ids[1]), 0);
  StopSound(ids[1]);  // no longer plays: nothing happens
  StopSound(-1);
  StopChannel(-1);
  StopChannel(3);
  EXPECT_EQ(GetChannelPlayId(3), -1);
  EXPECT_EQ(GetChannelPlayId(0), ids[0]);
  EXPECT_EQ(GetChannelPlayId(2), ids[2]);
  EXPECT_EQ(SetSoundVolume(ids[2], -600), 1);
  EXPECT_EQ(Start(-1, kSegment, 0), ids[3] + 1) << "the lowest free channel";
  EXPECT_NE(GetChannelPlayId(1), -1);
}

TEST_F(StreamChannels, HandlerMayFreeTheChannelItRunsOn) {
  PatternControl* control = nullptr;
  ASSERT_NE(Start(0, 100 * kSegment, 1, &control), -1);
  SoundLock lock;
  Channel(0).flags |= kChannelStopRequested;
  EXPECT_EQ(StreamChannelCallback(&Channel(0), kEventSegmentPlayed), 1);
  EXPECT_EQ(Channel(0).buffer, nullptr);
  EXPECT_EQ(Channel(0).playId.load(), -1);
}

// The device's thread mixes, the service thread refills and the game thread starts
// and stops streams, all at once, round after round of start-up and shut-down. Run
// under ThreadSanitizer by scripts/test.
TEST_F(StreamChannels, GameServiceAndDeviceThreadsRunTogether) {
  for (int round = 0; round < 10; ++round) {
    if (round > 0) {
      SOUNDCONFIG config{1, kRate, 2, 16, 2, 1, 0};
      ASSERT_EQ(InitSound(nullptr, &config), 0);
    }
    std::atomic<bool> done{false};
    platform::ManualAudioDevice* device = device_;
    std::thread mixing([&] {
      while (!done) device->Render(kSegmentFrames / 4);
    });
    for (int i = 0; i < 20; ++i) {
      const int32_t id = Start(-1, (i % 5 + 1) * kSegment / 2, i % 2);
      SetSoundVolume(id, -100 * i);
      if (i % 3 == 0) StopSound(id);
      IsSoundPlaying(id);
      GetChannelPlayId(i % kStreamChannelCount);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      // Right after the pause, before any other call takes the lock: a stop that
      // skipped it would meet the service pass unguarded.
      if (i % 3 == 1) StopChannel(i % kStreamChannelCount);
    }
    done = true;
    mixing.join();
    ShutdownSound();
  }
}

}  // namespace
