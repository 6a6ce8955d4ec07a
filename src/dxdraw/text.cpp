#include "dxdraw/text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/exception.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/image.h"
#include "platform/glyph_rasterizer.h"
#include "platform/text.h"

namespace DxDraw {

namespace {

constexpr char16_t kSource[] = u"dxdraw/dxsurface";
constexpr char16_t kDefaultFace[] = u"ＭＳ 明朝";
constexpr int kDefaultHeight = 16;

// The character's UTF-16 form: one unit, or a surrogate pair above U+FFFF.
std::u16string_view Utf16Of(uint32_t ch, char16_t (&buffer)[2]) {
  if (ch >= 0x10000 && ch <= 0x10FFFF) {
    uint32_t v = ch - 0x10000;
    buffer[0] = static_cast<char16_t>(0xD800 + (v >> 10));
    buffer[1] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    return std::u16string_view(buffer, 2);
  }
  buffer[0] = static_cast<char16_t>(ch);
  return std::u16string_view(buffer, 1);
}

void Unite(RECT* dirty, const RECT& r) {
  if (dirty != nullptr) UnionRect(*dirty, *dirty, r);
}

// The picture's rectangle; a top-down image stores its height negative.
RECT Bounds(const DxImage& image) { return RECT{0, 0, image.GetWidth(), std::abs(image.GetHeight())}; }

// Pixels of the 32-bit image: B, G, R, T.
uint8_t* Pixel(DxImage& image, int x, int y) { return image.GetPixelAddress(x, y); }

// Fills a rectangle (cut to the image) with transparent black.
void ClearRect(DxImage& image, const RECT& rect, RECT* dirty) {
  RECT r;
  if (!IntersectRect(r, rect, Bounds(image))) return;
  for (int y = r.top; y < r.bottom; ++y) {
    uint8_t* p = Pixel(image, r.left, y);
    for (int x = r.left; x < r.right; ++x, p += 4) {
      p[0] = p[1] = p[2] = 0;
      p[3] = 0xFF;
    }
  }
  Unite(dirty, r);
}

// Moves the pixels of the area (cut to the image) up by `distance` rows; the
// bottom rows keep what they had.
void ScrollUp(DxImage& image, const RECT& area, int distance) {
  RECT r;
  if (distance <= 0 || !IntersectRect(r, area, Bounds(image))) return;
  size_t bytes = static_cast<size_t>(RectWidth(r)) * 4;
  for (int y = r.top; y + distance < r.bottom; ++y) {
    std::memmove(Pixel(image, r.left, y), Pixel(image, r.left, y + distance), bytes);
  }
}

// Blends the glyph the font holds at (x, y), w x h, in `color`. The caller
// marks the whole character's box dirty once.
void BlendGlyph(DxImage& image, const DxFont& font, bool large, int x, int y, TEXTSIZE size,
                uint32_t color) {
  RECT cut;
  if (!IntersectRect(cut, RECT{x, y, x + size.cx, y + size.cy}, Bounds(image))) return;
  const uint8_t text[3] = {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                           static_cast<uint8_t>(color)};
  const uint8_t* glyph = font.GlyphPixels();
  const int pitch = font.GlyphWidth();
  const int scale = large ? 4 : 1;
  // Cells of the glyph image; a glyph wider than the image reads nothing past it.
  const int columns = font.GlyphWidth() / scale;
  const int rows = font.GlyphHeight() / scale;
  for (int py = cut.top; py < cut.bottom; ++py) {
    int v = py - y;
    if (v >= rows) break;
    uint8_t* p = Pixel(image, cut.left, py);
    for (int px = cut.left; px < cut.right; ++px, p += 4) {
      int u = px - x;
      if (u >= columns) break;
      unsigned c = 0;
      if (large) {
        for (int j = 0; j < 4; ++j) {
          const uint8_t* row = glyph + static_cast<size_t>(4 * v + j) * static_cast<size_t>(pitch) + 4 * u;
          c += row[0] + row[1] + row[2] + row[3];
        }
      } else {
        c = 16u * glyph[static_cast<size_t>(v) * static_cast<size_t>(pitch) + static_cast<size_t>(u)];
      }
      if (c == 0) continue;
      c = std::min(c, 255u);
      unsigned t = p[3];
      unsigned k = large ? std::min(255u, t + c) : c;
      for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>((p[i] * (255 - k) + k * text[i]) / 255);
      p[3] = static_cast<uint8_t>(255 - ((255 - t) * (255 - c) + 255 * c) / 255);
    }
  }
}

void DrawGlyphAt(DxImage& image, TEXTDATA* td, uint32_t ch, int x, int y, TEXTSIZE size,
                 uint32_t color) {
  DxFont* font = td->glyph.font != nullptr ? td->glyph.font : td->pFont;
  bool large = td->glyph.large != 0;
  font->RenderGlyph(ch, large);
  BlendGlyph(image, *font, large, x, y, size, color);
}

int DrawGlyph(DxSurface* surface, DxImage& image, TEXTDATA* td, uint32_t ch, TEXTSIZE size,
              RECT* dirty) {
  if (image.GetBits() == nullptr || image.GetDepth() != 32) return 0;
  if (ch == u'\n') {
    td->x = 0;
    td->y += size.cy;
    if (td->callback != nullptr) td->callback(td, surface, TEXTEVENT_LINEFEED, ch);
    return 1;
  }
  const int x = td->area.left + td->x;
  const int y = td->area.top + td->y;
  const uint32_t flags = td->flags;
  const bool bold = (flags & TEXT_BOLD) != 0;
  const bool outline = (flags & (TEXT_OUTLINE | TEXT_HOLLOW)) != 0;
  static constexpr int kNeighbours[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                            {1, 0},   {-1, 1}, {0, 1},  {1, 1}};
  TextBegin(td, surface);
  if (flags & TEXT_SHADOW) {
    const int sx = x + 1, sy = y + 1;
    DrawGlyphAt(image, td, ch, sx, sy, size, td->shadow_color);
    if (outline) {
      for (const auto& n : kNeighbours) {
        DrawGlyphAt(image, td, ch, sx + n[0], sy + n[1], size, td->shadow_color);
      }
      if (bold) {
        for (int dy = 0; dy < 3; ++dy) DrawGlyphAt(image, td, ch, x + 3, y + dy, size, td->shadow_color);
      }
    } else if (bold) {
      DrawGlyphAt(image, td, ch, x + 2, y + 1, size, td->shadow_color);
    }
  }
  if (outline) {
    for (const auto& n : kNeighbours) {
      DrawGlyphAt(image, td, ch, x + n[0], y + n[1], size, td->outline_color);
    }
    if (bold) {
      for (int dy = -1; dy <= 1; ++dy) DrawGlyphAt(image, td, ch, x + 2, y + dy, size, td->outline_color);
    }
  }
  if (!(flags & TEXT_HOLLOW)) {
    DrawGlyphAt(image, td, ch, x, y, size, td->color);
    if (bold) DrawGlyphAt(image, td, ch, x + 1, y, size, td->color);
  }
  TextEnd(td);
  td->x += size.cx;
  RECT box{x, y, x + size.cx + (bold ? 1 : 0) + ((flags & TEXT_SHADOW) ? 1 : 0),
           y + size.cy + ((flags & TEXT_SHADOW) ? 1 : 0)};
  if (outline) box = RECT{box.left - 1, box.top - 1, box.right + 1, box.bottom + 1};
  RECT cut;
  if (IntersectRect(cut, box, Bounds(image))) Unite(dirty, cut);
  if (td->callback != nullptr) td->callback(td, surface, TEXTEVENT_AFTER, ch);
  return 1;
}

}  // namespace

void InitTextData(TEXTDATA* data) {
  *data = TEXTDATA{};
  data->color = 0xFFFFFF;
}

DxFont::DxFont() {
  m_LogFont = LOGFONTW{};
  m_LogFont.lfHeight = kDefaultHeight;
  m_LogFont.lfWeight = 400;
  m_LogFont.lfCharSet = 1;         // DEFAULT_CHARSET
  m_LogFont.lfPitchAndFamily = 1;  // FIXED_PITCH
  platform::CopyWide(m_LogFont.lfFaceName, 32, kDefaultFace);
}

DxFont::~DxFont() = default;

int DxFont::Create(const char16_t* face, int height) {
  if (m_nBeginCount != 0) ReportAssertion(kSource, __LINE__, u"m_nBeginCount == 0");
  platform::CopyWide(m_LogFont.lfFaceName, 32, face != nullptr ? face : kDefaultFace);
  m_LogFont.lfHeight = height;
  // A Windows height of 0 or below asks for a default or a character height;
  // the engine always passes a cell height, so any other value becomes one.
  m_Height = height > 0 ? height : (height < 0 ? -height : kDefaultHeight);
  platform::FontRequest request;
  request.family = m_LogFont.lfFaceName;
  request.weight = m_LogFont.lfWeight;
  request.italic = m_LogFont.lfItalic != 0;
  request.height = m_Height * 4;
  m_Large = platform::GlyphRasterizer().OpenFace(request);
  request.height = m_Height;
  m_Normal = platform::GlyphRasterizer().OpenFace(request);
  m_GlyphWidth = (m_Height + m_Height / 2) * 4;
  m_GlyphHeight = m_Height * 4;
  m_Glyph.assign(static_cast<size_t>(m_GlyphWidth) * static_cast<size_t>(m_GlyphHeight), 0);
  m_CachedChar = 0;
  return HasFaces() ? 1 : 0;
}

uint32_t DxFont::AddRef() { return ++m_nRefCount; }

uint32_t DxFont::Release() {
  if (m_nRefCount == 0) return 0;
  if (--m_nRefCount != 0) return m_nRefCount;
  if (m_nBeginCount != 0) ReportAssertion(kSource, __LINE__, u"m_nBeginCount==0");
  delete this;
  return 0;
}

void DxFont::Begin(GLYPHSTATE* state, DxSurface* target, bool large) {
  state->large = large ? 1 : 0;
  state->target = target;
  state->font = this;
  ++m_nBeginCount;
}

void DxFont::End(GLYPHSTATE* state) {
  if (m_nBeginCount == 0) {
    ReportAssertion(kSource, __LINE__, u"m_nBeginCount");
    return;
  }
  state->font = nullptr;
  if (--m_nBeginCount == 0) m_CachedChar = 0;
}

int DxFont::TextExtent(std::u16string_view text, bool large) {
  platform::IFontFace* face = large ? m_Large.get() : m_Normal.get();
  return face != nullptr ? face->TextWidth(text) : 0;
}

void DxFont::RenderGlyph(uint32_t ch, bool large) {
  if (m_CachedChar == ch && m_CachedLarge == large && ch != 0) return;
  platform::IFontFace* face = large ? m_Large.get() : m_Normal.get();
  char16_t buffer[2];
  std::u16string_view text = Utf16Of(ch, buffer);
  if (face != nullptr) {
    // A glyph wider than the image widens it, so no part of it is lost.
    int needed = face->TextWidth(text);
    if (needed > m_GlyphWidth) {
      m_GlyphWidth = needed;
      m_Glyph.assign(static_cast<size_t>(m_GlyphWidth) * static_cast<size_t>(m_GlyphHeight), 0);
    }
  }
  std::fill(m_Glyph.begin(), m_Glyph.end(), uint8_t{0});
  if (face != nullptr) face->Render(text, m_Glyph, m_GlyphWidth, m_GlyphHeight, m_GlyphWidth);
  m_CachedChar = ch;
  m_CachedLarge = large;
  ++m_Renders;
}

void TextBegin(TEXTDATA* data, DxSurface* surface) {
  if (data->m_BeginCount == 0 && data->pFont != nullptr) {
    data->pFont->Begin(&data->glyph, surface, (data->flags & TEXT_LARGE) != 0);
  }
  ++data->m_BeginCount;
}

void TextEnd(TEXTDATA* data) {
  if (data->m_BeginCount <= 0) {
    ReportAssertion(kSource, __LINE__, u"m_BeginCount");
    return;
  }
  if (--data->m_BeginCount == 0 && data->glyph.font != nullptr) data->glyph.font->End(&data->glyph);
}

TEXTSIZE GetGlyphWidth(const TEXTDATA* data, uint32_t ch) {
  if (data->pFont == nullptr) return TEXTSIZE{0, 0};
  int h = data->pFont->GetHeight();
  int w;
  if (data->flags & TEXT_PROPORTIONAL) {
    char16_t buffer[2];
    bool large = (data->flags & TEXT_LARGE) != 0;
    w = data->pFont->TextExtent(Utf16Of(ch, buffer), large);
    if (large) w /= 4;
  } else {
    bool half = ch < 0x100 || (ch >= 0xFF61 && ch <= 0xFF9F);
    w = half ? h / 2 : h;
  }
  return TEXTSIZE{w, h};
}

int GetStringWidth(const TEXTDATA* data, std::u16string_view text) {
  int width = 0;
  for (size_t i = 0; i < text.size();) {
    uint32_t ch = platform::NextCodePoint(text, i);
    width += GetGlyphWidth(data, ch).cx + data->spacing;
  }
  return width;
}

int DrawTextChar(DxSurface* surface, DxImage& pixels, TEXTDATA* td, uint32_t ch, RECT* dirty) {
  if (td->callback != nullptr && td->callback(td, surface, TEXTEVENT_BEFORE, ch) == 1) return 1;
  if (td->pFont == nullptr) {
    ReportAssertion(kSource, __LINE__, u"pData->pFont");
    return 0;
  }
  TextBegin(td, surface);
  TEXTSIZE size = GetGlyphWidth(td, ch);
  const int line = size.cy + td->line_spacing;
  if (td->x + size.cx > RectWidth(td->area)) {
    td->y += line;
    td->x = 0;
    if (td->callback != nullptr) td->callback(td, surface, TEXTEVENT_WRAP, ch);
  }
  if (td->y + size.cy > RectHeight(td->area)) {
    bool keep = td->callback != nullptr && td->callback(td, surface, TEXTEVENT_SCROLL, 0) != 0;
    if (!keep) ScrollUp(pixels, td->area, line);
    td->y -= line;
    // The freed strip lies inside the area, whatever the area's top.
    RECT strip{td->area.left, std::max(td->area.top, td->area.bottom - line), td->area.right,
               td->area.bottom};
    ClearRect(pixels, strip, dirty);
    RECT area;
    if (IntersectRect(area, td->area, Bounds(pixels))) Unite(dirty, area);
  }
  int result = DrawGlyph(surface, pixels, td, ch, size, dirty);
  TextEnd(td);
  return result;
}

int DxSurface32::DrawChar(TEXTDATA* text, uint32_t ch) {
  RECT dirty{};
  int result = DrawTextChar(this, *this, text, ch, &dirty);
  if (!IsRectEmpty(dirty)) AddDirtyRect(&dirty);
  return result;
}

}  // namespace DxDraw
