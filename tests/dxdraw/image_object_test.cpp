// The image object: geometry and pixel addressing, the drawing-context count,
// blocks that do not hold together, and loading by file name from disk and from a
// folder archive with errors that name the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "archive/archive.h"
#include "dxdraw/decoders.h"
#include "dxdraw/image.h"
#include "dxdraw/image_fixtures.h"
#include "support/quiet_output.h"

namespace {

using namespace DxDraw;
using namespace image_test;

TEST(DxImage, GeometryAndAddressingOfBottomUpImages) {
  DxImage image(32);
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetPixelAddress(0, 0), nullptr);
  ASSERT_EQ(image.Create(5, 3), 1);
  EXPECT_EQ(image.GetStride(), 20);
  EXPECT_EQ(image.GetPitch(), -20);
  // The top row is the last row in memory.
  EXPECT_EQ(image.GetPixelAddress(0, 0), image.GetBits() + 2 * 20);
  EXPECT_EQ(image.GetPixelAddress(4, 2), image.GetBits() + 16);

  DxImage grey(8);
  ASSERT_EQ(grey.Create(3, 1), 1);
  EXPECT_EQ(grey.GetStride(), 4);
  ASSERT_NE(grey.GetPalette(), nullptr);
  EXPECT_EQ(grey.GetPalette()[200].rgbGreen, 200);

  for (auto [w, h] : {std::pair{0, 1}, {-1, 1}, {1, 0}, {INT32_MAX, 2}, {1, INT32_MIN}}) {
    EXPECT_EQ(image.Create(w, h), 0) << w << "x" << h;
    EXPECT_EQ(image.GetBits(), nullptr);
  }
}

TEST(DxImage, DrawingContextIsCounted) {
  DxImage image(32);
  EXPECT_EQ(image.GetDC(), nullptr) << "no pixels, no context";
  image.Create(2, 2);
  HDC first = image.GetDC();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->image, &image);
  EXPECT_EQ(image.GetDC(), first);
  EXPECT_EQ(image.ReleaseDC(), 1u);
  EXPECT_EQ(image.GetDCCount(), 1u);
  EXPECT_EQ(image.ReleaseDC(), 0u);
  EXPECT_EQ(image.ReleaseDC(), 0u) << "a release with no context changes nothing";
}

TEST(DxImage, BlocksThatDoNotHoldTogetherAreRefused) {
  DibBlock dib;
  dib.header.biWidth = 4;
  dib.header.biHeight = 4;
  dib.header.biBitCount = 24;
  dib.bits.assign(47, 0);  // 48 needed
  DxImage image(32);
  EXPECT_EQ(image.LoadFromDib(dib), 0);
  EXPECT_FALSE(image.LastError().empty());
  dib.bits.assign(48, 0);
  EXPECT_EQ(image.LoadFromDib(dib), 1);
  DxImage glyph(8);
  EXPECT_EQ(glyph.LoadFromDib(dib), 0) << "only 16- and 32-bit images convert";
}

// 16-bit images hold x555 pixels: R in bits 10-14, G in 5-9, B in 0-4, each the
// top five bits of its byte, and bit 15 (transparent) only where a 32-bit
// picture's alpha is exactly 0.
TEST(DxImage, ConvertTo16PacksChannelsAndMarksOnlyZeroAlphaTransparent) {
  const struct {
    const char* what;
    int bits;
    Bytes pixel;     // one stored pixel, B, G, R (, A), or a palette index
    uint16_t x555;
  } cases[] = {
      {"blue", 24, {0xF8, 0, 0}, 0x001F},          {"green", 24, {0, 0xF8, 0}, 0x03E0},
      {"red", 24, {0, 0, 0xF8}, 0x7C00},           {"low bits dropped", 24, {0x07, 0x0F, 0x17}, 0x0820},
      {"opaque", 32, {0x08, 0x10, 0x18, 255}, 0x0C41}, {"alpha 1 is not transparent", 32, {0, 0, 0, 1}, 0x0000},
      {"alpha 0 is transparent", 32, {0xF8, 0, 0, 0}, 0x801F}, {"palette", 8, {1}, 0x7C1F},
  };
  for (const auto& c : cases) {
    DibBlock dib;
    dib.header.biWidth = 1;
    dib.header.biHeight = 1;
    dib.header.biBitCount = static_cast<uint16_t>(c.bits);
    if (c.bits == 8) dib.palette = {RGBQUAD{}, RGBQUAD{0xFF, 0, 0xFF, 0}};  // magenta at 1
    dib.bits = c.pixel;
    dib.bits.resize(4, 0);
    DxImage image(16);
    ASSERT_EQ(image.LoadFromDib(dib), 1) << c.what;
    const uint8_t* p = image.GetPixelAddress(0, 0);
    EXPECT_EQ(p[0] | (p[1] << 8), c.x555) << c.what;
  }
}

// A picture that fails to load, whatever its kind and however far its decoder
// got, leaves the image as it was.
TEST(DxImage, AFailedLoadLeavesThePreviousImage) {
  QuietDebugOutput quiet;
  PngSpec spec{3, 2, 2 /* RGB */, 8, Bytes(18, 0x44), {}, {}, -1, {}, false};
  Bytes cutPng = EncodePng(spec);
  cutPng.resize(cutPng.size() - 20);  // inside the pixel data
  Bytes cutJpeg = EncodeJpeg(16, 16, 3, Bytes(16 * 16 * 3, 99));
  cutJpeg.resize(cutJpeg.size() / 2);
  const Bytes notBmp = {'B', 'M', 1, 2, 3};
  Bytes hbm = {'H', 'B', 'M', 0};
  for (uint32_t v : {2u, 2u, 0u}) {
    for (int i = 0; i < 4; ++i) hbm.push_back(uint8_t(v >> (8 * i)));
  }
  hbm.resize(hbm.size() + 4, 0);  // rows of 4 bytes, one short
  const struct {
    const char* what;
    int depth;
    const Bytes* data;
    bool jpeg;
  } cases[] = {
      {"cut PNG", 32, &cutPng, false}, {"cut PNG", 16, &cutPng, false}, {"cut JPEG", 32, &cutJpeg, true},
      {"cut JPEG", 16, &cutJpeg, true}, {"not a BMP", 32, &notBmp, false}, {"short HBM", 16, &hbm, false},
  };
  for (const auto& c : cases) {
    DxImage image(c.depth);
    ASSERT_EQ(image.Create(5, 4), 1);
    std::fill(image.GetBits(), image.GetBits() + image.GetStride() * 4, uint8_t{0x5A});
    const uint8_t* before = image.GetBits();
    EXPECT_EQ(c.jpeg ? image.LoadJpeg(*c.data) : image.LoadFromMemory(*c.data), 0) << c.what;
    EXPECT_FALSE(image.LastError().empty()) << c.what;
    EXPECT_EQ(image.GetBits(), before) << c.what;
    EXPECT_EQ(image.GetWidth(), 5) << c.what;
    EXPECT_EQ(image.GetHeight(), 4) << c.what;
    EXPECT_EQ(std::count(image.GetBits(), image.GetBits() + image.GetStride() * 4, uint8_t{0x5A}),
              image.GetStride() * 4)
        << c.what;
  }
}

TEST(DxImage, LoadsFilesFromDiskAndFromAFolderArchiveNamingTheFileOnFailure) {
  const std::filesystem::path folder = TempPath("pictures");
  std::filesystem::create_directories(folder / "cg");
  PngSpec spec{2, 1, 2 /* RGB */, 8, Bytes{10, 20, 30, 40, 50, 60}, {}, {}, -1, {}, false};
  const Bytes png = EncodePng(spec);
  std::ofstream(folder / "cg" / "a.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  Bytes broken = png;
  broken.resize(broken.size() / 2);
  std::ofstream(folder / "cg" / "broken.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(broken.data()), broken.size());

  QuietDebugOutput quiet;
  DxImage image(32);
  const std::u16string onDisk = (folder / "cg" / "a.png").u16string();
  ASSERT_EQ(image.LoadFile(nullptr, onDisk), 1);
  EXPECT_EQ(image.GetPixelAddress(1, 0)[0], 60);

  IArchive* archive = OpenDirArchive(folder.u16string());
  ASSERT_NE(archive, nullptr);
  ASSERT_EQ(image.LoadFile(archive, u"CG\\A.PNG"), 1);
  EXPECT_EQ(image.GetPixelAddress(0, 0)[2], 10);
  EXPECT_EQ(image.LoadFile(archive, u"cg/missing.png"), 0);
  EXPECT_EQ(image.LastError(), u"cg/missing.png: file not found");
  EXPECT_EQ(image.LoadFile(archive, u"cg/broken.png"), 0);
  EXPECT_EQ(image.LastError().rfind(u"cg/broken.png: libpng error: ", 0), 0u);
  archive->Release();
  std::filesystem::remove_all(folder);
}

}  // namespace
