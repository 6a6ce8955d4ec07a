// The device, the sound lock, the service thread, the volume law and the static
// wave slots.
#include <cmath>
#include <mutex>

#include "platform/debug_output.h"
#include "sound/sound_internal.h"

uint32_t StreamSize = 4;

namespace {

struct SoundState {
  std::recursive_mutex lock;  // the sound lock
  int enabled = 0;            // IsSoundEnabled
};

SoundState& State() {
  static SoundState state;
  return state;
}

}  // namespace

int InitSound(platform::WindowHandle, const SOUNDCONFIG* config) {
  SoundState& s = State();
  s.enabled = 0;
  if (config == nullptr || config->enable == 0) return 0;
  // No audio device yet: the game runs silent.
  return 0;
}

void ShutdownSound() { State().enabled = 0; }

void LockSound() { State().lock.lock(); }
void UnlockSound() { State().lock.unlock(); }

int IsSoundEnabled() { return State().enabled; }

void SetMasterVolume(int32_t) {}

int32_t VolumeToAttenuation(int level) {
  if (level < 1) return -10000;
  if (level >= 255) return 0;
  return static_cast<int32_t>(std::log10(level / 255.0) * 1000.0);
}

void LoadWaveSlot(int slot, const void*, uint32_t) {
  if (slot < 0 || slot >= kWaveSlotCount) return;
}
