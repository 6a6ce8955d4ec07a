// The SDL2 back end of the sound device: only SDL's audio subsystem. The program
// installs OpenSdlAudioDevice as the engine's opener (platform::SetAudioDeviceOpener).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/audio.h"

namespace platform {

// The SDL2 audio device at `rate`, 16-bit stereo, a period of 10-20 ms; null when
// SDL's audio subsystem or the device cannot be opened.
std::unique_ptr<IAudioDevice> OpenSdlAudioDevice(uint32_t rate);
// Starts SDL's audio subsystem (the probing of sound servers and drivers) on a
// thread of its own, so that its start overlaps other start-up work; the next
// OpenSdlAudioDevice waits for it and takes it over.
void PrepareSdlAudioDevice();

}  // namespace platform
