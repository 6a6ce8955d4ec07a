// Surfaces: 32-bit images in memory that can be drawn on and drawn from, with a
// reference count, bounds and the rectangle of pixels changed since the sprite
// showing the surface last committed. DibSection is a plain bitmap holder for
// small pictures of the game layer and the save data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dxdraw/dib.h"
#include "dxdraw/dxview.h"
#include "dxdraw/image.h"
#include "dxdraw/pixel.h"
#include "dxdraw/raster.h"
#include "dxdraw/rect.h"

struct IArchive;

namespace DxDraw {

struct TEXTDATA;

class DxSurface : public DxImage {
 public:
  explicit DxSurface(int depth);

  // Bounds (0, 0, width, |height|) when the pixels were made; empty bounds and
  // 0 when they could not be.
  int Create(int width, int height) override;
  // Returns the new count.
  virtual int AddRef();
  // The object is deleted when the count reaches 0; a count already at 0 is left
  // alone. Returns the new count.
  virtual int Release();
  // Drops a reference held by a sprite showing this surface. The same as
  // Release, but a surface that is itself a view stays where it is in the tree
  // while others still hold it.
  virtual int DropReference() { return Release(); }
  // 0: this surface with one more reference; 1: a new surface of the same size,
  // black and opaque; 2: a new surface holding a copy of `rect` (the whole
  // surface for null); other modes null. New surfaces carry one reference.
  virtual DxSurface* Clone(int mode, const RECT* rect);
  // Blt with the frame's source rectangle, placed so its origin lands on (x, y).
  virtual int BltFrame(int x, int y, DxSurface* source, const SPRITEFRAME* frame, const RECT* clip,
                       const BLTPARAM* param) = 0;
  // Draws `sourceRect` of `source` (its bounds for null) with its top-left at
  // (x, y), clipped to `clip` and always to this surface. 0 for a missing source,
  // a source rectangle outside the source or an operation without a routine; 1
  // otherwise, also when nothing was left to draw.
  virtual int Blt(int x, int y, DxSurface* source, const RECT* sourceRect, const RECT* clip,
                  const BLTPARAM* param) = 0;
  // alpha is an opacity: 255 opaque, 0 invisible.
  virtual int FillRect(int x, int y, int w, int h, uint32_t rgb, int alpha) = 0;
  // A null rectangle fills the whole surface.
  virtual int FillRect(const RECT* rect, uint32_t rgb, int alpha) = 0;
  // ORs the transparency 255 - alpha into every pixel of the rectangle (null: all).
  virtual int SetAlpha(const RECT* rect, int alpha) = 0;
  // Maps a quadrilateral (corners in order round a convex polygon) or a triangle
  // of a 32-bit source image onto this surface through the single-family routine
  // of the parameters' operation; 0 when it has none. Clip null: the bounds.
  virtual int DrawQuad(const POINTS* dest, const DxImage* source, const POINTS* sourcePoints, const RECT* clip,
                       const BLTPARAM* param) {
    (void)dest, (void)source, (void)sourcePoints, (void)clip, (void)param;
    return 0;
  }
  virtual int DrawTriangle(const POINTS* dest, const DxImage* source, const POINTS* sourcePoints,
                           const RECT* clip, const BLTPARAM* param) {
    (void)dest, (void)source, (void)sourcePoints, (void)clip, (void)param;
    return 0;
  }
  // Scales `sourceRect` of `source` (its bounds for null) to `dest` and copies it.
  virtual int StretchBlt(const RECT* dest, DxSurface* source, const RECT* sourceRect) {
    (void)dest, (void)source, (void)sourceRect;
    return 0;
  }
  // Lays out and draws one character of text (32-bit surfaces).
  virtual int DrawChar(TEXTDATA* text, uint32_t ch) {
    (void)text, (void)ch;
    return 0;
  }

  // Null makes the whole surface dirty; otherwise the union with `rect`, kept
  // inside the bounds.
  void AddDirtyRect(const RECT* rect);
  void ClearDirty() { SetRectEmpty(m_Dirty); }
  const RECT& GetBounds() const { return m_Bounds; }
  const RECT& GetDirty() const { return m_Dirty; }
  int GetRefCount() const { return m_RefCount; }
  // The pixels of this surface as the pixel routines address them, from (x, y).
  PixelBlock BlockAt(int x, int y) const { return PixelBlock{GetPixelAddress(x, y), GetPitch()}; }
  // The rows of `rect` (inside the bounds) from the lowest address up, for
  // operations where row order does not matter.
  PixelBlock AscendingBlock(const RECT& rect) const {
    if (GetPitch() >= 0) return BlockAt(rect.left, rect.top);
    return PixelBlock{GetPixelAddress(rect.left, rect.bottom - 1), -GetPitch()};
  }

 protected:
  ~DxSurface() override = default;

  int m_RefCount = 1;
  RECT m_Bounds{0, 0, 0, 0};  // default clip when drawing into, default source when drawing from
  RECT m_Dirty{0, 0, 0, 0};   // surface coordinates, always inside the bounds
};

class DxSurface32 : public DxSurface {
 public:
  DxSurface32() : DxSurface(32) {}

  int BltFrame(int x, int y, DxSurface* source, const SPRITEFRAME* frame, const RECT* clip,
               const BLTPARAM* param) override;
  int Blt(int x, int y, DxSurface* source, const RECT* sourceRect, const RECT* clip,
          const BLTPARAM* param) override;
  int FillRect(int x, int y, int w, int h, uint32_t rgb, int alpha) override;
  int FillRect(const RECT* rect, uint32_t rgb, int alpha) override;
  int SetAlpha(const RECT* rect, int alpha) override;
  // Defined with the rasterisers (raster.cpp).
  int DrawQuad(const POINTS* dest, const DxImage* source, const POINTS* sourcePoints, const RECT* clip,
               const BLTPARAM* param) override;
  int DrawTriangle(const POINTS* dest, const DxImage* source, const POINTS* sourcePoints, const RECT* clip,
                   const BLTPARAM* param) override;
  int StretchBlt(const RECT* dest, DxSurface* source, const RECT* sourceRect) override;
  // Defined with the text code (text.cpp).
  int DrawChar(TEXTDATA* text, uint32_t ch) override;

 protected:
  ~DxSurface32() override = default;
};

// 32 gives a new DxSurface32 with one reference and no pixels yet (the caller
// calls Create); 16 is refused with an assertion report; other depths give null.
DxSurface* CreateSurface(int bits);

// Start-up of the renderer after the display is made: the processor switch.
void InitDxDraw();

// Loads a picture entry into a new 32-bit surface (one reference for the
// caller). Throws the error record when the entry is missing or not a picture;
// nothing is leaked on the way out.
DxSurface* LoadSurfaceArchive_Dx(IArchive* archive, std::u16string_view name);

// A sprite that owns the pixels it shows: its image is its own surface part,
// and both parts share the surface's reference count.
class DxSurfaceSprite32 : public DxSprite, public DxSurface32 {
 public:
  // A width x height surface filled transparent, wholly dirty, shown whole.
  DxSurfaceSprite32(int width, int height);

  // Below two references: leaves the tree and is destroyed (0). Otherwise it
  // only leaves the tree and drops one reference.
  int Release() override;
  // Below two references: as Release. Otherwise only drops one reference.
  int DropReference() override;

 protected:
  ~DxSurfaceSprite32() override = default;
};

// A plain bottom-up bitmap of 1 to 32 bits per pixel with a palette below 16
// bits. Sizes are computed in 64 bits; a failed Create leaves it empty.
class DibSection {
 public:
  DibSection() = default;
  virtual ~DibSection() = default;
  DibSection(const DibSection&) = delete;
  DibSection& operator=(const DibSection&) = delete;

  // Palette of 2^bits zeroed entries below 16 bits, rows padded to 4 bytes,
  // all pixels zero. False (and empty) for a size or depth that cannot be held.
  bool Create(int width, int height, int bits);
  void Destroy();

  const BITMAPINFOHEADER& Header() const { return m_Header; }
  RGBQUAD* Palette() { return m_Palette.empty() ? nullptr : m_Palette.data(); }
  size_t PaletteCount() const { return m_Palette.size(); }
  size_t Stride() const { return m_Stride; }
  uint8_t* Pixels() { return m_Pixels.empty() ? nullptr : m_Pixels.data(); }
  size_t ImageSize() const { return m_Pixels.size(); }
  // Bytes of the header and palette together.
  size_t InfoSize() const { return m_Palette.empty() && m_Pixels.empty() ? 0 : 40 + 4 * m_Palette.size(); }

 private:
  BITMAPINFOHEADER m_Header;
  std::vector<RGBQUAD> m_Palette;
  size_t m_Stride = 0;             // bytes a row
  std::vector<uint8_t> m_Pixels;   // stride x |height| bytes, bottom row first
};

}  // namespace DxDraw
