// Surfaces: blits clipped on every side, fills, transparency, clones,
// reference counts, failed creation and the plain DIB holder.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "core/exception.h"
#include "dxdraw/dxsurface.h"
#include "support/assertion_counter.h"

namespace DxDraw {
namespace {

// One reference, released at the end of the scope.
struct Surface {
  DxSurface* p;
  explicit Surface(DxSurface* s) : p(s) {}
  Surface(int width, int height) : p(CreateSurface(32)) { p->Create(width, height); }
  Surface(Surface&& other) noexcept : p(other.p) { other.p = nullptr; }
  Surface(const Surface&) = delete;
  ~Surface() {
    if (p != nullptr) p->Release();
  }
  DxSurface* operator->() const { return p; }
};

uint32_t PixelAt(const DxSurface* s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s->GetPixelAddress(x, y), 4);
  return v;
}

void SetPixel(DxSurface* s, int x, int y, uint32_t v) { std::memcpy(s->GetPixelAddress(x, y), &v, 4); }

// Every pixel tells where it is: B = x, G = y, R = 0x5A, opaque.
Surface Gradient(int width, int height) {
  Surface s(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) SetPixel(s.p, x, y, 0x005A0000u | (y & 0xFF) << 8 | (x & 0xFF));
  }
  return s;
}

// The rectangle of pixels that differ from `background`, or empty.
RECT ChangedArea(const DxSurface* s, uint32_t background) {
  RECT r{0, 0, 0, 0};
  const int width = s->GetWidth();
  const int height = RectHeight(s->GetBounds());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (PixelAt(s, x, y) != background) UnionRect(r, r, RECT{x, y, x + 1, y + 1});
    }
  }
  return r;
}

TEST(Surface, SourceRectanglePastTheSourceEdgeIsCut) {
  Surface target(200, 200);
  Surface source(640, 100);
  source->FillRect(nullptr, 0xFFFFFF, 255);
  const RECT part{600, 0, 700, 100};
  EXPECT_EQ(target->Blt(10, 10, source.p, &part, nullptr, nullptr), 1);
  EXPECT_EQ(ChangedArea(target.p, 0), (RECT{10, 10, 50, 110}));
  // The uncut top-left lands on (x, y): cut on the left moves the drawn part right.
  target->FillRect(nullptr, 0, 255);
  const RECT leftOut{-10, -5, 10, 5};
  EXPECT_EQ(target->Blt(50, 50, source.p, &leftOut, nullptr, nullptr), 1);
  EXPECT_EQ(ChangedArea(target.p, 0), (RECT{60, 55, 70, 60}));
  const RECT outside{700, 0, 800, 10};
  EXPECT_EQ(target->Blt(0, 0, source.p, &outside, nullptr, nullptr), 0);
}

TEST(Surface, BlitIsClippedOnEverySideWhateverTheClipSays) {
  struct Case {
    int x, y;
    RECT drawn;  // where the source lands in the 100 x 80 target
  };
  const Case cases[] = {
      {-10, -10, {0, 0, 20, 20}},    {90, -10, {90, 0, 100, 20}},  {-10, 70, {0, 70, 20, 80}},
      {90, 70, {90, 70, 100, 80}},   {40, -25, {40, 0, 70, 5}},    {40, 75, {40, 75, 70, 80}},
      {-25, 30, {0, 30, 5, 60}},     {95, 30, {95, 30, 100, 60}},  {35, 25, {35, 25, 65, 55}},
      {-30, 0, {0, 0, 0, 0}},        {100, 0, {0, 0, 0, 0}},       {0, 80, {0, 0, 0, 0}},
      {INT_MIN, INT_MAX, {0, 0, 0, 0}},
  };
  const RECT wideClip{-1000, -1000, 1000, 1000};
  Surface source = Gradient(30, 30);
  for (const RECT* clip : {static_cast<const RECT*>(nullptr), &wideClip}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.x << "," << c.y << (clip ? " wide clip" : ""));
      Surface target(100, 80);
      target->ClearDirty();
      EXPECT_EQ(target->Blt(c.x, c.y, source.p, nullptr, clip, nullptr), 1);
      EXPECT_EQ(ChangedArea(target.p, 0), c.drawn);
      EXPECT_EQ(target->GetDirty(), c.drawn);
      if (!IsRectEmpty(c.drawn)) {
        // Each pixel comes from the same offset in the source.
        const int sx = c.drawn.left - c.x;
        const int sy = c.drawn.top - c.y;
        EXPECT_EQ(PixelAt(target.p, c.drawn.left, c.drawn.top), PixelAt(source.p, sx, sy));
        EXPECT_EQ(PixelAt(target.p, c.drawn.right - 1, c.drawn.bottom - 1),
                  PixelAt(source.p, sx + RectWidth(c.drawn) - 1, sy + RectHeight(c.drawn) - 1));
      }
    }
  }
}

TEST(Surface, ClipRectangleLimitsTheBlit) {
  Surface target(100, 80);
  Surface source(30, 30);
  source->FillRect(nullptr, 0xFF, 255);
  const RECT clip{5, 6, 15, 16};
  EXPECT_EQ(target->Blt(0, 0, source.p, nullptr, &clip, nullptr), 1);
  EXPECT_EQ(ChangedArea(target.p, 0), clip);
  const RECT away{50, 50, 60, 60};
  target->ClearDirty();
  EXPECT_EQ(target->Blt(0, 0, source.p, nullptr, &away, nullptr), 1);  // nothing left: success
  EXPECT_TRUE(IsRectEmpty(target->GetDirty()));
}

TEST(Surface, BlitResults) {
  Surface target(10, 10);
  Surface source(4, 4);
  source->FillRect(nullptr, 0x010203, 255);
  target->ClearDirty();
  EXPECT_EQ(target->Blt(0, 0, nullptr, nullptr, nullptr, nullptr), 0);
  BLTPARAM noRoutine{};
  noRoutine.Flags = 6;
  EXPECT_EQ(target->Blt(0, 0, source.p, nullptr, nullptr, &noRoutine), 0);
  EXPECT_TRUE(IsRectEmpty(target->GetDirty()));
  BLTPARAM fadeZero{};
  fadeZero.Flags = BLT_FADE;
  fadeZero.Level = 0;
  EXPECT_EQ(target->Blt(0, 0, source.p, nullptr, nullptr, &fadeZero), 1);
  EXPECT_TRUE(IsRectEmpty(target->GetDirty()));
  // A null descriptor copies the transparency byte too.
  SetPixel(source.p, 1, 1, 0x80ABCDEFu);
  EXPECT_EQ(target->Blt(2, 3, source.p, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(PixelAt(target.p, 3, 4), 0x80ABCDEFu);
  EXPECT_EQ(target->GetDirty(), (RECT{2, 3, 6, 7}));
}

TEST(Surface, MaskedTransitionNeedsAMaskCoveringTheSource) {
  Surface target(20, 20);
  Surface source(16, 16);
  Surface smallMask(4, 4);
  Surface mask(16, 16);
  source->FillRect(nullptr, 0xFFFFFF, 255);
  BLTPARAM param{};
  param.Flags = BLT_MASK;
  param.Level = 511;
  target->ClearDirty();
  EXPECT_EQ(target->Blt(0, 0, source.p, nullptr, nullptr, &param), 0);  // no mask at all
  param.MaskSurface = smallMask.p;
  EXPECT_EQ(target->Blt(0, 0, source.p, nullptr, nullptr, &param), 0);
  EXPECT_EQ(ChangedArea(target.p, 0), (RECT{0, 0, 0, 0}));
  param.MaskSurface = mask.p;
  EXPECT_EQ(target->Blt(0, 0, source.p, nullptr, nullptr, &param), 1);
  EXPECT_EQ(PixelAt(target.p, 15, 15), 0x00FFFFFFu);
  // A small mask is enough when it covers the part drawn, read at source coordinates.
  const RECT inside{1, 1, 4, 4};
  const RECT beyond{2, 2, 6, 6};
  param.MaskSurface = smallMask.p;
  EXPECT_EQ(target->Blt(0, 0, source.p, &inside, nullptr, &param), 1);
  EXPECT_EQ(target->Blt(0, 0, source.p, &beyond, nullptr, &param), 0);
}

TEST(Surface, BltFramePlacesTheFrameOriginOnThePoint) {
  Surface target(100, 100);
  Surface source = Gradient(30, 30);
  SPRITEFRAME frame = SPRITEFRAME::Default(10, 10);
  frame.originX = 4;
  frame.originY = 6;
  frame.source = RECT{5, 5, 15, 15};
  target->ClearDirty();
  EXPECT_EQ(target->BltFrame(50, 50, source.p, &frame, nullptr, nullptr), 1);
  EXPECT_EQ(target->GetDirty(), (RECT{46, 44, 56, 54}));
  EXPECT_EQ(PixelAt(target.p, 46, 44), PixelAt(source.p, 5, 5));
}

// Runs with the two-pixel routines on, restoring the switch after.
struct SimdOn {
  bool was = IsSimdEnabled();
  SimdOn() {
    InitSimdFlags();
    SetSimdEnabled(1);
  }
  ~SimdOn() { SetSimdEnabled(was ? 1 : 0); }
};

TEST(Surface, CopiesOfWhollyOpaqueOrInvisiblePixelsAreExactOnBothPaths) {
  // Runs of four opaque, four invisible and mixed pixels, as sprites hold them.
  const uint32_t pattern[] = {0x00102030u, 0x00405060u, 0x00708090u, 0x00A0B0C0u, 0xFF112233u, 0xFF445566u,
                              0xFF778899u, 0xFFAABBCCu, 0x00010203u, 0xFF040506u, 0x00070809u, 0xFF0A0B0Cu,
                              0x00FFFFFFu, 0x00EEEEEEu, 0x00DDDDDDu, 0xFFCCCCCCu, 0x00ABCDEFu};
  const int width = static_cast<int>(std::size(pattern));
  struct Case {
    uint32_t flags;
    uint32_t colourMask;
  };
  const Case cases[] = {{0, 0}, {BLT_WEIGHTED, 0}, {BLT_COLORMASK, 0x00FF0000u}, {BLT_WEIGHTED | BLT_COLORMASK, 0x0000FF00u}};
  for (const Case& c : cases) {
    for (bool simd : {false, true}) {
      SCOPED_TRACE(testing::Message() << std::hex << c.flags << (simd ? " two-pixel" : " one-pixel"));
      SimdOn on;
      SetSimdEnabled(simd ? 1 : 0);
      Surface source(width, 2);
      Surface target(width, 2);
      for (int x = 0; x < width; ++x) {
        for (int y = 0; y < 2; ++y) {
          SetPixel(source.p, x, y, pattern[x]);
          SetPixel(target.p, x, y, 0x00336699u);
        }
      }
      BLTPARAM param{};
      param.Flags = c.flags;
      param.ColorMask = c.colourMask;
      ASSERT_EQ(target->Blt(0, 0, source.p, nullptr, nullptr, &param), 1);
      const uint32_t mask = (c.flags & BLT_COLORMASK) ? (c.colourMask | 0xFF000000u) : 0xFFFFFFFFu;
      for (int x = 0; x < width; ++x) {
        const uint32_t s = pattern[x];
        const bool invisible = (c.flags & BLT_WEIGHTED) && (s >> 24) == 0xFF;
        const uint32_t expected = invisible ? 0xFF336699u : (s & mask);
        EXPECT_EQ(PixelAt(target.p, x, 1), expected) << x;
      }
    }
  }
}

TEST(Surface, FillRectIsCutToTheSurface) {
  Surface s(50, 40);
  s->FillRect(nullptr, 0, 0);
  EXPECT_EQ(PixelAt(s.p, 0, 0), 0xFF000000u);
  EXPECT_EQ(PixelAt(s.p, 49, 39), 0xFF000000u);
  EXPECT_EQ(s->GetDirty(), (RECT{0, 0, 50, 40}));
  s->ClearDirty();
  const RECT r{-5, -5, 5, 5};
  s->FillRect(&r, 0x112233, 255);
  EXPECT_EQ(s->GetDirty(), (RECT{0, 0, 5, 5}));
  EXPECT_EQ(PixelAt(s.p, 4, 4), 0x00112233u);
  EXPECT_EQ(PixelAt(s.p, 5, 5), 0xFF000000u);
  s->ClearDirty();
  s->FillRect(10, 10, 0, 5, 0xFFFFFF, 255);
  s->FillRect(45, 35, INT_MAX, INT_MAX, 0x445566, 128);
  EXPECT_EQ(s->GetDirty(), (RECT{45, 35, 50, 40}));
  EXPECT_EQ(PixelAt(s.p, 49, 39), 0x7F445566u);
}

TEST(Surface, SetAlphaIsCutToTheSurface) {
  Surface s(100, 80);
  s->FillRect(nullptr, 0x102030, 255);
  s->ClearDirty();
  const RECT r{90, 70, 200, 200};
  s->SetAlpha(&r, 0);
  EXPECT_EQ(s->GetDirty(), (RECT{90, 70, 100, 80}));
  EXPECT_EQ(PixelAt(s.p, 99, 79), 0xFF102030u);
  EXPECT_EQ(PixelAt(s.p, 89, 79), 0x00102030u);
  const RECT away{-50, -50, -1, -1};
  s->ClearDirty();
  s->SetAlpha(&away, 0);
  EXPECT_TRUE(IsRectEmpty(s->GetDirty()));
  s->SetAlpha(nullptr, 128);  // ORs 127 into every transparency byte
  EXPECT_EQ(PixelAt(s.p, 0, 0), 0x7F102030u);
  EXPECT_EQ(s->GetDirty(), (RECT{0, 0, 100, 80}));
}

TEST(Surface, DirtyRectangleGrowsByUnionInsideTheBounds) {
  Surface s(100, 100);
  s->ClearDirty();
  const RECT a{10, 10, 20, 20};
  const RECT b{50, 60, 200, 70};
  s->AddDirtyRect(&a);
  s->AddDirtyRect(&b);
  EXPECT_EQ(s->GetDirty(), (RECT{10, 10, 100, 70}));
  s->AddDirtyRect(nullptr);
  EXPECT_EQ(s->GetDirty(), (RECT{0, 0, 100, 100}));
}

TEST(Surface, CloneModes) {
  Surface s = Gradient(40, 30);
  DxSurface* same = s->Clone(0, nullptr);
  EXPECT_EQ(same, s.p);
  EXPECT_EQ(s->GetRefCount(), 2);
  EXPECT_EQ(same->Release(), 1);

  Surface blank(s->Clone(1, nullptr));
  ASSERT_NE(blank.p, nullptr);
  EXPECT_EQ(blank->GetBounds(), (RECT{0, 0, 40, 30}));
  EXPECT_EQ(ChangedArea(blank.p, 0), (RECT{0, 0, 0, 0}));  // black, opaque
  EXPECT_EQ(blank->GetRefCount(), 1);

  const RECT part{10, 5, 20, 25};
  Surface copy(s->Clone(2, &part));
  ASSERT_NE(copy.p, nullptr);
  EXPECT_EQ(copy->GetBounds(), (RECT{0, 0, 10, 20}));
  EXPECT_EQ(PixelAt(copy.p, 0, 0), PixelAt(s.p, 10, 5));
  EXPECT_EQ(PixelAt(copy.p, 9, 19), PixelAt(s.p, 19, 24));
  EXPECT_EQ(copy->GetDirty(), (RECT{0, 0, 10, 20}));

  Surface whole(s->Clone(2, nullptr));
  EXPECT_EQ(PixelAt(whole.p, 39, 29), PixelAt(s.p, 39, 29));
  EXPECT_EQ(s->Clone(3, nullptr), nullptr);
  const RECT empty{5, 5, 5, 9};
  EXPECT_EQ(s->Clone(2, &empty), nullptr);
  const RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  EXPECT_EQ(s->Clone(2, &huge), nullptr);
}

TEST(Surface, FailedCreateReportsFailureAndLeavesNoBounds) {
  Surface s(CreateSurface(32));
  EXPECT_EQ(s->Create(0, 10), 0);
  EXPECT_TRUE(IsRectEmpty(s->GetBounds()));
  EXPECT_EQ(s->Create(100000, 100000), 0);
  EXPECT_TRUE(IsRectEmpty(s->GetBounds()));
  // Drawing into it touches nothing.
  Surface source(4, 4);
  EXPECT_EQ(s->Blt(0, 0, source.p, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(s->FillRect(nullptr, 0, 255), 1);
  EXPECT_EQ(s->Create(8, 6), 1);
  EXPECT_EQ(s->GetBounds(), (RECT{0, 0, 8, 6}));
}

TEST(Surface, FactoryMakesOnly32BitSurfaces) {
  AssertionCounter counter;
  EXPECT_EQ(CreateSurface(16), nullptr);
  EXPECT_EQ(counter.count, 1);
  EXPECT_EQ(CreateSurface(24), nullptr);
  EXPECT_EQ(CreateSurface(8), nullptr);
  EXPECT_EQ(counter.count, 1);
  Surface s(CreateSurface(32));
  EXPECT_EQ(s->GetRefCount(), 1);
  EXPECT_EQ(s->GetDepth(), 32);
}

// A surface whose destructor releases it once more, as a careless owner might:
// the count is 0 by then, and that Release must neither count nor delete again.
class ReleasedWhileDying : public DxSurface32 {
 public:
  explicit ReleasedWhileDying(int* answer) : answer_(answer) {}
  ~ReleasedWhileDying() override { *answer_ = Release(); }

 private:
  int* answer_;
};

TEST(Surface, ReleaseAtCountZeroDoesNothing) {
  int answer = -99;
  DxSurface* s = new ReleasedWhileDying(&answer);
  EXPECT_EQ(s->AddRef(), 2);
  EXPECT_EQ(s->Release(), 1);
  EXPECT_EQ(s->Release(), 0);  // deleted here; its destructor released it once more
  EXPECT_EQ(answer, 0);
}

TEST(Surface, InitDxDrawTurnsThePairedFamilyOnWhereTheProcessorHasIt) {
  SetSimdEnabled(0);
  InitDxDraw();
  EXPECT_EQ(IsSimdEnabled(), IsMmxAvailable() == 1);
#if defined(__x86_64__)
  EXPECT_TRUE(IsSimdEnabled());
#endif
}

// Bit 17 is the rasterisers' own request for the plain single routine: a blit
// drops it, so a weighted copy stays weighted on either path and in the odd column.
TEST(Surface, BltDropsThePlainVariantBit) {
  for (int paired : {1, 0}) {
    SetSimdEnabled(paired);
    Surface source(3, 1), withBit(3, 1), without(3, 1);
    source->FillRect(nullptr, 0x204060, 128);  // half transparent
    withBit->FillRect(nullptr, 0xF0F0F0, 255);
    without->FillRect(nullptr, 0xF0F0F0, 255);
    BLTPARAM param{};
    param.Flags = BLT_COPY | BLT_WEIGHTED;
    ASSERT_EQ(without->Blt(0, 0, source.p, nullptr, nullptr, &param), 1);
    param.Flags |= BLT_PLAIN;
    ASSERT_EQ(withBit->Blt(0, 0, source.p, nullptr, nullptr, &param), 1);
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(PixelAt(withBit.p, x, 0), PixelAt(without.p, x, 0)) << paired << " at " << x;
      EXPECT_NE(PixelAt(without.p, x, 0), PixelAt(source.p, x, 0)) << "weighted, not copied";
    }
  }
  InitDxDraw();
}

TEST(DibSection, RowsArePaddedForEveryDepth) {
  struct Case {
    int width, height, bits;
    size_t stride, palette;
  };
  const Case cases[] = {
      {1, 3, 1, 4, 2},     {33, 2, 1, 8, 2},  {9, 2, 4, 8, 16},  {3, 2, 4, 4, 16},  {5, 2, 8, 8, 256},
      {3, 2, 16, 8, 0},    {3, -2, 24, 12, 0}, {3, 2, 32, 12, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    DibSection dib;
    ASSERT_TRUE(dib.Create(c.width, c.height, c.bits));
    EXPECT_EQ(dib.Stride(), c.stride);
    EXPECT_EQ(dib.PaletteCount(), c.palette);
    EXPECT_EQ(dib.ImageSize(), c.stride * static_cast<size_t>(std::abs(c.height)));
    EXPECT_EQ(dib.Header().biHeight, c.height);
    EXPECT_EQ(dib.Header().biBitCount, c.bits);
    EXPECT_EQ(dib.InfoSize(), 40 + 4 * c.palette);
    EXPECT_NE(dib.Pixels(), nullptr);
  }
}

TEST(DibSection, SizesBeyondMemoryFailAndLeaveItEmpty) {
  DibSection dib;
  ASSERT_TRUE(dib.Create(4, 4, 8));
  EXPECT_FALSE(dib.Create(70000, 70000, 32));  // 19 GB: no 32-bit wrap into something small
  EXPECT_EQ(dib.Pixels(), nullptr);
  EXPECT_EQ(dib.Palette(), nullptr);
  EXPECT_EQ(dib.ImageSize(), 0u);
  EXPECT_FALSE(dib.Create(0, 4, 8));
  EXPECT_FALSE(dib.Create(4, 4, 0));
  EXPECT_FALSE(dib.Create(4, 4, 33));
}

}  // namespace
}  // namespace DxDraw
