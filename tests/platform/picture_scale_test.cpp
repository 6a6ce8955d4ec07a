// Scaling the window's picture up for full screen: where the scaled pixels
// sample, that a changed part scales to the same pixels as the whole, and that
// the fast kernel gives the plain one's bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "platform/picture_scale.h"

namespace platform {
namespace {

// A bottom-up picture of random pixels, as the screen's back buffer lies.
struct Picture {
  Picture(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {
    std::mt19937 random(static_cast<uint32_t>(w * 7919 + h));
    for (uint32_t& p : pixels) p = static_cast<uint32_t>(random());
  }
  PixelBuffer Buffer() const {
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels.data());
    return PixelBuffer{bytes + static_cast<ptrdiff_t>(height - 1) * width * 4, -width * 4, width, height};
  }
  int width, height;
  std::vector<uint32_t> pixels;
};

std::vector<uint32_t> ScaleWhole(const PictureScaler& scaler, const PixelBuffer& from) {
  const int w = scaler.ScaledWidth(), h = scaler.ScaledHeight();
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  scaler.Scale(from, PresentRect{0, 0, w, h}, reinterpret_cast<uint8_t*>(out.data()), w * 4);
  return out;
}

TEST(PictureScale, APictureFitsCentredBetweenBarsKeepingItsShape) {
  struct Row {
    int32_t area_w, area_h;
    PresentRect place;
  } rows[] = {
      {1280, 720, {160, 0, 1120, 720}},    // wider than 4:3: bars left and right
      {1280, 1024, {0, 32, 1280, 992}},    // taller: bars above and below
      {1280, 800, {106, 0, 1173, 800}},    // 1066.7 wide rounds to 1067
      {1600, 1200, {0, 0, 1600, 1200}},    // the same shape: no bars
      {801, 600, {0, 0, 800, 600}},        // an odd pixel left over goes to the right
      {3, 1, {1, 0, 2, 1}},                // never smaller than a pixel
  };
  for (const Row& r : rows) EXPECT_EQ(FitPicture(r.area_w, r.area_h, 800, 600), r.place) << r.area_w << "x" << r.area_h;
}

TEST(PictureScale, PixelCentresAreSampledAndTheEdgesRepeated) {
  // Two pixels, black and white in every byte, made four wide: the outer
  // ones lie beyond the centres, the inner ones a quarter of the way across.
  const uint32_t row[2] = {0x00000000u, 0xFFFFFFFFu};
  const PixelBuffer from{reinterpret_cast<const uint8_t*>(row), 8, 2, 1};
  PictureScaler scaler(2, 1, 4, 2);
  EXPECT_EQ(ScaleWhole(scaler, from),
            (std::vector<uint32_t>{0x00000000u, 0x40404040u, 0xBFBFBFBFu, 0xFFFFFFFFu, 0x00000000u, 0x40404040u,
                                   0xBFBFBFBFu, 0xFFFFFFFFu}));
}

TEST(PictureScale, AChangedPartScalesToThePixelsOfTheWhole) {
  struct Size {
    int w, h;
  };
  // Monitors of several shapes and scales, and an 800 x 600 picture; smaller
  // ones as a full-screen picture becomes the window's again.
  const Size sizes[] = {{1440, 1080}, {960, 720}, {1067, 800}, {801, 601}, {2560, 1920}, {1000, 750},
                        {667, 500}, {222, 167}};
  const Picture picture(800, 600);
  // The fastest kernels, and the 128-bit ones a processor without AVX2 takes.
  for (const auto& [kernel, name] : {std::pair{PictureScaler::Kernel::kFastest, "fastest"},
                                    std::pair{PictureScaler::Kernel::kNarrow, "128-bit"}}) {
    for (const Size& size : sizes) {
      SCOPED_TRACE(name);
      PictureScaler fast(800, 600, size.w, size.h, kernel);
      PictureScaler plain(800, 600, size.w, size.h, PictureScaler::Kernel::kPlain);
      const std::vector<uint32_t> whole = ScaleWhole(plain, picture.Buffer());
      EXPECT_EQ(ScaleWhole(fast, picture.Buffer()), whole) << size.w << " x " << size.h;
      // A part changes; only what it covers is scaled again, over the old picture.
      Picture changed = picture;
      const PresentRect part{123, 77, 346, 299};
      for (int y = part.top; y < part.bottom; ++y) {
        for (int x = part.left; x < part.right; ++x) changed.pixels[(599 - y) * 800 + x] ^= 0x5A5A5A5Au;
      }
      std::vector<uint32_t> updated = whole;
      const PresentRect covered = fast.Covered(part);
      fast.Scale(changed.Buffer(), covered, reinterpret_cast<uint8_t*>(updated.data()), size.w * 4);
      EXPECT_EQ(updated, ScaleWhole(plain, changed.Buffer())) << size.w << " x " << size.h;
    }
  }
}

}  // namespace
}  // namespace platform
