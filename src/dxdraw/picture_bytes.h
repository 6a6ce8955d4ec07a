// Little-endian fields of the stored picture formats (BMP, HBM), and the widening
// of a 5-bit x555 channel to 8 bits, shared by the readers and the writers.
#pragma once

#include <cstdint>
#include <vector>

namespace DxDraw {

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// An x555 field f (0..31) widened to 8 bits: 31 gives 255, 1 gives 9.
inline uint8_t Expand5(unsigned f) { return static_cast<uint8_t>((f << 3) | (f & 7)); }

}  // namespace DxDraw
