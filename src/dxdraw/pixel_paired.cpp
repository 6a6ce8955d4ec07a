// The paired family: pixels combined in unsigned 16-bit fields, weights up to 256
// and one shift by 8 per weighted sum. SSE2 does four pixels a step (two pairs),
// AVX2, where the processor has it, eight; every pixel is combined with its own
// destination pixel, so the result is the same as two at a time.
#include <array>
#include <cstring>

#include "dxdraw/pixel_internal.h"

#if defined(__SSE2__)
#include "dxdraw/pixel_paired_kernel.h"
#endif

namespace DxDraw {

#if defined(__SSE2__)
namespace {

using namespace pixel_detail;
using namespace paired_kernel;

// Whether the 256-bit rows run: decided once from the processor; tests may turn
// them off to check the 128-bit rows as well.
bool g_WideRows = WidePairedRowsAvailable();

template <int Op, int Rule, bool Weighted, bool High>
void NarrowRows(const PairedCall& call, uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width,
                ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height) {
  Rows<Op, Rule, Weighted, High, Sse2Ops, Sse2Ops, Sse2PairOps>(call, dst, src, mask, width, dstPitch, srcPitch,
                                                                maskPitch, height);
}

template <int Op, int Rule>
void PairedRoutine(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width,
                   const BLTPARAM* param, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                   ptrdiff_t maskPitch, int height) {
  if (width < 2 || height < 1) return;
  if constexpr (Op == BLT_MASK) {
    if (mask == nullptr) return;  // the transition reads nothing without its mask
  }
  width &= ~1;
  PairedCall call;
  call.level = ReadLevel(param, Op);
  call.high = call.level > 256 && (Op == BLT_BRIGHT || Op == BLT_FADE);
  call.colourMask = param->ColorMask;
  const bool weighted = (param->Flags & BLT_WEIGHTED) != 0;
  PairedRowsProc rows = g_WideRows ? WidePairedRows(Op, Rule, weighted, call.high) : nullptr;
  if (rows == nullptr) {
    if (weighted) rows = call.high ? &NarrowRows<Op, Rule, true, true> : &NarrowRows<Op, Rule, true, false>;
    else rows = call.high ? &NarrowRows<Op, Rule, false, true> : &NarrowRows<Op, Rule, false, false>;
  }
  rows(call, dst, src, mask, width, dstPitch, srcPitch, maskPitch, height);
}

struct PairedFamily {
  template <int Op, int Rule>
  static constexpr PixelOpProc Routine() { return &PairedRoutine<Op, Rule>; }
};

}  // namespace

constinit const std::array<PixelOpProc, kPixelOpCount> PixelOpTableMmx =
    pixel_detail::MakeOpTable<PairedFamily>();

#else

// Without SSE2 the paired family is not built: IsMmxAvailable answers 0 and every
// pixel goes through the single family.
constinit const std::array<PixelOpProc, kPixelOpCount> PixelOpTableMmx = {};

#endif

bool WidePairedRowsAvailable() {
#if defined(__x86_64__) && defined(__SSE2__)
  // Also runs while static objects are made, possibly before the library has
  // looked at the processor: ask it to look first.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && WidePairedRows(0, 0, false, false) != nullptr;
#else
  return false;
#endif
}

void SetWidePairedRows(bool on) {
#if defined(__SSE2__)
  g_WideRows = on && WidePairedRowsAvailable();
#else
  (void)on;
#endif
}

void FillRect32Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height) {
  const uint64_t pair = (static_cast<uint64_t>(value) << 32) | value;
  const int pairs = width / 2;
  for (int row = 0; row < height; ++row, dst += pitch)
    for (int i = 0; i < pairs; ++i) std::memcpy(dst + 8 * i, &pair, 8);
}

}  // namespace DxDraw
