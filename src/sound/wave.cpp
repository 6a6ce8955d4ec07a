// RIFF "WAVE" images: the chunk walk behind ParseWave and the static slots' refill.
#include <algorithm>
#include <cstring>

#include "platform/debug_output.h"
#include "sound/sound_internal.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The "fmt " body: tag, channels, rate, bytes per second, block align (14 bytes),
// then bits per sample (16) and the extra size (18). Missing fields stay zero.
void DecodeFormat(const uint8_t* body, uint32_t size, WAVEFORMATEX* format) {
  *format = WAVEFORMATEX{};
  format->wFormatTag = ReadU16(body + 0);
  format->nChannels = ReadU16(body + 2);
  format->nSamplesPerSec = ReadU32(body + 4);
  format->nAvgBytesPerSec = ReadU32(body + 8);
  format->nBlockAlign = ReadU16(body + 12);
  if (size >= 16) format->wBitsPerSample = ReadU16(body + 14);
  if (size >= 18) format->cbSize = ReadU16(body + 16);
}

constexpr uint32_t kHeaderSize = 12;     // "RIFF", u32 size, "WAVE"
constexpr uint32_t kChunkHeaderSize = 8;  // identifier, u32 body size
constexpr uint32_t kMinFormatSize = 14;

}  // namespace

int ParseWave(std::span<const uint8_t> image, WAVEFORMATEX* format, const uint8_t** data,
              uint32_t* dataSize) {
  if (format != nullptr) *format = WAVEFORMATEX{};
  if (data != nullptr) *data = nullptr;
  if (dataSize != nullptr) *dataSize = 0;
  bool wantFormat = format != nullptr;
  bool wantData = data != nullptr || dataSize != nullptr;

  const uint8_t* p = image.data();
  if (image.size() >= kHeaderSize && std::memcmp(p, "RIFF", 4) == 0 &&
      std::memcmp(p + 8, "WAVE", 4) == 0) {
    // The walk ends where the RIFF size says, or at the image's end if that is sooner.
    uint64_t end = std::min<uint64_t>(uint64_t{8} + ReadU32(p + 4), image.size());
    uint64_t at = kHeaderSize;
    while (at + kChunkHeaderSize <= end) {
      const uint8_t* chunk = p + at;
      uint32_t size = ReadU32(chunk + 4);
      uint64_t body = at + kChunkHeaderSize;
      if (body + size > end) break;
      if (wantFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
        if (size < kMinFormatSize) break;
        DecodeFormat(p + body, size, format);
        wantFormat = false;
      } else if (wantData && std::memcmp(chunk, "data", 4) == 0) {
        if (data != nullptr) *data = p + body;
        if (dataSize != nullptr) *dataSize = size;
        wantData = false;
      }
      if (!wantFormat && !wantData) return 1;
      at = body + size + (size & 1);
    }
  }
  platform::OutputDebugText(u"Could not parse wave resource!\n");
  return 0;
}
