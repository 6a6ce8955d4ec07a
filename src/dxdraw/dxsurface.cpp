#include "dxdraw/dxsurface.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "core/exception.h"

namespace DxDraw {

namespace {

constexpr const char16_t* kSurfaceModule = u"dxdraw/dxsurface";

uint32_t FillValue(uint32_t rgb, int alpha) {
  const uint32_t transparency = 255u - static_cast<uint32_t>(std::clamp(alpha, 0, 255));
  return transparency << 24 | (rgb & 0xFFFFFFu);
}

}  // namespace

// ---- DxSurface ----

DxSurface::DxSurface(int depth) : DxImage(depth) {}

int DxSurface::Create(int width, int height) {
  const int result = DxImage::Create(width, height);
  if (result != 0) {
    m_Bounds = RECT{0, 0, GetWidth(), std::abs(GetHeight())};
  } else {
    SetRectEmpty(m_Bounds);
  }
  IntersectRect(m_Dirty, m_Dirty, m_Bounds);
  return result;
}

int DxSurface::AddRef() { return ++m_RefCount; }

int DxSurface::Release() {
  if (m_RefCount <= 0) return 0;
  const int count = --m_RefCount;
  if (count == 0) delete this;
  return count;
}

DxSurface* DxSurface::Clone(int mode, const RECT* rect) {
  switch (mode) {
    case 0:
      AddRef();
      return this;
    case 1: {
      DxSurface* copy = CreateSurface(GetDepth());
      if (copy == nullptr) return nullptr;
      if (copy->Create(GetWidth(), std::abs(GetHeight())) == 0) {
        copy->Release();
        return nullptr;
      }
      return copy;
    }
    case 2: {
      const RECT area = rect != nullptr ? *rect : m_Bounds;
      const int64_t width = int64_t{area.right} - area.left;
      const int64_t height = int64_t{area.bottom} - area.top;
      if (width <= 0 || height <= 0 || width > kCoordinateLimit || height > kCoordinateLimit) return nullptr;
      DxSurface* copy = CreateSurface(GetDepth());
      if (copy == nullptr) return nullptr;
      if (copy->Create(static_cast<int>(width), static_cast<int>(height)) == 0) {
        copy->Release();
        return nullptr;
      }
      copy->Blt(0, 0, this, &area, nullptr, nullptr);
      return copy;
    }
    default:
      return nullptr;
  }
}

void DxSurface::AddDirtyRect(const RECT* rect) {
  CountChangeMark();
  if (rect == nullptr) {
    m_Dirty = m_Bounds;
    return;
  }
  RECT merged;
  UnionRect(merged, m_Dirty, *rect);
  IntersectRect(m_Dirty, merged, m_Bounds);
}

// ---- DxSurface32 ----

int DxSurface32::BltFrame(int x, int y, DxSurface* source, const SPRITEFRAME* frame, const RECT* clip,
                          const BLTPARAM* param) {
  if (frame == nullptr) return Blt(x, y, source, nullptr, clip, param);
  return Blt(ClampCoordinate(int64_t{x} - frame->originX), ClampCoordinate(int64_t{y} - frame->originY), source,
             &frame->source, clip, param);
}

int DxSurface32::Blt(int x, int y, DxSurface* source, const RECT* sourceRect, const RECT* clip,
                     const BLTPARAM* param) {
  if (source == nullptr) return 0;
  const RECT wanted = sourceRect != nullptr ? *sourceRect : source->GetBounds();
  RECT cut;
  if (!IntersectRect(cut, wanted, source->GetBounds())) return 0;
  // The uncut rectangle's top-left lands on (x, y).
  RECT dest = RECT{ClampCoordinate(int64_t{x} + cut.left - wanted.left), ClampCoordinate(int64_t{y} + cut.top - wanted.top),
                   0, 0};
  dest.right = ClampCoordinate(int64_t{dest.left} + RectWidth(cut));
  dest.bottom = ClampCoordinate(int64_t{dest.top} + RectHeight(cut));
  // Whatever clip the caller gives, nothing is drawn outside this surface.
  RECT limit = m_Bounds;
  if (clip != nullptr && !IntersectRect(limit, *clip, m_Bounds)) return 1;
  RECT drawn;
  if (!IntersectRect(drawn, dest, limit)) return 1;
  if (GetBitCount() != 32 || source->GetBitCount() != 32) return 0;
  const int srcX = cut.left + (drawn.left - dest.left);
  const int srcY = cut.top + (drawn.top - dest.top);
  const int width = RectWidth(drawn);
  const int height = RectHeight(drawn);
  BltResult result;
  if (source != this && (param == nullptr || (param->Flags & BLT_OPMASK) != BLT_MASK)) {
    // Rows in ascending memory order (the engine's images are bottom-up), so the
    // processor streams them; rows of two different images may go in any order.
    const bool upward = GetPitch() < 0;
    const int first = upward ? height - 1 : 0;
    const ptrdiff_t step = upward ? -1 : 1;
    result = BltPixels(PixelBlock{GetPixelAddress(drawn.left, drawn.top + first), GetPitch() * step},
                       source->GetPixelAddress(srcX, srcY + first), source->GetPitch() * step, srcX, srcY, width,
                       height, param);
  } else {
    result = BltPixels(BlockAt(drawn.left, drawn.top), source->GetPixelAddress(srcX, srcY), source->GetPitch(), srcX,
                       srcY, width, height, param);
  }
  if (result == BltResult::kFailed) return 0;
  if (result == BltResult::kDrawn) AddDirtyRect(&drawn);
  return 1;
}

int DxSurface32::FillRect(int x, int y, int w, int h, uint32_t rgb, int alpha) {
  const RECT r{x, y, ClampCoordinate(int64_t{x} + w), ClampCoordinate(int64_t{y} + h)};
  return FillRect(&r, rgb, alpha);
}

int DxSurface32::FillRect(const RECT* rect, uint32_t rgb, int alpha) {
  RECT r = m_Bounds;
  if (rect != nullptr && !IntersectRect(r, *rect, m_Bounds)) return 1;
  if (IsRectEmpty(r) || GetBitCount() != 32) return 1;
  FillPixels(AscendingBlock(r), RectWidth(r), RectHeight(r), FillValue(rgb, alpha));
  AddDirtyRect(rect != nullptr ? &r : nullptr);
  return 1;
}

int DxSurface32::SetAlpha(const RECT* rect, int alpha) {
  RECT r = m_Bounds;
  if (rect != nullptr && !IntersectRect(r, *rect, m_Bounds)) return 1;
  if (IsRectEmpty(r) || GetBitCount() != 32) return 1;
  const uint8_t value = static_cast<uint8_t>(255 - std::clamp(alpha, 0, 255));
  SetTransparencyPixels(AscendingBlock(r), RectWidth(r), RectHeight(r), value);
  AddDirtyRect(&r);
  return 1;
}

// ---- factory and start-up ----

DxSurface* CreateSurface(int bits) {
  if (bits == 32) return new DxSurface32();
  if (bits == 16) ReportAssertion(kSurfaceModule, __LINE__, u"bpp != 16");
  return nullptr;
}

void InitDxDraw() { InitSimdFlags(); }

DxSurface* LoadSurfaceArchive_Dx(IArchive* archive, std::u16string_view name) {
  // Released on every way out but success, a damaged entry's throw included.
  struct SurfaceRef {
    DxSurface* surface;
    ~SurfaceRef() {
      if (surface != nullptr) surface->Release();
    }
  } held{CreateSurface(32)};
  if (held.surface->LoadFile(archive, name) == 0) {
    const std::u16string text(name);
    if (held.surface->LastFileMissing())
      ThrowError(u"dxdraw/dxdraw", 431, u"LoadSurfaceArchive_Dx: file not found '%s'.\n", text.c_str());
    // A picture that was found but refused says what is wrong with it.
    ThrowError(u"dxdraw/dxdraw", 431, u"LoadSurfaceArchive_Dx: cannot load %s.\n", held.surface->LastError().c_str());
  }
  DxSurface* surface = held.surface;
  held.surface = nullptr;
  return surface;
}

// ---- DxSurfaceSprite32 ----

DxSurfaceSprite32::DxSurfaceSprite32(int width, int height) : DxSprite(nullptr, nullptr, 0) {
  DxSurface::Create(width, height);
  DxSurface32::FillRect(nullptr, 0, 0);
  ShowOwnPixels(this);
  m_Frame = SPRITEFRAME::Default(width, height);
  AddDirtyRect(nullptr);
}

int DxSurfaceSprite32::Release() {
  if (m_RefCount < 2) {
    ssView::Release();
    return 0;
  }
  Close();
  return --m_RefCount;
}

int DxSurfaceSprite32::DropReference() {
  if (m_RefCount < 2) return Release();
  return --m_RefCount;
}

// ---- DibSection ----

bool DibSection::Create(int width, int height, int bits) {
  Destroy();
  if (width <= 0 || height == 0 || bits <= 0 || bits > 32) return false;
  const uint32_t stride = DibStride(width, bits);
  const uint64_t rows = static_cast<uint64_t>(std::abs(int64_t{height}));
  const uint64_t bytes = uint64_t{stride} * rows;
  // Held pictures are small; anything past 1 GiB is a damaged size, not a picture.
  if (stride == 0 || bytes > (uint64_t{1} << 30)) return false;
  m_Palette.assign(bits < 16 ? size_t{1} << bits : 0, RGBQUAD{});
  m_Pixels.assign(static_cast<size_t>(bytes), 0);
  m_Stride = stride;
  m_Header = BITMAPINFOHEADER{};
  m_Header.biWidth = width;
  m_Header.biHeight = height;
  m_Header.biBitCount = static_cast<uint16_t>(bits);
  return true;
}

void DibSection::Destroy() {
  m_Header = BITMAPINFOHEADER{};
  m_Palette.clear();
  m_Pixels.clear();
  m_Stride = 0;
}

}  // namespace DxDraw
