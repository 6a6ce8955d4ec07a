// The sound device the engine plays through: buffers of PCM in a ring, each with a
// play cursor, volume and pan, summed by a mixer into the device's 16-bit stereo
// stream.
//
// A buffer plays at its own rate, resampled linearly to the device's; 8-bit samples
// are centred at 128; mono goes to both sides. Volume is in hundredths of a decibel
// (-10000 silent, 0 full; gain 10^(v/2000)); pan attenuates the other side by the
// same law (-10000 left only, 10000 right only). The master volume scales the sum,
// which is saturated to 16 bits.
//
// Back ends: a manual one here for tests, that mixes exactly the frames it is told
// to; the real device (SDL2) is the program's, in src/backend/sdl/, installed as the
// opener. Opening fails (null) when there is no device; the engine then runs silent.
//
// Threads: the device's own thread mixes under a short lock of the mixer that guards
// the buffers alone; it never waits on the engine's locks. Bytes written through
// Lock reach the ring only at Unlock, so a writer never races the mixer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// The PCM format of a buffer, field for field as a wave file's "fmt " chunk holds it.
struct WAVEFORMATEX {
  uint16_t wFormatTag;       // 1: PCM; the only tag a buffer takes
  uint16_t nChannels;        // 1 mono, 2 stereo
  uint32_t nSamplesPerSec;   // frames per second
  uint32_t nAvgBytesPerSec;  // nSamplesPerSec * nBlockAlign
  uint16_t nBlockAlign;      // bytes of one frame
  uint16_t wBitsPerSample;   // 8 (unsigned, centred at 128) or 16 (signed)
  uint16_t cbSize;           // extra bytes after the record; 0 for PCM
};

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

// Limits of a buffer: its rate and its size in bytes.
inline constexpr uint32_t kMinBufferRate = 100;
inline constexpr uint32_t kMaxBufferRate = 200000;
inline constexpr uint32_t kMinBufferBytes = 4;
inline constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;

// Volume and pan limits, in hundredths of a decibel.
inline constexpr int32_t kVolumeSilent = -10000;
inline constexpr int32_t kPanLeft = -10000;
inline constexpr int32_t kPanRight = 10000;

// True for 8- or 16-bit mono or stereo PCM whose block align matches, at a rate a
// buffer takes.
bool IsPlayableFormat(const WAVEFORMATEX& format);

// Status bits of a buffer.
enum : uint32_t {
  kBufferPlaying = 1,
  kBufferLost = 2,  // its bytes are gone: Lock and Play fail until Restore
  kBufferLooping = 4,
};

class AudioMixer;

// One buffer of the mixer: a ring of PCM bytes, stopped at offset 0 when created,
// at full volume and centred. Leaves the mixer when destroyed.
class SoundBuffer {
 public:
  ~SoundBuffer();
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  const WAVEFORMATEX& format() const { return format_; }
  uint32_t size() const { return static_cast<uint32_t>(ring_.size()); }

  // Hands out the ring's bytes [offset, offset + bytes) as one piece, or two when the
  // range passes the ring's end (the second starts at offset 0; else null and 0).
  // The pieces are for writing: what they hold before that is undefined, and every
  // byte of them reaches the ring at Unlock. Refused (false) for an offset at or past the size, a count of 0 or
  // more than the size, a lost buffer, or a lock already out.
  bool Lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* firstBytes, void** second,
            uint32_t* secondBytes);
  void Unlock();

  // Starts playing from the play cursor; looping, it wraps at the end, else it stops
  // there and the cursor returns to 0. False when the buffer is lost.
  bool Play(bool looping);
  void Stop();
  // kBufferPlaying, kBufferLooping, kBufferLost.
  uint32_t GetStatus() const;
  // The play cursor and the write cursor (one device period ahead), in bytes, on a
  // frame boundary. Either may be null.
  void GetCurrentPosition(uint32_t* play, uint32_t* write) const;
  // Moves the play cursor to the frame holding `offset`.
  void SetCurrentPosition(uint32_t offset);
  // Hundredths of a decibel; kept to -10000..0 and -10000..10000.
  void SetVolume(int32_t volume);
  void SetPan(int32_t pan);
  // Ends the lost state; the bytes are silence until written again.
  void Restore();

 private:
  friend class AudioMixer;
  SoundBuffer(AudioMixer& mixer, const WAVEFORMATEX& format, uint32_t bytes);
  uint32_t Frames() const { return size() / format_.nBlockAlign; }
  void UpdateGains();

  AudioMixer& mixer_;
  const WAVEFORMATEX format_;
  // The bytes that play: touched only under the mixer's lock.
  std::vector<uint8_t> ring_;
  // Where Lock's pieces live until Unlock copies them into the ring; as large as the
  // largest lock so far.
  std::vector<uint8_t> staging_;
  uint32_t lockedOffset_ = 0;
  uint32_t lockedBytes_ = 0;  // 0 when no lock is out
  // Under the mixer's lock:
  uint32_t status_ = 0;
  uint64_t position_ = 0;  // play position in frames, 32.32 fixed point
  uint64_t step_;          // frames of this buffer per device frame, 32.32
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  float leftGain_ = 1.0f;
  float rightGain_ = 1.0f;
};

// Sums every playing buffer into 16-bit stereo at the device's rate.
class AudioMixer {
 public:
  // `periodFrames`: how far the device reads ahead, which puts the write cursors.
  AudioMixer(uint32_t rate, uint32_t periodFrames);
  ~AudioMixer();
  AudioMixer(const AudioMixer&) = delete;
  AudioMixer& operator=(const AudioMixer&) = delete;

  uint32_t rate() const { return rate_; }
  uint32_t periodFrames() const { return periodFrames_; }

  // A new buffer of `bytes` in `format`, or null when the format is not playable or
  // the size lies outside kMinBufferBytes..kMaxBufferBytes.
  std::unique_ptr<SoundBuffer> CreateBuffer(const WAVEFORMATEX& format, uint32_t bytes);
  // The master gain, in hundredths of a decibel.
  void SetMasterVolume(int32_t volume);
  // Mixes `frames` stereo frames (left, right) into `out` and moves every playing
  // buffer's cursor by as much.
  void Mix(int16_t* out, uint32_t frames);
  // Marks every buffer lost and clears its bytes, as a device does when it takes its
  // memory back (the manual back end's way to test the restore pass).
  void LoseBuffers();

 private:
  friend class SoundBuffer;

  const uint32_t rate_;
  const uint32_t periodFrames_;
  std::mutex mutex_;  // the buffers' state and the table; never held long
  std::vector<SoundBuffer*> buffers_;
  float masterGain_ = 1.0f;
  std::vector<float> sum_;  // one period of the mix before saturation
};

// A device: the mixer it plays and a switch that starts it pulling sound.
class IAudioDevice {
 public:
  virtual ~IAudioDevice() = default;
  virtual AudioMixer& Mixer() = 0;
  // Starts the device (the primary buffer's Play).
  virtual void Start() = 0;
};

// The test back end: nothing plays until Render is called.
class ManualAudioDevice final : public IAudioDevice {
 public:
  explicit ManualAudioDevice(uint32_t rate) : mixer_(rate, rate / 100) {}
  AudioMixer& Mixer() override { return mixer_; }
  void Start() override { started_ = true; }
  bool started() const { return started_; }
  // Mixes exactly `frames` frames (left, right interleaved), moving the cursors.
  std::vector<int16_t> Render(uint32_t frames);

 private:
  AudioMixer mixer_;
  bool started_ = false;
};

// Opens the device the engine plays through: the installed opener's; null (the
// engine runs silent) when none is installed.
std::unique_ptr<IAudioDevice> OpenAudioDevice(uint32_t rate);
using AudioDeviceOpener = std::function<std::unique_ptr<IAudioDevice>(uint32_t rate)>;
// Replaces the opener (the program installs its back end's, a test its own);
// an empty one leaves the engine without a device. Returns the previous.
AudioDeviceOpener SetAudioDeviceOpener(AudioDeviceOpener opener);

// Asks for a higher priority of the calling thread: 1 above normal, 2 highest.
// Where the system refuses, the thread keeps its priority.
void RaiseThreadPriority(int level);

}  // namespace platform
