// Builds RIFF "WAVE" images chunk by chunk for the tests.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace sound_test {

class WaveImage {
 public:
  // A chunk with the given identifier and body; an odd body gets its pad byte.
  WaveImage& Chunk(std::string_view id, const std::vector<uint8_t>& body) {
    bytes_.insert(bytes_.end(), id.begin(), id.end());
    PutU32(bytes_, static_cast<uint32_t>(body.size()));
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    if (body.size() & 1) bytes_.push_back(0);
    return *this;
  }
  // A "fmt " chunk of PCM, cut to `size` bytes (14, 16 or 18 are the usual ones).
  WaveImage& Format(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t size = 16) {
    std::vector<uint8_t> body;
    uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    PutU16(body, 1);
    PutU16(body, channels);
    PutU32(body, rate);
    PutU32(body, rate * align);
    PutU16(body, align);
    PutU16(body, bits);
    PutU16(body, 0);
    body.resize(size);
    return Chunk("fmt ", body);
  }
  WaveImage& Data(const std::vector<uint8_t>& samples) { return Chunk("data", samples); }

  // The whole image; the RIFF size counts from byte 8 unless given.
  std::vector<uint8_t> Build() const { return Build(static_cast<uint32_t>(bytes_.size() + 4)); }
  std::vector<uint8_t> Build(uint32_t riffSize) const {
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    PutU32(out, riffSize);
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), bytes_.begin(), bytes_.end());
    return out;
  }

  static void PutU16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
  }
  static void PutU32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace sound_test
