// Showing the composed picture: the renderer keeps a 32-bit back buffer and
// hands a rectangle of it to the presenter, which copies it to the window at
// the same position. The headless presenter keeps a copy of the window's
// pixels and every rectangle it was given, for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// A rectangle in window pixels; right and bottom are exclusive.
struct PresentRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  bool operator==(const PresentRect&) const = default;
};

// A 32-bit picture in memory: pixels B, G, R and a fourth byte the window ignores.
struct PixelBuffer {
  const uint8_t* topRow = nullptr;  // first byte of the picture's top row
  ptrdiff_t pitch = 0;              // bytes from one row to the next one down; negative for bottom-up memory
  int32_t width = 0;
  int32_t height = 0;
};

class IPresenter {
 public:
  virtual ~IPresenter() = default;
  // Copies `rect` of `source` to the window at the same position. The caller has
  // cut the rectangle to the source.
  virtual void Present(const PixelBuffer& source, const PresentRect& rect) = 0;
};

// The window of tests: a width x height copy of what was presented (0x00RRGGBB
// per pixel, black at first) and the list of rectangles, in order.
class HeadlessPresenter : public IPresenter {
 public:
  HeadlessPresenter(int32_t width, int32_t height);

  void Present(const PixelBuffer& source, const PresentRect& rect) override;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The colour shown at (x, y) as 0x00RRGGBB; 0 outside the window.
  uint32_t PixelAt(int32_t x, int32_t y) const;
  const std::vector<PresentRect>& Rects() const { return rects_; }
  // Pixels copied since construction or the last ClearRects.
  uint64_t PixelsCopied() const { return pixelsCopied_; }
  void ClearRects();

 private:
  int32_t width_;
  int32_t height_;
  std::vector<uint32_t> pixels_;
  std::vector<PresentRect> rects_;
  uint64_t pixelsCopied_ = 0;
};

}  // namespace platform
