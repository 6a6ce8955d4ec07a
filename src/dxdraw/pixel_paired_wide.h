// What the paired routines hand to their row loops, and the eight-pixel row loops
// built for processors with 256-bit registers (a file of its own, compiled for
// them; used only when the processor reports them).
#pragma once

#include <cstddef>
#include <cstdint>

namespace DxDraw {

// One routine call's values, the level already clamped.
struct PairedCall {
  int level;            // L
  bool high;            // L > 256 for brightness and fade
  uint32_t colourMask;  // word 4
};

using PairedRowsProc = void (*)(const PairedCall& call, uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                                int width, ptrdiff_t dstPitch, ptrdiff_t srcPitch, ptrdiff_t maskPitch, int height);

// The 256-bit rows of one routine, or null when they were not built.
PairedRowsProc WidePairedRows(int op, int rule, bool weighted, bool high);

}  // namespace DxDraw
