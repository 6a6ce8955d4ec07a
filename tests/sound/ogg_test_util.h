// Ogg Vorbis data made by the tests themselves (oggenc), a plain ov_read
// decoder to compare with, and a byte source over memory.
#pragma once

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "oggenc.h"
#include "sound/stream.h"

namespace sound_test {

// Interleaved 16-bit frames of a sine tone, a different pitch on each side.
inline std::vector<int16_t> Tone(uint32_t frames, int channels, long rate, double hz = 440.0) {
  std::vector<int16_t> pcm(static_cast<std::size_t>(frames) * channels);
  for (uint32_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      pcm[f * channels + c] = static_cast<int16_t>(12000 * std::sin(6.283185307 * hz * (c + 1) * f / rate));
    }
  }
  return pcm;
}

// Encodes interleaved 16-bit PCM as one logical Ogg Vorbis stream.
inline std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& pcm, int channels, long rate, int serial = 1,
                                      float quality = 0.3f) {
  std::vector<float> samples(pcm.size());
  std::transform(pcm.begin(), pcm.end(), samples.begin(), [](int16_t s) { return s / 32768.0f; });
  return oggenc::EncodeOggVorbis(
      samples, {.channels = channels, .rate = rate, .quality = quality, .serial = serial, .chunk_frames = 1024});
}

// The whole stream decoded by a plain ov_read loop, as the reference.
inline std::vector<uint8_t> DecodeWithOvRead(const std::vector<uint8_t>& ogg) {
  std::vector<uint8_t> pcm;
  FILE* file = fmemopen(const_cast<uint8_t*>(ogg.data()), ogg.size(), "rb");
  OggVorbis_File vf;
  if (file == nullptr) return pcm;
  if (ov_open_callbacks(file, &vf, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
    std::fclose(file);
    return pcm;
  }
  // Opening may leave a chained stream at a later link.
  ov_pcm_seek(&vf, 0);
  char chunk[4096];
  int section = 0;
  long n;
  // A lost page (a hole) is passed over: the data goes on after it.
  while ((n = ov_read(&vf, chunk, sizeof chunk, 0, 2, 1, &section)) > 0 || n == OV_HOLE) {
    if (n > 0) pcm.insert(pcm.end(), chunk, chunk + n);
  }
  ov_clear(&vf);  // closes the file
  return pcm;
}

// An IStreamReader over a copy of some bytes.
class MemoryStreamReader final : public CComImpl<IStreamReader> {
 public:
  explicit MemoryStreamReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int Open(std::u16string_view) override {
    at_ = 0;
    return 1;
  }
  int Close() override { return 1; }
  uint32_t Read(void* buffer, uint32_t n) override {
    const uint32_t got = static_cast<uint32_t>(std::min<uint64_t>(n, bytes_.size() - at_));
    if (got != 0) std::memcpy(buffer, bytes_.data() + at_, got);
    at_ += got;
    return got;
  }
  void Seek(int64_t offset, uint32_t origin) override {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(at_) : int64_t(bytes_.size());
    if (origin <= 2 && base + offset >= 0 && base + offset <= int64_t(bytes_.size())) at_ = uint64_t(base + offset);
  }
  uint64_t Tell() override { return at_; }
  uint64_t GetSize() override { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t at_ = 0;
};

}  // namespace sound_test
