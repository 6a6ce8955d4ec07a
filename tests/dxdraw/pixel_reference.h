// Plain per-pixel reference of both pixel-routine families, written straight from
// their formulas with divisions, for comparing the optimised routines against.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "dxdraw/pixel.h"

namespace pixel_test {

enum class Family { kPaired, kSingle };

using Px = std::array<uint8_t, 4>;  // B, G, R, T

inline int M255(int t, int x) { return t * x / 255; }
inline int M256(int o, int a) { return o * a / 256; }
inline int W(int v) { return v == 0 ? 0 : v + 1; }
inline int MixT(int t, int x, int y) { return (x * (256 - W(t)) + y * W(t)) / 256; }
inline int MixO(int a, int x, int y) { return (x * W(a) + y * (256 - W(a))) / 256; }
inline int Lerp(int a, int x, int y) { return M255(a, x) + M255(255 - a, y); }

// One pixel of operation `flags` (already cleaned the way a routine sees it) at a
// level inside the operation's range; `m` is the mask pixel's B byte.
inline Px Reference(Family family, uint32_t flags, int level, uint32_t colourMask, Px s, Px d, int m) {
  const int op = flags & 15;
  const int rule = (flags >> 4) & 3;
  bool weighted;
  bool masked;
  if (family == Family::kPaired || op == DxDraw::BLT_MASK) {
    weighted = (flags & 0x10000) != 0;
    masked = true;
  } else {
    const uint32_t v = flags & 0xFF0000;
    weighted = v == 0x10000 || v == 0x50000;
    masked = v == 0x40000 || v == 0x50000;
  }
  const int L = level;
  const int k = L - 256;
  const int sT = s[3], dT = d[3], so = 255 - sT, dO = 255 - dT;
  Px out{};
  for (int ch = 0; ch < 3; ++ch) {
    const int sc = masked ? (s[ch] & ((colourMask >> (8 * ch)) & 0xFF)) : s[ch];
    const int dc = d[ch];
    int r = 0;
    if (family == Family::kSingle) {
      auto bright1 = [&](int x) { return M256(256 - k, x) + M256(k, 255); };
      switch (op) {
        case 0: r = weighted ? M255(so, sc) + M255(sT, dc) : sc; break;
        case 1: {
          int b = L <= 256 ? M256(L, sc) : bright1(sc);
          r = weighted ? M255(so, b) + M255(sT, dc) : b;
          break;
        }
        case 2:
          if (L <= 256) r = weighted ? Lerp(M256(L, so), sc, dc) : M256(L, sc) + M256(256 - L, dc);
          else r = weighted ? M255(so, bright1(sc)) + M255(sT, dc) : bright1(sc);
          break;
        case 3: r = std::min(255, dc + (weighted ? M255(so, M256(L, sc)) : M256(L, sc))); break;
        case 4: r = std::max(0, dc - (weighted ? M255(so, M256(L, sc)) : M256(L, sc))); break;
        case 5: {
          int a = std::clamp(m + L - 256, 0, 255);
          r = Lerp(weighted ? M255(a, so) : a, sc, dc);
          break;
        }
        case 10: r = dc ^ (weighted ? M255(so, M256(L, sc)) : M256(L, sc)); break;
        case 11: r = Lerp(weighted ? M256(L, M255(dO, so)) : M256(L, dO), sc, dc); break;
      }
    } else {
      auto bright2 = [&](int x) { return ((256 - k) * x + 255 * k) / 256; };
      const int aw = M256(L, so);  // the weighted operations' scaled opacity
      switch (op) {
        case 0: r = weighted ? MixT(sT, sc, dc) : sc; break;
        case 1: {
          int b = L <= 256 ? sc * L / 256 : bright2(sc);
          r = weighted ? MixT(sT, b, dc) : b;
          break;
        }
        case 2:
          if (L <= 256) r = weighted ? MixO(aw, sc, dc) : (sc * L + dc * (256 - L)) / 256;
          else r = weighted ? MixT(sT, bright2(sc), dc) : bright2(sc);
          break;
        case 3: r = std::min(255, dc + sc * (weighted ? W(aw) : L) / 256); break;
        case 4: r = std::max(0, 256 * dc - (weighted ? W(aw) : L) * sc) / 256; break;
        case 5: {
          int a = std::clamp(m + L - 256, 0, 255);
          r = MixO(weighted ? a * W(so) / 256 : a, sc, dc);
          break;
        }
        case 10: r = dc ^ (sc * (weighted ? W(aw) : L) / 256); break;
        case 11: r = MixO(weighted ? aw * (256 - W(dT)) / 256 : M256(L, dO), sc, dc); break;
      }
    }
    out[ch] = static_cast<uint8_t>(r);
  }
  if (op == 11) out[3] = static_cast<uint8_t>(dT);
  else if (rule == 0) out[3] = static_cast<uint8_t>(sT);
  else if (rule == 1) out[3] = static_cast<uint8_t>(std::max(0, sT + dT - 255));
  else if (rule == 2) out[3] = static_cast<uint8_t>(std::min(255, dT + 255 - sT));
  else out[3] = static_cast<uint8_t>(dT);
  return out;
}

}  // namespace pixel_test
