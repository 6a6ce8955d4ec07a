#include <gtest/gtest.h>

#include <algorithm>

#include "dxdraw/text.h"
#include "backend/fonts/font_freetype.h"
#include "text_test_util.h"

namespace DxDraw {
namespace {

using testing::MakePicture;
using testing::PixelAt;
using testing::TextRecord;

class FreeTypeTextTest : public ::testing::Test {
 protected:
  FreeTypeTextTest() { previous_ = platform::SetGlyphRasterizer(&rasterizer_); }
  ~FreeTypeTextTest() override { platform::SetGlyphRasterizer(previous_); }

  platform::FreeTypeRasterizer rasterizer_;
  platform::IGlyphRasterizer* previous_ = nullptr;
};

// The pixels of a box that the text changed.
int ChangedPixels(const DxImage& image, const RECT& box) {
  int changed = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) changed += PixelAt(image, x, y) != 0xFF000000u;
  }
  return changed;
}

TEST_F(FreeTypeTextTest, DrawsJapaneseTextWithTheInstalledFonts) {
  ASSERT_TRUE(rasterizer_.ok());
  testing::FontHolder font(24, u"ＭＳ 明朝");
  ASSERT_TRUE(font.font->HasFaces());
  TEXTDATA td = TextRecord(font.font, RECT{0, 0, 200, 60});
  auto image = MakePicture(200, 60);
  std::u16string text = u"日本語のテキスト";
  TextBegin(&td, nullptr);
  for (char16_t ch : text) {
    RECT dirty{};
    ASSERT_EQ(DrawTextChar(nullptr, *image, &td, ch, &dirty), 1);
  }
  TextEnd(&td);
  EXPECT_EQ(td.x, 8 * 24);
  // Every character left ink inside its own cell, and nothing fell below the line.
  for (int i = 0; i < 8; ++i) {
    EXPECT_GT(ChangedPixels(*image, RECT{24 * i, 0, 24 * i + 24, 24}), 10) << i;
  }
  EXPECT_EQ(ChangedPixels(*image, RECT{0, 26, 200, 60}), 0);
  // Different characters give different pictures.
  int a = 0, b = 0;
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) {
      a += PixelAt(*image, x, y) != PixelAt(*image, x + 24, y);
      b += PixelAt(*image, x + 24, y) != PixelAt(*image, x + 48, y);
    }
  }
  EXPECT_GT(a, 0);
  EXPECT_GT(b, 0);
}

TEST_F(FreeTypeTextTest, SmoothedGlyphsHavePartialCoverage) {
  testing::FontHolder font(20, u"ＭＳ ゴシック");
  TEXTDATA td = TextRecord(font.font, RECT{0, 0, 40, 20}, TEXT_LARGE);
  auto image = MakePicture(40, 20);
  RECT dirty{};
  DrawTextChar(nullptr, *image, &td, u'永', &dirty);
  int partial = 0, full = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      uint32_t t = PixelAt(*image, x, y) >> 24;
      partial += t > 15 && t < 255;
      full += t <= 15;
    }
  }
  EXPECT_GT(partial, 0);
  EXPECT_GT(full + partial, 20);
}

TEST_F(FreeTypeTextTest, ProportionalAdvancesAreNarrowerForNarrowLetters) {
  testing::FontHolder font(24, u"ＭＳ Ｐゴシック");
  TEXTDATA td = TextRecord(font.font, RECT{}, TEXT_PROPORTIONAL);
  int i = GetGlyphWidth(&td, u'i').cx;
  int w = GetGlyphWidth(&td, u'W').cx;
  EXPECT_GT(i, 0);
  EXPECT_LT(i, w);
  td.flags = TEXT_PROPORTIONAL | TEXT_LARGE;
  EXPECT_NEAR(GetGlyphWidth(&td, u'W').cx, w, 2);
}

TEST_F(FreeTypeTextTest, WindowsFacesStandForInstalledJapaneseFaces) {
  EXPECT_EQ(platform::FreeTypeRasterizer::SubstituteFamily(u"ＭＳ 明朝"), u"IPAMincho");
  EXPECT_EQ(platform::FreeTypeRasterizer::SubstituteFamily(u"ＭＳ Ｐ明朝"), u"IPAPMincho");
  EXPECT_EQ(platform::FreeTypeRasterizer::SubstituteFamily(u"ＭＳ ゴシック"), u"IPAGothic");
  EXPECT_EQ(platform::FreeTypeRasterizer::SubstituteFamily(u"ＭＳ Ｐゴシック"), u"IPAPGothic");
  EXPECT_EQ(platform::FreeTypeRasterizer::SubstituteFamily(u""), u"IPAMincho");
  EXPECT_EQ(platform::FreeTypeRasterizer::SubstituteFamily(u"IPAGothic"), u"IPAGothic");
  platform::FontRequest request;
  request.family = u"存在しない書体";
  request.height = 16;
  auto face = rasterizer_.OpenFace(request);
  ASSERT_NE(face, nullptr) << "an unknown family falls back to a Japanese face";
  EXPECT_GT(face->TextWidth(u"あ"), 0);
}

TEST_F(FreeTypeTextTest, CellsAreExactlyTheAskedHeight) {
  for (const char16_t* family : {u"ＭＳ 明朝", u"ＭＳ ゴシック", u"ＭＳ Ｐゴシック"}) {
    for (int height : {12, 16, 17, 24, 33, 64, 96}) {
      platform::FontRequest request;
      request.family = family;
      request.height = height;
      auto face = rasterizer_.OpenFace(request);
      ASSERT_NE(face, nullptr);
      EXPECT_EQ(face->CellHeight(), height);
    }
  }
}

TEST_F(FreeTypeTextTest, TheFontListHoldsFixedJapaneseFacesUnderTheirOwnAndTheWindowsNames) {
  std::vector<std::u16string> families = rasterizer_.ListFontFamilies();
  auto listed = [&](std::u16string_view f) { return std::find(families.begin(), families.end(), f) != families.end(); };
  const struct {
    std::u16string_view family;
    bool expected;
  } cases[] = {
      {u"IPAGothic", true},   {u"IPAMincho", true},      {u"ＭＳ 明朝", true},
      {u"ＭＳ ゴシック", true}, {u"IPAPGothic", false},    {u"ＭＳ Ｐゴシック", false},  // proportional
      {u"MS Mincho", false},  // the Latin spelling would list the face twice
  };
  for (const auto& c : cases) EXPECT_EQ(listed(c.family), c.expected) << platform::Utf16ToUtf8(c.family);
  for (const std::u16string& f : families) EXPECT_NE(f.front(), u'@');
  EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
}

// Glyphs stand on one baseline: letters without descenders end on the same row,
// a descender goes below it and a capital rises above a small letter.
TEST_F(FreeTypeTextTest, GlyphsStandOnTheBaselineOfTheCell) {
  platform::FontRequest request;
  request.family = u"ＭＳ ゴシック";
  request.height = 32;
  auto face = rasterizer_.OpenFace(request);
  ASSERT_NE(face, nullptr);
  struct Ink {
    int top = 99, bottom = -1;
  };
  auto ink = [&](char16_t ch) {
    std::vector<uint8_t> pixels(48 * 32, 0);
    face->Render(std::u16string(1, ch), pixels, 48, 32, 48);
    Ink r;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 48; ++x) {
        if (pixels[y * 48 + x] == 0) continue;
        r.top = std::min(r.top, y);
        r.bottom = std::max(r.bottom, y);
      }
    }
    return r;
  };
  const Ink x = ink(u'x'), h = ink(u'H'), g = ink(u'g');
  EXPECT_EQ(x.bottom, h.bottom);
  EXPECT_GT(g.bottom, x.bottom + 2);
  EXPECT_LT(h.top, x.top - 2);
  EXPECT_GT(x.bottom, 16);  // the baseline lies in the lower part of the cell
  EXPECT_LT(g.bottom, 32);
}

}  // namespace
}  // namespace DxDraw
