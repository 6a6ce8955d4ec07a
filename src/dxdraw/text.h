// Text drawn character by character into 32-bit surfaces: a font renders one
// glyph at a time into its coverage image, and the glyph is blended into the
// surface in the text colour, with shadow, outline and bold, wrapping and
// scrolling a text area and growing the surface's dirty rectangle.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dxdraw/rect.h"

namespace platform {
class IFontFace;
}

namespace DxDraw {

class DxImage;
class DxSurface;
class DxFont;
struct TEXTDATA;

// Effect flags of TEXTDATA.
enum : uint32_t {
  TEXT_BOLD = 0x1,
  TEXT_SHADOW = 0x2,
  TEXT_OUTLINE = 0x4,
  TEXT_HOLLOW = 0x8,  // the outline alone: the body is not drawn
  TEXT_PROPORTIONAL = 0x10,
  TEXT_LARGE = 0x8000,  // glyphs rendered at four times the height and averaged
};

// Events of the layout callback.
enum : int {
  TEXTEVENT_BEFORE = 0,    // before a character; a result of 1 skips it
  TEXTEVENT_AFTER = 1,     // after a character was drawn
  TEXTEVENT_WRAP = 2,      // after a wrap to a new line
  TEXTEVENT_LINEFEED = 3,  // after a line feed
  TEXTEVENT_SCROLL = 4,    // before the area scrolls; nonzero keeps the pixels where they are
};

using TextCallback = int (*)(TEXTDATA* data, DxSurface* surface, int event, uint32_t ch);

// What one TEXTDATA has begun on its font. Each record has its own, so records
// sharing a font do not see each other's glyphs.
struct GLYPHSTATE {
  uint32_t large = 0;           // glyphs come from the four-times face
  DxSurface* target = nullptr;  // the surface being drawn into
  DxFont* font = nullptr;       // the font begun (null outside a begin)
};

struct TEXTDATA {
  int32_t spacing;       // added per character by GetStringWidth only
  int32_t line_spacing;  // added to every line's height
  int32_t m_BeginCount;  // nesting of TextBegin
  GLYPHSTATE glyph;
  RECT area;             // the text area, in the target surface's coordinates
  int32_t x;             // pen, relative to the area's top-left
  int32_t y;
  uint32_t color;          // 0x00BBGGRR
  uint32_t shadow_color;   // 0x00BBGGRR
  uint32_t outline_color;  // 0x00BBGGRR
  uint32_t flags;          // TEXT_*
  uint32_t user[2];        // free for the owner
  TextCallback callback;   // layout events, or null
  DxFont* pFont;
};

// Every field 0 but the text colour, white.
void InitTextData(TEXTDATA* data);

// A Windows logical font, as the font keeps it.
struct LOGFONTW {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char16_t lfFaceName[32];
};

// A font: the face at its height and at four times its height, and the one
// glyph image both render into. Counted by reference.
class DxFont {
 public:
  DxFont();
  DxFont(const DxFont&) = delete;
  DxFont& operator=(const DxFont&) = delete;

  // Fills the logical font (null face: "ＭＳ 明朝") and opens both faces.
  // 1 on success; 0 when no face could be had (text then draws nothing).
  int Create(const char16_t* face, int height);
  uint32_t AddRef();
  // Count - 1; at 0 the font is deleted. A count of 0 returns 0.
  uint32_t Release();

  // Starts a run of glyphs for one record.
  void Begin(GLYPHSTATE* state, DxSurface* target, bool large);
  void End(GLYPHSTATE* state);

  const LOGFONTW& GetLogFont() const { return m_LogFont; }
  // The cell height in pixels (the height given to Create).
  int GetHeight() const { return m_Height; }
  bool HasFaces() const { return m_Normal != nullptr && m_Large != nullptr; }
  // The width of text in the normal or the four-times face.
  int TextExtent(std::u16string_view text, bool large);

  // Renders a character into the glyph image unless it holds it already.
  void RenderGlyph(uint32_t ch, bool large);
  // The glyph image: coverage 0..15, rows GlyphWidth() bytes apart, top row first.
  const uint8_t* GlyphPixels() const { return m_Glyph.data(); }
  int GlyphWidth() const { return m_GlyphWidth; }
  int GlyphHeight() const { return m_GlyphHeight; }
  // Glyphs rendered since creation (each render of a character not cached).
  uint64_t GlyphRenders() const { return m_Renders; }
  int BeginCount() const { return m_nBeginCount; }

 private:
  ~DxFont();

  LOGFONTW m_LogFont;
  int m_Height = 16;  // pixel height the faces were opened at
  std::unique_ptr<platform::IFontFace> m_Normal;
  std::unique_ptr<platform::IFontFace> m_Large;
  // (h + h / 2) x 4 wide and 4h high, widened when a glyph needs more.
  std::vector<uint8_t> m_Glyph;
  int m_GlyphWidth = 0;
  int m_GlyphHeight = 0;
  // The glyph the image holds: kept in the font with the face it came from,
  // since every record on this font renders into the same image.
  uint32_t m_CachedChar = 0;
  bool m_CachedLarge = false;
  uint64_t m_Renders = 0;
  uint32_t m_nRefCount = 1;
  int m_nBeginCount = 0;
};

struct TEXTSIZE {
  int32_t cx;
  int32_t cy;
};

void TextBegin(TEXTDATA* data, DxSurface* surface);
void TextEnd(TEXTDATA* data);

// The advance (cx) and height (cy) of one character.
TEXTSIZE GetGlyphWidth(const TEXTDATA* data, uint32_t ch);
// The sum over the characters (a surrogate pair is one) of advance plus spacing.
int GetStringWidth(const TEXTDATA* data, std::u16string_view text);

// Lays out and draws one character into `pixels` (the 32-bit image part of
// `surface`, which the layout callback receives). Every rectangle changed is
// united into *dirty. Returns 1 when handled, 0 when nothing could be drawn.
int DrawTextChar(DxSurface* surface, DxImage& pixels, TEXTDATA* data, uint32_t ch, RECT* dirty);

}  // namespace DxDraw
