// Stream channels and their sources.
//
// A channel owns one looping buffer of eight segments and one stream control that
// turns a byte source into PCM. The buffer is filled four segments ahead at the
// start; each service pass (every 10 ms) watches the play cursor, and each time it
// leaves a segment the control writes the next one. A stream loops by rewinding its
// source (one shorter than a segment is decoded once and repeated from memory), or
// ends: silence follows the data until every byte has been played, and
// then the channel frees itself.
//
// The ring's three positions, and who moves them:
// - InitialFill (stream_control.cpp) writes the first four segments and sets
//   `writePosition` to the fifth, `boundary` to the end of the first and
//   `played` to 0.
// - From then on ServiceStreamChannels (channel.cpp) alone moves `boundary` and
//   `played`, one segment each time the cursor leaves a segment, and then calls
//   the fill callback.
// - The control's OnNotify alone moves `writePosition`, one segment per refill
//   it could write; a refill that cannot lock the buffer leaves it, and the old
//   bytes of that segment play again.
// Stopping, from the game's calls inward:
// - StopSound and StopChannel take the lock and hand the channel to RequestStop,
//   which marks it kChannelStopRequested and runs a service pass at once: the
//   pass releases it, so the channel is free when the call returns.
// - StopStreamChannel (also the control's Stop) writes silence over the first
//   four segments, then releases; OnNotify uses it when a stream has played out
//   or a stop was asked for.
// - ReleaseStreamChannel alone frees: buffer stopped and dropped, control
//   released, flags 0, play id -1.
//
// Byte sources (IStreamReader) read a disk file or an archive entry; controls
// (IStreamControl) decode them. Objects are counted by reference; a factory hands
// out the first reference. They have no locks of their own: they are used under the
// sound lock only.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/combase.h"
#include "platform/audio.h"
#include "sound/sound.h"

struct IArchive;
struct IStreamControl;

// Channel flags.
enum : uint32_t {
  kChannelPlaying = 1,
  kChannelEndOfData = 2,  // the source is used up; silence follows
  kChannelLoop = 4,
  kChannelStopRequested = 8,
};

// Events of the fill callback.
enum : uint32_t {
  kEventSegmentPlayed = 0,  // write the next segment
  kEventEndPlayed = 1,      // every byte of a non-looping stream has been played
};

// One of the four channels. Free exactly when `buffer` is null.
struct STREAMCHANNEL {
  uint32_t index = 0;          // 0-3, the place in the table
  uint32_t total = 0;          // PCM bytes of the whole stream
  uint32_t remaining = 0;      // PCM bytes not yet read into the buffer
  uint32_t writePosition = 0;  // buffer offset of the next segment to write
  uint32_t boundary = 0;       // last byte offset of the segment the play cursor is in
  uint64_t played = 0;         // bytes played so far, counted a segment at a time
  uint32_t segment = 0;        // bytes per segment
  uint32_t bufferSize = 0;     // bytes of the buffer: 8 segments
  uint32_t flags = 0;          // kChannel*
  WAVEFORMATEX format{};       // the buffer's format (the rate scaled by the rate factor)
  std::unique_ptr<platform::SoundBuffer> buffer;
  int (*callback)(STREAMCHANNEL*, uint32_t event) = nullptr;  // StreamChannelCallback while attached
  IStreamControl* control = nullptr;                          // one reference, owned by the channel
  // Read without the lock by GetChannelPlayId; written under it.
  std::atomic<int32_t> playId{-1};
};

// A byte source.
struct IStreamReader : IUnknown {
  static constexpr GUID kIid = {0x3C1E0A41, 0x7B52, 0x4E0D, {0x9A, 0x61, 0x52, 0x0F, 0x3D, 0x11, 0x8C, 0x01}};

  // 1 when the named file or entry is open, else 0. Closes what was open first.
  virtual int Open(std::u16string_view name) = 0;
  virtual int Close() = 0;
  // Bytes read at the position, which moves on; 0 at the end or on an error.
  virtual uint32_t Read(void* buffer, uint32_t bytes) = 0;
  // Origin 0 from the start, 1 from the position, 2 from the end.
  virtual void Seek(int64_t offset, uint32_t origin) = 0;
  virtual uint64_t Tell() = 0;
  virtual uint64_t GetSize() = 0;
};

// A decoder of one source, with the channel mechanics every control shares.
struct IStreamControl : IUnknown {
  static constexpr GUID kIid = {0x3C1E0A42, 0x7B52, 0x4E0D, {0x9A, 0x61, 0x52, 0x0F, 0x3D, 0x11, 0x8C, 0x01}};

  // Opens the source by name and reads its format; 1 or 0.
  virtual int Open(std::u16string_view name) = 0;
  // Silences and frees the channel; 1.
  virtual int Stop(STREAMCHANNEL* channel) = 0;
  // Sizes the channel, creates its buffer, fills it and starts it; 1 or 0.
  virtual int CreateAndPlay(STREAMCHANNEL* channel, uint32_t rate, int32_t volume, int32_t pan, int loop) = 0;
  // Goes back to the first sample; 1.
  virtual int Rewind(STREAMCHANNEL* channel) = 0;
  // Writes `bytes` of PCM for the channel (silence past the data); the bytes the
  // source gave.
  virtual uint32_t ReadPcm(STREAMCHANNEL* channel, void* buffer, uint32_t bytes) = 0;
  virtual const WAVEFORMATEX* GetFormat() = 0;
  // PCM bytes of the whole stream.
  virtual uint32_t GetDataSize() = 0;
  // The source, no reference added.
  virtual IStreamReader* GetReader() = 0;
  // The fill callback's work for an event; 0 when a refill could not lock.
  virtual int OnNotify(STREAMCHANNEL* channel, uint32_t event) = 0;
  // Sets total, remaining, segment and buffer size; 0 when the sizes do not fit.
  virtual int ComputeSizes(STREAMCHANNEL* channel) = 0;
  // Writes the first four segments; 1 or 0.
  virtual int InitialFill(STREAMCHANNEL* channel) = 0;
};

// What every control shares: the format, the source, and the channel mechanics.
// A concrete control reads its format in Open and supplies the raw PCM.
class CStreamControl : public CComImpl<IStreamControl> {
 public:
  int Stop(STREAMCHANNEL* channel) override;
  int CreateAndPlay(STREAMCHANNEL* channel, uint32_t rate, int32_t volume, int32_t pan, int loop) override;
  int Rewind(STREAMCHANNEL*) override { return 1; }
  uint32_t ReadPcm(STREAMCHANNEL* channel, void* buffer, uint32_t bytes) override;
  const WAVEFORMATEX* GetFormat() override { return &format_; }
  IStreamReader* GetReader() override { return reader_; }
  int OnNotify(STREAMCHANNEL* channel, uint32_t event) override;
  int ComputeSizes(STREAMCHANNEL* channel) override;
  int InitialFill(STREAMCHANNEL* channel) override;

 protected:
  // Takes over the caller's reference to the reader (which may be null).
  explicit CStreamControl(IStreamReader* reader) : reader_(reader) {}
  ~CStreamControl() override;

  // Decodes up to `bytes` of PCM at the source's position; fewer only at the end
  // of the data or on an error.
  virtual uint32_t RawRead(void* buffer, uint32_t bytes) = 0;

  WAVEFORMATEX format_{};  // the source's own format
  IStreamReader* reader_;

 private:
  // Reads `bytes` from the source, the rest after a short read filled with silence.
  uint32_t ReadPadded(STREAMCHANNEL* channel, uint8_t* out, uint32_t bytes);
  // Writes `bytes` of a looping stream shorter than a segment from loopCopy_.
  uint32_t RepeatFromMemory(STREAMCHANNEL* channel, uint8_t* out, uint32_t bytes);

  // The whole PCM of a looping stream shorter than a segment, decoded once: such a
  // stream would otherwise rewind its decoder many times in every segment.
  std::vector<uint8_t> loopCopy_;
};

// Factories; each gives the first reference, or null.
IStreamReader* CreateStreamFileReader();
// Holds its own reference to the archive.
IStreamReader* CreateStreamArchiveReader(IArchive* archive);
// An Ogg Vorbis decoder over the reader, which it now owns.
IStreamControl* CreateOggStreamControl(IStreamReader* reader);

// --- Channel internals -------------------------------------------------------------

// The channel table; index 0-3.
STREAMCHANNEL& StreamChannel(int index);
// Clears the table: index 0-3, play id -1, everything else zero.
void InitStreamChannels();
// Frees every channel still holding a buffer (at shut-down, under the lock).
void ReleaseStreamChannels();
// The next play id: 0, 1, ... 0x7FFFFFFF, then 0 again.
int32_t NextPlayId();
void SetNextPlayId(int32_t next);

// The segment length in eighths of a second that a starting stream uses: StreamSize
// kept to 1..32.
uint32_t StreamSegmentEighths();

int32_t AttachStreamToChannel(int channel, IStreamControl* control, uint32_t rate, int32_t volume,
                              int32_t pan, int loop);
int StreamChannelCallback(STREAMCHANNEL* channel, uint32_t event);
// One pass over the four channels; the caller holds the sound lock.
void ServiceStreamChannels();
// A streaming buffer, or null. A refusal is kept until ReportRefusedStreamBuffer.
std::unique_ptr<platform::SoundBuffer> CreateStreamBuffer(const WAVEFORMATEX& format, uint32_t bytes);
// Shows the box of the last refused stream buffer, if any, and forgets it. Called
// with the sound lock left: a modal box under it would stop the service thread, and
// the other channels would repeat their buffered seconds until it closed.
void ReportRefusedStreamBuffer();
void StopStreamChannel(STREAMCHANNEL* channel);
void ReleaseStreamChannel(STREAMCHANNEL* channel);
int FindFreeStreamChannel();
