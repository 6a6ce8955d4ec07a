// The sound device the engine plays through: buffers of PCM in a ring, each with a
// play cursor, volume and pan, summed by a mixer into the device's 16-bit stereo
// stream.
#pragma once

#include <cstdint>

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

}  // namespace platform
