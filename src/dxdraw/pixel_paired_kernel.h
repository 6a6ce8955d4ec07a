// The paired-family arithmetic over a vector of 16-bit fields, written once for
// any register width: V is a set of static operations over one register type (the
// 128-bit SSE2 set, the 256-bit AVX2 set). 256-bit unpacks and packs work within
// each 128-bit half, and packing undoes the unpacking, so every width gives the
// same bytes: each pixel is combined only with its own destination pixel.
//
// Everything here has internal linkage: each file that includes it gets its own
// copy, compiled for its own instruction set, and no copy is shared between them.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "dxdraw/pixel_paired_wide.h"

namespace DxDraw {
namespace {
namespace paired_kernel {

// 128-bit registers: four pixels a step.
struct Sse2Ops {
  using R = __m128i;
  static constexpr int kPixels = 4;
  static R Zero() { return _mm_setzero_si128(); }
  static R Set16(int v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
  static R Set32(int v) { return _mm_set1_epi32(v); }
  static R And(R a, R b) { return _mm_and_si128(a, b); }
  static R AndNot(R a, R b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static R Or(R a, R b) { return _mm_or_si128(a, b); }
  static R Xor(R a, R b) { return _mm_xor_si128(a, b); }
  static R Not(R a) { return _mm_xor_si128(a, _mm_set1_epi32(-1)); }
  static R Add16(R a, R b) { return _mm_add_epi16(a, b); }
  static R Sub16(R a, R b) { return _mm_sub_epi16(a, b); }
  static R Mul16(R a, R b) { return _mm_mullo_epi16(a, b); }
  static R Shr8(R a) { return _mm_srli_epi16(a, 8); }
  static R Shl8(R a) { return _mm_slli_epi16(a, 8); }
  static R CmpGt16(R a, R b) { return _mm_cmpgt_epi16(a, b); }
  static R Min16(R a, R b) { return _mm_min_epi16(a, b); }
  static R Max16(R a, R b) { return _mm_max_epi16(a, b); }
  static R AddsU16(R a, R b) { return _mm_adds_epu16(a, b); }
  static R SubsU16(R a, R b) { return _mm_subs_epu16(a, b); }
  static R AddsU8(R a, R b) { return _mm_adds_epu8(a, b); }
  static R SubsU8(R a, R b) { return _mm_subs_epu8(a, b); }
  static R UnpackLo8(R a, R b) { return _mm_unpacklo_epi8(a, b); }
  static R UnpackHi8(R a, R b) { return _mm_unpackhi_epi8(a, b); }
  static R PackU16(R a, R b) { return _mm_packus_epi16(a, b); }
  static R UnpackLo32(R a, R b) { return _mm_unpacklo_epi32(a, b); }
  static R UnpackHi32(R a, R b) { return _mm_unpackhi_epi32(a, b); }
  static R Shr24In32(R a) { return _mm_srli_epi32(a, 24); }
  static R Shl16In32(R a) { return _mm_slli_epi32(a, 16); }
  // The T bytes of the pixels a step holds.
  static R TBytes() { return _mm_set1_epi32(static_cast<int>(0xFF000000u)); }
  // Whether every bit of mask is clear in a / set in a: one test where the file
  // is compiled for SSE4.1 (the 256-bit rows' narrower steps), else a compare.
#if defined(__SSE4_1__)
  static bool NoneSet(R a, R mask) { return _mm_testz_si128(a, mask) != 0; }
  static bool AllSet(R a, R mask) { return _mm_testc_si128(a, mask) != 0; }
#else
  static bool NoneSet(R a, R mask) { return _mm_movemask_epi8(_mm_cmpeq_epi8(And(a, mask), Zero())) == 0xFFFF; }
  static bool AllSet(R a, R mask) { return _mm_movemask_epi8(_mm_cmpeq_epi8(And(a, mask), mask)) == 0xFFFF; }
#endif
  static R Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint8_t* p, R v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
};

// The last pair of a row: 64-bit loads and stores into the same registers.
struct Sse2PairOps : Sse2Ops {
  static constexpr int kPixels = 2;
  // Only the lower half is loaded.
  static R TBytes() { return _mm_set_epi32(0, 0, static_cast<int>(0xFF000000u), static_cast<int>(0xFF000000u)); }
  static R Load(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint8_t* p, R v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }
};

#if defined(__AVX2__)
// 256-bit registers: eight pixels a step.
struct Avx2Ops {
  using R = __m256i;
  static constexpr int kPixels = 8;
  static R Zero() { return _mm256_setzero_si256(); }
  static R Set16(int v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
  static R Set32(int v) { return _mm256_set1_epi32(v); }
  static R And(R a, R b) { return _mm256_and_si256(a, b); }
  static R AndNot(R a, R b) { return _mm256_andnot_si256(a, b); }
  static R Or(R a, R b) { return _mm256_or_si256(a, b); }
  static R Xor(R a, R b) { return _mm256_xor_si256(a, b); }
  static R Not(R a) { return _mm256_xor_si256(a, _mm256_set1_epi32(-1)); }
  static R Add16(R a, R b) { return _mm256_add_epi16(a, b); }
  static R Sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
  static R Mul16(R a, R b) { return _mm256_mullo_epi16(a, b); }
  static R Shr8(R a) { return _mm256_srli_epi16(a, 8); }
  static R Shl8(R a) { return _mm256_slli_epi16(a, 8); }
  static R CmpGt16(R a, R b) { return _mm256_cmpgt_epi16(a, b); }
  static R Min16(R a, R b) { return _mm256_min_epi16(a, b); }
  static R Max16(R a, R b) { return _mm256_max_epi16(a, b); }
  static R AddsU16(R a, R b) { return _mm256_adds_epu16(a, b); }
  static R SubsU16(R a, R b) { return _mm256_subs_epu16(a, b); }
  static R AddsU8(R a, R b) { return _mm256_adds_epu8(a, b); }
  static R SubsU8(R a, R b) { return _mm256_subs_epu8(a, b); }
  static R UnpackLo8(R a, R b) { return _mm256_unpacklo_epi8(a, b); }
  static R UnpackHi8(R a, R b) { return _mm256_unpackhi_epi8(a, b); }
  static R PackU16(R a, R b) { return _mm256_packus_epi16(a, b); }
  static R UnpackLo32(R a, R b) { return _mm256_unpacklo_epi32(a, b); }
  static R UnpackHi32(R a, R b) { return _mm256_unpackhi_epi32(a, b); }
  static R Shr24In32(R a) { return _mm256_srli_epi32(a, 24); }
  static R Shl16In32(R a) { return _mm256_slli_epi32(a, 16); }
  static R TBytes() { return _mm256_set1_epi32(static_cast<int>(0xFF000000u)); }
  static bool NoneSet(R a, R mask) { return _mm256_testz_si256(a, mask) != 0; }
  static bool AllSet(R a, R mask) { return _mm256_testc_si256(a, mask) != 0; }
  static R Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(uint8_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
};
#endif

// The per-call constants in every field.
template <class V>
struct Constants {
  typename V::R level;       // L
  typename V::R complement;  // 256 - L (fade) or 256 - k (brightness above 256)
  typename V::R brightAdd;   // 255 * k
  typename V::R colourMask;  // word 4 with its T byte set, so the masked source keeps the raw sT
  typename V::R level32;       // L in the low half of each 32-bit field
  typename V::R levelMinus32;  // L - 256 in the low half of each 32-bit field

  explicit Constants(const PairedCall& s)
      : level(V::Set16(s.level)),
        complement(V::Set16(s.high ? 512 - s.level : 256 - s.level)),
        brightAdd(V::Set16(s.high ? 255 * (s.level - 256) : 0)),
        colourMask(V::Set32(static_cast<int>(s.colourMask | 0xFF000000u))),
        level32(V::Set32(s.level)),
        levelMinus32(V::Set32((s.level - 256) & 0xFFFF)) {}
};

// W(v) = 0 for 0, else v + 1 (the compare gives -1 where v > 0).
template <class V>
inline typename V::R WeightOf(typename V::R v) {
  return V::Sub16(v, V::CmpGt16(v, V::Zero()));
}

// ((256 - k) * x + 255 * k) >> 8, for L > 256.
template <class V>
inline typename V::R Bright2(const Constants<V>& c, typename V::R x) {
  return V::Shr8(V::Add16(V::Mul16(c.complement, x), c.brightAdd));
}

// Whether an operation mixes with a per-pixel weight.
constexpr bool NeedsWeight(int op, bool weighted) { return weighted || op == 5 || op == 11; }

// The per-pixel weight w (0..256) of the mixes, worked out once per pixel in the
// low half of each 32-bit field and then copied into the high half. Every field
// operation below keeps the high halves 0 until then.
template <class V, int Op, bool Weighted, bool High>
inline typename V::R PixelWeights(const Constants<V>& c, typename V::R s, typename V::R d, typename V::R m) {
  using R = typename V::R;
  const R k255 = V::Set32(255);
  const R sT = V::Shr24In32(s);
  R w;
  if constexpr (Op == 5) {
    R a = V::Add16(V::And(m, k255), c.levelMinus32);
    a = V::Min16(V::Max16(a, V::Zero()), k255);
    if constexpr (Weighted) a = V::Shr8(V::Mul16(a, WeightOf<V>(V::Sub16(k255, sT))));
    w = WeightOf<V>(a);
  } else if constexpr (Op == 11) {
    const R dT = V::Shr24In32(d);
    R a;
    if constexpr (Weighted) {
      a = V::Shr8(V::Mul16(c.level32, V::Sub16(k255, sT)));
      a = V::Shr8(V::Mul16(a, V::Sub16(V::Set32(256), WeightOf<V>(dT))));
    } else {
      a = V::Shr8(V::Mul16(c.level32, V::Sub16(k255, dT)));
    }
    w = WeightOf<V>(a);
  } else if constexpr (Op == 0 || Op == 1 || (Op == 2 && High)) {
    w = WeightOf<V>(sT);  // mixed by transparency
  } else {
    w = WeightOf<V>(V::Shr8(V::Mul16(c.level32, V::Sub16(k255, sT))));  // a = mul256(L, so)
  }
  return V::Or(w, V::Shl16In32(w));
}

// (256 x + (y - x) w) >> 8: x weighted 256 - w, y weighted w. The product wraps in
// 16 bits but the sum it lands on is the exact value, 0..65280.
template <class V>
inline typename V::R Mix(typename V::R x, typename V::R y, typename V::R w) {
  return V::Shr8(V::Add16(V::Shl8(x), V::Mul16(V::Sub16(y, x), w)));
}

// The colour fields of one half: sm is the masked source, d the destination, w the
// pixel weights spread over each pixel's fields, all 16-bit.
template <class V, int Op, bool Weighted, bool High>
inline typename V::R Colour(const Constants<V>& c, typename V::R sm, typename V::R d, typename V::R w) {
  using R = typename V::R;
  if constexpr (Op == 0) {  // copy: mixT(sT, s, d)
    return Weighted ? Mix<V>(sm, d, w) : sm;
  } else if constexpr (Op == 1) {  // brightness
    R b = High ? Bright2<V>(c, sm) : V::Shr8(V::Mul16(sm, c.level));
    return Weighted ? Mix<V>(b, d, w) : b;
  } else if constexpr (Op == 2) {  // fade
    if constexpr (High) {
      R b = Bright2<V>(c, sm);
      return Weighted ? Mix<V>(b, d, w) : b;
    } else if constexpr (Weighted) {
      return Mix<V>(d, sm, w);  // mixO(a, s, d)
    } else {
      // (s L + d (256 - L)) >> 8 as (256 d + (s - d) L) >> 8.
      return Mix<V>(d, sm, c.level);
    }
  } else if constexpr (Op == 3 || Op == 4 || Op == 10) {  // add, subtract, xor
    const R amount = V::Mul16(sm, Weighted ? w : c.level);
    if constexpr (Op == 3) return V::Shr8(V::AddsU16(V::Shl8(d), amount));
    else if constexpr (Op == 4) return V::Shr8(V::SubsU16(V::Shl8(d), amount));
    else return V::Xor(d, V::Shr8(amount));
  } else {  // 5 masked transition, 11 destination-weighted blend: mixO(a, s, d)
    return Mix<V>(d, sm, w);
  }
}

// The T byte of each pixel from the raw bytes (the caller keeps only T bytes).
template <class V, int Op, int Rule>
inline typename V::R RuleT(typename V::R s, typename V::R d) {
  if constexpr (Op == 11 || Rule == 3) return d;
  else if constexpr (Rule == 0) return s;
  else if constexpr (Rule == 1) return V::SubsU8(s, V::Not(d));  // sT - (255 - dT), floored at 0
  else return V::AddsU8(d, V::Not(s));                            // dT + (255 - sT), capped at 255
}

// The colours of one register worked out in 16-bit fields, half of it at a time.
template <class V, int Op, bool Weighted, bool High>
inline typename V::R MixedColour(const Constants<V>& c, typename V::R s, typename V::R d, typename V::R m,
                                 typename V::R sm) {
  using R = typename V::R;
  const R zero = V::Zero();
  R wLo = zero, wHi = zero;
  if constexpr (NeedsWeight(Op, Weighted)) {
    const R w = PixelWeights<V, Op, Weighted, High>(c, s, d, m);
    wLo = V::UnpackLo32(w, w);
    wHi = V::UnpackHi32(w, w);
  }
  R lo = Colour<V, Op, Weighted, High>(c, V::UnpackLo8(sm, zero), V::UnpackLo8(d, zero), wLo);
  R hi = Colour<V, Op, Weighted, High>(c, V::UnpackHi8(sm, zero), V::UnpackHi8(d, zero), wHi);
  return V::PackU16(lo, hi);
}

// One register of pixels. Sprites are mostly runs of wholly invisible and wholly
// opaque pixels, which skip the mixing: weighted by its opacity, an invisible
// source pixel leaves the destination colour in every operation (its weight is
// 0), and a weighted copy of an opaque one is its masked source (the
// destination's weight is 0). The new T comes from the rule as for any pixel.
template <class V, int Op, int Rule, bool Weighted, bool High>
inline typename V::R Combine(const Constants<V>& c, typename V::R s, typename V::R d, typename V::R m) {
  using R = typename V::R;
  const R tBytes = V::Set32(static_cast<int>(0xFF000000u));
  const R sm = V::And(s, c.colourMask);
  R colour;
  if constexpr (Op == 0 && !Weighted) {
    colour = sm;
  } else if (Weighted && V::AllSet(s, V::TBytes())) {  // every T 255
    colour = d;
  } else if (Op == 0 && V::NoneSet(s, V::TBytes())) {  // every T 0
    colour = sm;
  } else {
    colour = MixedColour<V, Op, Weighted, High>(c, s, d, m, sm);
  }
  return V::Or(V::AndNot(tBytes, colour), V::And(tBytes, RuleT<V, Op, Rule>(s, d)));
}

// How far ahead of the pixels being combined the source is asked into the cache:
// a layer's rows come from memory while the destination's rows are already in the
// cache (measured with the render benchmark). The address is only a hint, so it
// may lie past the row.
constexpr uintptr_t kSourcePrefetchBytes = 1024;

// Runs whole registers of one row from x while they fit; returns the next x.
template <class V, int Op, int Rule, bool Weighted, bool High>
inline int Steps(const Constants<V>& c, uint8_t* dst, const uint8_t* src, const uint8_t* mask, int x, int width) {
  for (; x + V::kPixels <= width; x += V::kPixels) {
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(src + 4 * x) + kSourcePrefetchBytes),
                 _MM_HINT_T0);
    const typename V::R m = Op == 5 ? V::Load(mask + 4 * x) : V::Zero();
    V::Store(dst + 4 * x, Combine<V, Op, Rule, Weighted, High>(c, V::Load(src + 4 * x), V::Load(dst + 4 * x), m));
  }
  return x;
}

}  // namespace paired_kernel
}  // namespace
}  // namespace DxDraw

namespace DxDraw {
namespace {
namespace paired_kernel {

// Every row: the widest registers first, then narrower ones for what is left
// (a class may repeat when a width has no narrower step).
template <int Op, int Rule, bool Weighted, bool High, class Wide, class Mid, class Narrow>
void Rows(const PairedCall& call, uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width,
          ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height) {
  // Local constants stay in registers: stores through dst could alias memory.
  const Constants<Wide> wide(call);
  const Constants<Mid> mid(call);
  const Constants<Narrow> narrow(call);
  for (int row = 0; row < height; ++row) {
    int x = Steps<Wide, Op, Rule, Weighted, High>(wide, dst, src, mask, 0, width);
    x = Steps<Mid, Op, Rule, Weighted, High>(mid, dst, src, mask, x, width);
    Steps<Narrow, Op, Rule, Weighted, High>(narrow, dst, src, mask, x, width);
    dst += dstPitch;
    src += srcPitch;
    if constexpr (Op == 5) mask += maskPitch;
  }
}

}  // namespace paired_kernel
}  // namespace
}  // namespace DxDraw
