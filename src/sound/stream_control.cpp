// The channel mechanics every stream control shares: sizing, creating and starting
// the buffer, the initial fill, refills and the end of a stream.
#include <algorithm>
#include <cstring>

#include "sound/sound_internal.h"
#include "sound/stream.h"

CStreamControl::~CStreamControl() { ReleaseInterface(reader_); }

int CStreamControl::Stop(STREAMCHANNEL* channel) {
  StopStreamChannel(channel);
  return 1;
}

int CStreamControl::CreateAndPlay(STREAMCHANNEL* channel, uint32_t rate, int32_t volume, int32_t pan,
                                  int loop) {
  channel->writePosition = 0;
  channel->played = 0;
  // The rate factor is in 1/4096; the buffer plays the same bytes faster or slower.
  channel->format = format_;
  channel->format.nSamplesPerSec =
      static_cast<uint32_t>(std::min<uint64_t>(uint64_t{format_.nSamplesPerSec} * rate >> 12, UINT32_MAX));
  channel->format.nAvgBytesPerSec =
      static_cast<uint32_t>(std::min<uint64_t>(uint64_t{format_.nAvgBytesPerSec} * rate >> 12, UINT32_MAX));
  if (ComputeSizes(channel) == 0) return 0;
  channel->buffer = CreateStreamBuffer(channel->format, channel->bufferSize);
  if (!channel->buffer) return 0;
  // A stream without a single byte cannot loop: it would rewind for ever.
  channel->flags = kChannelPlaying | (loop != 0 && channel->total > 0 ? uint32_t{kChannelLoop} : 0u);
  if (InitialFill(channel) == 0) return 0;
  channel->playId = NextPlayId();
  platform::SoundBuffer& buffer = *channel->buffer;
  buffer.SetPan(pan);
  buffer.SetVolume(volume);
  buffer.SetCurrentPosition(0);
  buffer.Play(true);
  return 1;
}

int CStreamControl::ComputeSizes(STREAMCHANNEL* channel) {
  channel->flags = 0;
  channel->total = channel->remaining = GetDataSize();
  // The segment follows the source's own rate, not the scaled one, so a faster
  // stream refills more often rather than in bigger pieces.
  const uint64_t align = channel->format.nBlockAlign;
  if (align == 0) return 0;
  uint64_t segment = uint64_t{format_.nSamplesPerSec} * align * StreamSegmentEighths() / 8;
  segment = (segment + align - 1) / align * align;
  if (segment == 0 || 8 * segment > platform::kMaxBufferBytes) return 0;
  channel->segment = static_cast<uint32_t>(segment);
  channel->bufferSize = static_cast<uint32_t>(8 * segment);
  return 1;
}

uint32_t CStreamControl::ReadPadded(STREAMCHANNEL* channel, uint8_t* out, uint32_t bytes) {
  const uint32_t got = bytes != 0 ? std::min(RawRead(out, bytes), bytes) : 0;
  std::memset(out + got, SilenceByte(channel->format), bytes - got);
  return got;
}

uint32_t CStreamControl::ReadPcm(STREAMCHANNEL* channel, void* buffer, uint32_t bytes) {
  auto* out = static_cast<uint8_t*>(buffer);
  const bool loop = (channel->flags & kChannelLoop) != 0 && channel->total > 0;
  if (loop && channel->total < channel->segment) return RepeatFromMemory(channel, out, bytes);
  if (channel->flags & kChannelEndOfData) {
    if (!loop) return 0;
    channel->remaining = channel->total;
    channel->flags &= ~kChannelEndOfData;
    Rewind(channel);
  }
  if (channel->remaining >= bytes) {
    const uint32_t got = ReadPadded(channel, out, bytes);
    channel->remaining -= bytes;
    if (channel->remaining == 0) channel->flags |= kChannelEndOfData;
    return got;
  }
  // The stream ends inside this piece.
  uint32_t filled = channel->remaining;
  uint32_t got = ReadPadded(channel, out, filled);
  if (!loop) {
    std::memset(out + filled, SilenceByte(channel->format), bytes - filled);
    channel->flags |= kChannelEndOfData;
    channel->remaining = 0;
    return got;
  }
  // A looping stream starts again right behind its end, as often as the piece needs,
  // so a stream shorter than a piece repeats without a gap.
  while (filled < bytes) {
    Rewind(channel);
    const uint32_t n = std::min(channel->total, bytes - filled);
    got += ReadPadded(channel, out + filled, n);
    filled += n;
    channel->remaining = channel->total - n;
  }
  if (channel->remaining == 0) channel->flags |= kChannelEndOfData;
  return got;
}

uint32_t CStreamControl::RepeatFromMemory(STREAMCHANNEL* channel, uint8_t* out, uint32_t bytes) {
  const uint32_t total = channel->total;
  if (loopCopy_.size() != total) {
    loopCopy_.resize(total);
    Rewind(channel);
    ReadPadded(channel, loopCopy_.data(), total);
  }
  // `remaining` keeps its meaning: the bytes of this repetition not yet written.
  uint32_t at = (total - channel->remaining) % total;
  for (uint32_t filled = 0; filled < bytes;) {
    const uint32_t n = std::min(total - at, bytes - filled);
    std::memcpy(out + filled, loopCopy_.data() + at, n);
    filled += n;
    at = (at + n) % total;
  }
  channel->remaining = (total - at) % total;
  if (channel->remaining == 0) {
    channel->flags |= kChannelEndOfData;
  } else {
    channel->flags &= ~kChannelEndOfData;
  }
  return bytes;
}

int CStreamControl::InitialFill(STREAMCHANNEL* channel) {
  // Half of a fresh buffer: one piece, four segments ahead of the cursor at 0.
  const uint32_t ahead = 4 * channel->segment;
  const bool locked = WriteBuffer(*channel->buffer, 0, ahead, [&](uint8_t* piece, uint32_t n, uint32_t) {
    ReadPcm(channel, piece, n);
  });
  if (!locked) return 0;
  channel->writePosition = ahead;
  channel->boundary = channel->segment - 1;
  channel->played = 0;
  return 1;
}

int CStreamControl::OnNotify(STREAMCHANNEL* channel, uint32_t event) {
  const bool ended = (channel->flags & kChannelEndOfData) != 0 && (channel->flags & kChannelLoop) == 0;
  if (channel->flags & kChannelStopRequested) {
    channel->buffer->Stop();
    StopStreamChannel(channel);
    return 1;
  }
  if (event == kEventSegmentPlayed) {
    const uint8_t silence = SilenceByte(channel->format);
    const bool locked =
        WriteBuffer(*channel->buffer, channel->writePosition, channel->segment, [&](uint8_t* piece, uint32_t n, uint32_t) {
          if (ended) {
            std::memset(piece, silence, n);
          } else {
            ReadPcm(channel, piece, n);
          }
        });
    if (!locked) return 0;  // the segment plays its old bytes again
    channel->writePosition = (channel->writePosition + channel->segment) % channel->bufferSize;
    return 1;
  }
  if (event == kEventEndPlayed && ended) {
    channel->buffer->Stop();
    StopStreamChannel(channel);
  }
  return 1;
}
