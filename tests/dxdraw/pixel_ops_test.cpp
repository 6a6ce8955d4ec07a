// The pixel routines of both families: golden values at the boundaries, every
// routine against the plain reference, dispatch by width and switch, and the
// descriptor faults that must not reach past the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <vector>

#include "dxdraw/image.h"
#include "dxdraw/pixel.h"
#include "dxdraw/pixel_internal.h"
#include "dxdraw/pixel_reference.h"

namespace {

using namespace DxDraw;
using pixel_test::Family;
using pixel_test::Px;
using pixel_test::Reference;

// Restores the switch after each test.
class PixelOps : public ::testing::Test {
 protected:
  void SetUp() override { InitSimdFlags(); }
  void TearDown() override { InitSimdFlags(); }
};

// Runs one routine of a family on one pixel (the paired routine on two copies of it).
Px RunOne(Family family, uint32_t flags, int level, uint32_t colourMask, Px s, Px d, int m = 0) {
  BLTPARAM p;
  p.Flags = flags;
  p.Level = level;
  p.ColorMask = colourMask;
  Px src[2] = {s, s}, dst[2] = {d, d}, mask[2] = {Px{uint8_t(m), 0, 0, 0}, Px{uint8_t(m), 0, 0, 0}};
  const int index = flags & 0xFF;
  if (family == Family::kPaired) {
    PixelOpTableMmx[index](dst[0].data(), src[0].data(), mask[0].data(), 2, &p, 8, 8, 8, 1);
    EXPECT_EQ(dst[0], dst[1]) << "both pixels of a pair follow the same formula";
  } else {
    PixelOpTable[index](dst[0].data(), src[0].data(), mask[0].data(), 1, &p, 4, 4, 4, 1);
  }
  return dst[0];
}

Px Grey(int c, int t) { return Px{uint8_t(c), uint8_t(c), uint8_t(c), uint8_t(t)}; }

struct Golden {
  const char* what;
  uint32_t flags;
  int level;
  Px s, d;
  int mask;
  int single;  // expected colour of every channel, one-pixel routine
  int paired;  // the same, two-pixel routine
  int t;       // expected T (both)
};

TEST_F(PixelOps, GoldenValuesAtTheBoundariesInBothFamilies) {
  const Golden cases[] = {
      {"weighted copy, sT 128", BLT_COPY | BLT_WEIGHTED, 0, Grey(255, 128), Grey(0, 0), 0, 127, 126, 128},
      {"weighted copy of an opaque source", BLT_COPY | BLT_WEIGHTED, 0, Grey(77, 0), Grey(200, 9), 0, 77, 77, 0},
      {"weighted copy of an invisible source, rule 0", BLT_COPY | BLT_WEIGHTED, 0, Grey(77, 255), Grey(200, 9), 0,
       200, 200, 255},
      {"weighted copy of an invisible source, rule 3", BLT_COPY | BLT_WEIGHTED | BLT_DEST_KEEP, 0, Grey(77, 255),
       Grey(200, 9), 0, 200, 200, 9},
      {"brightness 384 of 1", BLT_BRIGHT, 384, Grey(1, 0), Grey(0, 0), 0, 127, 128, 0},
      {"brightness 512 is white", BLT_BRIGHT, 512, Grey(3, 40), Grey(0, 0), 0, 255, 255, 40},
      {"brightness 0 is black", BLT_BRIGHT, 0, Grey(250, 40), Grey(9, 0), 0, 0, 0, 40},
      {"add saturates", BLT_ADD, 256, Grey(200, 0), Grey(100, 0), 0, 255, 255, 0},
      {"subtract floors at 0", BLT_SUB, 256, Grey(200, 0), Grey(100, 0), 0, 0, 0, 0},
      {"paired subtract rounds the amount up", BLT_SUB, 128, Grey(3, 0), Grey(10, 0), 0, 9, 8, 0},
      {"fade halfway", BLT_FADE, 128, Grey(255, 0), Grey(1, 0), 0, 127, 128, 0},
      {"fade above 256 brightens", BLT_FADE, 300, Grey(100, 0), Grey(7, 0), 0, 125, 126, 0},
      {"masked transition at 0 keeps the destination", BLT_MASK, 0, Grey(200, 0), Grey(10, 0), 255, 10, 10, 0},
      {"masked transition at 511 takes the source", BLT_MASK, 511, Grey(200, 0), Grey(10, 0), 0, 200, 200, 0},
      {"masked transition at 256 follows the mask", BLT_MASK, 256, Grey(200, 0), Grey(0, 0), 100, 78, 78, 0},
      {"xor", BLT_XOR, 256, Grey(0xF0, 0), Grey(0x0F, 0), 0, 0xFF, 0xFF, 0},
      {"blend over an invisible destination", BLT_BLEND2, 256, Grey(200, 0), Grey(10, 255), 0, 10, 10, 255},
      {"blend never writes T", BLT_BLEND2 | BLT_DEST_SOURCE, 256, Grey(200, 30), Grey(10, 0), 0, 200, 200, 0},
      {"rule 1 adds opacities", BLT_COPY | BLT_DEST_ADD, 0, Grey(1, 100), Grey(1, 200), 0, 1, 1, 45},
      {"rule 2 subtracts opacities, saturating", BLT_COPY | BLT_DEST_SUBTRACT, 0, Grey(1, 100), Grey(1, 200), 0, 1,
       1, 255},
      {"rule 2 subtracts opacities", BLT_COPY | BLT_DEST_SUBTRACT, 0, Grey(1, 200), Grey(1, 100), 0, 1, 1, 155},
  };
  for (const Golden& c : cases) {
    for (Family f : {Family::kSingle, Family::kPaired}) {
      Px out = RunOne(f, c.flags, c.level, 0xFFFFFFFF, c.s, c.d, c.mask);
      const int want = f == Family::kSingle ? c.single : c.paired;
      const char* family = f == Family::kSingle ? "single" : "paired";
      EXPECT_EQ(out, Grey(want, c.t)) << c.what << " (" << family << ")";
      EXPECT_EQ(out, Reference(f, c.flags, c.level, 0xFFFFFFFF, c.s, c.d, c.mask)) << c.what << " (" << family
                                                                                   << ", reference)";
    }
  }
}

TEST_F(PixelOps, ColourMaskKeepsOnlyTheMaskedChannels) {
  const Px s{10, 20, 30, 40};
  const Px want{0, 0, 30, 40};
  EXPECT_EQ(RunOne(Family::kSingle, BLT_COLORMASK, 0, 0xFFFF0000u, s, Grey(99, 0)), want);
  EXPECT_EQ(RunOne(Family::kPaired, BLT_COLORMASK, 0, 0xFFFF0000u, s, Grey(99, 0)), want);
  // The single family ignores the mask in its plain variant (any other bits 16-23).
  EXPECT_EQ(RunOne(Family::kSingle, BLT_COLORMASK | BLT_PLAIN, 0, 0xFFFF0000u, s, Grey(99, 0)), s);
  // Through the dispatch the mask's high byte is set for the caller, and without
  // the bit the mask is all ones whatever the word holds.
  for (bool simd : {true, false}) {
    SetSimdEnabled(simd);
    Px src[3] = {s, s, s}, dst[3] = {};
    BLTPARAM p;
    p.Flags = BLT_COLORMASK;
    p.ColorMask = 0x00FF0000u;
    ASSERT_EQ(BltPixels(PixelBlock{dst[0].data(), 12}, src[0].data(), 12, 0, 0, 3, 1, &p), BltResult::kDrawn);
    for (const Px& px : dst) EXPECT_EQ(px, want);
    p.Flags = BLT_COPY;
    ASSERT_EQ(BltPixels(PixelBlock{dst[0].data(), 12}, src[0].data(), 12, 0, 0, 3, 1, &p), BltResult::kDrawn);
    for (const Px& px : dst) EXPECT_EQ(px, s);
  }
}

TEST_F(PixelOps, LevelsOutsideTheRangeAreClampedNotIndexedPastTheTables) {
  // A negative level reads as 0 and one past the range as its top.
  for (Family f : {Family::kSingle, Family::kPaired}) {
    EXPECT_EQ(RunOne(f, BLT_BRIGHT, -5, ~0u, Grey(100, 0), Grey(0, 0)), Grey(0, 0));
    EXPECT_EQ(RunOne(f, BLT_BRIGHT, 4000, ~0u, Grey(100, 0), Grey(0, 0)), Grey(255, 0));
    EXPECT_EQ(RunOne(f, BLT_ADD, 1000, ~0u, Grey(100, 0), Grey(10, 0)),
              RunOne(f, BLT_ADD, 256, ~0u, Grey(100, 0), Grey(10, 0)));
    // Only the low 16 bits of the level count: 0x10080 is level 128.
    EXPECT_EQ(RunOne(f, BLT_FADE, 0x10080, ~0u, Grey(200, 0), Grey(0, 0)),
              RunOne(f, BLT_FADE, 128, ~0u, Grey(200, 0), Grey(0, 0)));
  }
}

// Every routine of both families against the plain reference, over boundary and
// random pixels, every variant and the levels at the edges of each range; the
// paired routines with eight-pixel rows (where the processor has them) and with
// four-pixel rows.
TEST_F(PixelOps, EveryRoutineEqualsTheReferenceOfItsFamily) {
  for (bool wide : {true, false}) {
    SetWidePairedRows(wide);
    std::mt19937 rng(1234);
    const uint8_t edges[] = {0, 1, 2, 127, 128, 129, 254, 255};
    const int width = 38;  // eight-pixel steps, a four-pixel step, a pair
    const int height = 3;
    std::vector<Px> src(width * height), dst(width * height), mask(width * height);
    auto fill = [&](std::vector<Px>& v) {
      for (Px& p : v)
        for (uint8_t& b : p) b = (rng() & 1) ? edges[rng() % 8] : static_cast<uint8_t>(rng());
    };
    const uint32_t variants[] = {0, BLT_WEIGHTED, BLT_COLORMASK, BLT_WEIGHTED | BLT_COLORMASK, BLT_PLAIN,
                                 BLT_WEIGHTED | BLT_PLAIN, 0x800000};
    const int levels[] = {0, 1, 127, 128, 255, 256, 257, 300, 384, 511, 512};
    int checked = 0;
    for (int index = 0; index < kPixelOpCount; ++index) {
      ASSERT_EQ(PixelOpTable[index] == nullptr, PixelOpTableMmx[index] == nullptr);
      if (PixelOpTable[index] == nullptr) continue;
      const int op = index & 15;
      const int top = (op == 1 || op == 2 || op == 5) ? 512 : 256;
      for (uint32_t variant : variants) {
        for (int level : levels) {
          if (level > top) continue;
          for (Family f : {Family::kSingle, Family::kPaired}) {
            fill(src);
            fill(dst);
            fill(mask);
            const uint32_t colourMask = (rng() & 1) ? 0xFFFFFFFFu : (rng() | 0xFF000000u);
            BLTPARAM p;
            p.Flags = index | variant;
            p.Level = level;
            p.ColorMask = colourMask;
            std::vector<Px> out = dst;
            const ptrdiff_t pitch = 4 * width;
            if (f == Family::kPaired)
              PixelOpTableMmx[index](out[0].data(), src[0].data(), mask[0].data(), width, &p, pitch, pitch, pitch, height);
            else
              PixelOpTable[index](out[0].data(), src[0].data(), mask[0].data(), width, &p, pitch, pitch, pitch, height);
            for (int i = 0; i < width * height; ++i) {
              Px want = Reference(f, p.Flags, level, colourMask, src[i], dst[i], mask[i][0]);
              ASSERT_EQ(out[i], want) << (f == Family::kPaired ? "paired" : "single") << " index " << index
                                      << " variant " << std::hex << variant << std::dec << " level " << level
                                      << " pixel " << i << " wide " << wide;
              ++checked;
            }
          }
        }
      }
    }
    EXPECT_GT(checked, 100000);
  }
  SetWidePairedRows(true);
}

// A surface-like block of pixels, bottom-up like the engine's images.
struct Block {
  int width, height;
  std::vector<Px> pixels;
  Block(int w, int h) : width(w), height(h), pixels(w * h) {}
  Px& at(int x, int y) { return pixels[(height - 1 - y) * width + x]; }
  PixelBlock top() { return PixelBlock{at(0, 0).data(), -4 * static_cast<ptrdiff_t>(width)}; }
};

TEST_F(PixelOps, DispatchPairsTheEvenPartAndSendsTheOddColumnToTheSingleRoutine) {
  std::mt19937 rng(99);
  for (int width : {1, 2, 3, 801}) {
    for (bool simd : {true, false}) {
      SetSimdEnabled(simd ? 1 : 0);
      ASSERT_EQ(IsSimdEnabled(), simd && IsMmxAvailable());
      Block src(width, 3), dst(width, 3);
      for (Px& p : src.pixels)
        for (uint8_t& b : p) b = static_cast<uint8_t>(rng());
      for (Px& p : dst.pixels)
        for (uint8_t& b : p) b = static_cast<uint8_t>(rng());
      Block before = dst;
      BLTPARAM p;
      p.Flags = BLT_COPY | BLT_WEIGHTED;
      ASSERT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, width, 3, &p), BltResult::kDrawn);
      for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < width; ++x) {
          const bool paired = IsSimdEnabled() && x < (width & ~1);
          const Family f = paired ? Family::kPaired : Family::kSingle;
          ASSERT_EQ(dst.at(x, y), Reference(f, p.Flags, 0, ~0u, src.at(x, y), before.at(x, y), 0))
              << "width " << width << " simd " << simd << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST_F(PixelOps, ThirdPixelOfAWeightedCopyComesFromTheSingleRoutine) {
  SetSimdEnabled(1);
  Block src(3, 1), dst(3, 1);
  for (int x = 0; x < 3; ++x) src.at(x, 0) = Grey(255, 128);
  BLTPARAM p;
  p.Flags = BLT_COPY | BLT_WEIGHTED;
  BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 3, 1, &p);
  if (IsSimdEnabled()) {
    EXPECT_EQ(dst.at(0, 0), Grey(126, 128));
    EXPECT_EQ(dst.at(1, 0), Grey(126, 128));
  }
  EXPECT_EQ(dst.at(2, 0), Grey(127, 128));
}

// Sprite pixels: runs of wholly opaque (T 0) and wholly invisible (T 255) pixels
// with partly transparent ones between, random colours. The paired routines skip
// the mixing over such runs; the bytes must not change.
void FillWithRuns(std::mt19937& rng, std::vector<Px>& pixels) {
  size_t i = 0;
  while (i < pixels.size()) {
    const int kind = static_cast<int>(rng() % 3);
    const size_t run = 1 + rng() % 12;
    for (size_t end = std::min(pixels.size(), i + run); i < end; ++i) {
      Px& p = pixels[i];
      for (int ch = 0; ch < 3; ++ch) p[ch] = static_cast<uint8_t>(rng());
      p[3] = kind == 0 ? 0 : kind == 1 ? 255 : static_cast<uint8_t>(1 + rng() % 254);
    }
  }
}

// Every paired routine, plain and weighted, over runs starting at every pixel
// alignment, with widths around both register sizes (an odd width leaves its
// last column alone), with eight- and four-pixel rows.
TEST_F(PixelOps, RunsOfOpaqueAndInvisiblePixelsEqualTheReference) {
  std::mt19937 rng(77);
  const int widths[] = {2, 3, 4, 5, 6, 7, 9, 10, 15, 16, 17, 18, 24, 31, 33, 41};
  const int levels[] = {0, 128, 255, 256, 300, 512};
  for (bool wide : {true, false}) {
    SetWidePairedRows(wide);
    for (int index = 0; index < kPixelOpCount; ++index) {
      if (PixelOpTableMmx[index] == nullptr) continue;
      const int op = index & 15;
      const int top = (op == 1 || op == 2 || op == 5) ? 512 : 256;
      for (uint32_t variant : {0u, BLT_WEIGHTED}) {
        for (int offset = 0; offset < 8; ++offset) {
          for (int width : widths) {
            const int height = 2;
            const int dstOffset = (offset * 3) % 8;
            const int pitch = width + 8;  // pixels
            std::vector<Px> src(pitch * height), dst(pitch * height), mask(pitch * height);
            FillWithRuns(rng, src);
            FillWithRuns(rng, dst);
            for (Px& m : mask) m[0] = static_cast<uint8_t>(rng());
            BLTPARAM p;
            p.Flags = index | variant;
            p.Level = std::min(top, levels[rng() % std::size(levels)]);
            p.ColorMask = (rng() & 1) ? 0xFFFFFFFFu : (rng() | 0xFF000000u);
            std::vector<Px> out = dst;
            PixelOpTableMmx[index](out[dstOffset].data(), src[offset].data(), mask[offset].data(), width, &p,
                                   4 * pitch, 4 * pitch, 4 * pitch, height);
            for (int y = 0; y < height; ++y) {
              for (int x = 0; x < width; ++x) {
                const Px s = src[y * pitch + offset + x], d = dst[y * pitch + dstOffset + x];
                const Px want = x < (width & ~1)
                                    ? Reference(Family::kPaired, p.Flags, p.Level, p.ColorMask, s, d,
                                                mask[y * pitch + offset + x][0])
                                    : d;
                ASSERT_EQ(out[y * pitch + dstOffset + x], want)
                    << "index " << index << " variant " << std::hex << variant << std::dec << " level " << p.Level
                    << " width " << width << " offsets " << offset << "/" << dstOffset << " at " << x << "," << y
                    << " wide " << wide;
              }
            }
          }
        }
      }
    }
  }
  SetWidePairedRows(true);
}

// The same runs through the dispatch: weighted and plain copies under every rule,
// with the paired family on (both register widths) and off, an odd last column
// going to the single routine.
TEST_F(PixelOps, CopiesOfRunsThroughTheDispatchEqualTheReference) {
  std::mt19937 rng(78);
  for (int width : {1, 2, 3, 7, 8, 9, 16, 17, 33, 801}) {
    for (int mode = 0; mode < 3; ++mode) {  // wide rows, narrow rows, single family
      SetSimdEnabled(mode < 2 ? 1 : 0);
      SetWidePairedRows(mode == 0);
      for (uint32_t rule : {BLT_DEST_SOURCE, BLT_DEST_ADD, BLT_DEST_SUBTRACT, BLT_DEST_KEEP}) {
        for (uint32_t variant : {0u, BLT_WEIGHTED}) {
          Block src(width, 3), dst(width, 3);
          FillWithRuns(rng, src.pixels);
          FillWithRuns(rng, dst.pixels);
          Block before = dst;
          BLTPARAM p;
          p.Flags = BLT_COPY | rule | variant;
          ASSERT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, width, 3, &p), BltResult::kDrawn);
          for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < width; ++x) {
              const Family f = IsSimdEnabled() && x < (width & ~1) ? Family::kPaired : Family::kSingle;
              ASSERT_EQ(dst.at(x, y), Reference(f, p.Flags, 0, ~0u, src.at(x, y), before.at(x, y), 0))
                  << "width " << width << " mode " << mode << " flags " << std::hex << p.Flags << std::dec
                  << " at " << x << "," << y;
            }
          }
        }
      }
    }
  }
  SetWidePairedRows(true);
}

TEST_F(PixelOps, FadeShortcutsUnderRuleZero) {
  for (bool simd : {true, false}) {
    SetSimdEnabled(simd);
    Block src(4, 2), dst(4, 2);
    for (Px& p : src.pixels) p = Grey(200, 100);
    for (Px& p : dst.pixels) p = Grey(10, 50);
    BLTPARAM p;
    p.Flags = BLT_FADE;
    p.Level = 0;
    EXPECT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 4, 2, &p), BltResult::kSkipped);
    EXPECT_EQ(dst.at(0, 0), Grey(10, 50)) << "level 0 leaves the destination, T included";

    p.Flags = BLT_FADE | BLT_DEST_ADD;
    EXPECT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 4, 2, &p), BltResult::kDrawn);
    EXPECT_EQ(dst.at(0, 0), Grey(10, 0)) << "under rule 1 level 0 still runs and changes T";

    // At 256 the weighted fade is drawn as a weighted copy: mixT by sT on pairs.
    for (Px& px : dst.pixels) px = Grey(0, 0);
    for (Px& px : src.pixels) px = Grey(255, 128);
    p.Flags = BLT_FADE | BLT_WEIGHTED;
    p.Level = 256;
    BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 4, 2, &p);
    EXPECT_EQ(dst.at(0, 0), Grey(IsSimdEnabled() ? 126 : 127, 128));

    // Bit 28 keeps the fade routine: a = mul256(256, so) = 127, then mixO / lerp.
    for (Px& px : dst.pixels) px = Grey(0, 0);
    p.Flags |= BLT_NOFADESHORTCUT;
    BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 4, 2, &p);
    EXPECT_EQ(dst.at(0, 0), Grey(127, 128));
    p.Level = 0;
    EXPECT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 4, 2, &p), BltResult::kDrawn);
  }
}

TEST_F(PixelOps, DescriptorsWithoutARoutineOrWithBadBitsDrawNothing) {
  Block src(2, 1), dst(2, 1);
  src.at(0, 0) = Grey(1, 2);
  BLTPARAM p;
  for (uint32_t flags : {6u, 7u, 8u, 9u, 12u, 13u, 14u, 15u, 0x40u, 0x80u, 0xC0u | BLT_COPY}) {
    p.Flags = flags;
    EXPECT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 2, 1, &p), BltResult::kFailed) << flags;
  }
  EXPECT_EQ(dst.at(0, 0), Grey(0, 0));
  // A null descriptor is a plain copy under rule 0, T included.
  EXPECT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 2, 1, nullptr), BltResult::kDrawn);
  EXPECT_EQ(dst.at(0, 0), Grey(1, 2));
}

TEST_F(PixelOps, MaskedTransitionNeedsAMaskCoveringTheSource) {
  DxImage mask(32);
  ASSERT_EQ(mask.Create(4, 4), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) mask.GetPixelAddress(x, y)[0] = static_cast<uint8_t>(x * 60 + y);
  Block src(6, 6), dst(3, 2);
  for (Px& px : src.pixels) px = Grey(250, 0);
  BLTPARAM p;
  p.Flags = BLT_MASK;
  p.Level = 256;
  p.MaskSurface = nullptr;
  EXPECT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 1, 2, 3, 2, &p), BltResult::kFailed);
  p.MaskSurface = &mask;
  // Columns 2..4 pass the mask's width of 4.
  EXPECT_EQ(BltPixels(dst.top(), src.at(2, 2).data(), src.top().pitch, 2, 2, 3, 2, &p), BltResult::kFailed);
  DxImage grey(8);
  grey.Create(6, 6);
  p.MaskSurface = &grey;
  EXPECT_EQ(BltPixels(dst.top(), src.top().first, src.top().pitch, 0, 0, 3, 2, &p), BltResult::kFailed);

  p.MaskSurface = &mask;
  for (bool simd : {true, false}) {
    SetSimdEnabled(simd);
    for (Px& px : dst.pixels) px = Grey(0, 0);
    ASSERT_EQ(BltPixels(dst.top(), src.at(1, 2).data(), src.top().pitch, 1, 2, 3, 2, &p), BltResult::kDrawn);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        const int m = mask.GetPixelAddress(1 + x, 2 + y)[0];
        const Family f = IsSimdEnabled() && x < 2 ? Family::kPaired : Family::kSingle;
        EXPECT_EQ(dst.at(x, y), Reference(f, BLT_MASK, 256, ~0u, Grey(250, 0), Grey(0, 0), m)) << x << "," << y;
      }
  }
}

TEST_F(PixelOps, FillAndTransparencyRoutines) {
  for (bool simd : {true, false}) {
    SetSimdEnabled(simd);
    for (int width : {1, 2, 3, 801}) {
      Block b(width + 1, 2);
      FillPixels(b.top(), width, 2, 0xFF102030u);
      for (int x = 0; x <= width; ++x)
        EXPECT_EQ(b.at(x, 1), x < width ? (Px{0x30, 0x20, 0x10, 0xFF}) : Grey(0, 0)) << width << " " << x;
    }
  }
  Block b(3, 1);
  b.at(0, 0) = Grey(9, 127);
  b.at(1, 0) = Grey(9, 1);
  SetTransparencyPixels(b.top(), 3, 1, 128);
  EXPECT_EQ(b.at(0, 0), Grey(9, 255));
  EXPECT_EQ(b.at(1, 0), Grey(9, 129));
  SetTransparencyPixels(b.top(), 3, 1, 0);
  EXPECT_EQ(b.at(1, 0), Grey(9, 129));
  SetTransparencyRect(b.top().first, 0, 0, 1, 0xFF);
  EXPECT_EQ(b.at(2, 0), Grey(0, 128));
}

TEST_F(PixelOps, SwitchOnlyTurnsThePairedFamilyOnWhenTheProcessorHasIt) {
#if defined(__x86_64__)
  EXPECT_EQ(IsMmxAvailable(), 1);
#endif
  SetSimdEnabled(0);
  EXPECT_FALSE(IsSimdEnabled());
  SetSimdEnabled(1);
  EXPECT_EQ(IsSimdEnabled(), IsMmxAvailable() == 1);
}

}  // namespace
