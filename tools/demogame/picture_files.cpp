#include "picture_files.h"

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace demogame {
namespace {

// A picture as straight (not premultiplied) R, G, B, A bytes, top row first.
struct Rgba {
  int width = 0;
  int height = 0;
  bool opaque = true;
  std::vector<uint8_t> pixels;

  const uint8_t* Row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * width * 4; }
};

Rgba ReadSurface(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  Rgba out;
  out.width = cairo_image_surface_get_width(surface);
  out.height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const uint8_t* data = cairo_image_surface_get_data(surface);
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * 4);
  uint8_t* o = out.pixels.data();
  for (int y = 0; y < out.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<std::size_t>(y) * stride);
    for (int x = 0; x < out.width; ++x, o += 4) {
      const uint32_t p = row[x];
      const uint32_t a = p >> 24;
      auto straight = [a](uint32_t c) { return a == 0 ? 0u : (c * 255 + a / 2) / a; };
      o[0] = static_cast<uint8_t>(straight((p >> 16) & 0xFF));
      o[1] = static_cast<uint8_t>(straight((p >> 8) & 0xFF));
      o[2] = static_cast<uint8_t>(straight(p & 0xFF));
      o[3] = static_cast<uint8_t>(a);
      if (a != 255) out.opaque = false;
    }
  }
  return out;
}

// --- JPEG ---------------------------------------------------------------------

std::vector<uint8_t> EncodeJpeg(const Rgba& picture) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  errors.error_exit = [](j_common_ptr) { throw std::runtime_error("libjpeg could not encode a picture"); };
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> out;
  try {
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 88, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<std::size_t>(picture.width) * 3);
    while (info.next_scanline < info.image_height) {
      const uint8_t* src = picture.Row(static_cast<int>(info.next_scanline));
      for (int x = 0; x < picture.width; ++x) std::memcpy(&row[x * 3], src + x * 4, 3);
      JSAMPROW rows[1] = {row.data()};
      jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    out.assign(buffer, buffer + size);
  } catch (...) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    throw;
  }
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

// --- PNG ----------------------------------------------------------------------

std::vector<uint8_t> EncodePng(const Rgba& picture) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    throw std::runtime_error("libpng could not start");
  }
  std::vector<uint8_t> out;
  std::vector<uint8_t> rgb;
  std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not encode a picture");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* sink = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        sink->insert(sink->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
               picture.opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 3);
  if (picture.opaque) {
    rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    for (std::size_t i = 0, n = rgb.size() / 3; i < n; ++i) std::memcpy(&rgb[i * 3], &picture.pixels[i * 4], 3);
    for (int y = 0; y < picture.height; ++y) rows[y] = &rgb[static_cast<std::size_t>(y) * picture.width * 3];
  } else {
    for (int y = 0; y < picture.height; ++y) rows[y] = const_cast<png_bytep>(picture.Row(y));
  }
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// --- TIFF ---------------------------------------------------------------------

// A growing memory file for libtiff's client interface.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  uint64_t position = 0;
};

tsize_t TiffRead(thandle_t, tdata_t, tsize_t) { return 0; }
tsize_t TiffWrite(thandle_t handle, tdata_t data, tsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  const uint64_t end = file->position + static_cast<uint64_t>(size);
  if (end > file->bytes.size()) file->bytes.resize(end);
  std::memcpy(file->bytes.data() + file->position, data, static_cast<std::size_t>(size));
  file->position = end;
  return size;
}
toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  const int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(file->position)
                       : whence == SEEK_END ? static_cast<int64_t>(file->bytes.size())
                                            : 0;
  const int64_t target = base + static_cast<int64_t>(offset);
  if (target < 0) return static_cast<toff_t>(-1);
  file->position = static_cast<uint64_t>(target);
  return file->position;
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }
int TiffMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void TiffUnmap(thandle_t, tdata_t, toff_t) {}

std::vector<uint8_t> EncodeTiff(const Rgba& picture) {
  MemoryFile file;
  TIFF* tiff = TIFFClientOpen("picture", "w", &file, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                              TiffUnmap);
  if (tiff == nullptr) throw std::runtime_error("libtiff could not start");
  const int samples = picture.opaque ? 3 : 4;
  constexpr uint32_t kRowsPerStrip = 32;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(picture.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(picture.height));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
  if (samples == 4) {
    const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  std::vector<uint8_t> row(static_cast<std::size_t>(picture.width) * samples);
  bool ok = true;
  for (int y = 0; y < picture.height && ok; ++y) {
    const uint8_t* src = picture.Row(y);
    for (int x = 0; x < picture.width; ++x) std::memcpy(&row[x * samples], src + x * 4, samples);
    ok = TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) == 1;
  }
  TIFFClose(tiff);
  if (!ok) throw std::runtime_error("libtiff could not encode a picture");
  return file.bytes;
}

// --- BMP ----------------------------------------------------------------------

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// File header (14 bytes) and info header (40 bytes), the rows right after them,
// bottom row first: 24 bits B, G, R, or 32 bits B, G, R and the opacity.
std::vector<uint8_t> EncodeBmp(const Rgba& picture) {
  const uint32_t bits = picture.opaque ? 24 : 32;
  const uint32_t stride = (bits / 8 * static_cast<uint32_t>(picture.width) + 3) & ~3u;
  const uint32_t image = stride * static_cast<uint32_t>(picture.height);
  std::vector<uint8_t> out;
  out.reserve(54 + image);
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + image);  // file size
  Put32(out, 0);           // two reserved words
  Put32(out, 54);          // pixel offset
  Put32(out, 40);          // info header size
  Put32(out, static_cast<uint32_t>(picture.width));
  Put32(out, static_cast<uint32_t>(picture.height));  // positive: bottom-up rows
  Put16(out, 1);                                      // planes
  Put16(out, bits);
  Put32(out, 0);  // no compression
  Put32(out, image);
  Put32(out, 2835);  // pixels per metre, both ways
  Put32(out, 2835);
  Put32(out, 0);  // colours used
  Put32(out, 0);  // colours important
  for (int y = picture.height - 1; y >= 0; --y) {
    const uint8_t* src = picture.Row(y);
    const std::size_t start = out.size();
    for (int x = 0; x < picture.width; ++x) {
      out.push_back(src[x * 4 + 2]);
      out.push_back(src[x * 4 + 1]);
      out.push_back(src[x * 4]);
      if (bits == 32) out.push_back(src[x * 4 + 3]);
    }
    out.resize(start + stride, 0);
  }
  return out;
}

}  // namespace

PictureFormat ParsePictureFormat(std::string_view extension) {
  if (extension == "jpg") return PictureFormat::kJpeg;
  if (extension == "tif") return PictureFormat::kTiff;
  if (extension == "png") return PictureFormat::kPng;
  if (extension == "bmp") return PictureFormat::kBmp;
  throw std::runtime_error("unknown picture format '" + std::string(extension) + "'");
}

const char* PictureExtension(PictureFormat format) {
  switch (format) {
    case PictureFormat::kJpeg: return ".jpg";
    case PictureFormat::kTiff: return ".tif";
    case PictureFormat::kPng: return ".png";
    case PictureFormat::kBmp: return ".bmp";
  }
  return "";
}

std::vector<uint8_t> EncodePicture(cairo_surface_t* surface, PictureFormat format) {
  const Rgba picture = ReadSurface(surface);
  switch (format) {
    case PictureFormat::kJpeg:
      if (!picture.opaque) throw std::runtime_error("a JPEG picture cannot hold transparent pixels");
      return EncodeJpeg(picture);
    case PictureFormat::kTiff: return EncodeTiff(picture);
    case PictureFormat::kPng: return EncodePng(picture);
    case PictureFormat::kBmp: return EncodeBmp(picture);
  }
  return {};
}

}  // namespace demogame
