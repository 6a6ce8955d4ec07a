// The buffer model, the mixer, the manual back end and the device opener.
#include "platform/audio.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace platform {
namespace {


// Hundredths of a decibel as a linear gain; -10000 and below are silence.
float Gain(int32_t volume) {
  if (volume <= kVolumeSilent) return 0.0f;
  return static_cast<float>(std::pow(10.0, volume / 2000.0));
}

// One frame of a buffer as two samples in the 16-bit range.
template <int kBits, int kChannels>
inline void ReadFrame(const uint8_t* p, float& left, float& right) {
  constexpr int kBytes = kBits / 8;
  auto sample = [](const uint8_t* q) -> float {
    if constexpr (kBits == 8) {
      return static_cast<float>((q[0] - 128) * 256);
    } else {
      int16_t s;  // little-endian, as the host is
      std::memcpy(&s, q, 2);
      return static_cast<float>(s);
    }
  };
  left = sample(p);
  right = kChannels == 2 ? sample(p + kBytes) : left;
}

template <int kBits, int kChannels>
inline void ReadFrame(const uint8_t* ring, uint32_t frame, float& left, float& right) {
  ReadFrame<kBits, kChannels>(ring + std::size_t{frame} * (kBits / 8 * kChannels), left, right);
}

// Adds `frames` device frames of one buffer to `sum`, interpolating linearly between
// the buffer's frames. Returns false when a non-looping buffer ran out.
template <int kBits, int kChannels>
bool MixBuffer(float* __restrict sum, uint32_t frames, const uint8_t* __restrict ring, uint32_t ringFrames,
               uint64_t& position, uint64_t step, bool looping, float leftGain, float rightGain) {
  const uint64_t end = uint64_t{ringFrames} << 32;
  constexpr float kFraction = 1.0f / 4294967296.0f;
  for (uint32_t f = 0; f < frames; ++f) {
    const uint32_t i = static_cast<uint32_t>(position >> 32);
    const uint32_t next = i + 1 < ringFrames ? i + 1 : (looping ? 0 : i);
    const float t = static_cast<float>(static_cast<uint32_t>(position)) * kFraction;
    float l0, r0, l1, r1;
    ReadFrame<kBits, kChannels>(ring, i, l0, r0);
    ReadFrame<kBits, kChannels>(ring, next, l1, r1);
    sum[2 * f] += (l0 + (l1 - l0) * t) * leftGain;
    sum[2 * f + 1] += (r0 + (r1 - r0) * t) * rightGain;
    position += step;
    if (position >= end) {
      if (!looping) {
        position = 0;
        return false;
      }
      position -= end;
    }
  }
  return true;
}

// The same for a buffer at the device's rate on a whole frame: every output frame is
// one of the buffer's, so the sum takes runs of frames up to the ring's end.
template <int kBits, int kChannels>
bool MixBufferAtDeviceRate(float* __restrict sum, uint32_t frames, const uint8_t* __restrict ring, uint32_t ringFrames,
                           uint64_t& position, uint64_t, bool looping, float leftGain, float rightGain) {
  uint32_t i = static_cast<uint32_t>(position >> 32);
  for (uint32_t f = 0; f < frames;) {
    const std::size_t run = std::min(frames - f, ringFrames - i);
    constexpr std::size_t kFrameBytes = kBits / 8 * kChannels;
    float* __restrict out = sum + 2 * std::size_t{f};
    const uint8_t* __restrict in = ring + i * kFrameBytes;
    for (std::size_t k = 0; k < run; ++k) {
      float left, right;
      ReadFrame<kBits, kChannels>(in + k * kFrameBytes, left, right);
      out[2 * k] += left * leftGain;
      out[2 * k + 1] += right * rightGain;
    }
    f += static_cast<uint32_t>(run);
    i += static_cast<uint32_t>(run);
    if (i == ringFrames) {
      if (!looping) {
        position = 0;
        return false;
      }
      i = 0;
    }
  }
  position = uint64_t{i} << 32;
  return true;
}

using MixFunction = bool (*)(float*, uint32_t, const uint8_t*, uint32_t, uint64_t&, uint64_t, bool,
                             float, float);

template <int kBits, int kChannels>
MixFunction MixFunctionFor(uint64_t position, uint64_t step) {
  const bool exact = step == uint64_t{1} << 32 && static_cast<uint32_t>(position) == 0;
  return exact ? MixBufferAtDeviceRate<kBits, kChannels> : MixBuffer<kBits, kChannels>;
}

MixFunction MixFunctionFor(const WAVEFORMATEX& format, uint64_t position, uint64_t step) {
  if (format.wBitsPerSample == 8) {
    return format.nChannels == 1 ? MixFunctionFor<8, 1>(position, step) : MixFunctionFor<8, 2>(position, step);
  }
  return format.nChannels == 1 ? MixFunctionFor<16, 1>(position, step) : MixFunctionFor<16, 2>(position, step);
}

std::mutex& OpenerLock() {
  static std::mutex m;
  return m;
}

AudioDeviceOpener& Opener() {
  static AudioDeviceOpener opener;
  return opener;
}

}  // namespace

bool IsPlayableFormat(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && (format.nChannels == 1 || format.nChannels == 2) &&
         (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
         format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8 &&
         format.nSamplesPerSec >= kMinBufferRate && format.nSamplesPerSec <= kMaxBufferRate;
}

// --- SoundBuffer -------------------------------------------------------------------

SoundBuffer::SoundBuffer(AudioMixer& mixer, const WAVEFORMATEX& format, uint32_t bytes)
    : mixer_(mixer),
      format_(format),
      ring_(bytes, format.wBitsPerSample == 8 ? 0x80 : 0),
      step_((uint64_t{format.nSamplesPerSec} << 32) / mixer.rate()) {}

SoundBuffer::~SoundBuffer() {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  auto& table = mixer_.buffers_;
  table.erase(std::find(table.begin(), table.end(), this));
}

bool SoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* firstBytes,
                       void** second, uint32_t* secondBytes) {
  const uint32_t total = size();
  if (offset >= total || bytes == 0 || bytes > total || lockedBytes_ != 0) return false;
  // Grows to the largest lock asked for, once, outside the mixer's lock: a refill of
  // the same size allocates nothing.
  if (staging_.size() < bytes) staging_.resize(bytes);
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  if (status_ & kBufferLost) return false;
  const uint32_t head = std::min(bytes, total - offset);
  lockedOffset_ = offset;
  lockedBytes_ = bytes;
  *first = staging_.data();
  *firstBytes = head;
  if (second != nullptr) *second = head < bytes ? staging_.data() + head : nullptr;
  if (secondBytes != nullptr) *secondBytes = bytes - head;
  return true;
}

void SoundBuffer::Unlock() {
  if (lockedBytes_ == 0) return;
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  const uint32_t head = std::min(lockedBytes_, size() - lockedOffset_);
  std::memcpy(ring_.data() + lockedOffset_, staging_.data(), head);
  std::memcpy(ring_.data(), staging_.data() + head, lockedBytes_ - head);
  lockedBytes_ = 0;
}

bool SoundBuffer::Play(bool looping) {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  if (status_ & kBufferLost) return false;
  status_ = kBufferPlaying | (looping ? uint32_t{kBufferLooping} : 0u);
  return true;
}

void SoundBuffer::Stop() {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  status_ &= kBufferLost;
}

uint32_t SoundBuffer::GetStatus() const {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  return status_;
}

void SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) const {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  const uint32_t frame = static_cast<uint32_t>(position_ >> 32);
  const uint64_t lead = (uint64_t{mixer_.periodFrames()} * step_ + 0xFFFFFFFFu) >> 32;
  if (play != nullptr) *play = frame * format_.nBlockAlign;
  if (write != nullptr) *write = static_cast<uint32_t>((frame + lead) % Frames()) * format_.nBlockAlign;
}

void SoundBuffer::SetCurrentPosition(uint32_t offset) {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  position_ = uint64_t{std::min(offset / format_.nBlockAlign, Frames() - 1)} << 32;
}

void SoundBuffer::SetVolume(int32_t volume) {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  volume_ = std::clamp(volume, kVolumeSilent, 0);
  UpdateGains();
}

void SoundBuffer::SetPan(int32_t pan) {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  pan_ = std::clamp(pan, kPanLeft, kPanRight);
  UpdateGains();
}

void SoundBuffer::Restore() {
  std::lock_guard<std::mutex> lock(mixer_.mutex_);
  status_ &= ~kBufferLost;
}

// A pan to one side attenuates the other side only.
void SoundBuffer::UpdateGains() {
  leftGain_ = Gain(volume_ - std::max(pan_, 0));
  rightGain_ = Gain(volume_ + std::min(pan_, 0));
}

// --- AudioMixer ---------------------------------------------------------------------

AudioMixer::AudioMixer(uint32_t rate, uint32_t periodFrames)
    : rate_(std::max(rate, 1u)), periodFrames_(periodFrames) {}

AudioMixer::~AudioMixer() = default;

std::unique_ptr<SoundBuffer> AudioMixer::CreateBuffer(const WAVEFORMATEX& format, uint32_t bytes) {
  if (!IsPlayableFormat(format) || bytes < kMinBufferBytes || bytes > kMaxBufferBytes ||
      bytes < format.nBlockAlign) {
    return nullptr;
  }
  std::unique_ptr<SoundBuffer> buffer(new SoundBuffer(*this, format, bytes));
  std::lock_guard<std::mutex> lock(mutex_);
  buffers_.push_back(buffer.get());
  return buffer;
}

void AudioMixer::SetMasterVolume(int32_t volume) {
  std::lock_guard<std::mutex> lock(mutex_);
  masterGain_ = Gain(std::clamp(volume, kVolumeSilent, 0));
}

void AudioMixer::Mix(int16_t* out, uint32_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  sum_.assign(std::size_t{frames} * 2, 0.0f);
  for (SoundBuffer* b : buffers_) {
    if ((b->status_ & kBufferPlaying) == 0 || (b->status_ & kBufferLost) != 0) continue;
    const bool looping = (b->status_ & kBufferLooping) != 0;
    if (!MixFunctionFor(b->format_, b->position_, b->step_)(sum_.data(), frames, b->ring_.data(), b->Frames(), b->position_,
                                    b->step_, looping, b->leftGain_, b->rightGain_)) {
      b->status_ &= kBufferLost;
    }
  }
  // Saturate, then round to nearest (halves away from zero).
  const float master = masterGain_;
  const std::size_t n = sum_.size();
  const float* sum = sum_.data();
  for (std::size_t i = 0; i < n; ++i) {
    const float v = std::clamp(sum[i] * master, -32768.0f, 32767.0f);
    out[i] = static_cast<int16_t>(static_cast<int32_t>(v + (v < 0.0f ? -0.5f : 0.5f)));
  }
}

void AudioMixer::LoseBuffers() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (SoundBuffer* b : buffers_) {
    b->status_ |= kBufferLost;
    std::fill(b->ring_.begin(), b->ring_.end(), b->format_.wBitsPerSample == 8 ? 0x80 : 0);
  }
}

// --- Back ends and the opener --------------------------------------------------------

std::vector<int16_t> ManualAudioDevice::Render(uint32_t frames) {
  std::vector<int16_t> out(std::size_t{frames} * 2);
  mixer_.Mix(out.data(), frames);
  return out;
}

std::unique_ptr<IAudioDevice> OpenAudioDevice(uint32_t rate) {
  AudioDeviceOpener opener;
  {
    std::lock_guard<std::mutex> lock(OpenerLock());
    opener = Opener();
  }
  return opener ? opener(rate) : nullptr;
}

AudioDeviceOpener SetAudioDeviceOpener(AudioDeviceOpener opener) {
  std::lock_guard<std::mutex> lock(OpenerLock());
  return std::exchange(Opener(), std::move(opener));
}

void RaiseThreadPriority(int level) {
  const int nice = level >= 2 ? -10 : -5;
  // Refused without the right to raise priorities; the thread then keeps its own.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), nice);
}

}  // namespace platform
