// TIFF pictures through libtiff over a memory stream. Only layouts the engine can
// show are read: 8-bit RGB and RGBA, and 1-, 4- and 8-bit palette and grey
// pictures, in strips; everything else is refused with its reason.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "dxdraw/decoders.h"
#include "platform/debug_output.h"
#include "platform/text.h"

namespace DxDraw {
namespace {

// The stream libtiff reads: offsets are 64-bit, reads stop at the end of the data
// wherever the cursor was moved.
struct TiffStream {
  const uint8_t* data;
  uint64_t size;
  uint64_t pos;
};

tmsize_t OnTiffRead(thandle_t handle, void* buffer, tmsize_t count) {
  auto* s = static_cast<TiffStream*>(handle);
  if (count <= 0 || s->pos >= s->size) return 0;
  const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), s->size - s->pos);
  std::memcpy(buffer, s->data + s->pos, n);
  s->pos += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t OnTiffWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t OnTiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* s = static_cast<TiffStream*>(handle);
  uint64_t target = offset;
  if (whence == SEEK_CUR || whence == SEEK_END) {
    // Moves from the cursor or the end are signed; none may go before the start.
    const uint64_t base = whence == SEEK_CUR ? s->pos : s->size;
    const auto delta = static_cast<int64_t>(offset);
    if (delta < 0 && static_cast<uint64_t>(-(delta + 1)) >= base) return static_cast<toff_t>(-1);
    target = base + static_cast<uint64_t>(delta);
  }
  s->pos = target;
  return target;
}

int OnTiffClose(thandle_t) { return 0; }
toff_t OnTiffSize(thandle_t handle) { return static_cast<TiffStream*>(handle)->size; }
int OnTiffMap(thandle_t, void**, toff_t*) { return 0; }
void OnTiffUnmap(thandle_t, void*, toff_t) {}

void OnTiffError(const char* module, const char* format, va_list args) {
  char message[256];
  std::vsnprintf(message, sizeof message, format, args);
  char line[320];
  std::snprintf(line, sizeof line, "libtiff: %s: %s\n", module ? module : "", message);
  platform::OutputDebugText(platform::Utf8ToUtf16(line));
}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

}  // namespace

bool LoadTiffToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error) {
  static std::once_flag handlers;
  std::call_once(handlers, [] {
    TIFFSetWarningHandler(nullptr);  // warnings are dropped
    TIFFSetErrorHandler(OnTiffError);
  });
  TiffStream stream{data.data(), data.size(), 0};
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFClientOpen("", "rm", &stream, OnTiffRead, OnTiffWrite, OnTiffSeek,
                                                      OnTiffClose, OnTiffSize, OnTiffMap, OnTiffUnmap));
  if (!tif) {
    error = u"TIFF data cannot be opened";
    return false;
  }
  uint32_t width = 0, height = 0, rowsPerStrip = 0;
  uint16_t bitsPerSample = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
  if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric)) {
    error = u"TIFF picture has no photometric interpretation";
    return false;
  }
  if (!TIFFGetField(tif.get(), TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) || rowsPerStrip == 0 || rowsPerStrip > height)
    rowsPerStrip = height;
  if (width == 0 || height == 0 || width > 32768 || height > 32768) {
    error = u"TIFF picture size is invalid";
    return false;
  }
  const bool rgb = photometric == PHOTOMETRIC_RGB && bitsPerSample == 8 && (samples == 3 || samples == 4);
  const bool indexed = samples == 1 && (bitsPerSample == 1 || bitsPerSample == 4 || bitsPerSample == 8);
  const bool palette = indexed && photometric == PHOTOMETRIC_PALETTE;
  // Grey pictures become palette pictures over a ramp, dark to light for
  // min-is-black and light to dark for min-is-white.
  const bool grey =
      indexed && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
  if (!(rgb || palette || grey) || planar != PLANARCONFIG_CONTIG || TIFFIsTiled(tif.get())) {
    char why[160];
    std::snprintf(why, sizeof why,
                  "unsupported TIFF layout: photometric %u, %u bits x %u samples%s%s", photometric, bitsPerSample,
                  samples, planar != PLANARCONFIG_CONTIG ? ", separate planes" : "",
                  TIFFIsTiled(tif.get()) ? ", tiles" : "");
    error = platform::Utf8ToUtf16(why);
    return false;
  }

  const int bits = bitsPerSample * samples;
  const uint64_t scanline = static_cast<uint64_t>(TIFFScanlineSize64(tif.get()));
  const uint64_t expected = (static_cast<uint64_t>(width) * bits + 7) / 8;
  const uint32_t stride = DibStride(width, bits);
  const uint64_t stripBytes = static_cast<uint64_t>(rowsPerStrip) * scanline;
  if (scanline != expected || scanline > stride || static_cast<uint64_t>(stride) * height > kMaxPictureBytes ||
      stripBytes > kMaxPictureBytes) {
    error = u"TIFF picture size is invalid";
    return false;
  }

  out.header = BITMAPINFOHEADER{};
  out.header.biWidth = static_cast<int32_t>(width);
  out.header.biHeight = static_cast<int32_t>(height);
  out.header.biBitCount = static_cast<uint16_t>(bits);
  out.header.biSizeImage = static_cast<uint32_t>(static_cast<uint64_t>(bits) * width * height / 8);
  out.header.biXPelsPerMeter = 2834;
  out.header.biYPelsPerMeter = 2834;
  out.palette.clear();
  if (palette) {
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif.get(), TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) {
      error = u"TIFF palette picture has no colour map";
      return false;
    }
    const int entries = 1 << bitsPerSample;
    bool wide = false;
    for (int i = 0; i < entries; ++i) wide = wide || red[i] >= 256 || green[i] >= 256 || blue[i] >= 256;
    auto level = [wide](uint16_t v) { return static_cast<uint8_t>(wide ? v * 255u / 65535u : v); };
    out.palette.resize(entries);
    for (int i = 0; i < entries; ++i) out.palette[i] = RGBQUAD{level(blue[i]), level(green[i]), level(red[i]), 0};
  } else if (grey) {
    const int entries = 1 << bitsPerSample;
    out.palette.resize(entries);
    for (int i = 0; i < entries; ++i) {
      const int step = photometric == PHOTOMETRIC_MINISWHITE ? entries - 1 - i : i;
      const auto g = static_cast<uint8_t>(step * 255 / (entries - 1));
      out.palette[i] = RGBQUAD{g, g, g, 0};
    }
  }
  out.bits.assign(static_cast<size_t>(stride) * height, 0);

  std::vector<uint8_t> strip(stripBytes, 0);
  for (uint32_t row = 0; row < height; row += rowsPerStrip) {
    const uint32_t n = std::min(rowsPerStrip, height - row);
    const tmsize_t want = static_cast<tmsize_t>(n * scanline);
    const tmsize_t got = TIFFReadEncodedStrip(tif.get(), TIFFComputeStrip(tif.get(), row, 0), strip.data(), want);
    if (got != want) {
      char why[96];
      std::snprintf(why, sizeof why, "TIFF strip at row %u cannot be read", row);
      error = platform::Utf8ToUtf16(why);
      return false;
    }
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* s = strip.data() + i * scanline;
      // The first TIFF row is the top of the picture: the last DIB row.
      uint8_t* d = out.bits.data() + static_cast<size_t>(height - 1 - (row + i)) * stride;
      if (rgb) {
        for (uint32_t x = 0; x < width; ++x, s += samples, d += samples) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          if (samples == 4) d[3] = s[3];
        }
      } else {
        std::memcpy(d, s, scanline);
      }
    }
  }
  return true;
}

}  // namespace DxDraw
