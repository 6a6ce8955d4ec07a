// Picture files of the demo game: a cairo drawing turned into the bytes of a
// JPEG, TIFF, PNG or BMP file, the four formats the engine's picture loader tries.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace demogame {

enum class PictureFormat { kJpeg, kTiff, kPng, kBmp };

// "jpg", "tif", "png", "bmp" -> the format; throws std::runtime_error otherwise.
PictureFormat ParsePictureFormat(std::string_view extension);
// The extension the engine looks for, with its dot: ".jpg" and so on.
const char* PictureExtension(PictureFormat format);

// The file bytes of a cairo image surface (ARGB32). Transparent pixels keep
// their opacity in PNG (RGBA), TIFF (RGBA with an unassociated alpha) and BMP
// (32 bits, fourth byte the opacity); JPEG has none, so an opaque picture is
// expected there. A picture without any transparent pixel is written as RGB.
std::vector<uint8_t> EncodePicture(cairo_surface_t* surface, PictureFormat format);

}  // namespace demogame
