// Scaling the window's picture up to a full screen: bilinear, sampling at
// pixel centres with the edge pixels repeated outward, for 32-bit pixels (the
// fourth byte is carried along like the others) and one scale for both axes,
// as the window keeps the picture's shape. The presenter scales only what a
// present changed: `Covered` says which scaled pixels a source rectangle
// reaches, `Scale` writes them. Each byte is (a * (256 - w) + b * w + 128) /
// 256 of two neighbours, across and then down, w in 256ths; the fast kernel
// and the plain one give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/presenter.h"

namespace platform {

class PictureScaler {
 public:
  enum class Kernel { kFastest, kPlain };

  // From a source_w x source_h picture to a scaled_w x scaled_h one (all > 0).
  PictureScaler(int32_t source_w, int32_t source_h, int32_t scaled_w, int32_t scaled_h,
                Kernel kernel = Kernel::kFastest);

  int32_t ScaledWidth() const { return static_cast<int32_t>(column_.size()); }
  int32_t ScaledHeight() const { return static_cast<int32_t>(row_.size()); }

  // The scaled pixels that read any pixel of `source` (inside the source).
  PresentRect Covered(const PresentRect& source) const;
  // Writes the scaled pixels of `scaled` (inside the scaled picture) from the
  // picture `from`, at `to`, whose rows are `pitch` bytes apart.
  void Scale(const PixelBuffer& from, const PresentRect& scaled, uint8_t* to, ptrdiff_t pitch) const;

  // Where a scaled column or row samples: the source index and the weight,
  // in 256ths, of the next one (the same index at the far edge).
  struct Tap {
    int32_t index;
    int32_t next;
    uint32_t weight;
  };
  // Four scaled columns whose taps lie within four source pixels from `base`:
  // byte selections of those pixels, tap pairs interleaved, and the weights
  // as 16-bit (256 - w, w) pairs. Kept for the fast kernel only.
  struct alignas(16) Quad {
    uint8_t select[2][16];
    int16_t weights[4][8];
    int32_t base;  // -1: the taps spread wider, the columns go one by one
  };

 private:
  static std::vector<Tap> Taps(int32_t source, int32_t scaled);
  void Across(const uint8_t* line, int32_t left, int32_t count, uint32_t* out) const;

  std::vector<Tap> column_;
  std::vector<Tap> row_;
  std::vector<Quad> quads_;  // columns 4q to 4q + 3, with the fast kernel
  std::vector<int32_t> run_end_;  // for each quad, the first quad from it on that does not fit
  // Rows of the source already scaled across for the scaled row being made.
  mutable std::vector<uint32_t> across_[2];
};

}  // namespace platform
