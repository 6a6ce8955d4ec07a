// The sound engine: the device, the sound lock and its service thread, 128 static
// wave slots, and four stream channels that play Ogg Vorbis music, voices and
// effects from an archive or a file.
//
// Volumes are hundredths of a decibel (-10000 silent, 0 full); the engine's levels
// 0-255 become volumes through VolumeToAttenuation. Pan runs from -10000 (left)
// through 0 to 10000 (right). A started stream is known by its play id (0 and up);
// -1 means "none" everywhere.
//
// Failures: with sound off (InitSound with enable 0, or no audio device) every call
// is harmless: streams do not open (-1), channels are free. A missing or undecodable
// stream gives -1; so does one whose PCM bytes do not fit 32 bits, after one line on
// the debugger output. A bad wave image leaves its slot without a buffer and writes
// one line to the debugger output.
//
// Threads: everything state-changing runs under the sound lock, which is recursive.
// The game thread takes it in every channel operation and in LoadWaveSlot; the
// service thread holds it for one pass every 10 ms. SetMasterVolume, IsSoundEnabled,
// VolumeToAttenuation and GetChannelPlayId take no lock.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/audio.h"
#include "platform/message_box.h"

struct IArchive;

using platform::WAVEFORMATEX;

// The start-up record the shell fills; seven 32-bit fields in this order.
struct SOUNDCONFIG {
  uint32_t enable;            // non-zero: open the device
  uint32_t samplesPerSec;     // rate of the device: 44100, 22050 or 11025
  uint32_t channels;          // 2
  uint32_t bitsPerSample;     // 16
  uint32_t cooperativeLevel;  // passed on as given (2)
  uint32_t highPriority;      // non-zero: the service thread asks for the highest priority
  uint32_t segmentPlayer;     // non-zero: the segment player was asked for (not built here)
};

// Length of one stream segment in eighths of a second (default 4). The shell sets
// it before InitSound; a channel reads it, kept to 1..32, whenever a stream starts.
extern uint32_t StreamSize;

inline constexpr int kWaveSlotCount = 128;
inline constexpr int kStreamChannelCount = 4;

// --- Device, lock and static waves ---------------------------------------------

// Opens the device and starts the service thread. Returns 0 on success and when
// sound stays off (enable 0, or no device: silent, no message); otherwise the
// failing code after a message box captioned "DirectSound".
int InitSound(platform::WindowHandle window, const SOUNDCONFIG* config);
// Stops the service thread and releases the device and the wave slots. The shell
// stops the four channels first.
void ShutdownSound();

void LockSound();
void UnlockSound();

// RAII form of LockSound / UnlockSound.
class SoundLock {
 public:
  SoundLock() { LockSound(); }
  ~SoundLock() { UnlockSound(); }
  SoundLock(const SoundLock&) = delete;
  SoundLock& operator=(const SoundLock&) = delete;
};

// 1 once the device is up, else 0.
int IsSoundEnabled();
// The master gain (the primary buffer's volume); nothing while sound is off.
void SetMasterVolume(int32_t volume);
// Level 0-255 -> volume: below 1 silent (-10000), 255 and above 0, otherwise
// 1000 * log10(level / 255) truncated toward zero (128 -> -299).
int32_t VolumeToAttenuation(int level);

// Replaces slot 0-127 with a private copy of the RIFF "WAVE" image and a static
// buffer holding its samples. A slot out of range is refused; an empty or bad image
// leaves the slot without a buffer.
void LoadWaveSlot(int slot, const void* image, uint32_t size);

// Finds the "fmt " and "data" chunks of a RIFF "WAVE" image, never reading past the
// image's end. Each output that is asked for (not null) is cleared, then set: the
// format (a 14- or 16-byte body leaves the rest zero), the data's first byte and
// its size in bytes. Returns 1 when everything asked for was found, else 0 after
// "Could not parse wave resource!\n" on the debugger output.
int ParseWave(std::span<const uint8_t> image, WAVEFORMATEX* format, const uint8_t** data,
              uint32_t* dataSize);

// --- Stream channels -------------------------------------------------------------

// Opens the Ogg Vorbis stream `name` (an entry of `archive`, or a file path when
// the archive is null) and plays it on channel 0-3, or on the lowest free channel
// for -1. `rate` is a speed in 1/4096 (4096 = the stream's own rate). Returns the
// play id, or -1 (sound off, no such stream, not decodable, channel busy or none
// free; a playing stream is never disturbed).
int32_t OpenOggStream(IArchive* archive, std::u16string_view name, int channel, int loop,
                      uint32_t rate, int32_t volume, int32_t pan);
// Stops the channel that plays `playId` at once (nothing when none does).
void StopSound(int32_t playId);
// Stops channel 0-3 at once; -1 does nothing.
void StopChannel(int channel);
// 1 while a channel plays `playId`, else 0. GetSoundState gives the same.
int IsSoundPlaying(int32_t playId);
int GetSoundState(int32_t playId);
// Sets the volume of the stream `playId`: 1 done (and 1 while sound is off),
// 0 when no channel plays it.
int SetSoundVolume(int32_t playId, int32_t volume);
// The play id on channel 0-3, or -1 when the channel is free (and for channel -1).
int32_t GetChannelPlayId(int channel);
