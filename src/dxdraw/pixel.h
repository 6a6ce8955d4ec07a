// The 32-bit pixel every surface holds, the drawing descriptor every drawing call
// takes, and the per-pixel operations that combine a source rectangle with a
// destination rectangle.
//
// Each operation exists in two arithmetic families that round differently on
// purpose: the paired family (two pixels at a time, `PixelOpTableMmx`) and the
// single family (one pixel at a time, `PixelOpTable`). Both are exact; which one a
// pixel goes through is decided by `BltPixels`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace DxDraw {

class DxImage;

// One pixel in memory: colour bytes and the transparency byte T (0 opaque, 255
// invisible). Files carry opacity; loading turns it into transparency.
struct PIXEL32 {
  uint8_t B;
  uint8_t G;
  uint8_t R;
  uint8_t T;
};
static_assert(sizeof(PIXEL32) == 4);

// Operations, bits 0-3 of the flags. 6-9 and 12-15 have no routine.
inline constexpr uint32_t BLT_COPY = 0;
inline constexpr uint32_t BLT_BRIGHT = 1;  // level 0 black, 256 unchanged
inline constexpr uint32_t BLT_FADE = 2;    // level 0 invisible, 256 opaque
inline constexpr uint32_t BLT_ADD = 3;
inline constexpr uint32_t BLT_SUB = 4;
inline constexpr uint32_t BLT_MASK = 5;
inline constexpr uint32_t BLT_XOR = 10;
inline constexpr uint32_t BLT_BLEND2 = 11;
inline constexpr uint32_t BLT_OPMASK = 0x0F;

// Destination-transparency rules, bits 4-5 of the flags: what the destination's T
// becomes from the raw source T.
inline constexpr uint32_t BLT_DEST_SOURCE = 0x00;   // dT := sT
inline constexpr uint32_t BLT_DEST_ADD = 0x10;      // opacities add, saturating
inline constexpr uint32_t BLT_DEST_SUBTRACT = 0x20; // destination opacity minus source opacity, floored at 0
inline constexpr uint32_t BLT_DEST_KEEP = 0x30;     // dT unchanged
inline constexpr uint32_t BLT_DEST_RULEMASK = 0x30;

// Other flag bits.
inline constexpr uint32_t BLT_INDEXMASK = 0xFF;          // the dispatch index; bits 6-7 must be 0
inline constexpr uint32_t BLT_WEIGHTED = 0x10000;        // weight the result by the source pixel's opacity
inline constexpr uint32_t BLT_PLAIN = 0x20000;           // single routines take their plain variant (rasterisers)
inline constexpr uint32_t BLT_COLORMASK = 0x40000;       // AND the source colour with ColorMask
inline constexpr uint32_t BLT_VARIANTMASK = 0xFF0000;    // the bits the single routines compare as a whole
inline constexpr uint32_t BLT_NOFADESHORTCUT = 0x10000000; // fade under rule 0: level 0 and 256 are drawn as given

// The drawing descriptor: eight words, each a named field; the mask surface is a
// real pointer. It is only ever passed by pointer and copied, never stored, so its
// layout is free.
struct BLTPARAM {
  uint32_t Flags = 0;        // operation, rule and variant bits (above)
  int32_t Level = 0;         // only the low 16 bits count, read as a signed 16-bit level
  uint32_t Reserved2 = 0;    // not read by any drawing operation
  uint32_t Reserved3 = 0;
  uint32_t ColorMask = 0;    // byte 0 masks B, 1 masks G, 2 masks R (with BLT_COLORMASK)
  const DxImage* MaskSurface = nullptr; // 32-bit mask read at source coordinates (BLT_MASK)
  uint32_t Reserved6 = 0;
  uint32_t Reserved7 = 0;
};

// The signature of every pixel routine: height rows of width pixels; each pointer
// steps by its own signed pitch in bytes after a row. The mask pointer and pitch
// count only for the masked transition. Paired routines take even widths >= 2.
using PixelOpProc = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int width,
                             const BLTPARAM* param, ptrdiff_t dstPitch, ptrdiff_t srcPitch,
                             ptrdiff_t maskPitch, int height);

// Dispatch tables by the low byte of the flags (16 * rule + operation); empty
// entries are null.
inline constexpr int kPixelOpCount = 64;
extern const std::array<PixelOpProc, kPixelOpCount> PixelOpTableMmx;
extern const std::array<PixelOpProc, kPixelOpCount> PixelOpTable;

// 1 when the processor reports the two-pixel instructions (always on x86-64).
int IsMmxAvailable();
// Sets the available and enabled flags from the processor; start-up calls it once.
void InitSimdFlags();
// Turns the paired family on or off (the -M option turns it off); has no effect
// when the processor lacks it.
void SetSimdEnabled(int enabled);
// Whether drawing uses the paired family now.
bool IsSimdEnabled();

// A rectangle of pixels in memory: its top-left pixel and the signed byte distance
// from one row to the next.
struct PixelBlock {
  uint8_t* first = nullptr;
  ptrdiff_t pitch = 0;
};

enum class BltResult {
  kFailed,   // no routine, bad parameters or a mask surface that does not cover the source
  kSkipped,  // success with nothing drawn (fade at level 0): no dirty rectangle
  kDrawn,    // drawn: the destination rectangle is dirty
};

// Runs one drawing operation over a clipped, non-empty width x height rectangle:
// copies the descriptor, cleans its flags, takes the fade shortcuts, and draws the
// even part of each row with the paired family and an odd last column with the
// single one (or everything with the single one when the switch is off). srcX and
// srcY are the source rectangle's top-left in the source image, where the mask
// surface is read. A null param is a plain copy under rule 0.
BltResult BltPixels(PixelBlock dst, const uint8_t* src, ptrdiff_t srcPitch, int srcX, int srcY,
                    int width, int height, const BLTPARAM* param);

// Fill routines: every pixel of the rectangle becomes value. The Mmx form takes an
// even width >= 2; FillPixels splits a row the way BltPixels does.
void FillRect32Mmx(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height);
void FillRect32(uint8_t* dst, int width, ptrdiff_t pitch, uint32_t value, int height);
void FillPixels(PixelBlock dst, int width, int height, uint32_t value);

// ORs value into the T byte of every pixel (colours untouched, T never cleared).
void SetTransparencyRect(uint8_t* dst, int width, ptrdiff_t pitch, int height, uint8_t value);
void SetTransparencyPixels(PixelBlock dst, int width, int height, uint8_t value);

}  // namespace DxDraw
