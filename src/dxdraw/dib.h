// The device-independent bitmap block every picture decoder returns: a 40-byte
// info header, a palette for 1-, 4- and 8-bit pictures and bottom-up rows padded
// to 4 bytes, colour bytes in B, G, R (, A) order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace DxDraw {

// The info header, as its 40 stored bytes hold it (field by field, little-endian).
struct BITMAPINFOHEADER {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;        // positive: rows bottom-up; negative: top-down
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // 0 plain rows, 3 bit-field masks
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;      // palette entries; 0 means all 2^bits
  uint32_t biClrImportant = 0;
};

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t BI_BITFIELDS = 3;

// One palette entry.
struct RGBQUAD {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
};

// Largest pixel memory one picture may take (8192 x 8192 at 32 bits); larger
// pictures are refused before anything is allocated.
inline constexpr uint64_t kMaxPictureBytes = 256ull << 20;

// Bytes of one row of `bits`-bit pixels padded to 4 bytes, as the DIB rows are
// laid out; 0 when it would not fit in 32 bits.
inline uint32_t DibStride(int64_t width, int bits) {
  if (width < 0 || bits <= 0) return 0;
  int64_t stride = ((static_cast<int64_t>(bits) * width + 31) / 32) * 4;
  return stride > 0x7FFFFFFF ? 0 : static_cast<uint32_t>(stride);
}

// A decoded picture. Owned memory replaces the single heap block: the header, the
// palette (1-, 4- and 8-bit pictures), and bottom-up rows of header.biWidth pixels
// padded to DibStride.
struct DibBlock {
  BITMAPINFOHEADER header;
  std::vector<RGBQUAD> palette;
  std::vector<uint8_t> bits;

  // Rows in memory, bottom row first.
  uint32_t stride() const { return DibStride(header.biWidth, header.biBitCount); }
};

}  // namespace DxDraw
