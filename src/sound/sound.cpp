// The device, the sound lock, the service thread, the volume law and the static
// wave slots.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "core/exception.h"
#include "platform/debug_output.h"
#include "sound/sound_internal.h"
#include "sound/stream.h"

uint32_t StreamSize = 4;

namespace {

// A slot keeps its own copy of the image so that a lost buffer can be refilled.
struct WaveSlot {
  std::unique_ptr<uint8_t[]> copy;  // the whole RIFF image
  uint32_t size = 0;                // bytes of the copy
  std::unique_ptr<platform::SoundBuffer> buffer;

  void Clear() {
    buffer.reset();
    copy.reset();
    size = 0;
  }
};

struct SoundState {
  std::recursive_mutex lock;  // the sound lock
  std::unique_ptr<platform::IAudioDevice> device;
  // Written by the game thread; read without the lock by IsSoundEnabled.
  std::atomic<int> enabled{0};
  std::atomic<bool> quit{false};
  std::thread thread;  // the service thread while sound is up
  int priority = 1;    // 2 highest, 1 above normal
  WaveSlot slots[kWaveSlotCount];

  // A program that ends without ShutdownSound still stops the thread first.
  ~SoundState() {
    quit = true;
    if (thread.joinable()) thread.join();
  }
};

SoundState& State() {
  static SoundState state;
  return state;
}

constexpr auto kServiceInterval = std::chrono::milliseconds(10);

void SoundThreadProc() {
  SoundState& s = State();
  platform::RaiseThreadPriority(s.priority);
  while (!s.quit.load()) {
    RunSoundServicePass();
    std::this_thread::sleep_for(kServiceInterval);
  }
}

// Copies the wave data into the whole static buffer.
bool FillStaticBuffer(platform::SoundBuffer& buffer, const uint8_t* data, uint32_t size) {
  const bool filled = WriteBuffer(buffer, 0, size, [&](uint8_t* piece, uint32_t bytes, uint32_t at) {
    std::memcpy(piece, data + at, bytes);
  });
  if (!filled) platform::OutputDebugText(u"Could not fill sound buffer!\n");
  return filled;
}

// Refills every static buffer the device lost.
void RestoreWaveSlots() {
  for (WaveSlot& slot : State().slots) {
    if (!slot.buffer || (slot.buffer->GetStatus() & platform::kBufferLost) == 0) continue;
    slot.buffer->Restore();
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (ParseWave({slot.copy.get(), slot.size}, nullptr, &data, &size) != 0) {
      FillStaticBuffer(*slot.buffer, data, std::min(size, slot.buffer->size()));
    }
  }
}

void ClearWaveSlots() {
  for (WaveSlot& slot : State().slots) slot.Clear();
}

}  // namespace

platform::IAudioDevice* SoundDevice() { return State().device.get(); }

platform::SoundBuffer* WaveSlotBuffer(int slot) {
  return slot >= 0 && slot < kWaveSlotCount ? State().slots[slot].buffer.get() : nullptr;
}

void RunSoundServicePass() {
  SoundLock lock;
  RestoreWaveSlots();
  ServiceStreamChannels();
}

int InitSound(platform::WindowHandle, const SOUNDCONFIG* config) {
  SoundState& s = State();
  ShutdownSound();  // a second start begins from nothing
  {
    SoundLock lock;
    ClearWaveSlots();
    InitStreamChannels();
  }
  s.quit = false;
  s.priority = config != nullptr && config->highPriority != 0 ? 2 : 1;
  if (config == nullptr || config->enable == 0) return 0;

  // No device (no sound server, no card): the game runs silent, without a message.
  std::unique_ptr<platform::IAudioDevice> device = platform::OpenAudioDevice(config->samplesPerSec);
  if (!device) return 0;

  WAVEFORMATEX primary{};
  primary.wFormatTag = platform::WAVE_FORMAT_PCM;
  primary.nChannels = static_cast<uint16_t>(config->channels);
  primary.nSamplesPerSec = config->samplesPerSec;
  primary.wBitsPerSample = static_cast<uint16_t>(config->bitsPerSample);
  primary.nBlockAlign = static_cast<uint16_t>(config->bitsPerSample / 8 * config->channels);
  primary.nAvgBytesPerSec = primary.nBlockAlign * config->samplesPerSec;
  if (!platform::IsPlayableFormat(primary)) {
    MessageBoxF(nullptr, u"DirectSound", u"SetPrimaryFormat(%x)", DSERR_BADFORMAT);
    return DSERR_BADFORMAT;
  }

  s.device = std::move(device);
  s.enabled = 1;
  s.device->Start();
  if (config->segmentPlayer != 0) {
    platform::OutputDebugText(u"The segment player is not available; sound goes on without it.\n");
  }
  s.thread = std::thread(SoundThreadProc);
  return 0;
}

void ShutdownSound() {
  SoundState& s = State();
  if (s.enabled == 0) return;
  s.quit = true;
  if (s.thread.joinable()) s.thread.join();
  {
    SoundLock lock;
    ClearWaveSlots();
    // The shell stops the channels first; any it left go before the device does.
    ReleaseStreamChannels();
    s.enabled = 0;
    s.device.reset();
  }
}

namespace {
// How many times the calling thread holds the sound lock.
thread_local int t_lockDepth = 0;
}  // namespace

void LockSound() {
  State().lock.lock();
  ++t_lockDepth;
}

void UnlockSound() {
  --t_lockDepth;
  State().lock.unlock();
}

bool SoundLockHeldHere() { return t_lockDepth > 0; }

int IsSoundEnabled() { return State().enabled.load(); }

void SetMasterVolume(int32_t volume) {
  if (platform::IAudioDevice* device = SoundDevice()) device->Mixer().SetMasterVolume(volume);
}

int32_t VolumeToAttenuation(int level) {
  if (level < 1) return -10000;
  if (level >= 255) return 0;
  return static_cast<int32_t>(std::log10(level / 255.0) * 1000.0);
}

void LoadWaveSlot(int slot, const void* image, uint32_t size) {
  if (slot < 0 || slot >= kWaveSlotCount || !IsSoundEnabled()) return;
  SoundLock lock;
  WaveSlot& s = State().slots[slot];
  s.Clear();
  if (image == nullptr) size = 0;
  s.copy = std::make_unique<uint8_t[]>(size);
  if (size != 0) std::memcpy(s.copy.get(), image, size);
  s.size = size;

  WAVEFORMATEX format;
  const uint8_t* data = nullptr;
  uint32_t dataSize = 0;
  if (ParseWave({s.copy.get(), size}, &format, &data, &dataSize) == 0) return;
  s.buffer = SoundDevice()->Mixer().CreateBuffer(format, dataSize);
  if (s.buffer && !FillStaticBuffer(*s.buffer, data, dataSize)) s.buffer.reset();
}
