// The paired family: pixels combined in unsigned 16-bit fields, weights up to 256
// and one shift by 8 per weighted sum. SSE2 does four pixels a step (two pairs);
// every pixel is combined with its own destination pixel, so the result is the
// same as two at a time.
#include <array>
#include <cstring>

#include "dxdraw/pixel_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace DxDraw {

#if defined(__SSE2__)
namespace {

using namespace pixel_detail;

// Per-call constants, each already in all eight 16-bit fields.
struct PairedContext {
  __m128i level;        // L
  __m128i levelMinus;   // L - 256 (masked transition)
  __m128i complement;   // 256 - L (fade) or 256 - k (brightness above 256)
  __m128i brightAdd;    // 255 * k
  __m128i colourMask;   // word 4 widened to 16-bit fields
  __m128i colourMask32; // word 4 in each 32-bit pixel
};

inline __m128i Broadcast(__m128i v, int lane) {
  switch (lane) {
    case 0:
      return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0x00), 0x00);
    default:
      return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF);
  }
}

// W(v) = 0 for 0, else v + 1 (the compare gives -1 where v > 0).
inline __m128i WeightOf(__m128i v) { return _mm_sub_epi16(v, _mm_cmpgt_epi16(v, _mm_setzero_si128())); }

inline __m128i Shr8(__m128i v) { return _mm_srli_epi16(v, 8); }
inline __m128i Mul(__m128i a, __m128i b) { return _mm_mullo_epi16(a, b); }
inline __m128i K256() { return _mm_set1_epi16(256); }
inline __m128i K255() { return _mm_set1_epi16(255); }

// (x * (256 - W(t)) + y * W(t)) >> 8
inline __m128i MixT(__m128i t, __m128i x, __m128i y) {
  __m128i w = WeightOf(t);
  return Shr8(_mm_add_epi16(Mul(x, _mm_sub_epi16(K256(), w)), Mul(y, w)));
}

// (x * W(a) + y * (256 - W(a))) >> 8
inline __m128i MixO(__m128i a, __m128i x, __m128i y) {
  __m128i w = WeightOf(a);
  return Shr8(_mm_add_epi16(Mul(x, w), Mul(y, _mm_sub_epi16(K256(), w))));
}

// ((256 - k) * x + 255 * k) >> 8, for L > 256.
inline __m128i Bright2(const PairedContext& c, __m128i x) {
  return Shr8(_mm_add_epi16(Mul(c.complement, x), c.brightAdd));
}

// The colour fields of one half (two pixels): s, d, m widened to 16 bits.
template <int Op, bool Weighted, bool High>
inline __m128i Colour(const PairedContext& c, __m128i s, __m128i d, __m128i m) {
  const __m128i sm = _mm_and_si128(s, c.colourMask);
  const __m128i sT = Broadcast(s, 3);
  if constexpr (Op == BLT_COPY) {
    return Weighted ? MixT(sT, sm, d) : sm;
  } else if constexpr (Op == BLT_BRIGHT) {
    __m128i b = High ? Bright2(c, sm) : Shr8(Mul(sm, c.level));
    return Weighted ? MixT(sT, b, d) : b;
  } else if constexpr (Op == BLT_FADE) {
    if constexpr (High) {
      __m128i b = Bright2(c, sm);
      return Weighted ? MixT(sT, b, d) : b;
    } else if constexpr (Weighted) {
      __m128i a = Shr8(Mul(c.level, _mm_sub_epi16(K255(), sT)));
      return MixO(a, sm, d);
    } else {
      return Shr8(_mm_add_epi16(Mul(sm, c.level), Mul(d, c.complement)));
    }
  } else if constexpr (Op == BLT_ADD || Op == BLT_SUB || Op == BLT_XOR) {
    __m128i amount;
    if constexpr (Weighted) {
      __m128i a = Shr8(Mul(c.level, _mm_sub_epi16(K255(), sT)));
      amount = Mul(sm, WeightOf(a));
    } else {
      amount = Mul(sm, c.level);
    }
    if constexpr (Op == BLT_ADD) return Shr8(_mm_adds_epu16(_mm_slli_epi16(d, 8), amount));
    else if constexpr (Op == BLT_SUB) return Shr8(_mm_subs_epu16(_mm_slli_epi16(d, 8), amount));
    else return _mm_xor_si128(d, Shr8(amount));
  } else if constexpr (Op == BLT_MASK) {
    __m128i a = _mm_add_epi16(Broadcast(m, 0), c.levelMinus);
    a = _mm_min_epi16(_mm_max_epi16(a, _mm_setzero_si128()), K255());
    if constexpr (Weighted) a = Shr8(Mul(a, WeightOf(_mm_sub_epi16(K255(), sT))));
    return MixO(a, sm, d);
  } else {
    static_assert(Op == BLT_BLEND2);
    const __m128i dT = Broadcast(d, 3);
    __m128i a;
    if constexpr (Weighted) {
      a = Shr8(Mul(c.level, _mm_sub_epi16(K255(), sT)));
      a = Shr8(Mul(a, _mm_sub_epi16(K256(), WeightOf(dT))));
    } else {
      a = Shr8(Mul(c.level, _mm_sub_epi16(K255(), dT)));
    }
    return MixO(a, sm, d);
  }
}

// The T field of each pixel (field 3 of four) from the raw source and destination T.
template <int Rule>
inline __m128i RuleT(__m128i s, __m128i d) {
  if constexpr (Rule == 0) return s;
  else if constexpr (Rule == 1) return _mm_subs_epu16(_mm_add_epi16(s, d), K255());
  else if constexpr (Rule == 2) return _mm_min_epi16(_mm_add_epi16(d, _mm_sub_epi16(K255(), s)), K255());
  else return d;
}

template <int Op, int Rule, bool Weighted, bool High>
inline __m128i Half(const PairedContext& c, __m128i s, __m128i d, __m128i m) {
  const __m128i tFields = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  __m128i colour = Colour<Op, Weighted, High>(c, s, d, m);
  __m128i t = (Op == BLT_BLEND2) ? d : RuleT<Rule>(s, d);
  return _mm_or_si128(_mm_andnot_si128(tFields, colour), _mm_and_si128(tFields, t));
}

template <int Op, int Rule, bool Weighted, bool High>
void PairedRows(const PairedContext& c, uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                int width, ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height) {
  const __m128i zero = _mm_setzero_si128();
  for (int row = 0; row < height; ++row) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
      __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
      if constexpr (Op == BLT_COPY && Rule == 0) {
        // Sprites are mostly wholly opaque or wholly invisible pixels: a copy of
        // an opaque pixel is the (masked) source, and a weighted copy of an
        // invisible one keeps the destination colour with T 255.
        if constexpr (!Weighted) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), _mm_and_si128(s, c.colourMask32));
          continue;
        } else {
          const int invisible = _mm_movemask_epi8(_mm_cmpeq_epi8(s, _mm_set1_epi8(-1))) & 0x8888;
          if (invisible == 0x8888) {
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * x));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), _mm_or_si128(d, _mm_set1_epi32(static_cast<int>(0xFF000000u))));
            continue;
          }
          const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi8(s, zero)) & 0x8888;
          if (opaque == 0x8888) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), _mm_and_si128(s, c.colourMask32));
            continue;
          }
        }
      }
      __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * x));
      __m128i m = zero;
      if constexpr (Op == BLT_MASK) m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + 4 * x));
      __m128i lo = Half<Op, Rule, Weighted, High>(c, _mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero),
                                                  _mm_unpacklo_epi8(m, zero));
      __m128i hi = Half<Op, Rule, Weighted, High>(c, _mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero),
                                                  _mm_unpackhi_epi8(m, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), _mm_packus_epi16(lo, hi));
    }
    for (; x + 2 <= width; x += 2) {
      __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + 4 * x));
      __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst + 4 * x));
      __m128i m = zero;
      if constexpr (Op == BLT_MASK) m = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(mask + 4 * x));
      __m128i lo = Half<Op, Rule, Weighted, High>(c, _mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero),
                                                  _mm_unpacklo_epi8(m, zero));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 4 * x), _mm_packus_epi16(lo, lo));
    }
    dst += dstPitch;
    src += srcPitch;
    if constexpr (Op == BLT_MASK) mask += maskPitch;
  }
}

template <int Op, int Rule>
void PairedRoutine(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width,
                   const BLTPARAM* param, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                   ptrdiff_t maskPitch, int height) {
  if (width < 2 || height < 1) return;
  width &= ~1;
  const int level = ReadLevel(param, Op);
  const bool high = level > 256 && (Op == BLT_BRIGHT || Op == BLT_FADE);
  PairedContext c;
  c.level = _mm_set1_epi16(static_cast<int16_t>(level));
  c.levelMinus = _mm_set1_epi16(static_cast<int16_t>(level - 256));
  c.complement = _mm_set1_epi16(static_cast<int16_t>(high ? 512 - level : 256 - level));
  c.brightAdd = _mm_set1_epi16(static_cast<int16_t>(high ? 255 * (level - 256) : 0));
  c.colourMask = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(param->ColorMask)), _mm_setzero_si128());
  c.colourMask32 = _mm_set1_epi32(static_cast<int>(param->ColorMask));
  auto run = [&]<bool W, bool H>() {
    PairedRows<Op, Rule, W, H>(c, dst, src, mask, width, dstPitch, srcPitch, maskPitch, height);
  };
  if (param->Flags & BLT_WEIGHTED) {
    if (high) run.template operator()<true, true>();
    else run.template operator()<true, false>();
  } else {
    if (high) run.template operator()<false, true>();
    else run.template operator()<false, false>();
  }
}

template <int Op>
constexpr void FillOperation(std::array<PixelOpProc, kPixelOpCount>& table) {
  if constexpr (Op == BLT_BLEND2) {
    for (int rule = 0; rule < 4; ++rule) table[16 * rule + Op] = &PairedRoutine<Op, 0>;
  } else {
    table[Op] = &PairedRoutine<Op, 0>;
    table[16 + Op] = &PairedRoutine<Op, 1>;
    table[32 + Op] = &PairedRoutine<Op, 2>;
    table[48 + Op] = &PairedRoutine<Op, 3>;
  }
}

constexpr std::array<PixelOpProc, kPixelOpCount> MakePairedTable() {
  std::array<PixelOpProc, kPixelOpCount> table{};
  FillOperation<BLT_COPY>(table);
  FillOperation<BLT_BRIGHT>(table);
  FillOperation<BLT_FADE>(table);
  FillOperation<BLT_ADD>(table);
  FillOperation<BLT_SUB>(table);
  FillOperation<BLT_MASK>(table);
  FillOperation<BLT_XOR>(table);
  FillOperation<BLT_BLEND2>(table);
  return table;
}

}  // namespace

constinit const std::array<PixelOpProc, kPixelOpCount> PixelOpTableMmx = MakePairedTable();

#else

// Without SSE2 the paired family is not built: IsMmxAvailable answers 0 and every
// pixel goes through the single family.
constinit const std::array<PixelOpProc, kPixelOpCount> PixelOpTableMmx = {};

#endif

void FillRect32Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height) {
  const uint64_t pair = (static_cast<uint64_t>(value) << 32) | value;
  const int pairs = width / 2;
  for (int row = 0; row < height; ++row, dst += pitch)
    for (int i = 0; i < pairs; ++i) std::memcpy(dst + 8 * i, &pair, 8);
}

}  // namespace DxDraw
