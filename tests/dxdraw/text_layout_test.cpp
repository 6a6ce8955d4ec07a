#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/text.h"
#include "platform/glyph_rasterizer.h"
#include "text_test_util.h"

namespace DxDraw {
namespace {

using testing::BoxRasterizer;
using testing::FontHolder;
using testing::MakePicture;
using testing::PixelAt;
using testing::TextRecord;

constexpr uint32_t kTransparent = 0xFF000000;

// Installs a rasterizer for the test's lifetime.
class RasterizerScope {
 public:
  explicit RasterizerScope(platform::IGlyphRasterizer* r) : previous_(platform::SetGlyphRasterizer(r)) {}
  ~RasterizerScope() { platform::SetGlyphRasterizer(previous_); }

 private:
  platform::IGlyphRasterizer* previous_;
};

struct Event {
  int event;
  uint32_t ch;
  int x, y;
};

std::vector<Event>* g_events = nullptr;
int g_before_result = 0;
int g_scroll_result = 0;

int RecordEvents(TEXTDATA* td, DxSurface*, int event, uint32_t ch) {
  if (g_events != nullptr) g_events->push_back(Event{event, ch, td->x, td->y});
  if (event == TEXTEVENT_BEFORE) return g_before_result;
  if (event == TEXTEVENT_SCROLL) return g_scroll_result;
  return 0;
}

class TextTest : public ::testing::Test {
 protected:
  TextTest() : scope_(&boxes_), font_(16) {
    td_ = TextRecord(font_.font, RECT{0, 0, 64, 32});
    g_events = &events_;
    g_before_result = 0;
    g_scroll_result = 0;
  }
  ~TextTest() override { g_events = nullptr; }

  int Draw(DxImage& image, uint32_t ch, RECT* dirty = nullptr) {
    RECT local{};
    return DrawTextChar(nullptr, image, &td_, ch, dirty ? dirty : &local);
  }

  // The kinds of the events seen so far, in order.
  std::vector<int> Kinds() const {
    std::vector<int> kinds;
    for (const Event& e : events_) kinds.push_back(e.event);
    return kinds;
  }

  BoxRasterizer boxes_;
  RasterizerScope scope_;
  FontHolder font_;
  TEXTDATA td_;
  std::vector<Event> events_;
};

TEST_F(TextTest, InitTextDataIsZeroButWhiteText) {
  TEXTDATA td;
  td.spacing = 5;
  td.flags = 7;
  InitTextData(&td);
  EXPECT_EQ(td.color, 0xFFFFFFu);
  EXPECT_EQ(td.spacing, 0);
  EXPECT_EQ(td.flags, 0u);
  EXPECT_EQ(td.pFont, nullptr);
  EXPECT_EQ(td.callback, nullptr);
}

TEST_F(TextTest, FixedAdvancesByCharacterClass) {
  struct Case {
    uint32_t ch;
    int advance;
  };
  const Case cases[] = {
      {u'A', 8},    {u' ', 8},    {0xE9, 8},    {0xFF, 8},     {0x100, 16},  {u'あ', 16},
      {0xFF61, 8},  {0xFF71, 8},  {0xFF9F, 8},  {0xFF60, 16},  {0xFFA0, 16}, {0x20B9F, 16},
  };
  for (const Case& c : cases) {
    TEXTSIZE size = GetGlyphWidth(&td_, c.ch);
    EXPECT_EQ(size.cx, c.advance) << std::hex << c.ch;
    EXPECT_EQ(size.cy, 16);
  }
}

TEST_F(TextTest, StringWidthCountsASurrogatePairAsOneCharacter) {
  td_.spacing = 2;
  std::u16string text = u"Aあ\U00020B9Fｱ";
  EXPECT_EQ(GetStringWidth(&td_, text), (8 + 2) + (16 + 2) + (16 + 2) + (8 + 2));
  td_.spacing = -1;
  EXPECT_EQ(GetStringWidth(&td_, u"AA"), 14);
}

TEST_F(TextTest, ProportionalAdvancesComeFromTheFaceAndQuarterTheLargeOne) {
  boxes_.shared->quarter_advances[u'i'] = 1;   // 4 of 16; 16 of 64
  boxes_.shared->quarter_advances[u'W'] = 5;   // 20 of 16; 80 of 64
  td_.flags = TEXT_PROPORTIONAL;
  EXPECT_EQ(GetGlyphWidth(&td_, u'i').cx, 4);
  EXPECT_EQ(GetGlyphWidth(&td_, u'W').cx, 20);
  EXPECT_EQ(GetGlyphWidth(&td_, u'A').cx, 8);
  td_.flags = TEXT_PROPORTIONAL | TEXT_LARGE;
  EXPECT_EQ(GetGlyphWidth(&td_, u'W').cx, 20);
  boxes_.shared->quarter_advances[u'm'] = 3;   // 48 of 64 -> 12; 12 of 16
  EXPECT_EQ(GetGlyphWidth(&td_, u'm').cx, 12);
}

TEST_F(TextTest, AGlyphBlendsItsCoverageInTheTextColour) {
  auto image = MakePicture(64, 32);
  td_.color = 0x00336699;  // R 0x99, G 0x66, B 0x33
  RECT dirty{};
  ASSERT_EQ(Draw(*image, u'A', &dirty), 1);
  EXPECT_EQ(td_.x, 8);
  EXPECT_EQ(dirty, (RECT{0, 0, 8, 16}));
  // Level 1 + 'A' % 15 = 6: coverage 96 over transparent black.
  unsigned c = 16u * BoxRasterizer::LevelOf(u'A');
  uint32_t b = 0x33 * c / 255, g = 0x66 * c / 255, r = 0x99 * c / 255;
  uint32_t t = 255 - (255 * c) / 255;
  EXPECT_EQ(PixelAt(*image, 0, 0), b | (g << 8) | (r << 16) | (t << 24));
  EXPECT_EQ(PixelAt(*image, 7, 15), PixelAt(*image, 0, 0));
  EXPECT_EQ(PixelAt(*image, 8, 0), kTransparent);
  EXPECT_EQ(PixelAt(*image, 0, 16), kTransparent);
}

TEST_F(TextTest, ACharacterPastTheRightEdgeWrapsFirst) {
  auto image = MakePicture(64, 64);
  td_.area = RECT{0, 0, 20, 64};
  td_.line_spacing = 3;
  td_.callback = RecordEvents;
  Draw(*image, u'A');
  Draw(*image, u'A');
  EXPECT_EQ(td_.x, 16);
  Draw(*image, u'A');  // 16 + 8 > 20
  EXPECT_EQ(td_.x, 8);
  EXPECT_EQ(td_.y, 19);
  // The wrapped glyph sits at the start of the second line.
  EXPECT_NE(PixelAt(*image, 0, 19), kTransparent);
  EXPECT_EQ(PixelAt(*image, 16, 0), kTransparent);
  EXPECT_EQ(Kinds(), (std::vector<int>{0, 1, 0, 1, 0, 2, 1}));
  EXPECT_EQ(events_[5].x, 0);
  EXPECT_EQ(events_[5].y, 19);
}

// Where the pen lands for a glyph 8 wide and 16 high, lines 16 + 4 apart, in an
// area 24 x 40: a glyph that just fits stays on its line; one that just fits
// below stays too, however far the line spacing reaches past the area.
TEST_F(TextTest, WrapAndScrollStartOnlyPastAnExactFit) {
  const struct {
    int x, y;
    int endX, endY;
  } cases[] = {
      {16, 0, 24, 0},    // 16 + 8 == 24: fits, no wrap
      {17, 0, 8, 20},    // one past: wraps down one line of 20
      {0, 24, 8, 24},    // 24 + 16 == 40: fits, no scroll (24 + 20 would not)
      {0, 25, 8, 5},     // one past: scrolls up by a line of 20
      {17, 5, 8, 5},     // wraps to 25 + 16 > 40 and scrolls back to 5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.x << "," << c.y);
    auto image = MakePicture(32, 48);
    td_.area = RECT{0, 0, 24, 40};
    td_.line_spacing = 4;
    td_.x = c.x;
    td_.y = c.y;
    Draw(*image, u'A');
    EXPECT_EQ(td_.x, c.endX);
    EXPECT_EQ(td_.y, c.endY);
    EXPECT_NE(PixelAt(*image, c.endX - 8, c.endY), kTransparent);
  }
}

TEST_F(TextTest, ALineFeedMovesByTheFontHeightAloneAndDrawsNothing) {
  auto image = MakePicture(64, 64);
  td_.area = RECT{0, 0, 64, 64};
  td_.line_spacing = 10;
  td_.callback = RecordEvents;
  Draw(*image, u'A');
  RECT dirty{};
  Draw(*image, u'\n', &dirty);
  EXPECT_EQ(td_.x, 0);
  EXPECT_EQ(td_.y, 16);
  EXPECT_TRUE(IsRectEmpty(dirty));
  EXPECT_EQ(events_.back().event, TEXTEVENT_LINEFEED);
}

TEST_F(TextTest, TheBeforeCallbackCanSkipACharacter) {
  auto image = MakePicture(64, 32);
  td_.callback = RecordEvents;
  g_before_result = 1;
  RECT dirty{};
  EXPECT_EQ(Draw(*image, u'A', &dirty), 1);
  EXPECT_EQ(td_.x, 0);
  EXPECT_TRUE(IsRectEmpty(dirty));
  EXPECT_EQ(PixelAt(*image, 0, 0), kTransparent);
  EXPECT_EQ(events_.size(), 1u);
}

// Rows of an area, marked by their row number in the blue byte.
void MarkRows(DxImage& image) {
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) image.GetPixelAddress(x, y)[0] = static_cast<uint8_t>(y);
  }
}

TEST_F(TextTest, ALineBelowTheAreaScrollsItUpAndClearsTheFreedStrip) {
  auto image = MakePicture(48, 60);
  MarkRows(*image);
  td_.area = RECT{4, 10, 44, 46};  // 36 high: two 16-pixel lines and 4 to spare
  td_.line_spacing = 2;              // lines 18 apart
  td_.x = 0;
  td_.y = 36;  // a third line would end at 52 > 36
  RECT dirty{};
  Draw(*image, u'A', &dirty);
  EXPECT_EQ(td_.y, 18);
  // Rows inside the area moved up by 18; the strip from 46 - 18 = 28 was cleared,
  // then the glyph was drawn at area top + 18 = 28.
  EXPECT_EQ(image->GetPixelAddress(20, 10)[0], 28);
  EXPECT_EQ(image->GetPixelAddress(20, 27)[0], 45);
  EXPECT_EQ(PixelAt(*image, 20, 28), kTransparent);
  EXPECT_EQ(PixelAt(*image, 20, 45), kTransparent);
  // Outside the area nothing moved.
  EXPECT_EQ(image->GetPixelAddress(2, 10)[0], 10);
  EXPECT_EQ(image->GetPixelAddress(20, 9)[0], 9);
  EXPECT_EQ(image->GetPixelAddress(20, 46)[0], 46);
  EXPECT_EQ(dirty, (RECT{4, 10, 44, 46}));
}

TEST_F(TextTest, TheClearedStripNeverReachesAboveTheArea) {
  auto image = MakePicture(48, 60);
  MarkRows(*image);
  td_.area = RECT{0, 20, 48, 40};  // 20 high
  td_.line_spacing = 14;             // a line of 30 is taller than the area
  td_.y = 16;
  Draw(*image, u'A');
  for (int y = 0; y < 20; ++y) EXPECT_EQ(image->GetPixelAddress(10, y)[0], y) << y;
  for (int y = 40; y < 60; ++y) EXPECT_EQ(image->GetPixelAddress(10, y)[0], y) << y;
}

TEST_F(TextTest, TheScrollCallbackKeepsThePixelsButTheStripIsStillCleared) {
  auto image = MakePicture(48, 60);
  MarkRows(*image);
  td_.area = RECT{0, 0, 48, 32};
  td_.callback = RecordEvents;
  g_scroll_result = 1;
  td_.y = 20;
  td_.x = 41;  // the character wraps, then scrolls
  Draw(*image, u'A');
  EXPECT_EQ(image->GetPixelAddress(30, 0)[0], 0);
  EXPECT_EQ(image->GetPixelAddress(30, 15)[0], 15);
  EXPECT_EQ(PixelAt(*image, 30, 16), kTransparent);
  EXPECT_EQ(td_.y, 20);
  EXPECT_EQ(Kinds(), (std::vector<int>{0, 2, 4, 1}));
}

TEST_F(TextTest, EffectBoxesCoverTheirGlyphs) {
  struct Case {
    uint32_t flags;
    RECT dirty;
  };
  const Case cases[] = {
      {0, {10, 10, 18, 26}},
      {TEXT_BOLD, {10, 10, 19, 26}},
      {TEXT_SHADOW, {10, 10, 19, 27}},
      {TEXT_SHADOW | TEXT_BOLD, {10, 10, 20, 27}},
      {TEXT_OUTLINE, {9, 9, 19, 27}},
      {TEXT_OUTLINE | TEXT_BOLD, {9, 9, 20, 27}},
      {TEXT_HOLLOW, {9, 9, 19, 27}},
      {TEXT_SHADOW | TEXT_OUTLINE, {9, 9, 20, 28}},
      {TEXT_SHADOW | TEXT_OUTLINE | TEXT_BOLD, {9, 9, 21, 28}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    auto image = MakePicture(40, 40);
    td_ = TextRecord(font_.font, RECT{10, 10, 40, 40}, c.flags);
    td_.color = 0xFFFFFF;
    td_.shadow_color = 0x0000FF;
    td_.outline_color = 0x00FF00;
    RECT dirty{};
    Draw(*image, u'A', &dirty);
    EXPECT_EQ(dirty, c.dirty);
    EXPECT_EQ(td_.x, 8);
    // Every changed pixel lies inside the dirty box.
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 40; ++x) {
        bool inside = x >= c.dirty.left && x < c.dirty.right && y >= c.dirty.top && y < c.dirty.bottom;
        if (!inside) {
          ASSERT_EQ(PixelAt(*image, x, y), kTransparent) << x << "," << y;
        }
      }
    }
    // The box's far corner is reached by some glyph.
    EXPECT_NE(PixelAt(*image, c.dirty.right - 1, c.dirty.bottom - 1), kTransparent);
  }
}

TEST_F(TextTest, TheBodyIsDrawnLastAndHollowTextLeavesItOut) {
  for (uint32_t flags : {uint32_t{TEXT_OUTLINE}, uint32_t{TEXT_HOLLOW}}) {
    auto image = MakePicture(40, 40, 0x00000000);  // opaque black
    td_.area = RECT{10, 10, 40, 40};
    td_.x = td_.y = 0;
    td_.flags = flags;
    td_.color = 0xFFFFFF;
    td_.outline_color = 0x00FF00;  // green
    Draw(*image, u'あ');
    uint32_t centre = PixelAt(*image, 18, 18);
    uint8_t r = static_cast<uint8_t>(centre >> 16), g = static_cast<uint8_t>(centre >> 8);
    if (flags == TEXT_HOLLOW) {
      EXPECT_EQ(r, 0) << "hollow text has no body";
      EXPECT_GT(g, 0);
    } else {
      EXPECT_GT(r, 0);
    }
  }
}

TEST_F(TextTest, LargeGlyphsAverageFourByFourSamples) {
  platform::HeadlessGlyphRasterizer headless;
  RasterizerScope scope(&headless);
  FontHolder font(16);
  td_.pFont = font.font;
  td_.flags = TEXT_LARGE;
  td_.color = 0x00FFFFFF;
  // The headless 'A' at 64 pixels: a 32 x 64 box of level 15 without its last
  // column and row, so the last cell column and row hold 12 samples, the corner 9.
  auto clear = MakePicture(16, 16);
  Draw(*clear, u'A');
  struct Cell {
    int x, y;
    unsigned c;
  };
  for (const Cell& cell : {Cell{0, 0, 240}, Cell{7, 0, 180}, Cell{0, 15, 180}, Cell{7, 15, 135}}) {
    uint32_t p = PixelAt(*clear, cell.x, cell.y);
    EXPECT_EQ(p & 0xFFFFFF, 0xFFFFFFu) << "transparent ground takes the full text colour";
    EXPECT_EQ(p >> 24, 255 - cell.c);
  }
  EXPECT_EQ(PixelAt(*clear, 8, 0), kTransparent);

  td_.x = td_.y = 0;
  auto opaque = MakePicture(16, 16, 0x00000000);
  Draw(*opaque, u'A');
  for (const Cell& cell : {Cell{0, 0, 240}, Cell{7, 0, 180}, Cell{7, 15, 135}}) {
    uint32_t p = PixelAt(*opaque, cell.x, cell.y);
    EXPECT_EQ(p & 0xFF, cell.c) << "an opaque ground weighs the colour by coverage";
    EXPECT_EQ(p >> 24, 0u);
  }
}

TEST_F(TextTest, EqualCharactersInOneRunRenderTheGlyphOnce) {
  auto image = MakePicture(64, 32);
  td_.flags = TEXT_SHADOW | TEXT_OUTLINE | TEXT_BOLD;
  TextBegin(&td_, nullptr);
  Draw(*image, u'A');
  Draw(*image, u'A');
  EXPECT_EQ(font_.font->GlyphRenders(), 1u);
  Draw(*image, u'B');
  EXPECT_EQ(font_.font->GlyphRenders(), 2u);
  TextEnd(&td_);
  EXPECT_EQ(font_.font->BeginCount(), 0);
}

TEST_F(TextTest, RecordsSharingAFontNeverDrawEachOthersGlyph) {
  TEXTDATA other = TextRecord(font_.font, RECT{0, 16, 64, 32});
  auto image = MakePicture(64, 32);
  TextBegin(&td_, nullptr);
  TextBegin(&other, nullptr);
  EXPECT_EQ(other.glyph.font, font_.font) << "the second record has its own begun state";
  Draw(*image, u'A');
  RECT dirty{};
  DrawTextChar(nullptr, *image, &other, u'あ', &dirty);
  Draw(*image, u'A');  // the image now holds あ: it must be rendered again
  EXPECT_EQ(PixelAt(*image, 8, 0), PixelAt(*image, 0, 0));
  unsigned c = 16u * BoxRasterizer::LevelOf(u'A');
  EXPECT_EQ(PixelAt(*image, 8, 0) >> 24, 255 - c);
  unsigned c2 = 16u * BoxRasterizer::LevelOf(u'あ');
  EXPECT_EQ(PixelAt(*image, 0, 16) >> 24, 255 - c2);
  TextEnd(&other);
  TextEnd(&td_);
  EXPECT_EQ(font_.font->BeginCount(), 0);
}

TEST_F(TextTest, NormalAndSmoothedRecordsOnOneFontKeepTheirOwnGlyphs) {
  platform::HeadlessGlyphRasterizer headless;
  RasterizerScope scope(&headless);
  FontHolder font(16);
  TEXTDATA normal = TextRecord(font.font, RECT{0, 0, 16, 16});
  TEXTDATA smooth = TextRecord(font.font, RECT{0, 0, 16, 16}, TEXT_LARGE);
  // What a smoothed 'A' looks like when drawn alone.
  auto alone = MakePicture(16, 16);
  RECT dirty{};
  DrawTextChar(nullptr, *alone, &smooth, u'A', &dirty);

  auto shared = MakePicture(16, 16);
  auto other = MakePicture(16, 16);
  TextBegin(&normal, nullptr);
  TextBegin(&smooth, nullptr);
  smooth.x = 0;
  DrawTextChar(nullptr, *other, &normal, u'A', &dirty);  // the same character, normal size
  DrawTextChar(nullptr, *shared, &smooth, u'A', &dirty);
  TextEnd(&smooth);
  TextEnd(&normal);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(PixelAt(*shared, x, y), PixelAt(*alone, x, y)) << x << "," << y;
  }
}

TEST_F(TextTest, GlyphsWiderThanTheImageAreDrawnWhole) {
  // An em dash three heights wide: 48 pixels at 16, 192 at 64, wider than the
  // glyph image's (16 + 8) x 4 = 96 columns.
  boxes_.shared->quarter_advances[0x2014] = 12;
  for (uint32_t flags : {uint32_t{TEXT_PROPORTIONAL}, uint32_t{TEXT_PROPORTIONAL | TEXT_LARGE}}) {
    SCOPED_TRACE(flags);
    auto image = MakePicture(64, 32);
    td_.x = td_.y = 0;
    td_.flags = flags;
    Draw(*image, 0x2014);
    EXPECT_EQ(td_.x, 48);
    EXPECT_NE(PixelAt(*image, 47, 15), kTransparent);
    EXPECT_EQ(PixelAt(*image, 48, 0), kTransparent);
  }
  // Eight heights wide in the normal face: 128 columns.
  boxes_.shared->quarter_advances[0x2E3B] = 32;
  auto wide = MakePicture(160, 16);
  td_.area = RECT{0, 0, 160, 16};
  td_.x = td_.y = 0;
  td_.flags = TEXT_PROPORTIONAL;
  Draw(*wide, 0x2E3B);
  EXPECT_NE(PixelAt(*wide, 127, 0), kTransparent);
}

TEST_F(TextTest, ASurrogatePairIsRenderedFromBothUnits) {
  auto image = MakePicture(64, 32);
  Draw(*image, 0x20B9F);
  EXPECT_EQ(boxes_.shared->last_text, std::u16string(u"\U00020B9F"));
  EXPECT_EQ(td_.x, 16);
}

TEST_F(TextTest, GlyphsAreCutToThePicture) {
  auto image = MakePicture(20, 10);
  td_.area = RECT{-4, -4, 40, 40};
  RECT dirty{};
  Draw(*image, u'あ', &dirty);
  EXPECT_EQ(dirty, (RECT{0, 0, 12, 10}));
  EXPECT_NE(PixelAt(*image, 11, 9), kTransparent);
  EXPECT_EQ(PixelAt(*image, 12, 0), kTransparent);
}

TEST_F(TextTest, AreasReachingPastThePictureScrollAndClearOnlyInside) {
  struct Case {
    RECT area;
    int32_t line_spacing;
  };
  const Case cases[] = {
      {{-10, -10, 80, 50}, 0},   {{10, 10, 30, 20}, 0},    {{0, 0, 64, 32}, -20},
      {{0, 0, 64, 32}, 500},     {{40, 20, 200, 300}, 3},  {{0, 0, 0, 0}, 0},
      {{30, 30, 10, 10}, 0},     {{-500, -500, -400, -400}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.area.left << "," << c.area.top << "," << c.area.right
                                      << "," << c.area.bottom << " spacing " << c.line_spacing);
    auto image = MakePicture(64, 32);
    td_.area = c.area;
    td_.line_spacing = c.line_spacing;
    td_.x = td_.y = 0;
    for (int i = 0; i < 40; ++i) {
      RECT dirty{};
      Draw(*image, i % 3 ? u'あ' : u'A', &dirty);
      RECT inside;
      if (!IsRectEmpty(dirty)) {
        ASSERT_TRUE(IntersectRect(inside, dirty, RECT{0, 0, 64, 32}));
        EXPECT_EQ(inside, dirty);
      }
    }
  }
}

std::vector<std::u16string>* g_assertions = nullptr;
void CaptureAssertion(const char16_t*, int, const char16_t* expression) {
  if (g_assertions != nullptr) g_assertions->push_back(expression);
}

TEST_F(TextTest, MisuseIsReportedAndDrawsNothing) {
  std::vector<std::u16string> assertions;
  g_assertions = &assertions;
  AssertionHandler previous = SetAssertionHandler(CaptureAssertion);
  auto image = MakePicture(16, 16);
  td_.pFont = nullptr;
  EXPECT_EQ(Draw(*image, u'A'), 0);
  EXPECT_EQ(PixelAt(*image, 0, 0), kTransparent);
  TextEnd(&td_);
  SetAssertionHandler(previous);
  g_assertions = nullptr;
  EXPECT_EQ(assertions, (std::vector<std::u16string>{u"pData->pFont", u"m_BeginCount"}));
}

TEST_F(TextTest, FontFaceNamesAreCutToThirtyOneUnits) {
  platform::HeadlessGlyphRasterizer headless;
  RasterizerScope scope(&headless);
  std::u16string longer(40, u'字');
  FontHolder font(20, longer.c_str());
  EXPECT_EQ(std::u16string(font.font->GetLogFont().lfFaceName), std::u16string(31, u'字'));
  EXPECT_EQ(font.font->GetLogFont().lfHeight, 20);
  FontHolder defaults(16);
  EXPECT_EQ(std::u16string(defaults.font->GetLogFont().lfFaceName), u"ＭＳ 明朝");
  EXPECT_EQ(defaults.font->GetLogFont().lfWeight, 400);
  EXPECT_EQ(defaults.font->GetLogFont().lfPitchAndFamily, 1);
  EXPECT_EQ(defaults.font->AddRef(), 2u);
  EXPECT_EQ(defaults.font->Release(), 1u);
}

}  // namespace
}  // namespace DxDraw

namespace DxDraw {
namespace {

TEST(SurfaceTextTest, DrawCharMarksTheChangedPixelsDirtyOnBottomUpAndTopDownSurfaces) {
  BoxRasterizer boxes;
  RasterizerScope scope(&boxes);
  FontHolder font(16);
  for (int height : {32, -32}) {
    SCOPED_TRACE(height);
    DxSurface* surface = CreateSurface(32);
    ASSERT_NE(surface, nullptr);
    surface->Create(64, height);
    surface->FillRect(nullptr, 0, 0);
    surface->ClearDirty();
    TEXTDATA td = TextRecord(font.font, RECT{4, 4, 64, 32});
    EXPECT_EQ(surface->DrawChar(&td, u'あ'), 1);
    EXPECT_EQ(surface->GetDirty(), (RECT{4, 4, 20, 20}));
    EXPECT_NE(PixelAt(*surface, 4, 4), kTransparent);
    EXPECT_EQ(PixelAt(*surface, 3, 3), kTransparent);
    surface->Release();
  }
}

}  // namespace
}  // namespace DxDraw
