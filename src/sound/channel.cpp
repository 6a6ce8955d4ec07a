// The four stream channels: the game's calls, the service pass and the channel
// table's bookkeeping.
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "core/exception.h"
#include "sound/sound_internal.h"
#include "sound/stream.h"

namespace {

STREAMCHANNEL g_channels[kStreamChannelCount];
int32_t g_nextPlayId = 0;  // under the sound lock
// The format of the last stream buffer the device refused, until its box is shown.
// Under the sound lock.
std::optional<WAVEFORMATEX> g_refusedFormat;

STREAMCHANNEL* ChannelAt(int channel) {
  return channel >= 0 && channel < kStreamChannelCount ? &g_channels[channel] : nullptr;
}

// The channel that plays `playId`, or null (also for -1). Under the sound lock.
STREAMCHANNEL* FindChannel(int32_t playId) {
  if (playId == -1) return nullptr;
  for (STREAMCHANNEL& c : g_channels) {
    if (c.playId.load() == playId) return &c;
  }
  return nullptr;
}

// A stop request runs a pass at once, so the channel is free when this returns.
void RequestStop(STREAMCHANNEL* c) {
  if (c != nullptr && c->buffer && (c->flags & kChannelPlaying) != 0) {
    c->flags |= kChannelStopRequested;
    ServiceStreamChannels();
  }
}

void CallBack(STREAMCHANNEL& c, uint32_t event) {
  if (c.callback != nullptr) c.callback(&c, event);
}

}  // namespace

STREAMCHANNEL& StreamChannel(int index) { return g_channels[index]; }

void InitStreamChannels() {
  for (int i = 0; i < kStreamChannelCount; ++i) {
    STREAMCHANNEL& c = g_channels[i];
    ReleaseStreamChannel(&c);
    c.index = static_cast<uint32_t>(i);
    c.total = c.remaining = c.writePosition = c.boundary = c.segment = c.bufferSize = 0;
    c.played = 0;
    c.format = WAVEFORMATEX{};
    c.callback = nullptr;
  }
}

void ReleaseStreamChannels() {
  for (STREAMCHANNEL& c : g_channels) ReleaseStreamChannel(&c);
}

int32_t NextPlayId() {
  const int32_t id = g_nextPlayId;
  g_nextPlayId = static_cast<int32_t>((static_cast<uint32_t>(id) + 1) & 0x7FFFFFFF);
  return id;
}

void SetNextPlayId(int32_t next) { g_nextPlayId = next & 0x7FFFFFFF; }

uint32_t StreamSegmentEighths() { return std::clamp<uint32_t>(StreamSize, 1, 32); }

int FindFreeStreamChannel() {
  for (int i = 0; i < kStreamChannelCount; ++i) {
    if (!g_channels[i].buffer) return i;
  }
  return -1;
}

int32_t AttachStreamToChannel(int channel, IStreamControl* control, uint32_t rate, int32_t volume,
                              int32_t pan, int loop) {
  if (channel == -1) channel = FindFreeStreamChannel();
  STREAMCHANNEL* c = ChannelAt(channel);
  if (c == nullptr || c->buffer) return -1;  // a busy channel is never taken over
  c->callback = StreamChannelCallback;
  c->control = control;
  if (control->CreateAndPlay(c, rate, volume, pan, loop) != 0) return c->playId.load();
  // The caller keeps its reference to the control and releases it.
  if (c->buffer) {
    c->buffer->Stop();
    c->buffer.reset();
  }
  c->flags = 0;
  c->playId = -1;
  c->control = nullptr;
  return -1;
}

int StreamChannelCallback(STREAMCHANNEL* channel, uint32_t event) {
  if (channel == nullptr || channel->control == nullptr) return 0;
  SoundLock lock;
  // The handler may free the channel it runs on: the control stays alive for the call.
  ComPtr<IStreamControl> control = ComPtr<IStreamControl>::Share(channel->control);
  return control->OnNotify(channel, event);
}

void ServiceStreamChannels() {
  for (STREAMCHANNEL& c : g_channels) {
    if (!c.buffer) continue;
    if (c.buffer->GetStatus() & platform::kBufferLost) c.buffer->Restore();
    if (c.flags & kChannelStopRequested) {
      ReleaseStreamChannel(&c);
      continue;
    }
    uint32_t cursor = 0;
    c.buffer->GetCurrentPosition(&cursor, nullptr);
    if (c.boundary + 1 >= c.bufferSize) {
      // The boundary is the buffer's last byte: wait for the cursor to wrap.
      if (cursor < c.segment) {
        c.played += c.segment;
        CallBack(c, kEventSegmentPlayed);
        c.boundary = c.segment - 1;
      }
    } else if (cursor > c.boundary && cursor < c.boundary + c.segment) {
      c.played += c.segment;
      CallBack(c, kEventSegmentPlayed);
      c.boundary = (c.boundary + c.segment) % c.bufferSize;
    }
    if ((c.flags & kChannelEndOfData) && !(c.flags & kChannelLoop) && c.played >= c.total) {
      CallBack(c, kEventEndPlayed);
    }
  }
}

std::unique_ptr<platform::SoundBuffer> CreateStreamBuffer(const WAVEFORMATEX& format, uint32_t bytes) {
  platform::IAudioDevice* device = SoundDevice();
  std::unique_ptr<platform::SoundBuffer> buffer;
  if (device != nullptr) buffer = device->Mixer().CreateBuffer(format, bytes);
  if (!buffer) g_refusedFormat = format;
  return buffer;
}

void ReportRefusedStreamBuffer() {
  std::optional<WAVEFORMATEX> refused;
  {
    SoundLock lock;
    refused = std::exchange(g_refusedFormat, std::nullopt);
  }
  if (!refused) return;
  const WAVEFORMATEX& format = *refused;
  MessageBoxF(nullptr, u"DirectSound",
              u"CreateStreamBuffer(%X)\r\n  wFormatTag=%4X\r\n  nChannels=%d\r\n  nSamplesPerSec=%d\r\n"
              u"  nAvgBytesPerSec=%d\r\n  nBlockAlign=%d\r\n  wBitsPerSample=%d\r\n  cbSize=%d\r\n",
              DSERR_INVALIDPARAM, format.wFormatTag, format.nChannels, format.nSamplesPerSec,
              format.nAvgBytesPerSec, format.nBlockAlign, format.wBitsPerSample, format.cbSize);
}

void StopStreamChannel(STREAMCHANNEL* channel) {
  if (channel->buffer) {
    const uint32_t bytes = std::min(4 * channel->segment, channel->buffer->size());
    const uint8_t silence = SilenceByte(channel->format);
    WriteBuffer(*channel->buffer, 0, bytes,
                [&](uint8_t* piece, uint32_t n, uint32_t) { std::memset(piece, silence, n); });
  }
  ReleaseStreamChannel(channel);
}

void ReleaseStreamChannel(STREAMCHANNEL* channel) {
  if (channel->buffer) {
    channel->buffer->Stop();
    channel->buffer.reset();
  }
  ReleaseInterface(channel->control);
  channel->flags = 0;
  channel->playId = -1;
}

// --- The game's calls -------------------------------------------------------------

int32_t OpenOggStream(IArchive* archive, std::u16string_view name, int channel, int loop,
                      uint32_t rate, int32_t volume, int32_t pan) {
  const int32_t id = [&]() -> int32_t {
    SoundLock lock;
    g_refusedFormat.reset();
    if (IsSoundEnabled() == 0) return -1;
    IStreamReader* reader = archive != nullptr ? CreateStreamArchiveReader(archive) : CreateStreamFileReader();
    if (reader == nullptr) return -1;
    ComPtr<IStreamControl> control = ComPtr<IStreamControl>::Adopt(CreateOggStreamControl(reader));
    if (!control || control->Open(name) == 0) return -1;
    const int32_t attached = AttachStreamToChannel(channel, control.get(), rate, volume, pan, loop);
    // From here on the channel owns the control's reference.
    if (attached != -1) control.detach();
    return attached;
  }();
  ReportRefusedStreamBuffer();
  return id;
}

void StopSound(int32_t playId) {
  if (playId == -1) return;
  SoundLock lock;
  RequestStop(FindChannel(playId));
}

void StopChannel(int channel) {
  if (ChannelAt(channel) == nullptr) return;
  SoundLock lock;
  RequestStop(ChannelAt(channel));
}

int IsSoundPlaying(int32_t playId) {
  SoundLock lock;
  const STREAMCHANNEL* c = FindChannel(playId);
  return c != nullptr && c->buffer && (c->flags & kChannelPlaying) != 0 ? 1 : 0;
}

int GetSoundState(int32_t playId) { return IsSoundPlaying(playId); }

int SetSoundVolume(int32_t playId, int32_t volume) {
  if (IsSoundEnabled() == 0) return 1;
  SoundLock lock;
  STREAMCHANNEL* c = FindChannel(playId);
  if (c == nullptr || !c->buffer) return 0;
  c->buffer->SetVolume(volume);
  return 1;
}

int32_t GetChannelPlayId(int channel) {
  const STREAMCHANNEL* c = ChannelAt(channel);
  return c != nullptr ? c->playId.load() : -1;
}
