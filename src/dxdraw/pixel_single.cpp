// The single family: one pixel at a time, divisions by 255 and level scaling by
// exact integer arithmetic. Plain loops the compiler is free to vectorise.
#include <array>
#include <cstring>

#include "dxdraw/pixel_internal.h"

namespace DxDraw {
namespace {

using namespace pixel_detail;

// Per-call constants of a routine.
struct SingleContext {
  int level;      // clamped level L
  int k;          // L - 256 when L > 256
  uint32_t mask[3];  // colour mask bytes for B, G, R
};

// bright1(x) for L > 256.
inline int Bright1(const SingleContext& c, int x) { return Mul256(256 - c.k, x) + Mul256(c.k, 255); }

inline int Lerp(int a, int x, int y) { return Mul255(a, x) + Mul255(255 - a, y); }

// One colour channel: s the masked source colour, d the destination colour, sT and
// dT the raw transparencies, m the mask pixel's B byte.
template <int Op, bool Weighted, bool High>
inline int Channel(const SingleContext& c, int s, int d, int sT, int dT, int m) {
  const int so = 255 - sT;
  const int L = c.level;
  if constexpr (Op == BLT_COPY) {
    if constexpr (Weighted) return Mul255(so, s) + Mul255(sT, d);
    else return s;
  } else if constexpr (Op == BLT_BRIGHT) {
    int b = High ? Bright1(c, s) : Mul256(L, s);
    if constexpr (Weighted) return Mul255(so, b) + Mul255(sT, d);
    else return b;
  } else if constexpr (Op == BLT_FADE) {
    if constexpr (High) {
      if constexpr (Weighted) return Mul255(so, Bright1(c, s)) + Mul255(sT, d);
      else return Bright1(c, s);
    } else {
      if constexpr (Weighted) return Lerp(Mul256(L, so), s, d);
      else return Mul256(L, s) + Mul256(256 - L, d);
    }
  } else if constexpr (Op == BLT_ADD) {
    int amount = Weighted ? Mul255(so, Mul256(L, s)) : Mul256(L, s);
    return std::min(255, d + amount);
  } else if constexpr (Op == BLT_SUB) {
    int amount = Weighted ? Mul255(so, Mul256(L, s)) : Mul256(L, s);
    return std::max(0, d - amount);
  } else if constexpr (Op == BLT_MASK) {
    int a = std::clamp(m + L - 256, 0, 255);
    if constexpr (Weighted) a = Mul255(a, so);
    return Lerp(a, s, d);
  } else if constexpr (Op == BLT_XOR) {
    int amount = Weighted ? Mul255(so, Mul256(L, s)) : Mul256(L, s);
    return d ^ amount;
  } else {
    static_assert(Op == BLT_BLEND2);
    const int dO = 255 - dT;
    int a = Weighted ? Mul256(L, Mul255(dO, so)) : Mul256(L, dO);
    return Lerp(a, s, d);
  }
}

// One pixel, as four bytes in a word (B lowest).
template <int Op, int Rule, bool Weighted, bool High>
inline uint32_t Pixel(const SingleContext& c, uint32_t s, uint32_t d, uint32_t maskPixel) {
  const int sT = static_cast<int>(s >> 24);
  const int dT = static_cast<int>(d >> 24);
  const int m = static_cast<int>(maskPixel & 0xFF);
  uint32_t out = 0;
  for (int ch = 0; ch < 3; ++ch) {
    const int sc = static_cast<int>((s >> (8 * ch)) & c.mask[ch]);
    const int dc = static_cast<int>((d >> (8 * ch)) & 0xFF);
    out |= static_cast<uint32_t>(Channel<Op, Weighted, High>(c, sc, dc, sT, dT, m)) << (8 * ch);
  }
  const int t = Op == BLT_BLEND2 ? dT : RuleT<Rule>(sT, dT);
  return out | (static_cast<uint32_t>(t) << 24);
}

// Up to kChunk pixels of a row, read into locals first: the loop over the locals
// cannot alias the pixels, so the compiler may vectorise it.
constexpr int kChunk = 16;

template <int Op, int Rule, bool Weighted, bool High, bool Whole>
inline void Chunk(const SingleContext& c, uint8_t* dst, const uint8_t* src, const uint8_t* mask, int count) {
  if constexpr (Whole) count = kChunk;
  uint32_t s[kChunk], d[kChunk], m[kChunk] = {};
  std::memcpy(s, src, 4 * static_cast<size_t>(count));
  std::memcpy(d, dst, 4 * static_cast<size_t>(count));
  if constexpr (Op == BLT_MASK) std::memcpy(m, mask, 4 * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) d[i] = Pixel<Op, Rule, Weighted, High>(c, s[i], d[i], m[i]);
  std::memcpy(dst, d, 4 * static_cast<size_t>(count));
}

template <int Op, int Rule, bool Weighted, bool High>
void SingleRows(const SingleContext& context, uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                int width, ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height) {
  const SingleContext c = context;  // a local copy no pixel store can alias
  if (width == 1) {
    // The rasterisers' case: one pixel a call.
    for (int row = 0; row < height; ++row, dst += dstPitch, src += srcPitch) {
      uint32_t s, d, m = 0;
      std::memcpy(&s, src, 4);
      std::memcpy(&d, dst, 4);
      if constexpr (Op == BLT_MASK) {
        std::memcpy(&m, mask, 4);
        mask += maskPitch;
      }
      d = Pixel<Op, Rule, Weighted, High>(c, s, d, m);
      std::memcpy(dst, &d, 4);
    }
    return;
  }
  for (int row = 0; row < height; ++row) {
    int x = 0;
    for (; x + kChunk <= width; x += kChunk)
      Chunk<Op, Rule, Weighted, High, true>(c, dst + 4 * x, src + 4 * x, mask + (Op == BLT_MASK ? 4 * x : 0), kChunk);
    if (x < width)
      Chunk<Op, Rule, Weighted, High, false>(c, dst + 4 * x, src + 4 * x, mask + (Op == BLT_MASK ? 4 * x : 0),
                                             width - x);
    dst += dstPitch;
    src += srcPitch;
    if constexpr (Op == BLT_MASK) mask += maskPitch;
  }
}

template <int Op, int Rule>
void SingleRoutine(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width,
                   const BLTPARAM* param, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                   ptrdiff_t maskPitch, int height) {
  if (width < 1 || height < 1) return;
  if constexpr (Op == BLT_MASK) {
    if (mask == nullptr) return;  // the transition reads nothing without its mask
  }
  // Every operation but the masked transition picks its variant from bits 16-23 as
  // a whole; anything but the three known values is the plain, unmasked variant.
  bool weighted;
  bool colourMask;
  if constexpr (Op == BLT_MASK) {
    weighted = (param->Flags & BLT_WEIGHTED) != 0;
    colourMask = true;
  } else {
    const uint32_t variant = param->Flags & BLT_VARIANTMASK;
    weighted = variant == BLT_WEIGHTED || variant == (BLT_WEIGHTED | BLT_COLORMASK);
    colourMask = variant == BLT_COLORMASK || variant == (BLT_WEIGHTED | BLT_COLORMASK);
  }
  SingleContext c;
  c.level = ReadLevel(param, Op);
  c.k = c.level - 256;
  const uint32_t m = colourMask ? param->ColorMask : 0xFFFFFFFFu;
  c.mask[0] = static_cast<uint8_t>(m);
  c.mask[1] = static_cast<uint8_t>(m >> 8);
  c.mask[2] = static_cast<uint8_t>(m >> 16);
  const bool high = c.level > 256;
  auto run = [&]<bool W, bool H>() {
    SingleRows<Op, Rule, W, H>(c, dst, src, mask, width, dstPitch, srcPitch, maskPitch, height);
  };
  if (weighted) {
    if (high) run.template operator()<true, true>();
    else run.template operator()<true, false>();
  } else {
    if (high) run.template operator()<false, true>();
    else run.template operator()<false, false>();
  }
}

struct SingleFamily {
  template <int Op, int Rule>
  static constexpr PixelOpProc Routine() { return &SingleRoutine<Op, Rule>; }
};

}  // namespace

constinit const std::array<PixelOpProc, kPixelOpCount> PixelOpTable =
    pixel_detail::MakeOpTable<SingleFamily>();

}  // namespace DxDraw
