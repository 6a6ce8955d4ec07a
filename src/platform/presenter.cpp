#include "platform/presenter.h"

#include <algorithm>
#include <cstring>

namespace platform {

HeadlessPresenter::HeadlessPresenter(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0u) {}

void HeadlessPresenter::Present(const PixelBuffer& source, const PresentRect& rect) {
  rects_.push_back(rect);
  // A rectangle outside the window or the source shows nothing of itself.
  const int32_t left = std::max(rect.left, 0);
  const int32_t top = std::max(rect.top, 0);
  const int32_t right = std::min({rect.right, width_, source.width});
  const int32_t bottom = std::min({rect.bottom, height_, source.height});
  if (source.topRow == nullptr || left >= right || top >= bottom) return;
  const size_t rowBytes = static_cast<size_t>(right - left) * 4;
  // Rows in ascending source memory, so that bottom-up buffers stream too.
  const bool upward = source.pitch < 0;
  for (int32_t i = 0; i < bottom - top; ++i) {
    const int32_t y = upward ? bottom - 1 - i : top + i;
    const uint8_t* row = source.topRow + source.pitch * y + static_cast<ptrdiff_t>(left) * 4;
    std::memcpy(pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_) + left, row, rowBytes);
  }
  pixelsCopied_ += static_cast<uint64_t>(right - left) * static_cast<uint64_t>(bottom - top);
}

uint32_t HeadlessPresenter::PixelAt(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + x] & 0x00FFFFFFu;
}

void HeadlessPresenter::ClearRects() {
  rects_.clear();
  pixelsCopied_ = 0;
}

}  // namespace platform
