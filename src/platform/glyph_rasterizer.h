// Renders text one character at a time for the renderer's text: faces found by
// family name, integer advances, and glyphs as 16-level coverage images whose
// cell (ascent + descent) starts at (0, 0). The real rasterizer is FreeType with
// fontconfig (platform_fonts); the headless one draws exact boxes for tests.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What a face is asked for, in the terms of a Windows logical font.
struct FontRequest {
  std::u16string family;  // e.g. "ＭＳ 明朝"; empty: the default Japanese face
  int height = 16;        // cell height in pixels (ascent + descent)
  int weight = 400;       // 400 normal, 700 bold
  bool italic = false;
};

// The highest coverage level a rendered pixel can have.
inline constexpr uint8_t kGlyphLevels = 15;

// One face at one size.
class IFontFace {
 public:
  virtual ~IFontFace() = default;
  // The cell height in pixels.
  virtual int CellHeight() const = 0;
  // The width of the text as drawn: the sum of the characters' integer advances.
  virtual int TextWidth(std::u16string_view text) = 0;
  // Draws the text with its cell's top-left at (0, 0) into an 8-bit image of
  // coverage levels 0..15 (rows `pitch` bytes apart, top row first), clipped to
  // width x height. Pixels the glyphs do not touch are left as they are.
  virtual void Render(std::u16string_view text, std::span<uint8_t> pixels, int width, int height,
                      int pitch) = 0;
};

class IGlyphRasterizer {
 public:
  virtual ~IGlyphRasterizer() = default;
  // A face for the request; null when no face at all can be had.
  virtual std::unique_ptr<IFontFace> OpenFace(const FontRequest& request) = 0;
  // Families a player may choose for message text: Japanese scalable faces with
  // fixed or dual spacing, none whose name starts with '@'.
  virtual std::vector<std::u16string> ListFontFamilies() = 0;
};

// Glyphs as boxes, so tests can predict every pixel: a character advances half
// the height below U+0100 and for half-width katakana (U+FF61-U+FF9F), the full
// height otherwise; its glyph fills the advance x height box with level 15 but
// leaves the box's last column and last row empty.
class HeadlessGlyphRasterizer : public IGlyphRasterizer {
 public:
  std::unique_ptr<IFontFace> OpenFace(const FontRequest& request) override;
  std::vector<std::u16string> ListFontFamilies() override;
  // Faces opened so far, and texts rendered by them (tests count renders).
  int faces_opened() const { return faces_opened_; }
  int renders() const { return *renders_; }

 private:
  int faces_opened_ = 0;
  std::shared_ptr<int> renders_ = std::make_shared<int>(0);
};

// The advance the headless faces give a code point at a cell height.
int HeadlessAdvance(char32_t ch, int height);

// The rasterizer in use: headless until the program installs the real one.
IGlyphRasterizer& GlyphRasterizer();
// Installs a rasterizer (not owned); null restores the headless one. Returns the previous.
IGlyphRasterizer* SetGlyphRasterizer(IGlyphRasterizer* rasterizer);

}  // namespace platform
