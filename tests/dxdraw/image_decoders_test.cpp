// Picture decoders into 32- and 16-bit images: every supported layout from
// fixtures the tests encode, the layouts that are refused, BMP round trips, and
// every fixture cut at every length.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "dxdraw/decoders.h"
#include "dxdraw/image.h"
#include "dxdraw/image_fixtures.h"
#include "platform/text.h"
#include "support/quiet_output.h"

namespace {

using namespace DxDraw;
using namespace image_test;

Px PixelAt(const DxImage& image, int x, int y) {
  const uint8_t* p = image.GetPixelAddress(x, y);
  return Px{p[0], p[1], p[2], p[3]};
}

// Packs samples of `depth` bits, MSB first, rows padded to whole bytes.
Bytes PackRows(const std::vector<int>& samples, int perRow, int rows, int depth) {
  Bytes out;
  for (int y = 0; y < rows; ++y) {
    int acc = 0, have = 0;
    for (int i = 0; i < perRow; ++i) {
      const int v = samples[y * perRow + i];
      if (depth == 16) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
        continue;
      }
      acc = (acc << depth) | v;
      have += depth;
      if (have == 8) {
        out.push_back(static_cast<uint8_t>(acc));
        acc = have = 0;
      }
    }
    if (have) out.push_back(static_cast<uint8_t>(acc << (8 - have)));
  }
  return out;
}

// One PNG layout: how to build it and what each pixel must become.
struct PngCase {
  const char* name;
  int colourType, depth;
  bool withTrns;
  bool interlaced;
  int width = 9, height = 5;  // odd width: sub-byte rows end mid-byte
  bool flat = false;          // one colour throughout: compresses far below its widened size
};

TEST(PngDecoder, EveryLayoutLoadsInItsColours) {
  const PngCase cases[] = {
      {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, false},      {"rgb8 trns", PNG_COLOR_TYPE_RGB, 8, true, false},
      {"rgb16", PNG_COLOR_TYPE_RGB, 16, false, false},    {"rgba8", PNG_COLOR_TYPE_RGBA, 8, false, false},
      {"rgba8 interlaced", PNG_COLOR_TYPE_RGBA, 8, false, true},
      {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, false},    {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, false},
      {"grey4", PNG_COLOR_TYPE_GRAY, 4, false, false},    {"grey8", PNG_COLOR_TYPE_GRAY, 8, false, false},
      {"grey16", PNG_COLOR_TYPE_GRAY, 16, false, false},  {"grey8 trns", PNG_COLOR_TYPE_GRAY, 8, true, false},
      {"grey2 trns", PNG_COLOR_TYPE_GRAY, 2, true, false}, {"grey alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
      {"palette1", PNG_COLOR_TYPE_PALETTE, 1, false, false}, {"palette2", PNG_COLOR_TYPE_PALETTE, 2, false, false},
      {"palette4", PNG_COLOR_TYPE_PALETTE, 4, false, false}, {"palette8", PNG_COLOR_TYPE_PALETTE, 8, false, false},
      {"palette4 trns", PNG_COLOR_TYPE_PALETTE, 4, true, false},
      {"palette8 flat", PNG_COLOR_TYPE_PALETTE, 8, false, false, 800, 600, true},
      {"palette4 flat", PNG_COLOR_TYPE_PALETTE, 4, false, false, 800, 600, true},
      {"palette2 flat", PNG_COLOR_TYPE_PALETTE, 2, false, false, 800, 600, true},
      {"palette1 flat", PNG_COLOR_TYPE_PALETTE, 1, false, false, 800, 600, true},
      {"grey8 flat", PNG_COLOR_TYPE_GRAY, 8, false, false, 800, 600, true},
      {"grey4 flat", PNG_COLOR_TYPE_GRAY, 4, false, false, 800, 600, true},
      {"grey2 flat", PNG_COLOR_TYPE_GRAY, 2, false, false, 800, 600, true},
      {"grey1 flat", PNG_COLOR_TYPE_GRAY, 1, false, false, 800, 600, true},
  };
  std::mt19937 rng(7);
  for (const PngCase& c : cases) {
    const int width = c.width, height = c.height;
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colourType = c.colourType;
    spec.depth = c.depth;
    spec.interlaced = c.interlaced;
    const int channels = c.colourType == PNG_COLOR_TYPE_RGB ? 3 : c.colourType == PNG_COLOR_TYPE_RGBA ? 4
                         : c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
    const int top = (1 << c.depth) - 1;
    // A flat picture's palette holds two colours, as a one-colour picture's would.
    const int lastEntry = c.flat ? 1 : top;
    std::vector<int> samples(width * height * channels);
    for (int& s : samples) s = static_cast<int>(rng() % (c.colourType == PNG_COLOR_TYPE_PALETTE ? lastEntry + 1 : top + 1));
    if (c.flat)
      for (size_t i = channels; i < samples.size(); ++i) samples[i] = samples[i % channels];
    if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
      for (int i = 0; i <= lastEntry; ++i)
        spec.palette.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
      if (c.withTrns)
        for (int i = 0; i <= top / 2; ++i) spec.paletteAlpha.push_back(uint8_t(rng()));
    }
    if (c.withTrns && c.colourType == PNG_COLOR_TYPE_GRAY) spec.transparentGrey = samples[0];
    if (c.withTrns && c.colourType == PNG_COLOR_TYPE_RGB) {
      // tRNS for RGB names one colour: the first pixel's, used twice more.
      samples[3 * 4 + 0] = samples[0], samples[3 * 4 + 1] = samples[1], samples[3 * 4 + 2] = samples[2];
      spec.transparentRgb = {samples[0], samples[1], samples[2]};
    }
    spec.rows = PackRows(samples, width * channels, height, c.depth);
    Bytes png = EncodePng(spec);

    DxImage image(32);
    ASSERT_EQ(image.LoadFromMemory(png), 1) << c.name;
    ASSERT_EQ(image.GetWidth(), width);
    ASSERT_EQ(image.GetHeight(), height);
    // The DIB block the 16-bit images and the game layer take holds the same colours.
    DibBlock dib;
    std::u16string why;
    DxImage viaBlock(32);
    ASSERT_TRUE(DecodePngToDib(png, dib, why)) << c.name;
    ASSERT_EQ(viaBlock.LoadFromDib(dib), 1);
    EXPECT_EQ(std::memcmp(viaBlock.GetBits(), image.GetBits(), size_t(width) * height * 4), 0) << c.name;
    auto eight = [&](int v) { return c.depth == 16 ? v >> 8 : v * 255 / top; };
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const int* s = &samples[(y * width + x) * channels];
        Px want{};
        switch (c.colourType) {
          case PNG_COLOR_TYPE_RGB: {
            const bool clear = c.withTrns && s[0] == samples[0] && s[1] == samples[1] && s[2] == samples[2];
            want = Px{uint8_t(eight(s[2])), uint8_t(eight(s[1])), uint8_t(eight(s[0])), uint8_t(clear ? 255 : 0)};
            break;
          }
          case PNG_COLOR_TYPE_RGBA:
            want = Px{uint8_t(s[2]), uint8_t(s[1]), uint8_t(s[0]), uint8_t(255 - s[3])};
            break;
          case PNG_COLOR_TYPE_GRAY_ALPHA:
            want = Px{uint8_t(s[0]), uint8_t(s[0]), uint8_t(s[0]), uint8_t(255 - s[1])};
            break;
          case PNG_COLOR_TYPE_GRAY: {
            const uint8_t g = uint8_t(eight(s[0]));
            const bool clear = c.withTrns && s[0] == spec.transparentGrey;
            want = Px{g, g, g, uint8_t(clear ? 255 : 0)};
            break;
          }
          case PNG_COLOR_TYPE_PALETTE: {
            const auto& e = spec.palette[s[0]];
            const int alpha = s[0] < int(spec.paletteAlpha.size()) ? spec.paletteAlpha[s[0]] : 255;
            want = Px{e[2], e[1], e[0], uint8_t(c.withTrns ? 255 - alpha : 0)};
            break;
          }
        }
        ASSERT_EQ(PixelAt(image, x, y), want) << c.name << " at " << x << "," << y;
      }
    }
  }
}

TEST(PngDecoder, LibraryErrorsAreBoxedAndReported) {
  QuietDebugOutput quiet;
  PngSpec spec{4, 2, PNG_COLOR_TYPE_RGB, 8, Bytes(24, 9), {}, {}, -1, {}, false};
  Bytes png = EncodePng(spec);
  png[png.size() - 20] ^= 0xFF;  // inside the last chunk's data: a CRC error
  DibBlock dib;
  std::u16string why;
  EXPECT_FALSE(DecodePngToDib(png, dib, why));
  EXPECT_NE(why.find(u"libpng error"), std::u16string::npos);
  ASSERT_EQ(quiet.boxes().size(), 1u);
  EXPECT_EQ(quiet.boxes()[0].caption, u"libpng error");
  EXPECT_EQ(quiet.boxes()[0].flags, platform::MB_ICONERROR);
  EXPECT_NE(quiet.boxes()[0].text.find(u"\n\nOnMemory:\n"), std::u16string::npos);
}

TEST(JpegDecoder, ColourAndGreyPicturesLoadUprightThroughEitherPath) {
  // Top part one colour, bottom part another, in whole 8x8 blocks: near-exact at
  // quality 100, and the parts pin the row order. 40 rows take several calls.
  const int width = 16, height = 40;
  for (int components : {3, 1}) {
    Bytes samples;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        if (components == 3) {
          const uint8_t rgb[2][3] = {{200, 40, 10}, {20, 60, 220}};
          samples.insert(samples.end(), rgb[y >= 16], rgb[y >= 16] + 3);
        } else {
          samples.push_back(y < 16 ? 30 : 210);
        }
      }
    const Bytes jpeg = EncodeJpeg(width, height, components, samples);
    DibBlock dib;
    std::u16string why;
    ASSERT_TRUE(DecodeJpegToDib(jpeg, dib, why)) << components;
    DxImage image(32);
    ASSERT_EQ(image.LoadFromDib(dib), 1);
    for (int y : {0, 8, 28, 39})
      for (int x : {0, 15}) {
        const Px p = PixelAt(image, x, y);
        const uint8_t* s = &samples[(y * width + x) * components];
        const int r = s[0], g = components == 3 ? s[1] : s[0], b = components == 3 ? s[2] : s[0];
        EXPECT_NEAR(p[0], b, 3) << components << " at " << x << "," << y;
        EXPECT_NEAR(p[1], g, 3);
        EXPECT_NEAR(p[2], r, 3);
        EXPECT_EQ(p[3], 0);
      }
    // Straight into a 32-bit image, and through the block into a 16-bit one, the
    // pixels are the same as through the block.
    DxImage direct(32), viaBlock16(16), direct16(16);
    ASSERT_EQ(direct.LoadJpeg(jpeg), 1);
    ASSERT_EQ(viaBlock16.LoadFromDib(dib), 1);
    ASSERT_EQ(direct16.LoadJpeg(jpeg), 1);
    ASSERT_EQ(direct.GetHeight(), height);
    EXPECT_EQ(std::memcmp(direct.GetBits(), image.GetBits(), size_t(width) * height * 4), 0) << components;
    EXPECT_EQ(std::memcmp(direct16.GetBits(), viaBlock16.GetBits(), size_t(width) * height * 2), 0) << components;
  }
}

TEST(JpegDecoder, CmykEmptyAndCutPicturesAreRefused) {
  QuietDebugOutput quiet;
  DibBlock dib;
  std::u16string why;
  EXPECT_FALSE(DecodeJpegToDib(EncodeJpeg(8, 8, 4, Bytes(8 * 8 * 4, 100)), dib, why));
  EXPECT_NE(why.find(u"CMYK"), std::u16string::npos);
  EXPECT_FALSE(DecodeJpegToDib({}, dib, why));
  EXPECT_EQ(why, u"JPEG data is empty");
  Bytes jpeg = EncodeJpeg(16, 16, 3, Bytes(16 * 16 * 3, 77));
  jpeg.resize(jpeg.size() - 10);
  EXPECT_FALSE(DecodeJpegToDib(jpeg, dib, why));
  EXPECT_EQ(why, u"JPEG data is truncated");
}

// The offset of a tag's 12-byte entry in the first directory of a little-endian
// TIFF, or 0 when the directory has no such tag.
size_t TiffTagEntry(const Bytes& tiff, uint16_t tag) {
  auto get16 = [&](size_t at) { return tiff[at] | (tiff[at + 1] << 8); };
  const size_t ifd = tiff[4] | (tiff[5] << 8) | (tiff[6] << 16) | (tiff[7] << 24);
  for (int i = 0; i < get16(ifd); ++i) {
    const size_t entry = ifd + 2 + 12 * i;
    if (get16(entry) == tag) return entry;
  }
  return 0;
}

// Sets one tag's value (a SHORT or a LONG), or with `rename` gives the tag another
// number so the reader no longer finds it.
void PatchTiffTag(Bytes& tiff, uint16_t tag, uint32_t value, bool rename = false) {
  const size_t entry = TiffTagEntry(tiff, tag);
  ASSERT_NE(entry, 0u) << "tag " << tag << " not found";
  const size_t at = rename ? entry : entry + 8;
  const int bytes = rename || (tiff[entry + 2] | (tiff[entry + 3] << 8)) == 3 ? 2 : 4;
  for (int b = 0; b < bytes; ++b) tiff[at + b] = uint8_t(value >> (8 * b));
}

struct TiffCase {
  const char* name;
  int photometric, bits, samples, rowsPerStrip;
  bool wideMap;
};

TEST(TiffDecoder, WhitelistedLayoutsLoadInTheirColours) {
  const TiffCase cases[] = {
      {"rgb8", PHOTOMETRIC_RGB, 8, 3, 2, false},          {"rgba8", PHOTOMETRIC_RGB, 8, 4, 3, false},
      {"rgb8 one strip", PHOTOMETRIC_RGB, 8, 3, 0, false}, {"palette1", PHOTOMETRIC_PALETTE, 1, 1, 2, true},
      {"palette4", PHOTOMETRIC_PALETTE, 4, 1, 2, true},   {"palette8", PHOTOMETRIC_PALETTE, 8, 1, 4, true},
      {"palette8 narrow map", PHOTOMETRIC_PALETTE, 8, 1, 4, false},
      {"grey8 min-is-black", PHOTOMETRIC_MINISBLACK, 8, 1, 2, false},
      {"grey8 min-is-white", PHOTOMETRIC_MINISWHITE, 8, 1, 2, false},
      {"grey1 min-is-black", PHOTOMETRIC_MINISBLACK, 1, 1, 2, false},
      {"grey1 min-is-white", PHOTOMETRIC_MINISWHITE, 1, 1, 0, false},
  };
  const int width = 9, height = 7;
  std::mt19937 rng(11);
  for (const TiffCase& c : cases) {
    TiffSpec spec;
    spec.width = width;
    spec.height = height;
    spec.photometric = c.photometric;
    spec.bitsPerSample = c.bits;
    spec.samples = c.samples;
    spec.rowsPerStrip = c.rowsPerStrip;
    const int top = (1 << c.bits) - 1;
    std::vector<int> samples(width * height * c.samples);
    for (int& s : samples) s = int(rng() % (top + 1));
    if (c.photometric == PHOTOMETRIC_PALETTE) {
      for (int i = 0; i <= top; ++i) {
        auto level = [&]() { return uint16_t(c.wideMap ? rng() % 65536 : rng() % 256); };
        spec.red.push_back(level());
        spec.green.push_back(level());
        spec.blue.push_back(level());
      }
      if (c.wideMap) spec.red[0] = 65535;  // at least one value past 255
    }
    spec.rows = PackRows(samples, width * c.samples, height, c.bits);
    DibBlock dib;
    std::u16string why;
    ASSERT_TRUE(LoadTiffToDib(EncodeTiff(spec), dib, why)) << c.name;
    DxImage image(32);
    ASSERT_EQ(image.LoadFromDib(dib), 1);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const int* s = &samples[(y * width + x) * c.samples];
        Px want;
        if (c.photometric == PHOTOMETRIC_RGB) {
          want = Px{uint8_t(s[2]), uint8_t(s[1]), uint8_t(s[0]), uint8_t(c.samples == 4 ? 255 - s[3] : 0)};
        } else if (c.photometric != PHOTOMETRIC_PALETTE) {
          const int v = c.photometric == PHOTOMETRIC_MINISWHITE ? top - s[0] : s[0];
          const auto g = uint8_t(v * 255 / top);
          want = Px{g, g, g, 0};
        } else {
          auto level = [&](uint16_t v) { return uint8_t(c.wideMap ? v * 255u / 65535u : v); };
          want = Px{level(spec.blue[s[0]]), level(spec.green[s[0]]), level(spec.red[s[0]]), 0};
        }
        ASSERT_EQ(PixelAt(image, x, y), want) << c.name << " at " << x << "," << y;
      }
  }
}

TEST(TiffDecoder, MissingOrOversizedRowsPerStripReadsOneStrip) {
  QuietDebugOutput quiet;
  TiffSpec spec;
  spec.width = 5;
  spec.height = 4;
  spec.rows = Bytes(5 * 4 * 3);
  for (size_t i = 0; i < spec.rows.size(); ++i) spec.rows[i] = uint8_t(i);
  spec.rowsPerStrip = 4;
  const Bytes whole = EncodeTiff(spec);
  for (int variant = 0; variant < 3; ++variant) {
    Bytes tiff = whole;
    if (variant == 0) PatchTiffTag(tiff, TIFFTAG_ROWSPERSTRIP, 279 - 1 + 0x7000, true);
    if (variant == 1) PatchTiffTag(tiff, TIFFTAG_ROWSPERSTRIP, 1000);
    if (variant == 2) PatchTiffTag(tiff, TIFFTAG_ROWSPERSTRIP, 0);
    DibBlock dib;
    std::u16string why;
    const bool loaded = LoadTiffToDib(tiff, dib, why);
    if (variant == 2) {
      // libtiff itself refuses a zero; the load fails with a reason.
      EXPECT_FALSE(loaded);
      EXPECT_FALSE(why.empty());
      continue;
    }
    ASSERT_TRUE(loaded) << variant;
    DxImage image(32);
    image.LoadFromDib(dib);
    EXPECT_EQ(PixelAt(image, 1, 3), (Px{uint8_t(3 * 15 + 5), uint8_t(3 * 15 + 4), uint8_t(3 * 15 + 3), 0}));
  }
}

TEST(TiffDecoder, OtherLayoutsAreRefusedWithTheirReason) {
  QuietDebugOutput quiet;
  struct Refused {
    const char* name;
    int photometric, bits, samples;
    bool tiled;
  } cases[] = {
      {"grey16", PHOTOMETRIC_MINISBLACK, 16, 1, false}, {"rgb16", PHOTOMETRIC_RGB, 16, 3, false},
      {"five samples", PHOTOMETRIC_RGB, 8, 5, false}, {"palette2", PHOTOMETRIC_PALETTE, 2, 1, false},
      {"tiled rgb8", PHOTOMETRIC_RGB, 8, 3, true},
  };
  for (const Refused& c : cases) {
    TiffSpec spec;
    spec.width = 16;
    spec.height = 16;
    spec.photometric = c.photometric;
    spec.bitsPerSample = c.bits;
    spec.samples = c.samples;
    spec.tiled = c.tiled;
    spec.rows = Bytes(16 * ((16 * c.bits * c.samples + 7) / 8), 0x5A);
    if (c.photometric == PHOTOMETRIC_PALETTE) spec.red = spec.green = spec.blue = std::vector<uint16_t>(4, 0);
    DibBlock dib;
    std::u16string why;
    EXPECT_FALSE(LoadTiffToDib(EncodeTiff(spec), dib, why)) << c.name;
    EXPECT_NE(why.find(u"unsupported TIFF layout"), std::u16string::npos) << c.name;
  }
  // A zero width never reaches the row arithmetic.
  TiffSpec spec;
  spec.width = 4;
  spec.height = 4;
  spec.rows = Bytes(4 * 4 * 3, 1);
  Bytes tiff = EncodeTiff(spec);
  PatchTiffTag(tiff, TIFFTAG_IMAGEWIDTH, 0);
  DibBlock dib;
  std::u16string why;
  EXPECT_FALSE(LoadTiffToDib(tiff, dib, why));
}

// ---- BMP ------------------------------------------------------------------

// A BMP built by hand: any header size, masks, a gap before the pixels.
struct BmpBuild {
  int headerSize = 40;
  int width = 3, height = 2, bits = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> masks;     // written inside headers >= 52, else after the header
  std::vector<Px> palette;         // B, G, R, 0
  uint32_t clrUsed = 0;
  int gap = 0;                     // bytes between the tables and the pixels
  Bytes rows;                      // stored rows in file order, padded

  Bytes Build() const {
    Bytes table;
    if (headerSize == 40)
      for (uint32_t m : masks) Put32(table, m);
    for (const Px& p : palette) table.insert(table.end(), p.begin(), p.end());
    const uint32_t offBits = 14 + headerSize + table.size() + gap;
    Bytes out{'B', 'M'};
    Put32(out, offBits + rows.size());
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, headerSize);
    Put32(out, width);
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, compression);
    Put32(out, rows.size());
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, clrUsed);
    Put32(out, 0);
    for (size_t i = 0; headerSize > 40 && i < masks.size() && 40 + 4 * i < size_t(headerSize); ++i) Put32(out, masks[i]);
    out.resize(14 + headerSize, 0);
    out.insert(out.end(), table.begin(), table.end());
    out.resize(out.size() + gap, 0xEE);
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
  }
};

TEST(BmpDecoder, LargerHeadersPixelOffsetAndEitherRowOrderAreHonoured) {
  // 24 bits, width 3 (rows padded to 12 bytes), two rows.
  const Bytes rows24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
  for (int headerSize : {40, 52, 56, 108, 124}) {
    for (int gap : {0, 6}) {
      for (int height : {2, -2}) {  // bottom row first, or top row first
        SCOPED_TRACE(::testing::Message() << headerSize << " gap " << gap << " height " << height);
        BmpBuild b;
        b.headerSize = headerSize;
        b.gap = gap;
        b.height = height;
        b.rows = rows24;
        DxImage image(32);
        ASSERT_EQ(image.LoadFromMemory(b.Build()), 1);
        const int first = height > 0 ? 1 : 0;  // where the first stored row shows
        EXPECT_EQ(PixelAt(image, 0, first), (Px{1, 2, 3, 0}));
        EXPECT_EQ(PixelAt(image, 2, 1 - first), (Px{17, 18, 19, 0}));
      }
    }
  }
}

TEST(BmpDecoder, PaletteDepthsLoadInTheirColours) {
  // Width 10, one row: 1 bit -> 2 bytes + 2 padding; 4 bits -> 5 bytes + 3.
  const std::vector<Px> palette = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
  struct Case {
    int bits;
    Bytes row;
    std::vector<int> indices;
  } cases[] = {
      {1, {0b10110000, 0b01000000, 0, 0}, {1, 0, 1, 1, 0, 0, 0, 0, 0, 1}},
      {4, {0x12, 0x01, 0x20, 0x00, 0x0F, 0, 0, 0}, {1, 2, 0, 1, 2, 0, 0, 0, 0, 15}},
      {8, {2, 1, 0, 2, 1, 0, 200, 2, 1, 0, 0, 0}, {2, 1, 0, 2, 1, 0, 200, 2, 1, 0}},
  };
  for (const Case& c : cases) {
    BmpBuild b;
    b.width = 10;
    b.height = 1;
    b.bits = c.bits;
    b.palette = palette;
    b.clrUsed = 3;
    b.rows = c.row;
    DxImage image(32);
    ASSERT_EQ(image.LoadFromMemory(b.Build()), 1) << c.bits;
    for (int x = 0; x < 10; ++x) {
      // Indices past the palette read black.
      const Px want = c.indices[x] < 3 ? palette[c.indices[x]] : Px{0, 0, 0, 0};
      EXPECT_EQ(PixelAt(image, x, 0), want) << c.bits << " bits at " << x;
    }
  }
}

TEST(BmpDecoder, SixteenBitPixelsFollowTheirMasks) {
  // x555 (no masks, or the x555 masks): bit 15 is transparency; 31 -> 255, 1 -> 9.
  const Bytes x555 = {0x1F | 0x20, 0x80 | (1 << 2), 0, 0};  // B 31, G 1, R 1, bit 15
  const uint16_t v565 = (31 << 11) | (0 << 5) | 16;         // R full, G 0, B half
  const Bytes r565 = {uint8_t(v565), uint8_t(v565 >> 8), 0, 0};
  const struct {
    const char* what;
    int headerSize;
    std::vector<uint32_t> masks;  // none: plain RGB
    Bytes row;
    Px pixel;
  } cases[] = {
      {"x555 without masks", 40, {}, x555, {255, 9, 9, 255}},
      {"x555 masks", 40, {0x7C00, 0x3E0, 0x1F}, x555, {255, 9, 9, 255}},
      {"565 masks after a 40-byte header", 40, {0xF800, 0x07E0, 0x001F}, r565, {132, 0, 255, 0}},
      {"565 masks in a 124-byte header", 124, {0xF800, 0x07E0, 0x001F}, r565, {132, 0, 255, 0}},
  };
  for (const auto& c : cases) {
    BmpBuild b;
    b.headerSize = c.headerSize;
    b.width = 1;
    b.height = 1;
    b.bits = 16;
    b.compression = c.masks.empty() ? 0 : 3;
    b.masks = c.masks;
    b.rows = c.row;
    DxImage image(32);
    ASSERT_EQ(image.LoadFromMemory(b.Build()), 1) << c.what;
    EXPECT_EQ(PixelAt(image, 0, 0), c.pixel) << c.what;
  }
}

// Layouts common tools write: bit fields without their mask table (the pixels
// right after the 40-byte header), run-length rows, and the OS/2 header with
// 3-byte palette entries.
TEST(BmpDecoder, MasklessBitFieldsRunLengthAndOs2HeadersLoad) {
  std::vector<Px> palette16;
  for (uint8_t i = 0; i < 16; ++i) palette16.push_back(Px{i, uint8_t(2 * i), uint8_t(3 * i), 0});
  struct Case {
    const char* what;
    int bits;
    uint32_t compression;
    Bytes rows;
    std::vector<Px> top, bottom;  // the expected rows, as wide as the picture
  } cases[] = {
      {"x555 without masks", 16, 3, {0x1F, 0x80, 0, 0x7C, 0, 0, 0, 0, 0xE0, 0x03, 0, 0, 0, 0, 0, 0},
       {{0, 255, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
       {{255, 0, 0, 255}, {0, 0, 255, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
      {"32 bits without masks", 32, 3, Bytes(32, 0x40), {4, {0x40, 0x40, 0x40, 0xBF}},
       {4, {0x40, 0x40, 0x40, 0xBF}}},
      // bottom: a run of 3 of index 5, end of line; top: 3 pixels as they are and
      // their pad byte, a run of one 6, end.
      {"RLE8", 8, 1, {3, 5, 0, 0, 0, 3, 7, 8, 9, 0, 1, 6, 0, 1},
       {palette16[7], palette16[8], palette16[9], palette16[6]},
       {palette16[5], palette16[5], palette16[5], palette16[0]}},
      // 8 wide. bottom: move right by 2, then 1 2; top: C D E F 1 as they are (three
      // bytes and their pad), then a run of 2 3 2; no end marker.
      {"RLE4", 4, 2, {0, 2, 2, 0, 2, 0x12, 0, 0, 0, 5, 0xCD, 0xEF, 0x10, 0, 3, 0x23, 0, 0},
       {palette16[12], palette16[13], palette16[14], palette16[15], palette16[1], palette16[2], palette16[3],
        palette16[2]},
       {palette16[0], palette16[0], palette16[1], palette16[2], palette16[0], palette16[0], palette16[0],
        palette16[0]}},
  };
  for (const Case& c : cases) {
    BmpBuild b;
    b.width = static_cast<int>(c.top.size());
    b.height = 2;
    b.bits = c.bits;
    b.compression = c.compression;
    if (c.bits <= 8) b.palette = palette16, b.clrUsed = 16;
    b.rows = c.rows;
    DxImage image(32);
    ASSERT_EQ(image.LoadFromMemory(b.Build()), 1) << c.what << ": " << platform::Utf16ToUtf8(image.LastError());
    for (int x = 0; x < b.width; ++x) {
      EXPECT_EQ(PixelAt(image, x, 0), c.top[x]) << c.what << " top " << x;
      EXPECT_EQ(PixelAt(image, x, 1), c.bottom[x]) << c.what << " bottom " << x;
    }
  }

  // OS/2: 12-byte header, 16 palette entries of B, G, R, one row of 3 four-bit pixels.
  Bytes os2{'B', 'M'};
  Put32(os2, 14 + 12 + 48 + 4);
  Put32(os2, 0);
  Put32(os2, 14 + 12 + 48);
  Put32(os2, 12);
  Put16(os2, 3);
  Put16(os2, 1);
  Put16(os2, 1);
  Put16(os2, 4);
  for (const Px& e : palette16) os2.insert(os2.end(), e.begin(), e.begin() + 3);
  os2.insert(os2.end(), {0x12, 0x30, 0, 0});
  DxImage image(32);
  ASSERT_EQ(image.LoadFromMemory(os2), 1) << platform::Utf16ToUtf8(image.LastError());
  EXPECT_EQ(image.GetWidth(), 3);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(image, x, 0), palette16[x + 1]) << "OS/2 " << x;
}

TEST(BmpDecoder, DamagedHeadersAreRefused) {
  BmpBuild b;
  b.rows = Bytes(24, 1);
  const struct {
    const char* what;
    void (*damage)(BmpBuild&);
  } cases[] = {
      {"INT_MIN height", [](BmpBuild& c) { c.height = INT32_MIN; }},
      {"zero width", [](BmpBuild& c) { c.width = 0; }},
      {"size overflow", [](BmpBuild& c) { c.width = 0x40000000, c.height = 0x4000; }},
      {"short rows", [](BmpBuild& c) { c.rows.resize(20); }},
      {"bit count 7", [](BmpBuild& c) { c.bits = 7; }},
      {"RLE8 of 24 bits", [](BmpBuild& c) { c.compression = 1, c.bits = 24; }},
      {"top-down RLE8", [](BmpBuild& c) { c.compression = 1, c.bits = 8, c.height = -2; }},
      {"RLE8 ending inside the picture",
       [](BmpBuild& c) { c.compression = 1, c.bits = 8, c.palette = std::vector<Px>(256), c.rows = {3, 1, 0, 0, 3}; }},
      {"header between the OS/2 and the Windows sizes", [](BmpBuild& c) { c.headerSize = 20; }},
  };
  for (const auto& row : cases) {
    BmpBuild c = b;
    row.damage(c);
    DxImage image(32);
    EXPECT_EQ(image.LoadFromMemory(c.Build()), 0) << row.what;
    EXPECT_FALSE(image.LastError().empty()) << row.what;
  }
  {
    // A pixel offset inside the headers, or past the end of the file.
    for (uint32_t offBits : {20u, 5000u}) {
      Bytes file = b.Build();
      for (int i = 0; i < 4; ++i) file[10 + i] = uint8_t(offBits >> (8 * i));
      DxImage image(32);
      EXPECT_EQ(image.LoadFromMemory(file), 0) << offBits;
    }
  }

  // A palette count past 256 is cut to what 8 bits can index, not read beyond.
  BmpBuild big;
  big.bits = 8;
  big.width = 4;
  big.height = 1;
  big.clrUsed = 100000;
  big.palette = std::vector<Px>(256, Px{1, 2, 3, 0});
  big.rows = {255, 0, 0, 0};
  DxImage image(32);
  ASSERT_EQ(image.LoadFromMemory(big.Build()), 1);
  EXPECT_EQ(PixelAt(image, 0, 0), (Px{1, 2, 3, 0}));
}

TEST(BmpWriters, RoundTripThroughTheWriters) {
  // 32 bits keep the transparency through the alpha byte; 24 bits drop it.
  DxImage image(32);
  ASSERT_EQ(image.Create(5, 3), 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      uint8_t* p = image.GetPixelAddress(x, y);
      p[0] = uint8_t(x * 40);
      p[1] = uint8_t(y * 70);
      p[2] = uint8_t(x + y);
      p[3] = uint8_t(x * 60);
    }
  for (int bits : {24, 32}) {
    const std::string path = TempPath("roundtrip.bmp");
    const std::u16string wide(path.begin(), path.end());
    ASSERT_EQ(bits == 24 ? image.SaveBMP24(wide) : image.SaveBMP32(wide), 1);
    Bytes file = ReadFileBytes(path);
    std::remove(path.c_str());
    EXPECT_EQ(file.size(), 54u + (bits == 24 ? 16u : 20u) * 3);
    DxImage back(32);
    ASSERT_EQ(back.LoadFromMemory(file), 1);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        Px want = PixelAt(image, x, y);
        if (bits == 24) want[3] = 0;
        EXPECT_EQ(PixelAt(back, x, y), want) << bits << " at " << x << "," << y;
      }
  }
  // A 16-bit image writes its expanded colours; loading the 24-bit file back into a
  // 16-bit image gives the same x555 pixels.
  DxImage sixteen(16);
  ASSERT_EQ(sixteen.Create(3, 1), 1);
  const uint16_t values[3] = {0x7FFF, 0x0421, 0x001F};
  for (int x = 0; x < 3; ++x) std::memcpy(sixteen.GetPixelAddress(x, 0), &values[x], 2);
  const std::string path = TempPath("sixteen.bmp");
  ASSERT_EQ(sixteen.SaveBMP24(std::u16string(path.begin(), path.end())), 1);
  DxImage back(16);
  ASSERT_EQ(back.LoadFromMemory(ReadFileBytes(path)), 1);
  std::remove(path.c_str());
  for (int x = 0; x < 3; ++x) {
    uint16_t v;
    std::memcpy(&v, back.GetPixelAddress(x, 0), 2);
    EXPECT_EQ(v, values[x]) << x;
  }
}

TEST(BmpWriters, HeaderFieldsAndSixteenBitPixels) {
  // A 16-bit image of 3 x 2: white, x555 1-1-1 with bit 15 (transparent), blue.
  DxImage sixteen(16);
  ASSERT_EQ(sixteen.Create(3, 2), 1);
  const uint16_t values[3] = {0x7FFF, 0x8421, 0x001F};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) std::memcpy(sixteen.GetPixelAddress(x, y), &values[x], 2);
  for (int bits : {24, 32}) {
    const std::string path = TempPath("sixteen.bmp");
    const std::u16string wide(path.begin(), path.end());
    ASSERT_EQ(bits == 24 ? sixteen.SaveBMP24(wide) : sixteen.SaveBMP32(wide), 1);
    const Bytes file = ReadFileBytes(path);
    std::remove(path.c_str());
    const uint32_t stride = 12;  // 3 x 3 bytes padded to 12, or 3 x 4
    ASSERT_EQ(file.size(), 54u + stride * 2) << bits;
    auto u32 = [&](size_t at) { return uint32_t(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24); };
    auto u16 = [&](size_t at) { return uint32_t(file[at] | file[at + 1] << 8); };
    const struct {
      size_t at;
      uint32_t value;
      int size;
    } fields[] = {{0, 'B' | 'M' << 8, 2}, {2, 54 + stride * 2, 4}, {6, 0, 4}, {10, 54, 4}, {14, 40, 4},
                  {18, 3, 4}, {22, 2, 4}, {26, 1, 2}, {28, uint32_t(bits), 2}, {30, 0, 4}, {34, 0, 4},
                  {38, 0, 4}, {42, 0, 4}, {46, 0, 4}, {50, 0, 4}};
    for (const auto& f : fields) EXPECT_EQ(f.size == 2 ? u16(f.at) : u32(f.at), f.value) << bits << " at " << f.at;
    // Each channel widened as 31 -> 255 and 1 -> 9; opacity 0 where bit 15 is set.
    const int n = bits / 8;
    const Bytes want = bits == 24 ? Bytes{255, 255, 255, 9, 9, 9, 255, 0, 0}
                                  : Bytes{255, 255, 255, 255, 9, 9, 9, 0, 255, 0, 0, 255};
    EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 54 + 3 * n), want) << bits;
  }
}

TEST(BmpWriters, FailedSavesGiveZeroAndLeaveTheOldFile) {
  const std::string existing = TempPath("kept.bmp");
  { std::FILE* f = std::fopen(existing.c_str(), "wb"); std::fputs("old", f); std::fclose(f); }
  const std::string folder = TempPath("folder.bmp");
  std::filesystem::create_directory(folder);
  DxImage empty(32);
  DxImage image(32);
  ASSERT_EQ(image.Create(2, 2), 1);
  const struct {
    const char* what;
    DxImage* image;
    std::string path;
  } cases[] = {
      {"no pixels over an existing file", &empty, existing},
      {"a folder that does not exist", &image, "/nonexistent-folder/x.bmp"},
      {"a name taken by a folder", &image, folder},
  };
  for (const auto& c : cases) {
    const std::u16string wide(c.path.begin(), c.path.end());
    EXPECT_EQ(c.image->SaveBMP24(wide), 0) << c.what;
    EXPECT_EQ(c.image->SaveBMP32(wide), 0) << c.what;
    EXPECT_FALSE(std::filesystem::exists(c.path + ".tmp")) << c.what;
  }
  EXPECT_EQ(ReadFileBytes(existing), (Bytes{'o', 'l', 'd'}));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  std::filesystem::remove(existing);
  std::filesystem::remove(folder);
}

// ---- HBM --------------------------------------------------------------------

Bytes MakeHbm(int width, const std::vector<Bytes>& storedRows, uint32_t flags, bool compress) {
  Bytes raw;
  for (const Bytes& r : storedRows) raw.insert(raw.end(), r.begin(), r.end());
  Bytes out{'H', 'B', 'M', 0};
  Put32(out, width);
  Put32(out, storedRows.size());
  Put32(out, flags | (compress ? 16 : 0));
  if (compress) {
    uLongf size = compressBound(raw.size());
    Bytes z(size);
    compress2(z.data(), &size, raw.data(), raw.size(), 9);
    z.resize(size);
    Put32(out, z.size());
    out.insert(out.end(), z.begin(), z.end());
  } else {
    out.insert(out.end(), raw.begin(), raw.end());
  }
  return out;
}

TEST(HbmLoader, RowsComeOutUprightWithEitherStoredOrder) {
  // Width 3: 6 bytes of pixels padded to 8.
  const Bytes top = {0x01, 0x00, 0x02, 0x00, 0x03, 0x80, 0, 0};
  const Bytes bottom = {0x04, 0x00, 0x05, 0x00, 0x06, 0x00, 0, 0};
  for (bool compress : {false, true}) {
    for (bool bottomFirst : {false, true}) {
      std::vector<Bytes> rows = bottomFirst ? std::vector<Bytes>{bottom, top} : std::vector<Bytes>{top, bottom};
      DxImage image(16);
      ASSERT_EQ(image.LoadFromMemory(MakeHbm(3, rows, bottomFirst ? 32 : 0, compress)), 1);
      EXPECT_EQ(image.GetPixelAddress(2, 0)[1], 0x80) << compress << bottomFirst;
      EXPECT_EQ(image.GetPixelAddress(0, 1)[0], 0x04) << compress << bottomFirst;
    }
  }
  DxImage thirtyTwo(32);
  EXPECT_EQ(thirtyTwo.LoadFromMemory(MakeHbm(3, {top}, 0, false)), 0) << "HBM is for 16-bit images only";
}

TEST(HbmLoader, StreamsThatEndEarlyOrRunLongAreErrors) {
  const Bytes row(8, 0x11);
  Bytes shortStream = MakeHbm(3, {row, row}, 0, true);
  // Claim three rows: the stream ends one row early.
  shortStream[8] = 3;
  DxImage image(16);
  EXPECT_EQ(image.LoadFromMemory(shortStream), 0);
  EXPECT_EQ(image.LastError(), u"HBM compressed pixels are shorter than the picture");
  Bytes longStream = MakeHbm(3, {row, row}, 0, true);
  longStream[8] = 1;
  EXPECT_EQ(image.LoadFromMemory(longStream), 0);
  EXPECT_EQ(image.LastError(), u"HBM compressed pixels are longer than the picture");
  Bytes corrupt = MakeHbm(3, {row, row}, 0, true);
  corrupt[22] ^= 0xFF;
  EXPECT_EQ(image.LoadFromMemory(corrupt), 0);
}

// ---- every fixture cut at every length ---------------------------------------

TEST(PictureLoading, EveryFixtureCutAtEveryLengthFailsCleanlyButAPngWithoutIend) {
  QuietDebugOutput quiet;
  std::vector<std::pair<const char*, Bytes>> fixtures;
  {
    PngSpec spec{9, 3, PNG_COLOR_TYPE_PALETTE, 4, Bytes(15, 0x21), {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {}, -1, {}, false};
    fixtures.emplace_back("png palette4", EncodePng(spec));
    PngSpec rgba{5, 4, PNG_COLOR_TYPE_RGBA, 8, Bytes(80, 0x90), {}, {}, -1, {}, true};
    fixtures.emplace_back("png rgba interlaced", EncodePng(rgba));
  }
  fixtures.emplace_back("jpeg", EncodeJpeg(16, 8, 3, Bytes(16 * 8 * 3, 120)));
  fixtures.emplace_back("jpeg grey", EncodeJpeg(8, 8, 1, Bytes(64, 120)));
  {
    TiffSpec rgb;
    rgb.width = 5;
    rgb.height = 4;
    rgb.rowsPerStrip = 2;
    rgb.rows = Bytes(60, 3);
    fixtures.emplace_back("tiff rgb", EncodeTiff(rgb));
    TiffSpec pal;
    pal.width = 5;
    pal.height = 2;
    pal.photometric = PHOTOMETRIC_PALETTE;
    pal.bitsPerSample = 4;
    pal.samples = 1;
    pal.rows = Bytes(6, 0x12);
    pal.red = pal.green = pal.blue = std::vector<uint16_t>(16, 300);
    fixtures.emplace_back("tiff palette4", EncodeTiff(pal));
  }
  {
    BmpBuild b;
    b.headerSize = 124;
    b.bits = 16;
    b.compression = 3;
    b.masks = {0xF800, 0x07E0, 0x001F};
    b.rows = Bytes(16, 0x44);
    fixtures.emplace_back("bmp 565", b.Build());
    BmpBuild p;
    p.bits = 4;
    p.palette = std::vector<Px>(16, Px{9, 9, 9, 0});
    p.rows = Bytes(8, 0x31);
    fixtures.emplace_back("bmp palette4", p.Build());
    BmpBuild rle;
    rle.bits = 8;
    rle.compression = 1;
    rle.palette = std::vector<Px>(8, Px{9, 9, 9, 0});
    rle.clrUsed = 8;
    rle.rows = {3, 5, 0, 0, 2, 7, 0, 1};  // the end marker closes the top row
    fixtures.emplace_back("bmp rle8", rle.Build());
  }
  fixtures.emplace_back("hbm", MakeHbm(3, {Bytes(8, 1), Bytes(8, 2)}, 0, false));
  fixtures.emplace_back("hbm zlib", MakeHbm(3, {Bytes(8, 1), Bytes(8, 2)}, 32, true));

  for (const auto& fixture : fixtures) {
    const char* name = fixture.first;
    const Bytes& data = fixture.second;
    const char kind = name[0];
    auto decode = [kind](std::span<const uint8_t> bytes) {
      DibBlock dib;
      std::u16string why;
      if (kind == 'j') return DecodeJpegToDib(bytes, dib, why);
      if (kind == 't') return LoadTiffToDib(bytes, dib, why);
      DxImage image(kind == 'h' ? 16 : 32);
      return image.LoadFromMemory(bytes) == 1;
    };
    ASSERT_TRUE(decode(data)) << name << " whole";
    for (size_t n = 0; n < data.size(); ++n) {
      // A copy of exactly n bytes, so reading past it is caught by the sanitizer.
      std::vector<uint8_t> cut(data.begin(), data.begin() + n);
      // A PNG that lost only its 12-byte IEND chunk still has every row.
      const bool whole = kind == 'p' && n >= data.size() - 12;
      EXPECT_EQ(decode(cut), whole) << name << " cut to " << n << " of " << data.size();
    }
  }
}

}  // namespace
