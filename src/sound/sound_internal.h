// What the sound engine's own files share, and what its tests reach.
#pragma once

#include "core/combase.h"
#include "platform/audio.h"
#include "sound/sound.h"

// Codes of the device's failures, as the message boxes show them.
inline constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);

// The open device, or null while sound is off.
platform::IAudioDevice* SoundDevice();

// One pass of the service thread: the restore pass over the wave slots, then the
// channel pass, under the sound lock. Tests run it themselves to step the engine.
void RunSoundServicePass();

// True while the calling thread holds the sound lock.
bool SoundLockHeldHere();

// The static buffer of a wave slot, or null (tests).
platform::SoundBuffer* WaveSlotBuffer(int slot);

// Locks [offset, offset + bytes) of the buffer, hands each piece to
// `write(piece, pieceBytes, offsetInRange)`, and unlocks. False when the lock is refused.
template <class Write>
bool WriteBuffer(platform::SoundBuffer& buffer, uint32_t offset, uint32_t bytes, Write&& write) {
  void* first = nullptr;
  void* second = nullptr;
  uint32_t firstBytes = 0, secondBytes = 0;
  if (!buffer.Lock(offset, bytes, &first, &firstBytes, &second, &secondBytes)) return false;
  write(static_cast<uint8_t*>(first), firstBytes, 0u);
  if (second != nullptr) write(static_cast<uint8_t*>(second), secondBytes, firstBytes);
  buffer.Unlock();
  return true;
}

// The byte of silence in a format: 0x80 for 8-bit samples, else 0.
inline uint8_t SilenceByte(const WAVEFORMATEX& format) { return format.wBitsPerSample == 8 ? 0x80 : 0; }
