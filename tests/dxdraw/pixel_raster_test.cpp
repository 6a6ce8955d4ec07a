// Textured triangles and quads and StretchBlt: row coverage, corner order, dirty
// rectangles, an identity quad against a single-family Blt, source clamping and
// far-away corners, and the box averages of stretching.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>

#include "dxdraw/dxsurface.h"
#include "dxdraw/raster.h"

namespace {

using namespace DxDraw;
using Px = std::array<uint8_t, 4>;

struct Release {
  void operator()(DxSurface* s) const { s->Release(); }
};
using SurfacePtr = std::unique_ptr<DxSurface32, Release>;

SurfacePtr NewSurface(int w, int h) {
  auto* s = static_cast<DxSurface32*>(CreateSurface(32));
  s->Create(w, h);
  return SurfacePtr(s);
}

Px At(const DxImage& s, int x, int y) {
  const uint8_t* p = s.GetPixelAddress(x, y);
  return Px{p[0], p[1], p[2], p[3]};
}
void Put(DxImage& s, int x, int y, Px v) { std::copy(v.begin(), v.end(), s.GetPixelAddress(x, y)); }

// A source whose every pixel names its own coordinates (B = x, G = y, R = 1).
SurfacePtr CoordinateSource(int w, int h) {
  SurfacePtr s = NewSurface(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put(*s, x, y, Px{uint8_t(x), uint8_t(y), 1, 0});
  return s;
}

// The set of (x, y) whose R byte is set: what a copy of CoordinateSource drew.
std::set<std::pair<int, int>> Covered(const DxImage& s) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < std::abs(s.GetHeight()); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      if (At(s, x, y)[2] != 0) out.insert({x, y});
  return out;
}

TEST(Triangle, RightTriangleDrawsRowsDownToButNotIncludingTheBottomCorner) {
  SurfacePtr dest = NewSurface(16, 16);
  SurfacePtr source = CoordinateSource(16, 16);
  const POINTS corners[3] = {{0, 0}, {10, 0}, {0, 10}};
  ASSERT_EQ(dest->DrawTriangle(corners, source.get(), corners, nullptr, nullptr), 1);
  std::set<std::pair<int, int>> want;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x <= 10 - y; ++x) want.insert({x, y});
  EXPECT_EQ(Covered(*dest), want);
  // Each drawn pixel took the source pixel at the same place (an identity mapping).
  EXPECT_EQ(At(*dest, 3, 4), (Px{3, 4, 1, 0}));
  EXPECT_EQ(dest->GetDirty(), (RECT{0, 0, 11, 11}));
}

TEST(Triangle, CornersInAnyOrderCoverTheSamePixels) {
  const POINTS corners[3] = {{2, 1}, {13, 6}, {5, 14}};
  SurfacePtr source = CoordinateSource(16, 16);
  std::set<std::pair<int, int>> first;
  int order[3] = {0, 1, 2};
  do {
    SurfacePtr dest = NewSurface(16, 16);
    const POINTS d[3] = {corners[order[0]], corners[order[1]], corners[order[2]]};
    ASSERT_EQ(dest->DrawTriangle(d, source.get(), d, nullptr, nullptr), 1);
    if (first.empty()) first = Covered(*dest);
    EXPECT_EQ(Covered(*dest), first) << order[0] << order[1] << order[2];
  } while (std::next_permutation(order, order + 3));
  EXPECT_GT(first.size(), 40u);
}

TEST(Triangle, FlatTriangleDrawsNothingButRecordsItsRow) {
  SurfacePtr dest = NewSurface(16, 16);
  SurfacePtr source = CoordinateSource(16, 16);
  const POINTS corners[3] = {{1, 5}, {9, 5}, {4, 5}};
  ASSERT_EQ(dest->DrawTriangle(corners, source.get(), corners, nullptr, nullptr), 1);
  EXPECT_TRUE(Covered(*dest).empty());
  EXPECT_EQ(dest->GetDirty(), (RECT{1, 5, 10, 6}));
}

TEST(Quad, IdentityQuadEqualsASingleFamilyBlt) {
  const int w = 9, h = 7;
  SurfacePtr source = NewSurface(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put(*source, x, y, Px{uint8_t(x * 20), uint8_t(y * 30), uint8_t(x + y), uint8_t(x * 25)});
  SurfacePtr byQuad = NewSurface(w, h), byBlt = NewSurface(w, h);
  for (DxSurface32* s : {byQuad.get(), byBlt.get()}) s->FillRect(nullptr, 0x405060, 200);
  BLTPARAM p;
  p.Flags = BLT_COPY | BLT_WEIGHTED;
  const POINTS corners[4] = {{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}};
  ASSERT_EQ(byQuad->DrawQuad(corners, source.get(), corners, nullptr, &p), 1);
  SetSimdEnabled(0);
  byBlt->Blt(0, 0, source.get(), nullptr, nullptr, &p);
  InitSimdFlags();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) EXPECT_EQ(At(*byQuad, x, y), At(*byBlt, x, y)) << x << "," << y;
  EXPECT_EQ(byQuad->GetDirty(), (RECT{0, 0, w, h}));
}

TEST(Quad, MiddleCornerRowsAreDrawnTwice) {
  SurfacePtr dest = NewSurface(12, 12);
  SurfacePtr source = NewSurface(12, 12);
  source->FillRect(nullptr, 0x0A0A0A, 255);
  BLTPARAM p;
  p.Flags = BLT_ADD | BLT_DEST_KEEP;
  p.Level = 256;
  const POINTS corners[4] = {{4, 0}, {10, 3}, {6, 10}, {0, 6}};
  ASSERT_EQ(dest->DrawQuad(corners, source.get(), corners, nullptr, &p), 1);
  // The bottom corner's row is drawn too.
  EXPECT_EQ(At(*dest, 6, 10)[0], 10);
  // Rows 3 and 6 (the middle corners) hold 20 where both segments reach; others 10.
  EXPECT_EQ(At(*dest, 5, 3)[0], 20);
  EXPECT_EQ(At(*dest, 5, 6)[0], 20);
  EXPECT_EQ(At(*dest, 5, 5)[0], 10);
  EXPECT_EQ(At(*dest, 5, 1)[0], 10);
}

TEST(Rasterisers, SourceSamplesStayInsideTheSource) {
  // The natural corners (4, 0) and (0, 4) of a 4x4 source name the column and row
  // just past it; they read the last column and row instead.
  SurfacePtr source = CoordinateSource(4, 4);
  SurfacePtr dest = NewSurface(32, 32);
  const POINTS d[3] = {{0, 0}, {31, 0}, {0, 31}};
  const POINTS s[3] = {{0, 0}, {4, 0}, {0, 4}};
  ASSERT_EQ(dest->DrawTriangle(d, source.get(), s, nullptr, nullptr), 1);
  const POINTS q[4] = {{0, 0}, {31, 0}, {31, 31}, {0, 31}};
  const POINTS qs[4] = {{-100, -100}, {4, 0}, {400, 400}, {0, 4}};
  ASSERT_EQ(dest->DrawQuad(q, source.get(), qs, nullptr, nullptr), 1);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const Px p = At(*dest, x, y);
      ASSERT_LT(p[0], 4);
      ASSERT_LT(p[1], 4);
    }
}

TEST(Rasterisers, FarCornersAndWideClipsTouchOnlyTheSurfaceInsideTheClip) {
  SurfacePtr source = CoordinateSource(8, 8);
  SurfacePtr dest = NewSurface(20, 20);
  const POINTS d[3] = {{-32768, -32768}, {32767, -30000}, {-20000, 32767}};
  const POINTS s[3] = {{-32768, 0}, {32767, 32767}, {0, -32768}};
  const RECT clip{5, 5, 10, 12};
  auto expectClipFilled = [&clip](const DxImage& drawn) {
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool inside = x >= 5 && x < 10 && y >= 5 && y < 12;
        EXPECT_EQ(At(drawn, x, y)[2] != 0, inside) << x << "," << y;
      }
  };
  ASSERT_EQ(dest->DrawTriangle(d, source.get(), s, &clip, nullptr), 1);
  expectClipFilled(*dest);
  EXPECT_EQ(dest->GetDirty(), clip);
  // Spans running left to right and right to left stop at the clip's edges alike.
  for (bool reversed : {false, true}) {
    SurfacePtr square = NewSurface(20, 20);
    POINTS q[4] = {{0, 0}, {19, 0}, {19, 19}, {0, 19}};
    if (reversed) std::reverse(q, q + 4);
    ASSERT_EQ(square->DrawQuad(q, source.get(), q, &clip, nullptr), 1);
    expectClipFilled(*square);
  }

  // A clip reaching past the surface is cut to it.
  SurfacePtr small = NewSurface(6, 6);
  const RECT huge{-1000, -1000, 1000, 1000};
  const POINTS q[4] = {{-50, -50}, {50, -50}, {50, 50}, {-50, 50}};
  ASSERT_EQ(small->DrawQuad(q, source.get(), q, &huge, nullptr), 1);
  EXPECT_EQ(Covered(*small).size(), 36u);
  EXPECT_EQ(small->GetDirty(), (RECT{0, 0, 6, 6}));
}

TEST(Rasterisers, OperationsWithoutARoutineOrMaskDrawNothing) {
  SurfacePtr source = CoordinateSource(4, 4);
  SurfacePtr dest = NewSurface(8, 8);
  const POINTS d[4] = {{0, 0}, {7, 0}, {7, 7}, {0, 7}};
  BLTPARAM p;
  for (uint32_t flags : {7u, 12u, 0x40u, BLT_MASK}) {
    p.Flags = flags;
    EXPECT_EQ(dest->DrawQuad(d, source.get(), d, nullptr, &p), 0) << flags;
    EXPECT_EQ(dest->DrawTriangle(d, source.get(), d, nullptr, &p), 0) << flags;
  }
  // A mask smaller than the source is refused rather than read past its end.
  SurfacePtr mask = NewSurface(2, 2);
  p.Flags = BLT_MASK;
  p.MaskSurface = mask.get();
  EXPECT_EQ(dest->DrawQuad(d, source.get(), d, nullptr, &p), 0);
  EXPECT_TRUE(Covered(*dest).empty());
  EXPECT_EQ(dest->DrawQuad(d, nullptr, d, nullptr, nullptr), 0);
}

TEST(Rasterisers, PlainBitSelectsThePlainVariantOfTheSingleRoutine) {
  SurfacePtr source = NewSurface(4, 4);
  source->FillRect(nullptr, 0xC8C8C8, 127);  // T = 128
  SurfacePtr dest = NewSurface(4, 4);
  dest->FillRect(nullptr, 0, 255);
  const POINTS d[4] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}};
  BLTPARAM p;
  p.Flags = BLT_COPY | BLT_WEIGHTED | BLT_PLAIN;
  ASSERT_EQ(dest->DrawQuad(d, source.get(), d, nullptr, &p), 1);
  EXPECT_EQ(At(*dest, 1, 1), (Px{200, 200, 200, 128}));
  p.Flags = BLT_COPY | BLT_WEIGHTED;
  dest->FillRect(nullptr, 0, 255);
  ASSERT_EQ(dest->DrawQuad(d, source.get(), d, nullptr, &p), 1);
  EXPECT_EQ(At(*dest, 1, 1), (Px{99, 99, 99, 128}));  // mul255(127, 200)
}

TEST(EdgeStepper, VerticalAndHorizontalEdges) {
  EdgeStepper e;
  e.Set(3, 0, 3, 10);
  EXPECT_EQ(e.flags, 1);
  EXPECT_EQ(e.XAt(7), 3);
  e.Set(0, 4, 9, 4);
  EXPECT_EQ(e.flags, 2);
  EXPECT_EQ(e.XAt(100), 0);
  e.Set(0, 0, 10, 3);
  EXPECT_EQ(e.XAt(1), 3);   // 1 * 10/3 = 3.33
  e.Set(10, 0, 0, 3);
  EXPECT_EQ(e.XAt(1), 6);   // 10 - 3.33, truncated
  // Extrapolated past its end (as a quad's segment may ask), a steep edge leaves
  // the int range: 32778 rows down at 65535 pixels a row.
  e.Set(-32768, -32768, 32767, -32767);
  EXPECT_EQ(e.XAt64(10), int64_t{32778} * 65535 - 32768);
  EXPECT_EQ(e.XAt(10), INT32_MAX);
}

// ---- StretchBlt ----

SurfacePtr Row(std::initializer_list<int> bytes) {
  SurfacePtr s = NewSurface(static_cast<int>(bytes.size()), 1);
  int x = 0;
  for (int b : bytes) Put(*s, x++, 0, Px{uint8_t(b), 0, 0, uint8_t(b)});
  return s;
}

TEST(StretchBlt, ShrinkingAveragesAndEnlargingRepeats) {
  struct Case {
    std::initializer_list<int> source;
    int width;
    std::vector<int> want;
  } cases[] = {
      {{10, 21, 30, 41}, 2, {15, 35}},
      {{10, 21, 30, 41}, 1, {25}},
      {{10, 20, 30}, 2, {10, 25}},
      {{7, 9}, 4, {7, 7, 9, 9}},
      {{7, 9}, 3, {7, 7, 9}},
      {{7, 9}, 2, {7, 9}},
  };
  for (const Case& c : cases) {
    SurfacePtr source = Row(c.source);
    SurfacePtr dest = NewSurface(8, 1);
    const RECT to{1, 0, 1 + c.width, 1};
    ASSERT_EQ(dest->StretchBlt(&to, source.get(), nullptr), 1);
    for (int x = 0; x < c.width; ++x) {
      EXPECT_EQ(At(*dest, 1 + x, 0)[0], c.want[x]) << c.width << " at " << x;
      EXPECT_EQ(At(*dest, 1 + x, 0)[3], c.want[x]) << "T averages the same way";
    }
    EXPECT_EQ(At(*dest, 0, 0)[0], 0);
  }
  // Along y too: four rows to two.
  SurfacePtr tall = NewSurface(1, 4);
  const int bytes[4] = {10, 21, 30, 41};
  for (int y = 0; y < 4; ++y) Put(*tall, 0, y, Px{uint8_t(bytes[y]), 0, 0, 0});
  SurfacePtr dest = NewSurface(1, 2);
  const RECT to{0, 0, 1, 2};
  ASSERT_EQ(dest->StretchBlt(&to, tall.get(), nullptr), 1);
  EXPECT_EQ(At(*dest, 0, 0)[0], 15);
  EXPECT_EQ(At(*dest, 0, 1)[0], 35);
}

TEST(StretchBlt, EmptyInvertedOrOutsideRectanglesDrawNothing) {
  SurfacePtr source = Row({10, 20, 30, 40});
  SurfacePtr dest = NewSurface(4, 1);
  const RECT good{0, 0, 2, 1};
  const RECT empty{1, 0, 1, 1}, inverted{3, 0, 1, 1}, outside{2, 0, 6, 1};
  EXPECT_EQ(dest->StretchBlt(&empty, source.get(), nullptr), 0);
  EXPECT_EQ(dest->StretchBlt(&inverted, source.get(), nullptr), 0);
  EXPECT_EQ(dest->StretchBlt(&good, source.get(), &inverted), 0);
  EXPECT_EQ(dest->StretchBlt(&good, source.get(), &outside), 0);
  EXPECT_EQ(dest->StretchBlt(&good, nullptr, nullptr), 0);
  EXPECT_EQ(At(*dest, 0, 0)[0], 0);
  // A destination partly off the surface is clipped by the final Blt.
  const RECT off{2, 0, 10, 1};
  EXPECT_EQ(dest->StretchBlt(&off, source.get(), nullptr), 1);
  EXPECT_EQ(At(*dest, 2, 0)[0], 10);
  EXPECT_EQ(At(*dest, 3, 0)[0], 10);
}

}  // namespace
