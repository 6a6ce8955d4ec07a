// Arithmetic shared by the two pixel-routine families.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "dxdraw/pixel.h"

namespace DxDraw::pixel_detail {

// floor(t * x / 255) for t, x in 0..255, without a division.
inline constexpr int Mul255(int t, int x) {
  int p = t * x;
  return (p + 1 + (p >> 8)) >> 8;
}

// floor(o * a / 256), o in 0..256.
inline constexpr int Mul256(int o, int a) { return (o * a) >> 8; }

// The opacity weight: 0 for 0, else v + 1, so 255 weighs a full 256.
inline constexpr int Weight(int v) { return v == 0 ? 0 : v + 1; }

// The highest level an operation reads; the caller's level is clamped into
// 0..this so no weight leaves its range whatever the descriptor says.
inline constexpr int MaxLevel(int op) {
  return (op == BLT_BRIGHT || op == BLT_FADE || op == BLT_MASK) ? 512 : 256;
}

inline int ReadLevel(const BLTPARAM* param, int op) {
  int level = static_cast<int16_t>(param->Level & 0xFFFF);
  return std::clamp(level, 0, MaxLevel(op));
}

// The new T of rules 0-2 from the raw source T; rule 3 keeps dT.
template <int Rule>
inline constexpr int RuleT(int sT, int dT) {
  if constexpr (Rule == 0) return sT;
  else if constexpr (Rule == 1) return std::max(0, sT + dT - 255);
  else if constexpr (Rule == 2) return std::min(255, dT + 255 - sT);
  else return dT;
}

// Entries 16 x rule + Op of a family's dispatch table: Family::Routine<Op, rule>.
// The destination-weighted blend has one routine for every rule, as it keeps
// the destination's T whatever the rule says.
template <class Family, int Op, int... Rule>
constexpr void FillRoutines(std::array<PixelOpProc, kPixelOpCount>& table,
                            std::integer_sequence<int, Rule...>) {
  ((table[16 * Rule + Op] = Family::template Routine<Op, Op == BLT_BLEND2 ? 0 : Rule>()), ...);
}

template <class Family>
constexpr std::array<PixelOpProc, kPixelOpCount> MakeOpTable() {
  std::array<PixelOpProc, kPixelOpCount> table{};
  constexpr auto rules = std::make_integer_sequence<int, 4>{};
  FillRoutines<Family, BLT_COPY>(table, rules);
  FillRoutines<Family, BLT_BRIGHT>(table, rules);
  FillRoutines<Family, BLT_FADE>(table, rules);
  FillRoutines<Family, BLT_ADD>(table, rules);
  FillRoutines<Family, BLT_SUB>(table, rules);
  FillRoutines<Family, BLT_MASK>(table, rules);
  FillRoutines<Family, BLT_XOR>(table, rules);
  FillRoutines<Family, BLT_BLEND2>(table, rules);
  return table;
}

}  // namespace DxDraw::pixel_detail

namespace DxDraw {

// Whether the paired routines may run eight pixels a step (the processor has
// 256-bit integer registers). They are used whenever available; tests turn them
// off to check the four-pixel rows too. The results are identical.
bool WidePairedRowsAvailable();
void SetWidePairedRows(bool on);

}  // namespace DxDraw
