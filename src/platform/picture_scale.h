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

// Where a picture_w x picture_h picture stands in an area_w x area_h one when
// shown as large as the area allows, keeping its shape: centred, with bars
// on two opposite sides (all sizes > 0).
PresentRect FitPicture(int32_t area_w, int32_t area_h, int32_t picture_w, int32_t picture_h);

class PictureScaler {
 public:
  // kNarrow: the 128-bit kernels only, as on a processor without AVX2.
  enum class Kernel { kFastest, kNarrow, kPlain };

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
  // as 16-bit (256 - w, w) pairs. Kept for the fast kernel without octets.
  struct alignas(16) Quad {
    uint8_t select[2][16];
    int16_t weights[4][8];
    int32_t base;  // -1: the taps spread wider, the columns go one by one
  };
  // Eight scaled columns 8g to 8g + 7 for the wide kernel, in two registers
  // of two 128-bit lanes, each lane two columns (the first register 0-1 and
  // 4-5, the second 2-3 and 6-7, so that packing them gives 0 to 7 in
  // order). Each lane reads four source pixels from its own base; the
  // weights are w * 128.
  struct alignas(32) Octet {
    int16_t weights[2][16];  // [register]
    int32_t base[2][2];  // [register][lane], a source pixel
    int32_t selection[2];  // [register], in selections_
  };
  // Byte selections of a register's four source pixels per lane, spreading
  // each tap's bytes to 16 bits. Few differ: octets share them, so that the
  // tables stay small enough to stay in the nearest cache.
  struct alignas(32) Selection {
    uint8_t select[2][32];  // [tap, next]
  };

 private:
  static std::vector<Tap> Taps(int32_t source, int32_t scaled);
  void Across(const uint8_t* line, int32_t left, int32_t count, uint32_t* out) const;
  void ScaleByOctets(const PixelBuffer& from, const PresentRect& scaled, uint8_t* to, ptrdiff_t pitch) const;

  std::vector<Tap> column_;
  std::vector<Tap> row_;
  std::vector<Quad> quads_;  // columns 4q to 4q + 3, with the fast kernel
  std::vector<int32_t> run_end_;  // for each quad, the first quad from it on that does not fit
  // With AVX2, for columns 0 to the scaled width rounded up to eight (those
  // past it repeat the last); empty when a lane's taps spread wider.
  std::vector<Octet> octets_;
  std::vector<Selection> selections_;
  bool wide_ = false;  // the down pass may take 256-bit steps
  // Rows of the source already scaled across for the scaled row being made:
  // bytes, or with octets_ 16-bit fields in the registers' order.
  mutable std::vector<uint32_t> across_[2];

  // The row of across_ that holds source row `source_row` scaled across;
  // when neither does, `fill` writes it over the one the rising rows no
  // longer need. `held` names the source row in each, -1 for none.
  template <class Fill>
  uint32_t* HeldRow(int32_t (&held)[2], int32_t source_row, const Fill& fill) const {
    for (int k = 0; k < 2; ++k) {
      if (held[k] == source_row) return across_[k].data();
    }
    const int k = held[0] < held[1] ? 0 : 1;
    held[k] = source_row;
    fill(across_[k].data());
    return across_[k].data();
  }
};

}  // namespace platform
