#include "dxdraw/image_fixtures.h"

#include <png.h>
#include <cstdio>
#include <jpeglib.h>
#include <tiffio.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace image_test {

void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

namespace {

void AppendPng(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void FlushPng(png_structp) {}

}  // namespace

Bytes EncodePng(const PngSpec& spec) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendPng, FlushPng);
  png_set_IHDR(png, info, spec.width, spec.height, spec.depth, spec.colourType,
               spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (auto& e : spec.palette) palette.push_back(png_color{e[0], e[1], e[2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!spec.paletteAlpha.empty())
    png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()), nullptr);
  if (spec.transparentGrey >= 0) {
    png_color_16 grey{};
    grey.gray = static_cast<png_uint_16>(spec.transparentGrey);
    png_set_tRNS(png, info, nullptr, 0, &grey);
  }
  if (!spec.transparentRgb.empty()) {
    png_color_16 colour{};
    colour.red = static_cast<png_uint_16>(spec.transparentRgb[0]);
    colour.green = static_cast<png_uint_16>(spec.transparentRgb[1]);
    colour.blue = static_cast<png_uint_16>(spec.transparentRgb[2]);
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  png_write_info(png, info);
  const size_t rowBytes = spec.rows.size() / spec.height;
  std::vector<png_bytep> rows;
  for (int y = 0; y < spec.height; ++y) rows.push_back(const_cast<png_bytep>(spec.rows.data() + y * rowBytes));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes EncodeJpeg(int width, int height, int components, const Bytes& samples) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * width * components);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

std::string TempPath(const std::string& stem) {
  static std::atomic<int> counter{0};
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/" + stem + "-" + std::to_string(getpid()) + "-" +
         std::to_string(counter++);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes EncodeTiff(const TiffSpec& spec) {
  const std::string path = TempPath("fixture.tif");
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) throw std::runtime_error("cannot write " + path);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, spec.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, spec.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.bitsPerSample);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spec.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  if (spec.samples == 4 || spec.samples == 2) {
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  if (!spec.red.empty())
    TIFFSetField(tif, TIFFTAG_COLORMAP, spec.red.data(), spec.green.data(), spec.blue.data());
  const size_t scanline = spec.rows.size() / spec.height;
  if (spec.tiled) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    std::vector<uint8_t> tile(TIFFTileSize(tif), 0);
    TIFFWriteTile(tif, tile.data(), 0, 0, 0, 0);
  } else {
    if (spec.rowsPerStrip > 0) TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.rowsPerStrip);
    for (int y = 0; y < spec.height; ++y)
      TIFFWriteScanline(tif, const_cast<uint8_t*>(spec.rows.data() + y * scanline), y, 0);
  }
  TIFFClose(tif);
  Bytes out = ReadFileBytes(path);
  std::remove(path.c_str());
  return out;
}

}  // namespace image_test
