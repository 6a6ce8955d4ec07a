// Dispatch of the pixel routines, the processor switch, and the fill routines.
#include "dxdraw/pixel.h"

#include <cstdlib>
#include <cstring>

#include "dxdraw/image.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace DxDraw {
namespace {

bool g_MmxAvailable = false;  // the processor has the paired instructions
bool g_MmxEnabled = false;    // drawing uses them (start-up, -M turns it off)

}  // namespace

int IsMmxAvailable() {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  // __get_cpuid answers 0 when leaf 1 is beyond the highest leaf.
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return 0;
  return (edx & (1u << 23)) != 0 ? 1 : 0;
#else
  return 0;
#endif
}

void InitSimdFlags() {
  g_MmxAvailable = IsMmxAvailable() != 0;
  g_MmxEnabled = g_MmxAvailable;
}

void SetSimdEnabled(int enabled) {
  if (g_MmxAvailable) g_MmxEnabled = enabled != 0;
}

bool IsSimdEnabled() { return g_MmxEnabled; }

BltResult BltPixels(PixelBlock dst, const uint8_t* src, ptrdiff_t srcPitch, int srcX, int srcY,
                    int width, int height, const BLTPARAM* param) {
  if (width < 1 || height < 1) return BltResult::kSkipped;
  BLTPARAM p;
  if (param != nullptr) p = *param;
  p.Flags &= ~BLT_PLAIN;
  p.ColorMask = (p.Flags & BLT_COLORMASK) ? (p.ColorMask | 0xFF000000u) : 0xFFFFFFFFu;

  // Bits 6-7 would index past the 64-entry tables.
  if (p.Flags & 0xC0) return BltResult::kFailed;
  unsigned index = p.Flags & BLT_INDEXMASK;
  if (index == BLT_FADE && !(p.Flags & BLT_NOFADESHORTCUT)) {
    const int level = static_cast<int16_t>(p.Level & 0xFFFF);
    if (level == 0) return BltResult::kSkipped;
    if (level == 256) index = BLT_COPY;
  }

  const uint8_t* mask = nullptr;
  ptrdiff_t maskPitch = 0;
  if ((index & BLT_OPMASK) == BLT_MASK) {
    // The mask is read at the source coordinates; it must be a 32-bit image that
    // covers the whole source rectangle.
    const DxImage* surface = p.MaskSurface;
    if (surface == nullptr || surface->GetBits() == nullptr || surface->GetBitCount() != 32 || srcX < 0 ||
        srcY < 0 || static_cast<int64_t>(srcX) + width > surface->GetWidth() ||
        static_cast<int64_t>(srcY) + height > std::abs(static_cast<int64_t>(surface->GetHeight())))
      return BltResult::kFailed;
    mask = surface->GetPixelAddress(srcX, srcY);
    maskPitch = surface->GetPitch();
  }

  const PixelOpProc paired = PixelOpTableMmx[index];
  const PixelOpProc single = PixelOpTable[index];
  if (g_MmxEnabled && paired != nullptr) {
    if (width >= 2) paired(dst.first, src, mask, width & ~1, &p, dst.pitch, srcPitch, maskPitch, height);
    if ((width & 1) && single != nullptr) {
      const ptrdiff_t last = 4 * static_cast<ptrdiff_t>(width - 1);
      single(dst.first + last, src + last, mask ? mask + last : nullptr, 1, &p, dst.pitch, srcPitch, maskPitch,
             height);
    }
    return BltResult::kDrawn;
  }
  if (single == nullptr) return BltResult::kFailed;
  single(dst.first, src, mask, width, &p, dst.pitch, srcPitch, maskPitch, height);
  return BltResult::kDrawn;
}

void FillRect32(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height) {
  for (int row = 0; row < height; ++row, dst += pitch)
    for (int x = 0; x < width; ++x) std::memcpy(dst + 4 * x, &value, 4);
}

void FillPixels(PixelBlock dst, int width, int height, uint32_t value) {
  if (width < 1 || height < 1) return;
  if (g_MmxEnabled) {
    if (width >= 2) FillRect32Mmx(dst.first, width & ~1, dst.pitch, value, height);
    if (width & 1) FillRect32(dst.first + 4 * static_cast<ptrdiff_t>(width - 1), 1, dst.pitch, value, height);
  } else {
    FillRect32(dst.first, width, dst.pitch, value, height);
  }
}

void SetTransparencyRect(uint8_t* dst, int width, ptrdiff_t pitch, int height, uint8_t value) {
  for (int row = 0; row < height; ++row, dst += pitch)
    for (int x = 0; x < width; ++x) dst[4 * x + 3] |= value;
}

void SetTransparencyPixels(PixelBlock dst, int width, int height, uint8_t value) {
  if (width < 1 || height < 1) return;
  SetTransparencyRect(dst.first, width, dst.pitch, height, value);
}

}  // namespace DxDraw
