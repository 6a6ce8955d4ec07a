// Textured triangles and quads, and StretchBlt through two one-axis resamplings.
//
// Spans interpolate the source position in 16.16 fixed point held in 64 bits, so
// long edges and large steps cannot overflow, and every source sample is clamped
// into the source image (the natural right and bottom corners name the column and
// row just past it).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "dxdraw/dxsurface.h"
#include "dxdraw/raster.h"

namespace DxDraw {

void EdgeStepper::Set(int ax, int ay, int bx, int by) {
  x0 = ax;
  y0 = ay;
  x1 = bx;
  y1 = by;
  flags = 0;
  if (x1 != x0) dydx = static_cast<double>(y1 - y0) / (x1 - x0);
  else flags = 1;
  if (y1 != y0) dxdy = static_cast<double>(x1 - x0) / (y1 - y0);
  else flags |= 2;
}

int64_t EdgeStepper::XAt64(int y) const {
  if (dydx == 0.0) return x0;
  // |y - y0| and |dxdy| stay below 2^32 each, so the product fits an int64.
  return static_cast<int64_t>(std::trunc((static_cast<double>(y) - y0) * dxdy + x0));
}

int EdgeStepper::XAt(int y) const {
  return static_cast<int>(
      std::clamp<int64_t>(XAt64(y), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

namespace {

// What every span of one polygon needs.
struct SpanContext {
  DxSurface32* dest;
  RECT clip;               // inside the destination's bounds
  int originX, originY;    // the destination's bounds origin
  const DxImage* source;
  int sourceWidth, sourceHeight;
  const DxImage* mask;     // operation 5 only, at least as large as the source
  // Pixel (0, 0) and the row pitch of each image, so a pixel costs one multiply-add.
  uint8_t* destOrigin;
  ptrdiff_t destPitch;
  const uint8_t* sourceOrigin;
  ptrdiff_t sourcePitch;
  const uint8_t* maskOrigin;
  ptrdiff_t maskPitch;
  PixelOpProc routine;
  BLTPARAM param;
};

// The source position on edge C at row y of destination edge A, as single floats.
void SourcePoint(const EdgeStepper& a, const EdgeStepper& c, int y, float& u, float& v) {
  const double rows = a.y1 - a.y0;
  const int64_t along = int64_t{y} - a.y0;
  u = static_cast<float>(c.x0 + static_cast<double>(int64_t{c.x1 - c.x0} * along) / rows);
  v = static_cast<float>(c.y0 + static_cast<double>(int64_t{c.y1 - c.y0} * along) / rows);
}

int64_t Fixed(double value) {
  constexpr double kLimit = 9.0e15;  // far beyond any span, well inside int64
  return static_cast<int64_t>(std::trunc(std::clamp(value, -kLimit, kLimit)));
}

void Span(const SpanContext& c, int y, const EdgeStepper& a, const EdgeStepper& b, const EdgeStepper& cEdge,
          const EdgeStepper& dEdge) {
  const int64_t xa = a.XAt64(y);
  const int64_t xb = b.XAt64(y);
  float uP, vP, uQ, vQ;
  SourcePoint(a, cEdge, y, uP, vP);
  SourcePoint(b, dEdge, y, uQ, vQ);
  const int64_t length = std::abs(xb - xa);
  const int direction = xa <= xb ? 1 : -1;
  int64_t du = 0, dv = 0;
  if (length != 0) {
    du = Fixed((static_cast<double>(uQ) - uP) * 65536.0 / static_cast<double>(length));
    dv = Fixed((static_cast<double>(vQ) - vP) * 65536.0 / static_cast<double>(length));
  }
  const int64_t u0 = Fixed(static_cast<double>(uP) * 65536.0);
  const int64_t v0 = Fixed(static_cast<double>(vP) * 65536.0);

  // Only steps whose x lies inside the clip draw; skip straight to them.
  int64_t first = 0, last = length;
  if (direction > 0) {
    first = std::max<int64_t>(first, int64_t{c.clip.left} - xa);
    last = std::min<int64_t>(last, int64_t{c.clip.right} - 1 - xa);
  } else {
    first = std::max<int64_t>(first, xa - (c.clip.right - 1));
    last = std::min<int64_t>(last, xa - c.clip.left);
  }
  uint8_t* row = c.destOrigin + static_cast<ptrdiff_t>(y + c.originY) * c.destPitch + 4 * ptrdiff_t{c.originX};
  for (int64_t i = first; i <= last; ++i) {
    const int64_t x = xa + direction * i;
    const int64_t u = (u0 + i * du) >> 16;
    const int64_t v = (v0 + i * dv) >> 16;
    const ptrdiff_t sx = static_cast<ptrdiff_t>(std::clamp<int64_t>(u, 0, c.sourceWidth - 1));
    const ptrdiff_t sy = static_cast<ptrdiff_t>(std::clamp<int64_t>(v, 0, c.sourceHeight - 1));
    const uint8_t* s = c.sourceOrigin + sy * c.sourcePitch + 4 * sx;
    const uint8_t* m = c.maskOrigin ? c.maskOrigin + sy * c.maskPitch + 4 * sx : nullptr;
    c.routine(row + 4 * x, s, m, 1, &c.param, 0, 0, 0, 1);
  }
}

// Sets up a polygon draw: the clip inside the bounds, the routine, the source and
// mask checks. False when the operation has no routine or the images cannot be
// read; `empty` is set when the clip leaves nothing.
bool Prepare(DxSurface32* dest, const DxImage* source, const RECT* clip, const BLTPARAM* param, SpanContext& c,
             bool& empty) {
  c.dest = dest;
  c.param = param ? *param : BLTPARAM{};
  c.param.ColorMask |= 0xFF000000u;
  if (c.param.Flags & 0xC0) return false;
  const unsigned index = c.param.Flags & BLT_INDEXMASK;
  c.routine = PixelOpTable[index];
  if (c.routine == nullptr) return false;
  if (source == nullptr || source->GetBitCount() != 32 || source->GetBits() == nullptr) return false;
  if (dest->GetBitCount() != 32 || dest->GetBits() == nullptr) return false;
  c.source = source;
  c.sourceWidth = source->GetWidth();
  c.sourceHeight = std::abs(source->GetHeight());
  c.mask = nullptr;
  if ((index & BLT_OPMASK) == BLT_MASK) {
    const DxImage* mask = c.param.MaskSurface;
    if (mask == nullptr || mask->GetBitCount() != 32 || mask->GetBits() == nullptr ||
        mask->GetWidth() < c.sourceWidth || std::abs(mask->GetHeight()) < c.sourceHeight)
      return false;
    c.mask = mask;
  }
  c.destOrigin = dest->GetPixelAddress(0, 0);
  c.destPitch = dest->GetPitch();
  c.sourceOrigin = source->GetPixelAddress(0, 0);
  c.sourcePitch = source->GetPitch();
  c.maskOrigin = c.mask ? c.mask->GetPixelAddress(0, 0) : nullptr;
  c.maskPitch = c.mask ? c.mask->GetPitch() : 0;
  const RECT& bounds = dest->GetBounds();
  c.originX = bounds.left;
  c.originY = bounds.top;
  // A clip reaching past the surface would write outside it: keep it inside.
  RECT limit{0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
  empty = !IntersectRect(c.clip, clip ? *clip : limit, limit);
  return true;
}

// The destination corners' bounding rectangle within the clip, made dirty.
void MarkCorners(DxSurface32* dest, const POINTS* corners, int count, const RECT* clip) {
  RECT r{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
  for (int i = 1; i < count; ++i) {
    r.left = std::min<int32_t>(r.left, corners[i].x);
    r.top = std::min<int32_t>(r.top, corners[i].y);
    r.right = std::max<int32_t>(r.right, corners[i].x);
    r.bottom = std::max<int32_t>(r.bottom, corners[i].y);
  }
  r.right += 1;
  r.bottom += 1;
  const RECT& bounds = dest->GetBounds();
  RECT limit{0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
  RECT dirty;
  if (clip) IntersectRect(limit, *clip, limit);
  if (IntersectRect(dirty, r, limit)) dest->AddDirtyRect(&dirty);
}

void SetEdge(EdgeStepper& e, const POINTS* p, int from, int to) { e.Set(p[from].x, p[from].y, p[to].x, p[to].y); }

}  // namespace

int DxSurface32::DrawTriangle(const POINTS* dest, const DxImage* source, const POINTS* sourcePoints,
                              const RECT* clip, const BLTPARAM* param) {
  if (dest == nullptr || sourcePoints == nullptr) return 0;
  SpanContext c;
  bool empty = false;
  if (!Prepare(this, source, clip, param, c, empty)) return 0;

  // Sort the corners by y; strict comparisons keep equal rows in their order.
  int a = 0, b = 1, k = 2;
  if (dest[a].y > dest[b].y) std::swap(a, b);
  if (dest[b].y > dest[k].y) std::swap(b, k);
  if (dest[a].y > dest[b].y) std::swap(a, b);

  if (!empty) {
    const int passes[2][2] = {{a, b}, {b, k}};
    for (const auto& pass : passes) {
      EdgeStepper edgeA, edgeB, edgeC, edgeD;
      SetEdge(edgeA, dest, pass[0], pass[1]);
      SetEdge(edgeB, dest, a, k);
      SetEdge(edgeC, sourcePoints, pass[0], pass[1]);
      SetEdge(edgeD, sourcePoints, a, k);
      if (edgeA.y0 == edgeA.y1 || edgeB.y0 == edgeB.y1) continue;
      // Top row included, bottom row excluded.
      const int from = std::max(edgeA.y0, c.clip.top);
      const int to = std::min(edgeA.y1, c.clip.bottom);
      for (int y = from; y < to; ++y) Span(c, y, edgeA, edgeB, edgeC, edgeD);
    }
  }
  MarkCorners(this, dest, 3, clip);
  return 1;
}

int DxSurface32::DrawQuad(const POINTS* dest, const DxImage* source, const POINTS* sourcePoints, const RECT* clip,
                          const BLTPARAM* param) {
  if (dest == nullptr || sourcePoints == nullptr) return 0;
  SpanContext c;
  bool empty = false;
  if (!Prepare(this, source, clip, param, c, empty)) return 0;

  int top = 0;
  for (int i = 1; i < 4; ++i)
    if (dest[i].y < dest[top].y) top = i;
  int r0 = top, r1 = (top + 1) % 4;
  int l0 = top, l1 = (top + 3) % 4;
  int yStart = dest[top].y;
  for (int segment = 0; segment < 3; ++segment) {
    // The chain whose next corner comes first ends this segment; ties end the right one.
    const bool leftEnds = dest[r1].y > dest[l1].y;
    const int yEnd = leftEnds ? dest[l1].y : dest[r1].y;
    EdgeStepper edgeA, edgeB, edgeC, edgeD;
    SetEdge(edgeA, dest, r0, r1);
    SetEdge(edgeB, dest, l0, l1);
    SetEdge(edgeC, sourcePoints, r0, r1);
    SetEdge(edgeD, sourcePoints, l0, l1);
    if (!empty && edgeA.y0 != edgeA.y1 && edgeB.y0 != edgeB.y1) {
      // Both ends included: the corner row where a segment ends is drawn again by the next.
      const int from = std::max(yStart, c.clip.top);
      const int to = std::min(yEnd, c.clip.bottom - 1);
      for (int y = from; y <= to; ++y) Span(c, y, edgeA, edgeB, edgeC, edgeD);
    }
    if (leftEnds) {
      l0 = l1;
      l1 = (l1 + 3) % 4;
      yStart = dest[l0].y;
    } else {
      r0 = r1;
      r1 = (r1 + 1) % 4;
      yStart = dest[r0].y;
    }
  }
  MarkCorners(this, dest, 4, clip);
  return 1;
}

namespace {

// Largest side a resampled temporary may have.
constexpr int kMaxResampleSide = 32768;

struct SurfaceRelease {
  void operator()(DxSurface* s) const {
    if (s) s->Release();
  }
};

DxSurface32* NewSurface(int width, int height) {
  auto* surface = static_cast<DxSurface32*>(CreateSurface(32));
  if (surface == nullptr) return nullptr;
  if (!surface->Create(width, height)) {
    surface->Release();
    return nullptr;
  }
  return surface;
}

// Resamples `count` pixels spaced `step` bytes apart from `in` into `outCount`
// pixels spaced `outStep` apart: box average shrinking, nearest enlarging.
void ResampleLine(const uint8_t* in, ptrdiff_t step, int count, uint8_t* out, ptrdiff_t outStep, int outCount) {
  for (int x = 0; x < outCount; ++x, out += outStep) {
    const int64_t a = int64_t{x} * count / outCount;
    if (outCount > count) {
      std::copy_n(in + a * step, 4, out);
      continue;
    }
    const int64_t b = int64_t{x + 1} * count / outCount;
    unsigned sum[4] = {0, 0, 0, 0};
    for (int64_t i = a; i < b; ++i)
      for (int ch = 0; ch < 4; ++ch) sum[ch] += in[i * step + ch];
    for (int ch = 0; ch < 4; ++ch) out[ch] = static_cast<uint8_t>(sum[ch] / (b - a));
  }
}

}  // namespace

DxSurface32* HorizontalResample(int width, DxSurface* source, const RECT* rect) {
  if (source == nullptr || rect == nullptr || source->GetBitCount() != 32) return nullptr;
  const int sw = RectWidth(*rect), sh = RectHeight(*rect);
  if (width < 1 || width > kMaxResampleSide || sw < 1 || sh < 1) return nullptr;
  DxSurface32* out = NewSurface(width, sh);
  if (out == nullptr) return nullptr;
  for (int y = 0; y < sh; ++y)
    ResampleLine(source->GetPixelAddress(rect->left, rect->top + y), 4, sw, out->GetPixelAddress(0, y), 4, width);
  return out;
}

DxSurface32* VerticalResample(int height, DxSurface* source) {
  if (source == nullptr || source->GetBitCount() != 32) return nullptr;
  const int w = source->GetWidth(), sh = std::abs(source->GetHeight());
  if (height < 1 || height > kMaxResampleSide || w < 1 || sh < 1) return nullptr;
  DxSurface32* out = NewSurface(w, height);
  if (out == nullptr) return nullptr;
  for (int x = 0; x < w; ++x)
    ResampleLine(source->GetPixelAddress(x, 0), source->GetPitch(), sh, out->GetPixelAddress(x, 0), out->GetPitch(),
                 height);
  return out;
}

int DxSurface32::StretchBlt(const RECT* dest, DxSurface* source, const RECT* sourceRect) {
  if (dest == nullptr || source == nullptr) return 0;
  const RECT from = sourceRect ? *sourceRect : source->GetBounds();
  // Empty or inverted rectangles draw nothing, and the source rectangle must lie
  // inside the source: the resamplers read every pixel of it.
  RECT inside;
  if (IsRectEmpty(*dest) || IsRectEmpty(from) || !IntersectRect(inside, from, source->GetBounds()) ||
      !(inside == from))
    return 0;
  const int64_t dw = int64_t{dest->right} - dest->left, dh = int64_t{dest->bottom} - dest->top;
  if (dw > kMaxResampleSide || dh > kMaxResampleSide) return 0;
  const int sw = RectWidth(from), sh = RectHeight(from);

  std::unique_ptr<DxSurface, SurfaceRelease> h(sw != dw ? HorizontalResample(static_cast<int>(dw), source, &from)
                                                        : source->Clone(2, &from));
  if (!h) return 0;
  std::unique_ptr<DxSurface, SurfaceRelease> v(sh != dh ? VerticalResample(static_cast<int>(dh), h.get())
                                                        : h->Clone(0, nullptr));
  if (!v) return 0;
  Blt(dest->left, dest->top, v.get(), nullptr, nullptr, nullptr);
  return 1;
}

}  // namespace DxDraw
