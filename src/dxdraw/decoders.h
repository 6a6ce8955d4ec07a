// Picture decoders: each turns a whole file in memory into a DIB block, or fails
// with a short reason ("truncated PNG data", "unsupported TIFF layout: ...").
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "dxdraw/dib.h"

namespace DxDraw {

// A picture decoded straight into the engine's 32-bit pixels (B, G, R, T with
// T = transparency), bottom-up rows of width x 4 bytes, for an image to take over
// without a second pass (DxImage::LoadPicture32).
struct Picture32 {
  int width = 0;
  int height = 0;
  std::unique_ptr<uint8_t[]> bits;

  // Room for the picture of the header's width and (positive) height, left as it
  // is: the decoder writes every byte. Null when it is too large.
  uint8_t* Allocate(const BITMAPINFOHEADER& header);
};

// BMP files: the OS/2 header of 12 bytes, info headers of 40 bytes and the larger
// ones image editors write (52, 56, 108, 124), bit-field masks (the default ones
// when the table is left out), RLE8 and RLE4 rows, the file's pixel offset,
// top-down rows, and 1-, 4-, 8-, 16-, 24- and 32-bit pixels. 16-bit x555 rows keep
// bit 15 as transparency; other bit-field layouts are widened to 32 bits;
// run-length rows become 8-bit indices.
bool DecodeBmpToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error);

// PNG through libpng: every colour type and depth; 1-, 4- and 8-bit palette and
// grey pictures keep their palette, the rest become 24 or 32 bits (alpha when the
// picture has it or a transparency chunk).
bool DecodePngToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error);
// The same pictures straight into 32-bit pixels, with the same colours.
bool DecodePngTo32(std::span<const uint8_t> data, Picture32& out, std::u16string& error);

// JPEG through libjpeg: colour and greyscale pictures as 24 bits; CMYK is refused.
bool DecodeJpegToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error);
// The same pictures straight into 32-bit pixels.
bool DecodeJpegTo32(std::span<const uint8_t> data, Picture32& out, std::u16string& error);

// TIFF through libtiff: 8-bit RGB and RGBA, and 1-, 4- and 8-bit palette and grey
// (min-is-black and min-is-white) pictures; every other layout is refused.
bool LoadTiffToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error);

}  // namespace DxDraw
