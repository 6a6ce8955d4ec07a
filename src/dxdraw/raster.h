// Textured triangles and quads (affine per scanline, nearest source pixel, every
// pixel through the single-family routine) and the box-average resampling that
// StretchBlt uses. The drawing entry points are DxSurface32::DrawTriangle,
// DrawQuad and StretchBlt.
#pragma once

#include <cstdint>

#include "dxdraw/rect.h"

namespace DxDraw {

class DxSurface;
class DxSurface32;

// A corner of a textured polygon: signed 16-bit pixel coordinates.
struct POINTS {
  int16_t x;
  int16_t y;
};

// Follows one polygon edge row by row.
struct EdgeStepper {
  double dydx = 0.0;  // (y1 - y0) / (x1 - x0); kept from before for a vertical edge
  double dxdy = 0.0;  // (x1 - x0) / (y1 - y0); kept from before for a horizontal edge
  int flags = 0;      // 1 vertical (x0 = x1), 2 horizontal (y0 = y1)
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  void Set(int ax, int ay, int bx, int by);
  // The edge's x on row y, truncated toward zero; x0 while dydx is 0. Long steep
  // edges reach far past the int range: XAt64 gives the exact value, XAt cuts it
  // to the int range.
  int64_t XAt64(int y) const;
  int XAt(int y) const;
};

// A new surface `width` wide holding `rect` of `source` (whole rows of it)
// resampled along x: box average of all four bytes when shrinking, nearest pixel
// when enlarging. Null when the sizes are not usable.
DxSurface32* HorizontalResample(int width, DxSurface* source, const RECT* rect);
// The same along y over the whole source.
DxSurface32* VerticalResample(int height, DxSurface* source);

}  // namespace DxDraw
