// The paired family's rows with 256-bit registers, eight pixels a step. Compiled
// for AVX2 and reached only through WidePairedRows after the processor has
// reported it. Includes nothing with shared inline code, so no AVX2 instruction
// can leak into code the other files run.
#include "dxdraw/pixel_paired_wide.h"

#if defined(__AVX2__)
#include "dxdraw/pixel_paired_kernel.h"

namespace DxDraw {
namespace {

using namespace paired_kernel;

template <int Op, int Rule, bool Weighted, bool High>
void WideRows(const PairedCall& call, uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width,
              ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height) {
  Rows<Op, Rule, Weighted, High, Avx2Ops, Sse2Ops, Sse2PairOps>(call, dst, src, mask, width, dstPitch, srcPitch,
                                                                maskPitch, height);
}

template <int Op, int Rule>
PairedRowsProc Pick(bool weighted, bool high) {
  if (weighted) return high ? &WideRows<Op, Rule, true, true> : &WideRows<Op, Rule, true, false>;
  return high ? &WideRows<Op, Rule, false, true> : &WideRows<Op, Rule, false, false>;
}

template <int Op>
PairedRowsProc PickRule(int rule, bool weighted, bool high) {
  switch (rule) {
    case 0: return Pick<Op, 0>(weighted, high);
    case 1: return Pick<Op, 1>(weighted, high);
    case 2: return Pick<Op, 2>(weighted, high);
    default: return Pick<Op, 3>(weighted, high);
  }
}

}  // namespace

PairedRowsProc WidePairedRows(int op, int rule, bool weighted, bool high) {
  switch (op) {
    case 0: return PickRule<0>(rule, weighted, high);
    case 1: return PickRule<1>(rule, weighted, high);
    case 2: return PickRule<2>(rule, weighted, high);
    case 3: return PickRule<3>(rule, weighted, high);
    case 4: return PickRule<4>(rule, weighted, high);
    case 5: return PickRule<5>(rule, weighted, high);
    case 10: return PickRule<10>(rule, weighted, high);
    case 11: return Pick<11, 0>(weighted, high);
    default: return nullptr;
  }
}

}  // namespace DxDraw

#else

namespace DxDraw {
PairedRowsProc WidePairedRows(int, int, bool, bool) { return nullptr; }
}  // namespace DxDraw

#endif
