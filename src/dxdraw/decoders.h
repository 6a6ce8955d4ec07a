// Picture decoders: each turns a whole file in memory into a DIB block, or fails
// with a short reason ("truncated PNG data", "unsupported TIFF layout: ...").
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dxdraw/dib.h"

namespace DxDraw {

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

// JPEG through libjpeg: colour and greyscale pictures as 24 bits; CMYK is refused.
bool DecodeJpegToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error);

// TIFF through libtiff: 8-bit RGB and RGBA, and 1-, 4- and 8-bit palette and grey
// (min-is-black and min-is-white) pictures; every other layout is refused.
bool LoadTiffToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error);

}  // namespace DxDraw
