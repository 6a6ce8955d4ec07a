// The image object: geometry and pixel addressing, the drawing-context count,
// blocks that do not hold together, and loading by file name from disk and from a
// folder archive with errors that name the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "archive/archive.h"
#include "dxdraw/image.h"
#include "dxdraw/image_fixtures.h"
#include "platform/message_box.h"

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

  platform::HeadlessMessageBox boxes;
  boxes.SetEcho(false);
  platform::IMessageBox* previous = platform::SetMessageBoxService(&boxes);
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
  platform::SetMessageBoxService(previous);
  std::filesystem::remove_all(folder);
}

}  // namespace
