// Pictures made by the tests themselves: encoded with libpng, libjpeg and libtiff,
// or written byte by byte (BMP, HBM).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace image_test {

using Bytes = std::vector<uint8_t>;
using Px = std::array<uint8_t, 4>;  // B, G, R, T as a 32-bit image holds them

struct PngSpec {
  int width = 0, height = 0;
  int colourType = 0;          // PNG_COLOR_TYPE_*
  int depth = 8;
  Bytes rows;                  // height rows of packed samples, top row first
  std::vector<std::array<uint8_t, 3>> palette;  // R, G, B
  Bytes paletteAlpha;          // tRNS for palette pictures
  int transparentGrey = -1;    // tRNS for grey pictures
  std::vector<int> transparentRgb;  // tRNS for RGB pictures: R, G, B
  bool interlaced = false;
};
Bytes EncodePng(const PngSpec& spec);

// components 1 (grey), 3 (RGB) or 4 (CMYK); samples top row first.
Bytes EncodeJpeg(int width, int height, int components, const Bytes& samples);

struct TiffSpec {
  int width = 0, height = 0;
  int photometric = 2;         // PHOTOMETRIC_*
  int bitsPerSample = 8;
  int samples = 3;
  int rowsPerStrip = 0;        // 0 leaves the tag out
  bool tiled = false;
  Bytes rows;                  // packed scanlines, top row first
  std::vector<uint16_t> red, green, blue;  // colour map for palette pictures
};
Bytes EncodeTiff(const TiffSpec& spec);

// A file read whole.
Bytes ReadFileBytes(const std::string& path);
// A fresh file name in the temporary folder.
std::string TempPath(const std::string& stem);

// Little-endian appenders for hand-built files.
void Put16(Bytes& out, uint32_t v);
void Put32(Bytes& out, uint32_t v);

}  // namespace image_test
